// The display texts of an event for the search and alarm lists.

#include <array>
#include <string_view>

#include "core/Names.h"
#include "store/DataModule.h"

namespace qcal {

namespace {

// A name of a table, or nothing for a code the editor never writes.
template <std::size_t N>
std::string Lookup(const std::array<std::string_view, N>& table, std::int32_t code) {
    return std::string(NameOf(table, code));
}

std::string RepeatText(const tfield& e) {
    using std::to_string;
    switch (e.repeatType) {
        case kRepeatNone:
            return "None:    Only occurs once";
        case kRepeatDaily:
            if (e.dayType != kDayEveryN) {
                return "Daily:     Every workday";
            }
            return "Daily:     Every " + to_string(e.dayEvery0) + " days";
        case kRepeatWeekly: {
            if (e.weekType != 0) {
                return {};
            }
            std::string text = "Weekly: Every " + to_string(e.weekEvery0) + " week on";
            if (e.weekSelected0.size() == 7) {
                for (std::size_t i = 0; i < 7; ++i) {
                    if (e.weekSelected0[i] == 'T') {
                        text += ' ';
                        text += kWeekdayShortNames[i];
                    }
                }
            }
            return text;
        }
        case kRepeatMonthly:
            if (e.monthType == kMonthDayN) {
                return "Monthly:Day " + to_string(e.monthDay0) + " every " +
                       to_string(e.monthEvery0) + " month";
            }
            return "Monthly:" + Lookup(kOrdinalNames, e.monthspecial1) + " " +
                   Lookup(kDayKindNames, e.monthDayorWeek1) + " " + "every " +
                   to_string(e.monthEvery1) + " month";
        case kRepeatYearly:
            if (e.yearType == kYearDate) {
                return "Yearly:   Every " + to_string(e.yearDay0) + " of " +
                       Lookup(kMonthNames, e.yearMonth0);
            }
            return "Yearly:   Every " + Lookup(kOrdinalNames, e.yearspecial1) + " " +
                   Lookup(kDayKindNames, e.yearDayorWeek1) + " in " +
                   Lookup(kMonthNames, e.yearMonth1);
        default:
            return {};
    }
}

}  // namespace

TFieldForDisplay TDataMod::MakeDisplayTexts(const tfield& event) const {
    TFieldForDisplay texts;
    if (event.alert) {
        texts.AlertText = "On";
        texts.SubjectText = "!" + event.subject;
    } else {
        texts.AlertText = "Off";
        texts.SubjectText = event.subject;
    }
    texts.BeginText = Format(Options.DateFormat, event.begindate) + " " +
                      Format(Options.TimeFormat, event.beginTime);
    texts.EndText =
        Format(Options.DateFormat, event.enddate) + " " + Format(Options.TimeFormat, event.endtime);
    if (event.lastFileTime > 1.0) {
        texts.ArchiveText =
            Format(Options.DateFormat + " " + Options.TimeFormat, event.lastFileTime);
    } else {
        texts.ArchiveText = "None";
    }
    texts.RepeatText = RepeatText(event);
    return texts;
}

}  // namespace qcal
