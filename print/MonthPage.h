#pragma once

// The month page: the 6 x 7 day boxes of one month with their event lines, the weekday
// header, the title and the footer, drawn by one routine on any painter (the printer's page
// or the preview's image).

#include <QColor>
#include <QFont>
#include <QString>

#include <array>
#include <vector>

#include "platform/desktop/Shell.h"
#include "store/Options.h"

class QPainter;

namespace qcal::print {

// What the page shows, copied from the day cells of the main window: the caption of each
// cell's day button and its event lines, as the cell lists show them.
struct SheetLine {
    QString text;
    QColor color;  // the layer colour the line is drawn on
};
struct SheetCell {
    QString caption;  // empty for days outside the month
    std::vector<SheetLine> lines;
};
struct MonthSheet {
    std::array<SheetCell, 42> cells;  // row by row, each row from the first day of the week
    int firstWeekday = 1;             // the weekday of the first column, 1 Sunday .. 7 Saturday
    QString printedOn;                // the date of printing, as the footer shows it
};

// Where everything goes on a page of width x height pixels.
struct MonthPageLayout {
    int width = 0;
    int height = 0;
    int fontHeight = 0;   // line height of the print font
    int titleHeight = 0;  // line height of the print font at 12 points
    int cellWidth = 0;
    int cellHeight = 0;
    int left = 0;
    int top = 0;
    // Corner point (row 0..6, column 0..7) of the lattice.
    int X(int column) const { return left + column * cellWidth; }
    int Y(int row) const { return top + row * cellHeight; }
    bool operator==(const MonthPageLayout&) const = default;
};

// scale in percent of the largest grid that fits.
MonthPageLayout LayoutMonthPage(int width, int height, int scale, int fontHeight, int titleHeight);

inline constexpr int kTitlePointSize = 12;
// The product's web page, as the about box and "Visit Website..." open it.
inline constexpr const char* kProductWebAddress = desktop::kWebsiteAddress;
// The footer under the grid: the program's name and the date of printing.
QString FooterText(const QString& printedOn);

// Draws the page with the print font measured on the painter's device.
void DrawMonth(QPainter& painter, int width, const RForPrint& options, const QString& title,
               int height, const MonthSheet& sheet);
// Draws the page on a layout computed beforehand.
void DrawMonth(QPainter& painter, const MonthPageLayout& layout, const RForPrint& options,
               const QString& title, const MonthSheet& sheet);

// The print font at the given size (the options' size when 0).
QFont PrintFont(const RForPrint& options, int pointSize = 0);

}  // namespace qcal::print
