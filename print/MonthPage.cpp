#include "print/MonthPage.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdint>

#include "core/Names.h"
#include "core/WeekStart.h"
#include "widgets/ColouredRow.h"

namespace qcal::print {
namespace {

// Cell sizes stay within reach of the page whatever scale a hand-edited settings file holds.
constexpr std::int64_t kLargestCell = 1'000'000;

int ScaledPart(std::int64_t whole, int scale) {
    return int(std::clamp<std::int64_t>(whole * scale / 100, 0, kLargestCell));
}

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// Draws text with the top of its line at y.
void TextOut(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

// Draws text centred between x0 and x1, with the top of its line at y.
void CentredText(QPainter& painter, int x0, int x1, int y, const QString& text) {
    const int width = painter.fontMetrics().horizontalAdvance(text);
    TextOut(painter, x0 + (x1 - x0 - width) / 2, y, text);
}

}  // namespace

MonthPageLayout LayoutMonthPage(int width, int height, int scale, int fontHeight, int titleHeight) {
    MonthPageLayout l;
    l.width = width;
    l.height = height;
    l.fontHeight = fontHeight;
    l.titleHeight = titleHeight;
    l.cellWidth = ScaledPart((std::int64_t(width) - 15) / 7, scale);
    l.cellHeight = ScaledPart(
        (std::int64_t(height) - 22 - 2 * (std::int64_t(titleHeight) + fontHeight)) / 6, scale);
    l.left = (width - 7 * l.cellWidth) / 2;
    l.top = (height - 6 * l.cellHeight) / 2;
    return l;
}

QString FooterText(const QString& printedOn) {
    const QString name = QStringLiteral("Quenlaris Calendar");
    return printedOn.isEmpty() ? name : name + QStringLiteral(", ") + printedOn;
}

QFont PrintFont(const RForPrint& options, int pointSize) {
    QFont font(QString::fromStdString(options.PrintFontName));
    const int size = pointSize > 0 ? pointSize : int(options.PrintFontSize);
    // A size of 0 or less can only come from a hand-edited settings file.
    font.setPointSize(size > 0 ? size : 8);
    return font;
}

void DrawMonth(QPainter& painter, int width, const RForPrint& options, const QString& title,
               int height, const MonthSheet& sheet) {
    const int fontHeight = QFontMetrics(PrintFont(options), painter.device()).height();
    const int titleHeight =
        QFontMetrics(PrintFont(options, kTitlePointSize), painter.device()).height();
    DrawMonth(painter,
              LayoutMonthPage(width, height, int(options.scaleOfPrint), fontHeight, titleHeight),
              options, title, sheet);
}

void DrawMonth(QPainter& painter, const MonthPageLayout& l, const RForPrint& options,
               const QString& title, const MonthSheet& sheet) {
    painter.save();
    const QFont font = PrintFont(options);
    painter.setFont(font);
    // The thinnest line the device draws: one of its pixels, and never less on a page
    // rendered at another resolution.
    painter.setPen(QPen(Qt::black, 0));
    const int hF = l.fontHeight;

    // Weekday header.
    for (int k = 0; k < 7; ++k) {
        const int weekday = WeekdayOfColumn(k + 1, sheet.firstWeekday);
        CentredText(painter, l.X(k), l.X(k + 1), l.top - hF - 4,
                    Text(kWeekdayShortNames[std::size_t(weekday - 1)]));
    }

    // Title over the middle column, which is over the page's centre.
    QFont titleFont = PrintFont(options, kTitlePointSize);
    titleFont.setBold(true);
    painter.setFont(titleFont);
    CentredText(painter, l.X(3), l.X(4), l.top - hF - 2 * l.titleHeight, title);
    painter.setFont(font);

    for (int r = 0; r <= 6; ++r)
        painter.drawLine(l.X(0), l.Y(r), l.X(7), l.Y(r));

    const QString footer = FooterText(sheet.printedOn);
    TextOut(painter, l.X(7) - painter.fontMetrics().horizontalAdvance(footer), l.Y(6) + hF, footer);

    for (int k = 0; k <= 7; ++k)
        painter.drawLine(l.X(k), l.Y(0), l.X(k), l.Y(6));

    // Day numbers.
    for (int r = 1; r <= 6; ++r) {
        for (int k = 1; k <= 7; ++k) {
            const QString caption = sheet.cells[std::size_t((r - 1) * 7 + k - 1)].caption.trimmed();
            if (!caption.isEmpty())
                CentredText(painter, l.X(k - 1), l.X(k), l.Y(r - 1) + 1, caption);
        }
    }

    // Event lines, as many as the cell holds; the rest are left out.
    for (int r = 1; r <= 6; ++r) {
        for (int k = 1; k <= 7; ++k) {
            const SheetCell& cell = sheet.cells[std::size_t((r - 1) * 7 + k - 1)];
            const int cellLeft = l.X(k - 1);
            const int cellRight = l.X(k);
            const int cellTop = l.Y(r - 1);
            const int cellBottom = l.Y(r);
            for (std::size_t i = 0; i < cell.lines.size(); ++i) {
                const int lineTop = cellTop + hF * int(i + 1);
                const int lineBottom = lineTop + hF;
                if (lineBottom > cellBottom)
                    break;
                const QRect rect(QPoint(cellLeft + 1, lineTop),
                                 QPoint(cellRight - 2, lineBottom - 1));
                const QColor background = PrintedBackground(
                    cell.lines[i].color, static_cast<PrintColours>(options.PrintColours));
                painter.fillRect(rect, background);
                painter.save();
                painter.setClipRect(rect);
                painter.setPen(ContrastingTextColor(background));
                TextOut(painter, rect.left(), rect.top(), cell.lines[i].text);
                painter.restore();
            }
        }
    }
    painter.restore();
}

}  // namespace qcal::print
