#pragma once

// Date-time values: days since 1899-12-30, the fraction being the time of day.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace qcal {

using TDateTime = double;

struct CivilDate {
    int year = 1899;
    unsigned month = 12;  // 1..12
    unsigned day = 30;    // 1..31
};

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Whole days 0001-01-01 .. 9999-12-31 expressed as day numbers.
inline constexpr int kMinDayNumber = -693593;
inline constexpr int kMaxDayNumber = 2958465;

// True for finite values whose day lies within the years 1..9999. (Inline, as the rules ask
// it for every step from one occurrence to the next.)
inline bool IsValidDateTime(TDateTime x) {
    if (!std::isfinite(x)) {
        return false;
    }
    const double day = std::trunc(x);
    return day >= kMinDayNumber && day <= kMaxDayNumber;
}

// The whole-day part, cut toward zero. Values outside the valid range are clamped
// to it (NaN gives 0) so that callers never convert an out-of-range double.
inline int DayOf(TDateTime x) {
    if (std::isnan(x)) {
        return 0;
    }
    if (x <= kMinDayNumber) {
        return kMinDayNumber;
    }
    if (x >= kMaxDayNumber) {
        return kMaxDayNumber;
    }
    return static_cast<int>(x);  // truncates toward zero
}

bool IsLeapYear(int year);
unsigned DaysInMonth(int year, unsigned month);

// Day number of a calendar date (proleptic Gregorian). The date must be valid.
int DayNumber(int year, unsigned month, unsigned day);
inline TDateTime EncodeDate(int year, unsigned month, unsigned day) {
    return DayNumber(year, month, day);
}
// Calendar date of a day number.
CivilDate DateOfDay(int dayNumber);
inline CivilDate DecodeDate(TDateTime x) {
    return DateOfDay(DayOf(x));
}

// Weekday of a day number: 1 Sunday .. 7 Saturday.
inline int WeekdayOfDay(int dayNumber) {
    // Day 0 (1899-12-30) was a Saturday.
    const int w = ((dayNumber % 7) + 7) % 7;
    return w == 0 ? 7 : w;
}
inline int DayOfWeek(TDateTime x) {
    return WeekdayOfDay(DayOf(x));
}
inline bool IsWorkday(int dayNumber) {
    int w = WeekdayOfDay(dayNumber);
    return w != 1 && w != 7;
}

TDateTime EncodeTime(int hour, int minute, int second = 0, int millisecond = 0);
// Time of the fraction of x (its absolute value for negative x), rounded to the millisecond.
TimeOfDay DecodeTime(TDateTime x);
inline TDateTime EncodeDateTime(int year, unsigned month, unsigned day, int hour, int minute,
                                int second = 0, int millisecond = 0) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, millisecond);
}

// Number text of the database statements: general format, up to 15 significant digits,
// "." as decimal separator whatever the locale (46390.0000115741, 38718).
std::string FormatNumber(double value);

// Renders the format letters "yyyy yy mm dd hh nn AM/PM"; "mm" right after "hh" (and ":"
// between them) is the minute. "/" becomes dateSeparator and ":" becomes timeSeparator;
// every other character is copied as it stands.
std::string FormatDateTime(std::string_view format, TDateTime x, char dateSeparator = '/',
                           char timeSeparator = ':');

}  // namespace qcal
