#include "ui/main/MonthGrid.h"

#include <algorithm>

#include "core/WeekStart.h"

namespace qcal {

GridGeometry LayoutGridGeometry(int panelWidth, int panelHeight) {
    GridGeometry g;
    auto& v = g.vertical;
    auto& h = g.horizontal;

    v[0] = {6, 1, 2, 0};
    h[0] = {7, 1, 0, 2};
    v[7] = {panelWidth - 6, v[0].top + 1, 2, 0};
    h[6] = {h[0].left, panelHeight - 6, 0, 2};
    v[0].height = h[6].top - h[0].top;
    v[7].height = v[0].height;
    h[0].width = v[7].left - v[0].left;
    h[6].width = h[0].width;
    for (int k = 1; k <= 6; ++k) {
        v[k] = {(h[0].width / 7) * k, v[k - 1].top, 2, v[k - 1].height};
    }
    for (int k = 1; k <= 5; ++k) {
        h[k] = {h[k - 1].left, (v[0].height / 6) * k, h[k - 1].width, 2};
    }

    for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            const GridRect& left = v[c - 1];
            const GridRect& top = h[r - 1];
            g.cells[CellNumber(r, c) - 1] = {left.left + 2, top.top + 2, v[c].left - left.left - 2,
                                             h[r].top - top.top - 2};
        }
    }
    // Each weekday name stands over its own column.
    for (int c = 0; c < kColumns; ++c) {
        g.weekdayLabels[c] = {v[c].left, 3, v[c + 1].left - v[c].left, 17};
    }
    // A panel smaller than the margins (a window shrunk to nothing) would give negative
    // places and sizes; such parts collapse to nothing at the panel's corner instead.
    const auto sound = [](GridRect& r) {
        r.left = std::max(r.left, 0);
        r.top = std::max(r.top, 0);
        r.width = std::max(r.width, 0);
        r.height = std::max(r.height, 0);
    };
    std::for_each(v.begin(), v.end(), sound);
    std::for_each(h.begin(), h.end(), sound);
    std::for_each(g.cells.begin(), g.cells.end(), sound);
    std::for_each(g.weekdayLabels.begin(), g.weekdayLabels.end(), sound);
    return g;
}

MonthCells MonthModel(int year, int month, int firstWeekday) {
    MonthCells m;
    m.first = EncodeDate(year, unsigned(month), 1);
    m.firstCell = ColumnOfWeekday(DayOfWeek(m.first), firstWeekday);
    m.days = int(DaysInMonth(year, unsigned(month)));
    return m;
}

}  // namespace qcal
