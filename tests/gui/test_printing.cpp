// The month page: the drawing calls against a known layout, the page printed to PDF and read
// back as an image, the preview window and the printer checks.

#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTextItem>
#include <QToolButton>
#include <QtTest>

#include <vector>

#include "platform/ProfileFile.h"
#include "print/MonthPage.h"
#include "print/PreviewWindow.h"
#include "print/Printing.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "widgets/ColouredRow.h"
#include "widgets/Help.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;

namespace {

// A paint device that keeps what was drawn on it: texts with the top of their line and
// their clip, lines, and filled rectangles with their colour.
struct Drawn {
    enum Type { Text, Line, Rect } type;
    QString text;
    QFont font;
    int x = 0;
    int top = 0;    // texts: the top of the line
    int width = 0;  // texts: the advance
    QRect clip;     // texts drawn under a clip
    QLine line;
    QRect rect;
    QColor color;
};

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& changed) override {
        if (changed.state() & QPaintEngine::DirtyBrush)
            brush_ = changed.brush().color();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawLines(const QLine* lines, int count) override {
        for (int i = 0; i < count; ++i)
            drawn.push_back({Drawn::Line, {}, {}, 0, 0, 0, {}, lines[i], {}, {}});
    }
    void drawLines(const QLineF* lines, int count) override {
        for (int i = 0; i < count; ++i)
            drawn.push_back({Drawn::Line, {}, {}, 0, 0, 0, {}, lines[i].toLine(), {}, {}});
    }
    void drawRects(const QRect* rects, int count) override {
        for (int i = 0; i < count; ++i)
            drawn.push_back({Drawn::Rect, {}, {}, 0, 0, 0, {}, {}, rects[i], brush_});
    }
    void drawRects(const QRectF* rects, int count) override {
        for (int i = 0; i < count; ++i)
            drawn.push_back({Drawn::Rect, {}, {}, 0, 0, 0, {}, {}, rects[i].toRect(), brush_});
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QFontMetrics metrics(item.font(), paintDevice());
        Drawn d{Drawn::Text,
                item.text(),
                item.font(),
                int(p.x()),
                int(p.y()) - metrics.ascent(),
                metrics.horizontalAdvance(item.text()),
                painter()->hasClipping() ? painter()->clipBoundingRect().toRect() : QRect(),
                {},
                {},
                {}};
        drawn.push_back(d);
    }
    std::vector<Drawn> drawn;

private:
    QColor brush_;
};

class RecordingDevice : public QPaintDevice {
public:
    RecordingDevice(int width, int height, int dpi) : width_(width), height_(height), dpi_(dpi) {}
    ~RecordingDevice() override = default;
    QPaintEngine* paintEngine() const override { return &engine; }
    mutable RecordingEngine engine;

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
            case PdmWidth:
                return width_;
            case PdmHeight:
                return height_;
            case PdmWidthMM:
                return width_ * 254 / (10 * dpi_);
            case PdmHeightMM:
                return height_ * 254 / (10 * dpi_);
            case PdmNumColors:
                return INT_MAX;
            case PdmDepth:
                return 32;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return dpi_;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(devicePixelRatioFScale());
            default:
                return 0;
        }
    }

private:
    int width_, height_, dpi_;
};

std::vector<Drawn> Of(const std::vector<Drawn>& all, Drawn::Type type) {
    std::vector<Drawn> out;
    for (const Drawn& d : all) {
        if (d.type == type)
            out.push_back(d);
    }
    return out;
}

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

// Day 1 in cell 3, today (day 8) in cell 10 with eight lines, cell 17 with two.
print::MonthSheet SampleSheet() {
    print::MonthSheet sheet;
    for (int n = 3; n <= 33; ++n)
        sheet.cells[std::size_t(n - 1)].caption = QString::number(n - 2);
    sheet.cells[9].caption = Q(" 8 Today ");
    for (int i = 0; i < 8; ++i) {
        sheet.cells[9].lines.push_back(
            {QStringLiteral("09:0%1 AM ! line %1").arg(i), i % 2 ? kGreen : kRed});
    }
    sheet.cells[16].lines = {{Q("a"), kGreen}, {Q("b"), kRed}};
    sheet.printedOn = Q("01/07/2027");
    return sheet;
}

const TDateTime kJan7 = EncodeDateTime(2027, 1, 7, 10, 0);
// Work red, Home green.
const arraylayinfo kLayers{{"Work", 0x000000FF, true}, {"Home", 0x0000FF00, true}};

