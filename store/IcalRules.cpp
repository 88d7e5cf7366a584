#include "store/IcalRules.h"

#include <libical/ical.h>

#include <array>
#include <bitset>
#include <cstdio>
#include <vector>

#include "core/Rules.h"

namespace qcal::ical {

namespace {

constexpr std::array<const char*, 7> kDayCodes{"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
constexpr const char* kWorkdays = "MO,TU,WE,TH,FR";

std::string DateText(int day) {
    const CivilDate d = DateOfDay(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", d.year, d.month, d.day);
    return text;
}

// ";UNTIL=" with the end of the last day, or nothing for a range that never ends.
std::string UntilPart(const tfield& e) {
    const int end = DayOf(e.enddate);
    if (end >= OpenEndDay()) {
        return {};
    }
    return ";UNTIL=" + DateText(end) + "T235959";
}

// "1", "2", "3", "4" or "-1" for the ordinal codes First .. Last.
std::string Position(int ordinal) {
    return ordinal == kOrdinalLast ? "-1" : std::to_string(ordinal + 1);
}

// The BY parts that pick the ordinal-th day of a kind within a month.
std::string NthParts(int ordinal, int kind) {
    if (kind == kKindDay) {
        // The day list keeps "the first day" apart from "day 1", which is the other variant.
        return ";BYDAY=SU,MO,TU,WE,TH,FR,SA;BYSETPOS=" + Position(ordinal);
    }
    if (kind == kKindWeekday) {
        return std::string(";BYDAY=") + kWorkdays + ";BYSETPOS=" + Position(ordinal);
    }
    return ";BYDAY=" + Position(ordinal) + kDayCodes[std::size_t(kind - kKindSunday)];
}

// The days of the month on which the ordinal-th day of a kind can fall, as bits 1..31;
// worked out once over a full 400-year cycle of the calendar.
std::bitset<32> PossibleNthDays(int ordinal, int kind) {
    static const auto table = [] {
        std::array<std::array<std::bitset<32>, kDayKindCount>, kOrdinalCount> days{};
        for (int year = 2000; year < 2400; ++year) {
            for (unsigned month = 1; month <= 12; ++month) {
                for (int o = 0; o < kOrdinalCount; ++o) {
                    for (int k = 0; k < kDayKindCount; ++k) {
                        days[std::size_t(o)][std::size_t(k)].set(NthDayOfMonth(year, month, o, k));
                    }
                }
            }
        }
        return days;
    }();
    return table[std::size_t(ordinal)][std::size_t(kind)];
}

// The month distance from the begin day to a day d of a later month, minus the plain count
// of calendar months between them: -1, 0 or 1, by the remaining days the distance counts.
int MonthShift(int d, const CivilDate& begin) {
    const int d1 = int(begin.day);
    if (d >= d1) {
        return d - d1 >= 21 ? 1 : 0;
    }
    return int(DaysInMonth(begin.year, begin.month)) + d - d1 >= 21 ? 0 : -1;
}

// An every-N-months rule repeats every N calendar months when the shift is the same for
// every day of the month it can fall on.
bool SteadyMonthShift(std::bitset<32> days, const CivilDate& begin) {
    std::optional<int> shift;
    for (int d = 1; d <= 31; ++d) {
        if (!days.test(std::size_t(d))) {
            continue;
        }
        const int s = MonthShift(d, begin);
        if (shift && *shift != s) {
            return false;
        }
        shift = s;
    }
    return true;
}

std::vector<short> Values(const short* list, std::size_t size) {
    std::vector<short> values;
    for (std::size_t i = 0; i < size && list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        values.push_back(list[i]);
    }
    return values;
}

// Ordinal code of an RRULE position (1..4, -1), or -1 for any other.
int OrdinalOf(int position) {
    if (position >= 1 && position <= 4) {
        return position - 1;
    }
    return position == -1 ? kOrdinalLast : -1;
}

// The weekday mask bits (bit 0 Sunday) of a BYDAY list without positions; no value when an
// entry has a position.
std::optional<unsigned> PlainWeekdays(const std::vector<short>& byDay) {
    unsigned mask = 0;
    for (short d : byDay) {
        if (icalrecurrencetype_day_position(d) != 0) {
            return std::nullopt;
        }
        const int w = int(icalrecurrencetype_day_day_of_week(d));  // 1 Sunday .. 7 Saturday
        if (w < 1 || w > 7) {
            return std::nullopt;
        }
        mask |= 1u << unsigned(w - 1);
    }
    return mask;
}

constexpr unsigned kWorkdayMask = 0b0111110;
constexpr unsigned kAllDaysMask = 0b1111111;

// Ordinal and day kind of the BY parts of a monthly or yearly rule that pick one day of the
// month, as the program's nth-day rules do.
struct Nth {
    int ordinal;
    int kind;
};
std::optional<Nth> NthOf(const std::vector<short>& byDay, const std::vector<short>& byMonthDay,
                         const std::vector<short>& bySetPos) {
    if (!byMonthDay.empty()) {
        if (!byDay.empty() || !bySetPos.empty() || byMonthDay.size() != 1 || byMonthDay[0] != -1) {
            return std::nullopt;
        }
        return Nth{kOrdinalLast, kKindDay};
    }
    if (bySetPos.empty()) {
        if (byDay.size() != 1) {
            return std::nullopt;
        }
        const int ordinal = OrdinalOf(icalrecurrencetype_day_position(byDay[0]));
        const int w = int(icalrecurrencetype_day_day_of_week(byDay[0]));
        if (ordinal < 0 || w < 1 || w > 7) {
            return std::nullopt;
        }
        return Nth{ordinal, kKindSunday + w - 1};
    }
    if (bySetPos.size() != 1 || OrdinalOf(bySetPos[0]) < 0) {
        return std::nullopt;
    }
    const int ordinal = OrdinalOf(bySetPos[0]);
    const std::optional<unsigned> mask = PlainWeekdays(byDay);
    if (!mask) {
        return std::nullopt;
    }
    if (*mask == kWorkdayMask) {
        return Nth{ordinal, kKindWeekday};
    }
    if (*mask == kAllDaysMask) {
        return Nth{ordinal, kKindDay};
    }
    for (int w = 1; w <= 7; ++w) {
        if (*mask == 1u << unsigned(w - 1)) {
            return Nth{ordinal, kKindSunday + w - 1};
        }
    }
    return std::nullopt;
}

}  // namespace

int OpenEndDay() {
    return DayNumber(9999, 12, 31);
}

ExportedRule RuleToRRule(const tfield& e) {
    ExportedRule out;
    if (e.repeatType == kRepeatNone) {
        out.firstDay = DayOf(e.begindate);
        return out;
    }
    const tsatisfy rule(e);
    const TDateTime first = rule.DayToShow(e.begindate);
    out.firstDay = DayOf(first);
    out.occurs = rule.OccursOn(first);
    if (!out.occurs) {
        return out;
    }
    const std::string until = UntilPart(e);
    switch (e.repeatType) {
        case kRepeatDaily:
            if (e.dayType == kDayWorkday) {
                out.rrule = std::string("FREQ=DAILY;BYDAY=") + kWorkdays + until;
            } else {
                out.rrule = "FREQ=DAILY;INTERVAL=" + std::to_string(e.dayEvery0) + until;
            }
            break;
        case kRepeatWeekly: {
            std::string days;
            for (std::size_t i = 0; i < 7 && i < e.weekSelected0.size(); ++i) {
                if (e.weekSelected0[i] == 'T' || e.weekSelected0[i] == 't') {
                    days += (days.empty() ? "" : ",") + std::string(kDayCodes[i]);
                }
            }
            out.rrule = "FREQ=WEEKLY;INTERVAL=" + std::to_string(e.weekEvery0) +
                        ";WKST=SU;BYDAY=" + days + until;
            break;
        }
        case kRepeatMonthly:
            if (e.monthType == kMonthDayN) {
                // The remaining days of the month distance are the same for every occurrence
                // (the same day of the month), so the months repeat every N from the first.
                out.rrule = "FREQ=MONTHLY;INTERVAL=" + std::to_string(e.monthEvery0) +
                            ";BYMONTHDAY=" + std::to_string(e.monthDay0) + until;
            } else {
                out.rrule = "FREQ=MONTHLY;INTERVAL=" + std::to_string(e.monthEvery1) +
                            NthParts(e.monthspecial1, e.monthDayorWeek1) + until;
                if (e.monthEvery1 > 1 &&
                    !SteadyMonthShift(PossibleNthDays(e.monthspecial1, e.monthDayorWeek1),
                                      DecodeDate(e.begindate))) {
                    out.exact = false;
                    out.comment =
                        "Every " + std::to_string(e.monthEvery1) + " months counted from " +
                        DateText(DayOf(e.begindate)) +
                        ": the day this rule picks moves across the begin date's day of the month, "
                        "so some of its months differ from a plain every-" +
                        std::to_string(e.monthEvery1) + "-months rule.";
                }
            }
            break;
        case kRepeatYearly:
            if (e.yearType == kYearDate) {
                out.rrule = "FREQ=YEARLY;BYMONTH=" + std::to_string(e.yearMonth0 + 1) +
                            ";BYMONTHDAY=" + std::to_string(e.yearDay0) + until;
            } else {
                out.rrule = "FREQ=YEARLY;BYMONTH=" + std::to_string(e.yearMonth1 + 1) +
                            NthParts(e.yearspecial1, e.yearDayorWeek1) + until;
            }
            break;
        default:
            out.occurs = false;
            break;
    }
    return out;
}

std::optional<tfield> RRuleToRule(const icalrecurrencetype& r, int startDay) {
    const std::vector<short> byDay = Values(r.by_day, ICAL_BY_DAY_SIZE);
    const std::vector<short> byMonthDay = Values(r.by_month_day, ICAL_BY_MONTHDAY_SIZE);
    const std::vector<short> byMonth = Values(r.by_month, ICAL_BY_MONTH_SIZE);
    const std::vector<short> bySetPos = Values(r.by_set_pos, ICAL_BY_SETPOS_SIZE);
    if (r.by_second[0] != ICAL_RECURRENCE_ARRAY_MAX ||
        r.by_minute[0] != ICAL_RECURRENCE_ARRAY_MAX || r.by_hour[0] != ICAL_RECURRENCE_ARRAY_MAX ||
        r.by_year_day[0] != ICAL_RECURRENCE_ARRAY_MAX ||
        r.by_week_no[0] != ICAL_RECURRENCE_ARRAY_MAX) {
        return std::nullopt;
    }
    if (r.rscale != nullptr && std::string(r.rscale) != "GREGORIAN") {
        return std::nullopt;
    }
    const int interval = r.interval < 1 ? 1 : r.interval;
    const CivilDate start = DateOfDay(startDay);
    tfield e;
    switch (r.freq) {
        case ICAL_DAILY_RECURRENCE: {
            if (!byMonthDay.empty() || !byMonth.empty() || !bySetPos.empty()) {
                return std::nullopt;
            }
            e.repeatType = kRepeatDaily;
            if (byDay.empty()) {
                if (interval > 10000) {
                    return std::nullopt;
                }
                e.dayType = kDayEveryN;
                e.dayEvery0 = interval;
                return e;
            }
            if (interval != 1 || PlainWeekdays(byDay) != kWorkdayMask) {
                return std::nullopt;
            }
            e.dayType = kDayWorkday;
            return e;
        }
        case ICAL_WEEKLY_RECURRENCE: {
            if (!byMonthDay.empty() || !byMonth.empty() || !bySetPos.empty() || interval > 52) {
                return std::nullopt;
            }
            std::optional<unsigned> mask =
                byDay.empty() ? 1u << unsigned(WeekdayOfDay(startDay) - 1) : PlainWeekdays(byDay);
            if (!mask || *mask == 0) {
                return std::nullopt;
            }
            e.repeatType = kRepeatWeekly;
            e.weekEvery0 = interval;
            e.weekSelected0 = "FFFFFFF";
            for (unsigned i = 0; i < 7; ++i) {
                if (*mask & (1u << i)) {
                    e.weekSelected0[i] = 'T';
                }
            }
            return e;
        }
        case ICAL_MONTHLY_RECURRENCE: {
            if (!byMonth.empty() || interval > 12) {
                return std::nullopt;
            }
            e.repeatType = kRepeatMonthly;
            if (byDay.empty() && bySetPos.empty() &&
                (byMonthDay.empty() || (byMonthDay.size() == 1 && byMonthDay[0] > 0))) {
                e.monthType = kMonthDayN;
                e.monthDay0 = byMonthDay.empty() ? int(start.day) : byMonthDay[0];
                e.monthEvery0 = interval;
                return e;
            }
            const std::optional<Nth> nth = NthOf(byDay, byMonthDay, bySetPos);
            if (!nth) {
                return std::nullopt;
            }
            e.monthType = kMonthNth;
            e.monthspecial1 = nth->ordinal;
            e.monthDayorWeek1 = nth->kind;
            e.monthEvery1 = interval;
            return e;
        }
        case ICAL_YEARLY_RECURRENCE: {
            if (interval != 1 || byMonth.size() > 1) {
                return std::nullopt;
            }
            const int month = byMonth.empty() ? int(start.month) : byMonth[0];
            if (month < 1 || month > 12) {
                return std::nullopt;
            }
            e.repeatType = kRepeatYearly;
            if (byDay.empty() && bySetPos.empty() &&
                (byMonthDay.empty() || (byMonthDay.size() == 1 && byMonthDay[0] > 0))) {
                e.yearType = kYearDate;
                e.yearMonth0 = month - 1;
                e.yearDay0 = byMonthDay.empty() ? int(start.day) : byMonthDay[0];
                return e;
            }
            // A numbered weekday counts within the month only when the month is named.
            if (byMonth.empty()) {
                return std::nullopt;
            }
            const std::optional<Nth> nth = NthOf(byDay, byMonthDay, bySetPos);
            if (!nth) {
                return std::nullopt;
            }
            e.yearType = kYearNth;
            e.yearspecial1 = nth->ordinal;
            e.yearDayorWeek1 = nth->kind;
            e.yearMonth1 = month - 1;
            return e;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace qcal::ical
