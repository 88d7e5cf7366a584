#pragma once

// The first day of the week the user chose: Sunday, Monday or that of the user's locale.

#include <QLocale>

#include <cstdint>

namespace qcal::desktop {

inline constexpr std::int32_t kWeekStartsSunday = 0;
inline constexpr std::int32_t kWeekStartsMonday = 1;
inline constexpr std::int32_t kWeekStartsAsLocale = 2;

// The weekday (1 Sunday .. 7 Saturday) of the option; an unknown value counts as Sunday.
int FirstWeekday(std::int32_t option, const QLocale& locale = QLocale());

}  // namespace qcal::desktop
