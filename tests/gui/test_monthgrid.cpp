// The month grid's geometry and the month-to-cell model, without a window.

#include <QtTest>

#include "ui/main/MonthGrid.h"

using namespace qcal;

class TestMonthGrid : public QObject {
    Q_OBJECT
private slots:
    void linesOfAPanel() {
        const GridGeometry g = LayoutGridGeometry(603, 465);
        const int vx[] = {6, 84, 168, 252, 336, 420, 504, 597};
        const int hy[] = {1, 76, 152, 228, 304, 380, 459};
        for (int k = 0; k < 8; ++k)
            QCOMPARE(g.vertical[std::size_t(k)].left, vx[k]);
        for (int k = 0; k < 7; ++k)
            QCOMPARE(g.horizontal[std::size_t(k)].top, hy[k]);
        // The right line stands one pixel lower than the left one; both run to the bottom line.
        QCOMPARE(g.vertical[7].top, 2);
        QCOMPARE(g.vertical[0].height, 458);
        QCOMPARE(g.vertical[7].height, 458);
        QCOMPARE(g.horizontal[0].width, 591);
        QCOMPARE(g.horizontal[6].width, 591);
    }

    void cellsFillTheSpaceBetweenTheLines_data() {
        QTest::addColumn<int>("cell");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("first, narrower column") << 1 << 8 << 3 << 76 << 73;
        QTest::newRow("middle") << CellNumber(3, 4) << 254 << 154 << 82 << 74;
        QTest::newRow("last column takes the rest") << 7 << 506 << 3 << 91 << 73;
        QTest::newRow("bottom row") << 42 << 506 << 382 << 91 << 77;
    }
    void cellsFillTheSpaceBetweenTheLines() {
        QFETCH(int, cell);
        const GridRect r = LayoutGridGeometry(603, 465).cells[std::size_t(cell - 1)];
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, width);
        QFETCH(int, height);
        QCOMPARE(r, (GridRect{left, top, width, height}));
    }

    void weekdayNamesStandOverTheirColumns() {
        const GridGeometry g = LayoutGridGeometry(603, 465);
        for (std::size_t c = 0; c < 7; ++c) {
            QCOMPARE(g.weekdayLabels[c].left, g.vertical[c].left);
            QCOMPARE(g.weekdayLabels[c].left + g.weekdayLabels[c].width, g.vertical[c + 1].left);
        }
    }

    void tinyPanelGivesNoNegativeCells_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("nothing") << 0 << 0;
        QTest::newRow("narrower than the margins") << 10 << 10;
        QTest::newRow("a few pixels a column") << 40 << 30;
        QTest::newRow("wide but flat") << 603 << 12;
    }
    void tinyPanelGivesNoNegativeCells() {
        QFETCH(int, width);
        QFETCH(int, height);
        const GridGeometry g = LayoutGridGeometry(width, height);
        const auto sound = [](const GridRect& r) {
            return r.left >= 0 && r.top >= 0 && r.width >= 0 && r.height >= 0;
        };
        for (std::size_t n = 0; n < g.cells.size(); ++n)
            QVERIFY2(sound(g.cells[n]), qPrintable(QStringLiteral("cell %1").arg(n + 1)));
        for (const GridRect& r : g.vertical)
            QVERIFY(sound(r));
        for (const GridRect& r : g.horizontal)
            QVERIFY(sound(r));
        for (const GridRect& r : g.weekdayLabels)
            QVERIFY(sound(r));
    }

    void monthToCells_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("firstWeekday");
        QTest::addColumn<int>("firstCell");
        QTest::addColumn<int>("lastCell");
        QTest::newRow("day 1 on a Sunday") << 2006 << 1 << 1 << 1 << 31;
        QTest::newRow("31 days from a Saturday") << 2027 << 5 << 1 << 7 << 37;
        QTest::newRow("February 2026 fills four rows") << 2026 << 2 << 1 << 1 << 28;
        QTest::newRow("leap February") << 2028 << 2 << 1 << 3 << 31;
        QTest::newRow("year 1000") << 1000 << 1 << 1 << 4 << 34;
        QTest::newRow("Monday first: a Sunday ends the row") << 2006 << 1 << 2 << 7 << 37;
        QTest::newRow("Monday first: a Saturday") << 2027 << 5 << 2 << 6 << 36;
        QTest::newRow("Monday first: a Monday starts it") << 2027 << 2 << 2 << 1 << 28;
        QTest::newRow("Saturday first") << 2027 << 5 << 7 << 1 << 31;
    }
    void monthToCells() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, firstWeekday);
        QFETCH(int, firstCell);
        QFETCH(int, lastCell);
        const MonthCells m = MonthModel(year, month, firstWeekday);
        QCOMPARE(m.firstCell, firstCell);
        QCOMPARE(m.CellOfDay(m.days), lastCell);
        QCOMPARE(m.DateOfCell(firstCell), EncodeDate(year, unsigned(month), 1));
        QVERIFY(!m.HoldsDay(firstCell - 1));
        QVERIFY(!m.HoldsDay(lastCell + 1));
        QVERIFY(m.HoldsDay(lastCell));
    }
};

QTEST_APPLESS_MAIN(TestMonthGrid)
#include "test_monthgrid.moc"
