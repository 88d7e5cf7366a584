// The month reads in a light and in a dark palette, and its rows fit their font.

#include <QLabel>
#include <QStyleFactory>
#include <QtTest>

#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "widgets/ColouredRow.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const TDateTime kJan7 = EncodeDateTime(2027, 1, 7, 10, 0);
const arraylayinfo kNavy{{"Work", 0x00800000, true}};

// A dark Fusion palette, as dark desktop themes give.
QPalette DarkPalette() {
    QPalette p(QColor(53, 53, 53), QColor(53, 53, 53));  // button and window
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    return p;
}

// The greatest contrast of a pixel inside area against the ground colour.
double InkContrast(const QImage& image, const QRect& area, const QColor& ground) {
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, ContrastRatio(image.pixelColor(x, y), ground));
    }
    return best;
}

}  // namespace

class TestThemes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create(Q("Fusion"))); }
    void cleanup() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    void monthReadsInEveryPalette_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void monthReadsInEveryPalette() {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? DarkPalette() : QApplication::style()->standardPalette());
        WindowFixture fx(kJan7, kNavy);
        fx.store.dm->Options.FontDisplaySize = 12;
        fx.store.dm->SaveOptions();
        fx.Add(OnceEvent("Board meeting", EncodeDate(2027, 1, 7), EncodeTime(9, 0), "Work"));
        TFormMainCalendar& w = fx.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (dark) {
            const QString dir = Q(QCAL_TEST_ARTIFACTS);
            QDir().mkpath(dir);
            QVERIFY(w.grab().save(dir + Q("/month-dark.png")));
        }
        // Day numbers: a plain day, and today, selected.
        for (const Tlable_listbox* cell : {&fx.CellOfDay(2027, 1, 8), &fx.CellOfDay(2027, 1, 7)}) {
            const QImage face = cell->button->grab().toImage();
            const QColor ground = face.pixelColor(4, 4);
            const QRect caption(2, 2, face.width() - 4, cell->button->CaptionHeight() - 4);
            const double contrast = InkContrast(face, caption, ground);
            QVERIFY2(contrast >= kReadableContrast,
                     qPrintable(cell->button->text() + Q(" ") + QString::number(contrast)));
        }
        // The selected line on its navy layer.
        const CellList& list = *fx.CellOfDay(2027, 1, 7).list;
        QCOMPARE(list.SelectedRow(), 0);
        const QImage rows = const_cast<CellList&>(list).viewport()->grab().toImage();
        const QRect row = list.visualRect(list.model()->index(0, 0)).adjusted(2, 2, -2, -2);
        QVERIFY(InkContrast(rows, row, QColor(0, 0, 128)) >= kReadableContrast);
        // The weekday header.
        const QImage header = Child<QLabel>(w, "l1")->grab().toImage();
        QVERIFY(InkContrast(header, header.rect(), header.pixelColor(1, 1)) >= kReadableContrast);
    }

    void rowsFitTheirFont_data() {
        QTest::addColumn<int>("points");
        QTest::newRow("9 pt") << 9;
        QTest::newRow("12 pt") << 12;
        QTest::newRow("16 pt") << 16;
    }
    void rowsFitTheirFont() {
        QFETCH(int, points);
        WindowFixture fx(kJan7, kNavy);
        fx.store.dm->Options.FontDisplaySize = points;
        fx.store.dm->SaveOptions();
        fx.Add(OnceEvent("Gym", EncodeDate(2027, 1, 12), EncodeTime(7, 0), "Work"));
        fx.Add(OnceEvent("Quarterly budget review with the whole finance department",
                         EncodeDate(2027, 1, 12), EncodeTime(9, 0), "Work"));
        // Wide enough a window that the short line fits its cell at every size.
        fx.Open().resize(1800, 1000);
        QTRY_VERIFY(Child<QWidget>(*fx.window, "PanelDay")->width() > 1500);
        const Tlable_listbox& cell = fx.CellOfDay(2027, 1, 12);
        const QFontMetrics metrics(cell.list->font());
        // Whole lines: no row shorter than the font's line, and the list below the day number.
        for (int i = 0; i < 2; ++i) {
            const QRect r = cell.list->visualRect(cell.list->model()->index(i, 0));
            QVERIFY(r.height() >= metrics.lineSpacing());
            QCOMPARE(r.top(), i * r.height());
        }
        QVERIFY(cell.list->y() - cell.button->y() >=
                QFontMetrics(cell.button->font()).lineSpacing() + 2);
        QVERIFY(cell.list->height() >= 2 * metrics.lineSpacing() ||
                cell.list->height() == cell.button->height() - cell.button->CaptionHeight());
        // Only the subject that does not fit ends with an ellipsis.
        const int width = cell.list->viewport()->width();
        const QString shortLine = cell.list->Text(0), longLine = cell.list->Text(1);
        QCOMPARE(FittedRowText(metrics, shortLine, width), shortLine);
        const QString cut = FittedRowText(metrics, longLine, width);
        QVERIFY(cut.endsWith(QChar(0x2026)));
        QVERIFY(metrics.horizontalAdvance(cut) <= width);
    }
};

QTEST_MAIN(TestThemes)
#include "test_themes.moc"
