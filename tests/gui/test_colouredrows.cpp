// The drawing of coloured lines, read back from the pixels: a day cell's selected and
// unselected lines, and the layer list.

#include <QButtonGroup>
#include <QListWidget>
#include <QtTest>

#include <cmath>

#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/main/DayCell.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"

using namespace qcal;
using namespace qcal::test;

namespace {

double Luminance(const QColor& c) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The highest contrast with background among the pixels of rect.
double BestContrast(const QImage& image, const QRect& rect, const QColor& background) {
    double best = 1;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            best = std::max(best, Contrast(image.pixelColor(x, y), background));
    return best;
}

// How many pixels of the column x, from top to bottom, differ from colour.
int OtherPixels(const QImage& image, int x, int top, int bottom, const QColor& colour) {
    int n = 0;
    for (int y = top; y <= bottom; ++y)
        n += image.pixelColor(x, y).rgb() != colour.rgb() ? 1 : 0;
    return n;
}

// A day cell of the given width on a shown panel, with the given lines.
struct ShownCell {
    ShownCell(int width, const mytitem_for_display& lines)
        : cell(&panel, 1, group, nullptr, nullptr) {
        panel.resize(width + 20, 200);
        cell.SetBounds({0, 0, width, 120});
        cell.Fill(EncodeDate(2027, 1, 12), lines);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
    }
    QImage Rows() {
        QApplication::processEvents();
        return cell.list->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    QWidget panel;
    QButtonGroup group;
    Tlable_listbox cell;
};

titem_for_display Line(const std::string& text, TColor colour) {
    titem_for_display line;
    line.text = text;
    line.id = 1;
    line.layerColor = colour;
    return line;
}

}  // namespace

class TestColouredRows : public QObject {
    Q_OBJECT
private slots:
    void linesReadOnTheirLayerColour_data() {
        QTest::addColumn<TColor>("colour");
        QTest::newRow("pale green of a new layer") << TColor(0x00C0DCC0);
        QTest::newRow("yellow") << TColor(0x0000FFFF);
        QTest::newRow("white") << TColor(0x00FFFFFF);
        QTest::newRow("blue of an unknown layer") << TColor(0x00FF0000);
        QTest::newRow("red") << TColor(0x000000FF);
        QTest::newRow("navy") << TColor(0x00800000);
        QTest::newRow("black") << TColor(0x00000000);
        QTest::newRow("middle grey") << TColor(0x00808080);
    }
    void linesReadOnTheirLayerColour() {
        QFETCH(TColor, colour);
        const QColor layer = desktop::ToQColor(colour);
        ShownCell shown(120, {Line("08:00 !A", colour), Line("09:00 B", colour)});
        shown.cell.list->SetSelectedRow(1);
        const QImage image = shown.Rows();
        const int h = CellList::kRowHeight;
        const int w = shown.cell.list->viewport()->width();
        QVERIFY(w > 100);
        for (int row = 0; row < 2; ++row) {
            const bool selected = row == 1;
            const int top = row * h;
            // The layer colour stays the background, selected or not.
            QCOMPARE(image.pixelColor(w - 4, top + h / 2).rgb(), layer.rgb());
            // The text stands out from it.
            const QRect inside(1, top + 1, w - 2, h - 2);
            QVERIFY2(BestContrast(image, inside, layer) >= 4.5,
                     qPrintable(QStringLiteral("row %1").arg(row)));
            // Only the selected line carries a mark, visible on this colour: its right edge
            // (the text is short, so nothing else is drawn there).
            const int marked = OtherPixels(image, w - 1, top, top + h - 1, layer);
            QCOMPARE(marked, selected ? h : 0);
            if (selected)
                QVERIFY(Contrast(image.pixelColor(w - 1, top + h / 2), layer) >= 4.5);
        }
    }

    void narrowCellsClipTheirLines() {
        // A narrow cell shows the beginning of the line exactly as a wide one does, written at
        // the top-left corner; its end gives way to an ellipsis.
        const mytitem_for_display lines{Line("08:45 AM !Dentist appointment", 0x00C0DCC0)};
        ShownCell narrow(60, lines);
        ShownCell wide(300, lines);
        narrow.cell.list->SetSelectedRow(-1);
        wide.cell.list->SetSelectedRow(-1);
        const QImage cut = narrow.Rows();
        const QImage full = wide.Rows();
        const int w = narrow.cell.list->viewport()->width();
        for (int y = 0; y < CellList::kRowHeight; ++y)
            for (int x = 0; x < w / 2; ++x)
                QCOMPARE(cut.pixel(x, y), full.pixel(x, y));
        // The line is written at the top: ink in the upper half of the row, near the left.
        const QColor layer = desktop::ToQColor(0x00C0DCC0);
        QVERIFY(BestContrast(full, QRect(0, 0, 4, CellList::kRowHeight / 2), layer) >= 3);
    }

    void contrastingTextColour_data() {
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("text");
        QTest::newRow("pale green") << QColor(0xC0, 0xDC, 0xC0) << QColor(Qt::black);
        QTest::newRow("yellow") << QColor(Qt::yellow) << QColor(Qt::black);
        QTest::newRow("pure red") << QColor(Qt::red) << QColor(Qt::black);
        QTest::newRow("pure blue") << QColor(Qt::blue) << QColor(Qt::white);
        QTest::newRow("navy") << QColor(0, 0, 128) << QColor(Qt::white);
        QTest::newRow("just below the turn") << QColor(117, 117, 117) << QColor(Qt::white);
        QTest::newRow("just above the turn") << QColor(119, 119, 119) << QColor(Qt::black);
    }
    void contrastingTextColour() {
        QFETCH(QColor, background);
        QFETCH(QColor, text);
        QCOMPARE(ContrastingTextColor(background), text);
    }

    void layerListDrawsWithTheSameRule() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 10, 0),
                         {{"Work", 0x00C0DCC0, true}, {"Night", 0x00400000, true}});
        fx.Open();
        QListWidget* layers = Child<QListWidget>(*fx.window, "RxCheckListBoxLayer");
        for (int selected = 0; selected < 2; ++selected) {
            layers->setCurrentRow(selected);
            QApplication::processEvents();
            const QImage image =
                layers->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            for (int row = 0; row < 2; ++row) {
                const QRect r = layers->visualRect(layers->model()->index(row, 0));
                const QColor layer = layers->item(row)->background().color();
                const int w = r.right();
                QCOMPARE(image.pixelColor(w - 4, r.center().y()).rgb(), layer.rgb());
                QVERIFY(BestContrast(image,
                                     QRect(r.center().x() - 30, r.top() + 1, 60, r.height() - 2),
                                     layer) >= 4.5);
                QCOMPARE(OtherPixels(image, w, r.top(), r.bottom(), layer) > 0, row == selected);
            }
        }
    }
};

QTEST_MAIN(TestColouredRows)
#include "test_colouredrows.moc"
