#pragma once

// The event record: one value per row of the event table.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DateTime.h"

namespace qcal {

// 32-bit colour: red in the low byte, then green, then blue (0x00BBGGRR).
using TColor = std::uint32_t;
inline constexpr TColor kUnknownLayerColor = 0x00FF0000;  // pure blue

enum RepeatType : std::int32_t {
    kRepeatNone = 0,
    kRepeatDaily = 1,
    kRepeatWeekly = 2,
    kRepeatMonthly = 3,
    kRepeatYearly = 4,
};

struct tfield {
    std::int64_t id = 0;  // the table's rowid
    std::string layername;
    TColor layerColor = 0;
    bool alert = false;
    std::string subject;
    std::string content;
    std::string mynote;
    std::int32_t repeatType = kRepeatNone;
    TDateTime begindate = 0;
    TDateTime enddate = 0;
    TDateTime beginTime = 0;
    TDateTime endtime = 0;
    TDateTime lastFileTime = 0;
    std::int32_t dayType = 0;
    std::int32_t dayEvery0 = 1;
    std::int32_t weekType = 0;
    std::int32_t weekEvery0 = 1;
    std::string weekSelected0 = "FFFFFFF";
    std::int32_t monthType = 0;
    std::int32_t monthDay0 = 1;
    std::int32_t monthEvery0 = 1;
    std::int32_t monthspecial1 = 0;
    std::int32_t monthDayorWeek1 = 0;
    std::int32_t monthEvery1 = 1;
    std::int32_t yearType = 0;
    std::int32_t yearDay0 = 1;
    std::int32_t yearMonth0 = 0;
    std::int32_t yearspecial1 = 0;
    std::int32_t yearDayorWeek1 = 0;
    std::int32_t yearMonth1 = 0;
    // Added to the rule later; their defaults mean what an event without them always meant.
    std::vector<int> exceptDays;  // day numbers, ascending, on which a repeating event is taken out
    std::int64_t seriesId = 0;    // a once event that replaces one occurrence of this series
    std::int32_t seriesDay = 0;   // ... on this day (the occurrence's own day)
    std::int32_t remindBefore = 0;  // the alarm comes this many minutes before the begin
    bool allDay = false;            // the times of day are not shown
    bool openEnd = false;           // a repeating event that never ends
    std::string location;           // where it takes place, as an iCalendar file gave it

    bool operator==(const tfield&) const = default;
};

// The end day of an event that never ends (9999-12-31).
inline constexpr int kOpenEndDay = kMaxDayNumber;
// Most minutes a reminder may come before its event (four weeks).
inline constexpr std::int32_t kMaxRemindBefore = 40320;

// Whether day is one of the event's exception days.
bool IsExceptDay(const std::vector<int>& exceptDays, int day);
// The exception days as stored ("46390,46397"), and back; a text that is not a list of
// day numbers gives the days that can be read, sorted and without repeats.
std::string ExceptDaysText(const std::vector<int>& days);
std::vector<int> ParseExceptDays(std::string_view text);

using tArrayofField = std::vector<tfield>;

// Variants of the daily rule (dayType).
enum DayType : std::int32_t {
    kDayEveryN = 0,   // every dayEvery0 days
    kDayWorkday = 1,  // every workday, Monday to Friday
};

// Variants of the monthly rule (monthType).
enum MonthType : std::int32_t {
    kMonthDayN = 0,  // day monthDay0 of every monthEvery0 months
    kMonthNth = 1,   // the monthspecial1-th monthDayorWeek1 of every monthEvery1 months
};

// Variants of the yearly rule (yearType).
enum YearType : std::int32_t {
    kYearDate = 0,  // day yearDay0 of month yearMonth0
    kYearNth = 1,   // the yearspecial1-th yearDayorWeek1 in month yearMonth1
};

// Ordinal codes (monthspecial1, yearspecial1).
enum Ordinal : std::int32_t {
    kOrdinalFirst = 0,
    kOrdinalSecond = 1,
    kOrdinalThird = 2,
    kOrdinalFourth = 3,
    kOrdinalLast = 4,
};
inline constexpr int kOrdinalCount = 5;

// Day-kind codes (monthDayorWeek1, yearDayorWeek1): any day, a workday, or one weekday.
enum DayKind : std::int32_t {
    kKindDay = 0,
    kKindWeekday = 1,
    kKindSunday = 2,
    kKindMonday = 3,
    kKindTuesday = 4,
    kKindWednesday = 5,
    kKindThursday = 6,
    kKindFriday = 7,
    kKindSaturday = 8,
};
inline constexpr int kDayKindCount = 9;

}  // namespace qcal
