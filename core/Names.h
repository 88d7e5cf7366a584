#pragma once

// The names of the rule codes as the program shows them: repeat kinds, months, ordinals,
// day kinds and weekdays. One table each, indexed by the code stored in the event record.

#include <array>
#include <string_view>

#include "core/Event.h"

namespace qcal {

inline constexpr std::array<std::string_view, 5> kRepeatNames{"None", "Daily", "Weekly", "Monthly",
                                                              "Yearly"};

// Month codes 0 January .. 11 December.
inline constexpr std::array<std::string_view, 12> kMonthNames{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// Ordinal codes 0 First .. 4 Last.
inline constexpr std::array<std::string_view, kOrdinalCount> kOrdinalNames{
    "First", "Second", "Third", "Fourth", "Last"};

// Day-kind codes 0 Day, 1 Weekday, 2 Sunday .. 8 Saturday.
inline constexpr std::array<std::string_view, kDayKindCount> kDayKindNames{
    "Day", "Weekday", "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Short weekday names, Sunday first, in the order of the weekday mask.
inline constexpr std::array<std::string_view, 7> kWeekdayShortNames{"Sun", "Mon", "Tue", "Wed",
                                                                    "Thu", "Fri", "Sat"};

// The entry of a table for a stored code; empty for a code outside the table, which the
// editor never writes.
template <std::size_t N>
constexpr std::string_view NameOf(const std::array<std::string_view, N>& table, int code) {
    return code >= 0 && static_cast<std::size_t>(code) < N ? table[static_cast<std::size_t>(code)]
                                                           : std::string_view();
}

}  // namespace qcal
