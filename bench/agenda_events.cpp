// Writes the same events three times for the agenda comparison: into a program folder's
// user.mdb, as a Remind file and as a calcurse appointments file.
//   agenda_events <program folder> <remind file> <calcurse apts file> <YYYY-MM-DD> [count]
// The events lie around the given day (the first day of the compared period): every rule kind
// in turn, with varied intervals, weekdays and date ranges, every fifth without an alarm.
//
// Remind and calcurse cannot say everything our rules say. Where they cannot, the nearest rule
// with about as many occurrences is written, so that each program has the same amount of work:
//   - every N months (N > 1): Remind tests the month count with SATISFY; calcurse repeats every
//     N months from the first occurrence. Our month count adds a month for 21 or more remaining
//     days, which neither knows;
//   - the O-th weekday of every N months, and of a month every year: calcurse 4.7 has no such
//     rule and repeats the first occurrence's day of the month instead;
//   - chosen weekdays every N weeks and every workday: one repeating entry per weekday.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/Rules.h"
#include "store/DataModule.h"
#include "store/EventLists.h"
#include "store/Transaction.h"

using namespace qcal;

namespace {

const char* const kWeekdayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Iso(int day) {
    const CivilDate d = DateOfDay(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", d.year, d.month, d.day);
    return text;
}

std::string Us(int day) {
    const CivilDate d = DateOfDay(day);
    char text[16];
    std::snprintf(text, sizeof text, "%02u/%02u/%04d", d.month, d.day, d.year);
    return text;
}

std::string Clock(TDateTime time) {
    const TimeOfDay t = DecodeTime(time);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
    return text;
}

// The first day in [from, to] on which the event occurs, or from when there is none.
int FirstOccurrence(const tfield& e, int from, int to) {
    int first = from;
    bool found = false;
    tsatisfy(e).ForEachOccurrence(from, to, [&](int day) {
        if (!found) {
            first = day;
            found = true;
        }
    });
    return first;
}

// Remind reads "[" in a body as the start of an expression: the layer goes in parentheses.
std::string Body(const tfield& e) {
    return e.subject + " (" + e.layername + ")" + (e.alert ? " !" : "");
}

struct Writers {
    std::ofstream remind;
    std::ofstream calcurse;

    void Remind(const tfield& e, const std::string& trigger, const std::string& satisfy = {}) {
        // A trigger with a date and a repeat ("2026-12-01 *3") starts on that date itself.
        remind << "REM " << trigger;
        if (trigger.find('*') == std::string::npos) {
            remind << " FROM " << Iso(DayOf(e.begindate));
        }
        remind << " UNTIL " << Iso(DayOf(e.enddate)) << " AT " << Clock(e.beginTime);
        if (!satisfy.empty()) {
            remind << " SATISFY [" << satisfy << "]";
        }
        remind << " MSG " << Body(e) << "\n";
    }
    void RemindOnce(const tfield& e) {
        remind << "REM " << Iso(DayOf(e.begindate)) << " AT " << Clock(e.beginTime) << " MSG "
               << Body(e) << "\n";
    }
    // One appointment on day, repeating as repeat says ("3D", "2W", "1M", "1Y"; empty: once).
    void Calcurse(const tfield& e, int day, const std::string& repeat) {
        calcurse << Us(day) << " @ " << Clock(e.beginTime) << " -> " << Us(day) << " @ "
                 << Clock(e.endtime);
        if (!repeat.empty()) {
            calcurse << " {" << repeat << " -> " << Us(DayOf(e.enddate)) << "}";
        }
        calcurse << (e.alert ? " !" : " ") << "|" << e.subject << " [" << e.layername << "]\n";
    }
};

// Remind's month-count test for every N months counted from the month of the begin day.
std::string EveryNMonths(const tfield& e, int every) {
    const CivilDate b = DecodeDate(e.begindate);
    return "((year(trigdate())*12+monnum(trigdate()))-" +
           std::to_string(b.year * 12 + int(b.month)) + ")%" + std::to_string(every) + "==0";
}

// Remind's trigger for the ordinal-th weekday w (0 Sunday .. 6 Saturday) of the month, or of
// month m (0..11) when m >= 0.
std::string NthWeekday(int ordinal, int w, int m) {
    const std::string month = m >= 0 ? std::string(kMonthNames[m]) + " " : "";
    if (ordinal == kOrdinalLast) {
        // The first such weekday of the next month, a week back.
        const std::string next = m >= 0 ? std::string(kMonthNames[(m + 1) % 12]) + " " : "";
        return std::string(kWeekdayNames[w]) + " " + next + "1 --7";
    }
    return std::string(kWeekdayNames[w]) + " " + month + std::to_string(1 + 7 * ordinal);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr,
                     "usage: agenda_events <program folder> <remind file> <calcurse apts file> "
                     "<YYYY-MM-DD> [count]\n");
        return 2;
    }
    int year = 0;
    unsigned month = 0;
    unsigned dayOfMonth = 0;
    if (std::sscanf(argv[4], "%d-%u-%u", &year, &month, &dayOfMonth) != 3) {
        std::fprintf(stderr, "agenda_events: bad date %s\n", argv[4]);
        return 2;
    }
    const int base = DayNumber(year, month, dayOfMonth);
    const int count = argc == 6 ? std::atoi(argv[5]) : 10000;