QString ArtifactDir() {
    const QString dir = QStringLiteral(QCAL_TEST_ARTIFACTS);
    QDir().mkpath(dir);
    return dir;
}

// Runs a poppler tool; false when it fails. out: its standard output.
bool Run(const QString& program, const QStringList& arguments, QString* out = nullptr) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    return true;
}

bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The darkest grey in a small square around (x, y).
int Darkest(const QImage& image, int x, int y, int reach = 1) {
    int darkest = 255;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const QPoint p(x + dx, y + dy);
            if (image.rect().contains(p))
                darkest = std::min(darkest, qGray(image.pixel(p)));
        }
    }
    return darkest;
}

// The darkest grey inside rect.
int DarkestIn(const QImage& image, const QRect& rect) {
    int darkest = 255;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    }
    return darkest;
}

// A printer that writes a PDF without margins, so that its pixels map onto the page image.
void PrintToPdf(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

// Opens the preview from the main window and takes the user's steps while it shows.
// nested answers the dialogs the preview opens.
bool RunPreview(WindowFixture& fx, const std::function<void(TFormPreview&)>& steps,
                const std::function<int(QDialog&)>& nested = {}) {
    bool ran = false;
    fx.answer = [&](QDialog& d) {
        auto* preview = qobject_cast<TFormPreview*>(&d);
        if (!preview)
            return nested ? nested(d) : int(QDialog::Rejected);
        ran = true;
        steps(*preview);
        return preview->result();
    };
    Child<QToolButton>(*fx.window, "btnpreview")->click();
    fx.answer = nullptr;
    return ran;
}

}  // namespace

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        print::SetPrinterListerForTesting({});
        desktop::SetFontPickerForTesting({});
        desktop::SetHelpHandler({});
        desktop::SetFileChooserForTesting({});
    }

    void layoutFollowsPageAndScale_data() {
        QTest::addColumn<QList<int>>("input");  // width, height, scale, hF, h12
        QTest::addColumn<QList<int>>("cell");   // width, height, left, top
        QTest::newRow("letter at 80 %")
            << QList<int>{1100, 850, 80, 13, 19} << QList<int>{124, 101, 116, 122};
        QTest::newRow("full scale")
            << QList<int>{1100, 850, 100, 13, 19} << QList<int>{155, 127, 7, 44};
        QTest::newRow("a fifth, centred")
            << QList<int>{1100, 850, 20, 13, 19} << QList<int>{31, 25, 441, 350};
        QTest::newRow("printer pixels")
            << QList<int>{13200, 10200, 80, 160, 230} << QList<int>{1506, 1252, 1329, 1344};
        QTest::newRow("scale from a damaged file")
            << QList<int>{1100, 850, 2000000000, 13, 19}
            << QList<int>{1000000, 1000000, -3499450, -2999575};
        QTest::newRow("negative scale")
            << QList<int>{1100, 850, -50, 13, 19} << QList<int>{0, 0, 550, 425};
    }
    void layoutFollowsPageAndScale() {
        QFETCH(QList<int>, input);
        QFETCH(QList<int>, cell);
        const print::MonthPageLayout l =
            print::LayoutMonthPage(input[0], input[1], input[2], input[3], input[4]);
        QCOMPARE((QList<int>{l.cellWidth, l.cellHeight, l.left, l.top}), cell);
    }

    void drawsTheWorkedExample() {
        RecordingDevice device(1100, 850, 96);
        const print::MonthPageLayout l = print::LayoutMonthPage(1100, 850, 80, 13, 19);
        {
            QPainter painter(&device);
            RForPrint fullColours;
            fullColours.PrintColours = int(PrintColours::Full);
            print::DrawMonth(painter, l, fullColours, Q("January 2027"), SampleSheet());
        }
        const std::vector<Drawn>& all = device.engine.drawn;
        const std::vector<Drawn> texts = Of(all, Drawn::Text);
        const std::vector<Drawn> lines = Of(all, Drawn::Line);
        const std::vector<Drawn> rects = Of(all, Drawn::Rect);
        QVERIFY(texts.size() >= 9);

        // Weekday header at 105, each over its column's middle.
        const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        for (int k = 0; k < 7; ++k) {
            const Drawn& t = texts[std::size_t(k)];
            QCOMPARE(t.text, Q(days[k]));
            QCOMPARE(t.top, 105);
            QVERIFY(std::abs(2 * t.x + t.width - (2 * (116 + 124 * k) + 124)) <= 2);
        }
        // The title in bold 12 points at 71 over the middle column, the page's centre.
        const Drawn& title = texts[7];
        QCOMPARE(title.text, Q("January 2027"));
        QVERIFY(title.font.bold());
        QCOMPARE(title.font.pointSize(), 12);
        QCOMPARE(title.top, 71);
        QVERIFY(std::abs(2 * title.x + title.width - 1100) <= 2);
        // The footer at 741, ending at the grid's right edge, in the print font.
        const Drawn& footer = texts[8];
        QCOMPARE(footer.text, Q("Quenlaris Calendar, 01/07/2027"));
        QCOMPARE(footer.top, 741);
        QCOMPARE(footer.x + footer.width, 984);
        QVERIFY(!footer.font.bold());
        QCOMPARE(footer.font.pointSize(), 8);

        // Seven rows of the lattice across, then eight columns down.
        QCOMPARE(lines.size(), std::size_t(15));
        for (int r = 0; r <= 6; ++r)
            QCOMPARE(lines[std::size_t(r)].line, QLine(116, 122 + 101 * r, 984, 122 + 101 * r));
        for (int k = 0; k <= 7; ++k)
            QCOMPARE(lines[std::size_t(7 + k)].line, QLine(116 + 124 * k, 122, 116 + 124 * k, 728));

        // The order of the page: header, title, rows, footer, columns, day numbers, lines.
        QString order;
        for (const Drawn& d : all) {
            const QChar c = d.type == Drawn::Line   ? QLatin1Char('L')
                            : d.type == Drawn::Rect ? QLatin1Char('R')
                                                    : QLatin1Char('T');
            if (order.isEmpty() || order.back() != c)
                order += c;
        }
        QCOMPARE(order, Q("TLTLTRTRTRTRTRTRTRTRT"));

        // Day numbers: only cells with a caption, trimmed, one pixel under the cell's top.
        std::vector<Drawn> captions(texts.begin() + 9, texts.begin() + 9 + 31);
        QCOMPARE(captions.front().text, Q("1"));
        QCOMPARE(captions.front().top, 123);
        QVERIFY(std::abs(2 * captions.front().x + captions.front().width - (2 * 364 + 124)) <= 2);
        QCOMPARE(captions[7].text, Q("8 Today"));
        QCOMPARE(captions[7].top, 224);
        QVERIFY(std::abs(2 * captions[7].x + captions[7].width - (2 * 364 + 124)) <= 2);
        QCOMPARE(captions.back().text, Q("31"));

        // Event lines: six of the eight in cell 10 fit (13 x (i + 2) <= 101), both of cell 17.
        QCOMPARE(rects.size(), std::size_t(8));
        const std::vector<Drawn> lineTexts(texts.begin() + 40, texts.end());
        QCOMPARE(lineTexts.size(), std::size_t(8));
        for (int i = 0; i < 6; ++i) {
            const QRect expected(365, 223 + 13 * (i + 1), 122, 13);
            QCOMPARE(rects[std::size_t(i)].rect, expected);
            QCOMPARE(rects[std::size_t(i)].color, i % 2 ? kGreen : kRed);
            const Drawn& t = lineTexts[std::size_t(i)];
            QCOMPARE(t.text, QStringLiteral("09:0%1 AM ! line %1").arg(i));
            QCOMPARE(QPoint(t.x, t.top), expected.topLeft());
            QCOMPARE(t.clip, expected);
        }
        QCOMPARE(rects[6].rect, QRect(365, 324 + 13, 122, 13));
        QCOMPARE(rects[6].color, kGreen);
        QCOMPARE(rects[7].rect, QRect(365, 324 + 26, 122, 13));
        QCOMPARE(lineTexts[7].text, Q("b"));
    }

    // The print font is measured on the device drawn on: a printer's page of the same
    // size in inches has as many lines in a cell as the screen's image.
    void measuresTheFontOnItsDevice_data() {
        QTest::addColumn<int>("dpi");
        QTest::newRow("screen") << 96;
        QTest::newRow("printer") << 600;
    }
    void measuresTheFontOnItsDevice() {
        QFETCH(int, dpi);
        const int width = 11 * dpi, height = 8 * dpi + dpi / 2;
        RecordingDevice device(width, height, dpi);
        RForPrint options;
        {
            QPainter painter(&device);
            print::DrawMonth(painter, width, options, Q("January 2027"), height, SampleSheet());
        }
        const int hF = QFontMetrics(print::PrintFont(options), &device).height();
        // Eight points are a ninth of an inch; a line is a little higher.
        QVERIFY2(hF * 72 >= 8 * dpi && hF * 72 <= 8 * dpi * 3 / 2, qPrintable(QString::number(hF)));
        const std::vector<Drawn> rects = Of(device.engine.drawn, Drawn::Rect);
        QVERIFY(!rects.empty());
        const print::MonthPageLayout l = print::LayoutMonthPage(
            width, height, 80, hF, QFontMetrics(print::PrintFont(options, 12), &device).height());
        QCOMPARE(rects.front().rect.top(), l.Y(1) + hF);
        QCOMPARE(rects.front().rect.height(), hF);
        QCOMPARE(Of(device.engine.drawn, Drawn::Text)[0].top, l.top - hF - 4);
    }

    void printsTheMonthToPdf() {
        WindowFixture fx(kJan7, kLayers);
        // 12 January 2027: cell 17 (the month starts on a Friday).
        const TDateTime day = EncodeDate(2027, 1, 12);
        fx.Add(OnceEvent("A", day, EncodeTime(9, 0), "Work"));
        fx.Add(OnceEvent("B", day, EncodeTime(10, 0), "Home"));
        fx.Open();
        fx.store.dm->Options.ForPrint.PrintColours = int(PrintColours::Full);
        fx.ShowMonth(2027, 1);
        QCOMPARE(fx.Rows(fx.window->Cell(17)).size(), 2);

        const QString dir = ArtifactDir();
        const QString pdf = dir + Q("/month.pdf");
        QFile::remove(pdf);
        QPrinter& printer = fx.window->Printer();
        PrintToPdf(printer, pdf);
        fx.answer = [](QDialog& d) {
            return qobject_cast<QPrintDialog*>(&d) ? int(QDialog::Accepted)
                                                   : int(QDialog::Rejected);
        };
        Child<QToolButton>(*fx.window, "btnprint")->click();
        QCOMPARE(fx.dialogsShown, 1);
        QVERIFY(fx.store.errors.shown.empty());
        QVERIFY(fx.store.dm->Connected());

        QString info;
        QVERIFY(Run(Q("pdfinfo"), {pdf}, &info));
        QVERIFY2(info.contains(QRegularExpression(Q("Pages:\\s+1\\n"))), qPrintable(info));
        const QString png = dir + Q("/month");
        QVERIFY(Run(Q("pdftoppm"), {Q("-png"), Q("-r"), Q("100"), Q("-singlefile"), pdf, png}));
        const QImage page(png + Q(".png"));
        QVERIFY(!page.isNull());
        QVERIFY2(page.width() > page.height(), "landscape");

        // Where the page's pixels land in the image.
        const double s = double(page.width()) / printer.width();
        const RForPrint options = fx.store.dm->Options.ForPrint;
        const int hF = QFontMetrics(print::PrintFont(options), &printer).height();
        const int h12 = QFontMetrics(print::PrintFont(options, 12), &printer).height();
        const print::MonthPageLayout l =
            print::LayoutMonthPage(printer.width(), printer.height(), 80, hF, h12);
        auto at = [&](double x, double y) { return QPoint(int(x * s), int(y * s)); };

        // The grid: every row and column line is there, the inside of an empty box is white.
        for (int r = 0; r <= 6; ++r) {
            for (int k = 0; k < 7; ++k) {
                const QPoint p = at(l.X(k) + l.cellWidth / 2, l.Y(r));
                QVERIFY2(Darkest(page, p.x(), p.y()) < 160,
                         qPrintable(QStringLiteral("row %1").arg(r)));
            }
        }
        for (int k = 0; k <= 7; ++k) {
            for (int r = 0; r < 6; ++r) {
                const QPoint p = at(l.X(k), l.Y(r) + l.cellHeight / 2);
                QVERIFY2(Darkest(page, p.x(), p.y()) < 160,
                         qPrintable(QStringLiteral("column %1").arg(k)));
            }
        }
        const QPoint inside = at(l.X(0) + l.cellWidth / 2, l.Y(0) + l.cellHeight / 2);
        QCOMPARE(Darkest(page, inside.x(), inside.y(), 3), 255);

        // The title's ink lies over the middle column, centred on the page.
        const int titleTop = int((l.top - hF - 2 * h12) * s);
        const int titleBottom = int((l.top - hF - h12) * s);
        int inkLeft = page.width(), inkRight = -1;
        for (int y = titleTop; y <= titleBottom; ++y) {
            for (int x = 0; x < page.width(); ++x) {
                if (qGray(page.pixel(x, y)) < 128) {
                    inkLeft = std::min(inkLeft, x);
                    inkRight = std::max(inkRight, x);
                }
            }
        }
        QVERIFY(inkRight > inkLeft);
        QVERIFY(inkLeft > int(l.X(3) * s) && inkRight < int(l.X(4) * s));
        QVERIFY(std::abs((inkLeft + inkRight) - page.width()) <= 8);

        // The event lines on their layers' colours, in cell 17 (row 3, column 3).
        const int cellRight = l.X(3);
        for (int i = 0; i < 2; ++i) {
            const QPoint p = at(cellRight - l.cellWidth / 20, l.Y(2) + hF * (i + 1) + hF / 2);
            const QColor seen = page.pixelColor(p);
            QVERIFY2(Near(seen, i == 0 ? kRed : kGreen), qPrintable(seen.name()));
        }
        // The day number 12 over them, and the day outside the month left empty.
        auto dayNumberBox = [&](int column, int row) {
            return QRect(at(l.X(column) + l.cellWidth / 4, l.Y(row) + 1),
                         at(l.X(column + 1) - l.cellWidth / 4, l.Y(row) + hF))
                .adjusted(0, 2, 0, -1);
        };
        QVERIFY(DarkestIn(page, dayNumberBox(2, 2)) < 128);
        QCOMPARE(DarkestIn(page, dayNumberBox(0, 0)), 255);
    }

    // Lines on a navy, a black and a yellow layer read on paper in every colour choice: dark
    // layers printed in full get white text, everything else black text on a light ground.
    void layerLinesPrintReadably_data() {
        QTest::addColumn<int>("colours");
        QTest::addColumn<QString>("artifact");
        QTest::newRow("full") << int(PrintColours::Full) << Q("/month-dark-layer.png");
        QTest::newRow("light tint") << int(PrintColours::LightTint) << QString();
        QTest::newRow("none") << int(PrintColours::None) << QString();
    }
    void layerLinesPrintReadably() {
        QFETCH(int, colours);
        QFETCH(QString, artifact);
        const QColor layers[] = {QColor(0, 0, 128), QColor(Qt::black), QColor(Qt::yellow)};
        print::MonthSheet sheet = SampleSheet();
        sheet.cells[16].lines.clear();
        for (const QColor& layer : layers)
            sheet.cells[16].lines.push_back({Q("09:00 AM ! Board meeting"), layer});

        const QString pdf = ArtifactDir() + Q("/layers.pdf");
        QPrinter printer(QPrinter::HighResolution);
        print::PrepareMonthPrinter(printer);
        PrintToPdf(printer, pdf);
        RForPrint options;
        options.PrintColours = colours;
        {
            QPainter painter(&printer);
            print::DrawMonth(painter, printer.width(), options, Q("January 2027"), printer.height(),
                             sheet);
        }
        const QString png = ArtifactDir() + Q("/layers");
        QVERIFY(Run(Q("pdftoppm"), {Q("-png"), Q("-r"), Q("200"), Q("-singlefile"), pdf, png}));
        const QImage page(png + Q(".png"));
        QVERIFY(!page.isNull());
        if (!artifact.isEmpty())
            QVERIFY(page.save(ArtifactDir() + artifact));

        const double s = double(page.width()) / printer.width();
        const int hF = QFontMetrics(print::PrintFont(options), &printer).height();
        const int h12 = QFontMetrics(print::PrintFont(options, 12), &printer).height();
        const print::MonthPageLayout l =
            print::LayoutMonthPage(printer.width(), printer.height(), 80, hF, h12);
        for (int i = 0; i < 3; ++i) {
            const QColor ground = PrintedBackground(layers[i], static_cast<PrintColours>(colours));
            const int top = int((l.Y(2) + hF * (i + 1)) * s);
            const int bottom = int((l.Y(2) + hF * (i + 2)) * s);
            const QColor seen = page.pixelColor(int((l.X(3) - 4) * s), (top + bottom) / 2);
            QVERIFY2(Near(seen, ground, 12), qPrintable(seen.name()));
            // The ink of the text: the pixel standing out most from the ground.
            double best = 1;
            for (int y = top + 1; y < bottom - 1; ++y) {
                for (int x = int(l.X(2) * s) + 2; x < int((l.X(2) + l.cellWidth / 2) * s); ++x)
                    best = std::max(best, ContrastRatio(page.pixelColor(x, y), seen));
            }
            QVERIFY2(best >= kReadableContrast, qPrintable(QString::number(best)));
        }
    }

    void previewColoursAreSaved() {
        WindowFixture fx(kJan7, kLayers);
        fx.Open();
        int shown = -1;
        QVERIFY(RunPreview(fx, [&](TFormPreview& preview) {
            shown = preview.comColours->currentIndex();
            preview.comColours->setCurrentIndex(int(PrintColours::None));
        }));
        QCOMPARE(shown, int(PrintColours::LightTint));
        const platform::ProfileFile ini(fx.store.file("setup.ini"));
        QCOMPARE(ini.readInteger("Options", "PrintColours", -1), int(PrintColours::None));
    }

    void cancelledOrFailedPrintingWritesNothing() {
        WindowFixture fx(kJan7, kLayers);
        fx.Open();
        QTemporaryDir dir;
        QPrinter& printer = fx.window->Printer();
        const QString pdf = dir.filePath(Q("month.pdf"));
        PrintToPdf(printer, pdf);
        Child<QToolButton>(*fx.window, "btnprint")->click();  // the dialog is cancelled
        QCOMPARE(fx.dialogsShown, 1);
        QVERIFY(!QFile::exists(pdf));

        // A file that cannot be written: the job is reported as failed and the program
        // goes on with its database.
        printer.setOutputFileName(dir.filePath(Q("missing/month.pdf")));
        fx.answer = [](QDialog&) { return int(QDialog::Accepted); };
        Child<QToolButton>(*fx.window, "btnprint")->click();
        QCOMPARE(fx.store.errors.shown.size(), std::size_t(1));
        QVERIFY(fx.store.dm->Connected());
        QCOMPARE(fx.Count(), 0);

        // A PDF without a file asks for one; no file chosen prints nothing.
        printer.setOutputFileName(QString());
        int asked = 0;
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest& request) {
            ++asked;
            return request.save ? std::optional<QString>() : std::optional<QString>(pdf);
        });
        Child<QToolButton>(*fx.window, "btnprint")->click();
        QCOMPARE(asked, 1);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(fx.store.errors.shown.size(), std::size_t(1));

        // The preview prints without a print dialog, to the file then chosen.
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest& request) {
            ++asked;
            return request.save ? std::optional<QString>(pdf) : std::optional<QString>();
        });
        QVERIFY(RunPreview(fx, [](TFormPreview& preview) { preview.btnprint->click(); }));
        QCOMPARE(asked, 2);
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(fx.store.errors.shown.size(), std::size_t(1));
    }

    // The month picked on the search page is the month printed, under its own title.
    void printsTheMonthThePickersName_data() {
        QTest::addColumn<bool>("preview");
        QTest::newRow("print") << false;
        QTest::newRow("preview") << true;
    }
    void printsTheMonthThePickersName() {
        QFETCH(bool, preview);
        WindowFixture fx(kJan7, kLayers);
        fx.Add(OnceEvent("March event", EncodeDate(2027, 3, 3), EncodeTime(8, 0), "Work"));
        fx.Open();
        fx.ShowMonth(2027, 1);
        Child<QTabWidget>(*fx.window, "PageControl1")->setCurrentIndex(1);
        Child<QListWidget>(*fx.window, "ListBoxMonth")->setCurrentRow(2);
        QString title;
        print::MonthSheet sheet;
        QTemporaryDir dir;
        PrintToPdf(fx.window->Printer(), dir.filePath(Q("month.pdf")));
        fx.answer = [&](QDialog& d) {
            if (auto* p = qobject_cast<TFormPreview*>(&d))
                title = p->title;
            sheet = fx.window->Sheet();
            return int(QDialog::Accepted);
        };
        (preview ? Child<QToolButton>(*fx.window, "btnpreview")
                 : Child<QToolButton>(*fx.window, "btnprint"))
            ->click();
        if (!preview)
            title = fx.window->MonthTitle();
        QCOMPARE(title, Q("March 2027"));
        // 1 March 2027 is a Monday: cell 2.
        QCOMPARE(sheet.cells[0].caption, QString());
        QCOMPARE(sheet.cells[1].caption, Q("1"));
        QCOMPARE(sheet.cells[3].lines.size(), std::size_t(1));
        QCOMPARE(sheet.cells[3].lines[0].text, Q("08:00 AM March event"));
        QCOMPARE(sheet.cells[3].lines[0].color, kRed);
        QVERIFY(fx.window->DatePageShowing());
    }

    void noPrinterStopsBothPaths_data() {
        QTest::addColumn<bool>("preview");
        QTest::newRow("print") << false;
        QTest::newRow("preview") << true;
    }
    void noPrinterStopsBothPaths() {
        QFETCH(bool, preview);
        // Qt's PDF output is always there, so the list is never empty by itself.
        QVERIFY(print::AvailablePrinters().contains(Q(print::kPdfPrinterName)));
        print::SetPrinterListerForTesting([] { return QStringList(); });
        WindowFixture fx(kJan7, kLayers);
        fx.Open();
        (preview ? Child<QToolButton>(*fx.window, "btnpreview")
                 : Child<QToolButton>(*fx.window, "btnprint"))
            ->click();
        QCOMPARE(fx.dialogsShown, 0);
        QCOMPARE(fx.Shown(), (QList<desktop::MessageBox::Shown>{
                                 {Kind::Information, Q("No print in your system!")}}));
    }

    void previewScaleIsBroughtWithinLimits_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enterKey");
        QTest::addColumn<int>("scale");
        QTest::newRow("above, refresh") << Q("150") << false << 100;
        QTest::newRow("above, Enter") << Q("999") << true << 100;
        QTest::newRow("below, refresh") << Q("7") << false << 20;
        QTest::newRow("below, Enter") << Q("0") << true << 20;
        QTest::newRow("within") << Q("55") << true << 55;
        QTest::newRow("upper limit") << Q("100") << false << 100;
        QTest::newRow("lower limit") << Q("20") << false << 20;
    }
    void previewScaleIsBroughtWithinLimits() {
        QFETCH(QString, typed);
        QFETCH(bool, enterKey);
        QFETCH(int, scale);
        WindowFixture fx(kJan7, kLayers);
        fx.Open();
        QVERIFY(RunPreview(fx, [&](TFormPreview& preview) {
            QCOMPARE(preview.spinscale->value(), 80);
            preview.spinscale->selectAll();
            QTest::keyClicks(preview.spinscale, typed);
            if (enterKey)
                QTest::keyClick(preview.spinscale, Qt::Key_Return);
            else
                preview.btnrefresh->click();
            QCOMPARE(preview.spinscale->value(), scale);
        }));
        QCOMPARE(fx.store.dm->Options.ForPrint.scaleOfPrint, scale);
        const QByteArray ini = ReadFile(QString::fromStdString(fx.store.file("setup.ini")));
        QVERIFY2(ini.contains("scaleOfPrint=" + QByteArray::number(scale)), ini.constData());
    }

    void previewDrivesMonthFontHelpAndPrinting() {
        WindowFixture fx(kJan7, kLayers);
        fx.Add(OnceEvent("March event", EncodeDate(2027, 3, 3), EncodeTime(8, 0), "Work"));
        fx.Open();
        fx.ShowMonth(2027, 1);
        QPrinter& printer = fx.window->Printer();
        // Whatever the dialog or an earlier print left, the preview turns the page.
        printer.setPageOrientation(QPageLayout::Portrait);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(Q("preview.pdf"));
        PrintToPdf(printer, pdf);
        QList<int> helpAsked;
        desktop::SetHelpHandler([&](int context, QWidget*) { helpAsked << context; });
        desktop::SetFontPickerForTesting([](const QFont& initial) {
            // Preset with the print font.
            return initial.family() == Q("Arial") && initial.pointSize() == 8
                       ? std::optional<QFont>(QFont(Q("Liberation Serif"), 11))
                       : std::optional<QFont>();
        });
        int setupAnswer = QDialog::Rejected;
        auto setup = [&](QDialog& d) {
            auto* dialog = qobject_cast<QPageSetupDialog*>(&d);
            if (!dialog || setupAnswer != QDialog::Accepted)
                return int(QDialog::Rejected);
            dialog->printer()->setPageSize(QPageSize(QPageSize::A5));
            return int(QDialog::Accepted);
        };

        QVERIFY(RunPreview(
            fx,
            [&](TFormPreview& p) {
                TFormPreview* preview = &p;
                QCOMPARE(preview->windowTitle(), Q("Quenlaris Calendar Preview"));
                QCOMPARE(preview->EFontOfPrint->text(), Q("Arial, Size:8"));
                QCOMPARE(preview->RxSpinYear->value(), 2027);
                QCOMPARE(preview->comMonth->currentText(), Q("January"));
                QCOMPARE(preview->title, Q("January 2027"));
                QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
                QCOMPARE(preview->pageWidth, printer.width());

                // The image fits the panel with the page's proportions, centred.
                preview->resize(1200, 800);
                QCoreApplication::processEvents();
                const QRect image = preview->Image1->geometry();
                const QSize panel = preview->PanelPreview->size();
                QVERIFY(image.width() <= panel.width() - 25 &&
                        image.height() <= panel.height() - 25);
                QVERIFY(image.width() >= panel.width() - 27 ||
                        image.height() >= panel.height() - 27);
                QVERIFY(std::abs(image.width() * preview->pageHeight -
                                 image.height() * preview->pageWidth) <= preview->pageWidth);
                QVERIFY(std::abs(2 * image.left() + image.width() - panel.width()) <= 1);
                QCOMPARE(preview->Image().size(), image.size());
                QVERIFY(preview->Image().save(ArtifactDir() + Q("/preview.png")));

                // Another month moves the main window with it.
                preview->comMonth->setCurrentIndex(2);
                QCOMPARE(Child<QListWidget>(*fx.window, "ListBoxMonth")->currentRow(), 2);
                QCOMPARE(preview->title, Q("March 2027"));
                QCOMPARE(fx.Rows(fx.CellOfDay(2027, 3, 3)), QStringList{Q("08:00 AM March event")});
                preview->RxSpinYear->stepBy(1);
                QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinYear")->value(), 2028);
                QCOMPARE(preview->title, Q("March 2028"));
                preview->RxSpinYear->stepBy(-1);

                // The font chosen is shown, kept in the options and written.
                preview->SpeedButton4->click();
                QCOMPARE(preview->EFontOfPrint->text(), Q("Liberation Serif, Size:11"));
                QCOMPARE(fx.store.dm->Options.ForPrint.PrintFontName,
                         std::string("Liberation Serif"));
                QCOMPARE(fx.store.dm->Options.ForPrint.PrintFontSize, 11);

                preview->btnhelp->click();
                QTest::keyClick(preview, Qt::Key_F1);

                // Printer set-up: another paper is read back and the image fitted to it.
                const int wideWidth = preview->pageWidth;
                preview->btnsetup->click();
                QCOMPARE(preview->pageWidth, wideWidth);
                setupAnswer = QDialog::Accepted;
                preview->btnsetup->click();
                QCOMPARE(preview->pageWidth, printer.width());
                QVERIFY(preview->pageWidth < wideWidth);
                QVERIFY(std::abs(preview->Image().width() * preview->pageHeight -
                                 preview->Image().height() * preview->pageWidth) <=
                        preview->pageWidth);

                // Printing from the preview asks nothing.
                const int dialogs = fx.dialogsShown;
                preview->btnprint->click();
                QCOMPARE(fx.dialogsShown, dialogs);
                QVERIFY(QFile::exists(pdf));

                preview->SpeedButton3->click();
                QVERIFY(!preview->isVisible());
            },
            setup));
        QCOMPARE(helpAsked, (QList<int>{328, 328}));
        QVERIFY(fx.store.errors.shown.empty());
        const QByteArray ini = ReadFile(QString::fromStdString(fx.store.file("setup.ini")));
        QVERIFY(ini.contains("PrintFontName=Liberation Serif"));
        QVERIFY(ini.contains("PrintFontSize=11"));
        QVERIFY(fx.store.dm->Connected());

        // The printer stays in landscape for a direct print.
        QFile::remove(pdf);
        QPageLayout::Orientation seen = QPageLayout::Portrait;
        fx.answer = [&](QDialog& d) {
            if (auto* dialog = qobject_cast<QPrintDialog*>(&d))
                seen = dialog->printer()->pageLayout().orientation();
            return int(QDialog::Accepted);
        };
        Child<QToolButton>(*fx.window, "btnprint")->click();
        QCOMPARE(seen, QPageLayout::Landscape);
        QVERIFY(QFile::exists(pdf));
        QVERIFY(fx.store.errors.shown.empty());
    }
};

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
