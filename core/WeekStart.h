#pragma once

// Weeks that begin on any day. Weekdays are numbered 1 Sunday .. 7 Saturday; columns of a
// week 1..7 from its first day.

#include "core/DateTime.h"

namespace qcal {

// The column (1..7) of weekday in a week that begins on firstWeekday.
constexpr int ColumnOfWeekday(int weekday, int firstWeekday) {
    return (weekday - firstWeekday + 14) % 7 + 1;
}

// The weekday shown in column (1..7) of a week that begins on firstWeekday.
constexpr int WeekdayOfColumn(int column, int firstWeekday) {
    return (firstWeekday + column + 12) % 7 + 1;
}

// The first day of the week that holds dayNumber.
inline int StartOfWeek(int dayNumber, int firstWeekday) {
    return dayNumber - (ColumnOfWeekday(WeekdayOfDay(dayNumber), firstWeekday) - 1);
}

}  // namespace qcal