    StderrErrorReporter errors;
    TDataMod dm(argv[1], errors);
    if (!dm.Connected()) {
        return 1;
    }
    dm.Layers = {{"Work", 0x00F0D8B0, true}, {"Home", 0x00B0E8C8, true}};
    if (!dm.SaveLayers()) {
        return 1;
    }
    Writers out{std::ofstream(argv[2]), std::ofstream(argv[3])};
    std::mt19937 random(12345);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };

    Transaction transaction(dm.ADOConnection);
    tlist_of_event_orig list(dm);
    for (int i = 0; i < count; ++i) {
        tfield e;
        e.subject = "Event " + std::to_string(i);
        e.layername = i % 2 == 0 ? "Work" : "Home";
        e.alert = i % 5 != 0;
        e.beginTime = EncodeTime(pick(6, 20), 15 * pick(0, 3));
        e.endtime = e.beginTime + EncodeTime(1, 0);
        const int begin = base - pick(0, 700);
        e.begindate = begin;
        e.enddate = begin + pick(60, 1500);
        switch (i % 8) {
            case 0: {  // once, within a year before or after the base day
                e.repeatType = kRepeatNone;
                e.begindate = base + pick(-365, 365);
                e.enddate = e.begindate;
                out.RemindOnce(e);
                out.Calcurse(e, DayOf(e.begindate), "");
                break;
            }
            case 1: {  // every N days
                e.repeatType = kRepeatDaily;
                e.dayType = kDayEveryN;
                e.dayEvery0 = pick(1, 10);
                out.Remind(e, Iso(begin) + " *" + std::to_string(e.dayEvery0));
                out.Calcurse(e, begin, std::to_string(e.dayEvery0) + "D");
                break;
            }
            case 2: {  // every workday
                e.repeatType = kRepeatDaily;
                e.dayType = kDayWorkday;
                out.Remind(e, "Mon Tue Wed Thu Fri");
                for (int w = 1; w <= 5; ++w) {
                    const int first = begin + (w - (WeekdayOfDay(begin) - 1) + 7) % 7;
                    out.Calcurse(e, first, "1W");
                }
                break;
            }
            case 3: {  // chosen weekdays every N weeks
                e.repeatType = kRepeatWeekly;
                e.weekEvery0 = pick(1, 3);
                e.weekSelected0 = "FFFFFFF";
                for (int k = pick(1, 3); k > 0; --k) {
                    e.weekSelected0[std::size_t(pick(0, 6))] = 'T';
                }
                const int period = 7 * e.weekEvery0;
                for (int w = 0; w < 7; ++w) {
                    if (e.weekSelected0[std::size_t(w)] != 'T') {
                        continue;
                    }
                    // Our reference day lies in the begin day's week; the first occurrence
                    // is the first step of it on or after the begin day.
                    int first = begin - (WeekdayOfDay(begin) - 1) + w;
                    while (first < begin) {
                        first += period;
                    }
                    out.Remind(e, Iso(first) + " *" + std::to_string(period));
                    out.Calcurse(e, first, std::to_string(e.weekEvery0) + "W");
                }
                break;
            }
            case 4: {  // day D of every N months
                e.repeatType = kRepeatMonthly;
                e.monthType = kMonthDayN;
                e.monthDay0 = pick(1, 28);
                e.monthEvery0 = pick(1, 3) == 1 ? 1 : pick(2, 4);
                out.Remind(e, std::to_string(e.monthDay0),
                           e.monthEvery0 > 1 ? EveryNMonths(e, e.monthEvery0) : "");
                out.Calcurse(e, FirstOccurrence(e, begin, DayOf(e.enddate)),
                             std::to_string(e.monthEvery0) + "M");
                break;
            }
            case 5: {  // the O-th day or weekday of every N months
                e.repeatType = kRepeatMonthly;
                e.monthType = kMonthNth;
                e.monthspecial1 = pick(0, 4);
                e.monthDayorWeek1 = pick(0, 8) == 1 ? kKindDay : pick(kKindSunday, kKindSaturday);
                e.monthEvery1 = pick(1, 3) == 1 ? 1 : pick(2, 3);
                std::string trigger;
                if (e.monthDayorWeek1 == kKindDay) {
                    trigger = e.monthspecial1 == kOrdinalLast ? "1 --1"
                                                              : std::to_string(e.monthspecial1 + 1);
                } else {
                    trigger = NthWeekday(e.monthspecial1, e.monthDayorWeek1 - kKindSunday, -1);
                }
                out.Remind(e, trigger, e.monthEvery1 > 1 ? EveryNMonths(e, e.monthEvery1) : "");
                out.Calcurse(e, FirstOccurrence(e, begin, DayOf(e.enddate)),
                             std::to_string(e.monthEvery1) + "M");
                break;
            }
            case 6: {  // a date every year
                e.repeatType = kRepeatYearly;
                e.yearType = kYearDate;
                e.yearMonth0 = pick(0, 11);
                e.yearDay0 = pick(1, 28);
                out.Remind(
                    e, std::string(kMonthNames[e.yearMonth0]) + " " + std::to_string(e.yearDay0));
                out.Calcurse(e, FirstOccurrence(e, begin, DayOf(e.enddate)), "1Y");
                break;
            }
            default: {  // the O-th weekday in a month every year
                e.repeatType = kRepeatYearly;
                e.yearType = kYearNth;
                e.yearMonth1 = pick(0, 11);
                e.yearspecial1 = pick(0, 4);
                e.yearDayorWeek1 = pick(kKindSunday, kKindSaturday);
                out.Remind(
                    e, NthWeekday(e.yearspecial1, e.yearDayorWeek1 - kKindSunday, e.yearMonth1));
                out.Calcurse(e, FirstOccurrence(e, begin, DayOf(e.enddate)), "1Y");
                break;
            }
        }
        if (list.AddEvent(e) == 0) {
            return 1;
        }
    }
    transaction.commit();
    return out.remind && out.calcurse ? 0 : 1;
}
