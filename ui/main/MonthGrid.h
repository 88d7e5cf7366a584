#pragma once

// The month grid as plain computations: where the grid lines and the 42 day cells go in a
// day panel, and which day of a month goes into which cell. The window only applies them.

#include <array>

#include "core/DateTime.h"

namespace qcal {

struct GridRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const GridRect&) const = default;
};

inline constexpr int kCellCount = 42;
inline constexpr int kColumns = 7;
inline constexpr int kRows = 6;

struct GridGeometry {
    std::array<GridRect, 8> vertical;    // V1..V8, 2 pixels wide
    std::array<GridRect, 7> horizontal;  // H1..H7, 2 pixels high
    std::array<GridRect, kCellCount> cells;
    std::array<GridRect, kColumns> weekdayLabels;  // Sun..Sat above the columns
};

// Lines and cells for a day panel with this client size. The inner lines are measured from
// the panel's edge, so the first column is a little narrower and the last takes the rest.
GridGeometry LayoutGridGeometry(int panelWidth, int panelHeight);

// Cell number (1..42) of row 1..6 and column 1..7 (the days of the week from its first).
constexpr int CellNumber(int row, int column) {
    return (row - 1) * kColumns + column;
}

struct MonthCells {
    TDateTime first = 0;  // day 1 at midnight
    int firstCell = 1;    // the cell of day 1: its column in a week from the first weekday
    int days = 0;         // days in the month
    int CellOfDay(int day) const { return firstCell + day - 1; }
    TDateTime DateOfCell(int cell) const { return first + (cell - firstCell); }
    bool HoldsDay(int cell) const { return cell >= firstCell && cell < firstCell + days; }
};

// month is 1..12; the weeks begin on firstWeekday (1 Sunday .. 7 Saturday).
MonthCells MonthModel(int year, int month, int firstWeekday = 1);

}  // namespace qcal
