#include "store/IcalImport.h"

#include <libical/ical.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "core/EventChecks.h"
#include "core/Rules.h"
#include "platform/AtomicFile.h"
#include "store/EventLists.h"
#include "store/IcalExport.h"
#include "store/IcalRules.h"
#include "store/Occurrences.h"
#include "store/Transaction.h"

namespace qcal::ical {

namespace {

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

struct IteratorFree {
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};

// How far the days of an imported rule are compared with the RRULE's own.
constexpr int kCheckDays = 8 * 366;
constexpr int kCheckOccurrences = 1000;
// Most occurrences a COUNT is expanded to.
constexpr int kMaxCount = 100000;

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool ValidDate(const icaltimetype& t) {
    return !icaltime_is_null_time(t) && t.year >= 1 && t.year <= 9999 && t.month >= 1 &&
           t.month <= 12 && t.day >= 1 &&
           unsigned(t.day) <= DaysInMonth(t.year, unsigned(t.month)) && t.hour >= 0 &&
           t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 60;
}

int DayOfTime(const icaltimetype& t) {
    return DayNumber(t.year, unsigned(t.month), unsigned(t.day));
}

struct Local {
    int day = 0;
    TDateTime time = 0;
};

// A time of the file as a local day and time of day: dates and floating times as written,
// UTC times and times of a known zone through the local time zone.
Local ToLocal(const icaltimetype& t) {
    if (icaltime_is_date(t)) {
        return {DayOfTime(t), 0};
    }
    if (t.zone != nullptr) {
        const std::time_t moment =
            icaltime_as_timet_with_zone(t, const_cast<icaltimezone*>(t.zone));
        std::tm local{};
        if (localtime_r(&moment, &local) != nullptr && local.tm_year + 1900 >= 1 &&
            local.tm_year + 1900 <= 9999) {
            return {DayNumber(local.tm_year + 1900, unsigned(local.tm_mon + 1),
                              unsigned(local.tm_mday)),
                    EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59))};
        }
    }
    return {DayOfTime(t), EncodeTime(t.hour, t.minute, std::min(t.second, 59))};
}

// Invalid UTF-8 sequences replaced by U+FFFD; true when something was replaced.
bool RepairUtf8(std::string& text) {
    std::string out;
    bool repaired = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                ? 1
                             : c >= 0xC2 && c < 0xE0 ? 2
                             : c >= 0xE0 && c < 0xF0 ? 3
                             : c >= 0xF0 && c < 0xF5 ? 4
                                                     : 0;
        bool good = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; good && k < length; ++k) {
            good = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (good && length == 3) {
            const unsigned char d = static_cast<unsigned char>(text[i + 1]);
            good = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
        } else if (good && length == 4) {
            const unsigned char d = static_cast<unsigned char>(text[i + 1]);
            good = !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
        }
        if (good) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            repaired = true;
            ++i;
        }
    }
    if (repaired) {
        text = std::move(out);
    }
    return repaired;
}

// Cuts text to at most limit bytes at a character boundary; true when it was longer.
bool Cut(std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return false;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return true;
}

std::string DateText(int day) {
    const CivilDate d = DateOfDay(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", d.year, d.month, d.day);
    return text;
}

std::string TimeText(TDateTime time) {
    const TimeOfDay t = DecodeTime(time);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", t.hour % 100, t.minute % 100);
    return text;
}

// The zone a TZID names in the time-zone database, for a file whose VTIMEZONE is missing or
// does not reach back to the date t (a VTIMEZONE often describes the recent rules only).
icaltimezone* DatabaseZone(icalproperty* p, const icaltimetype& t) {
    icalparameter* tzid = p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
    if (!tzid || icaltime_is_date(t)) {
        return nullptr;
    }
    const char* name = icalparameter_get_tzid(tzid);
    if (!name) {
        return nullptr;
    }
    icaltimezone* builtin = icaltimezone_get_builtin_timezone(name);
    if (!builtin) {
        return nullptr;
    }
    if (t.zone == nullptr) {
        return builtin;
    }
    icalcomponent* vtz = icaltimezone_get_component(const_cast<icaltimezone*>(t.zone));
    if (!vtz) {
        return nullptr;
    }
    // The earliest observance of the file's zone.
    int earliest = kMaxDayNumber;
    for (icalcomponent* o = icalcomponent_get_first_component(vtz, ICAL_ANY_COMPONENT); o;
         o = icalcomponent_get_next_component(vtz, ICAL_ANY_COMPONENT)) {
        const icaltimetype start = icalcomponent_get_dtstart(o);
        if (ValidDate(start)) {
            earliest = std::min(earliest, DayOfTime(start));
        }
    }
    return DayOfTime(t) < earliest ? builtin : nullptr;
}

std::optional<TDateTime> ParseLocalText(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text, "%4d%2d%2dT%2d%2d%2d", &y, &mo, &d, &h, &mi, &s) != 6 || y < 1 ||
        y > 9999 || mo < 1 || mo > 12 || d < 1 || unsigned(d) > DaysInMonth(y, unsigned(mo)) ||
        h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) {
        return std::nullopt;
    }
    return EncodeDateTime(y, unsigned(mo), unsigned(d), h, mi, s);
}

// A UTC moment ("20261208T083000Z") as a local date-time.
std::optional<TDateTime> ParseUtcText(const char* text) {
    if (!text) {
        return std::nullopt;
    }
    const icaltimetype t = icaltime_from_string(text);
    if (icaltime_is_null_time(t) || !ValidDate(t) || t.is_date || !icaltime_is_utc(t)) {
        return std::nullopt;
    }
    const Local local = ToLocal(t);
    return TDateTime(local.day) + local.time;
}

// The days (in the rule's own calendar) of the occurrences of an RRULE from dtstart, in
// order, up to lastDay and at most limit of them.
std::vector<int> Expand(const icalrecurrencetype& rule, const icaltimetype& dtstart, int lastDay,
                        int limit) {
    std::vector<int> days;
    std::unique_ptr<icalrecur_iterator, IteratorFree> it(icalrecur_iterator_new(rule, dtstart));
    if (!it) {
        return days;
    }
    for (icaltimetype t = icalrecur_iterator_next(it.get());
         !icaltime_is_null_time(t) && int(days.size()) < limit;
         t = icalrecur_iterator_next(it.get())) {
        if (!ValidDate(t)) {
            break;
        }
        const int day = DayOfTime(t);
        if (day > lastDay) {
            break;
        }
        days.push_back(day);
    }
    return days;
}

// The day of a date-time property value (EXDATE, RDATE) as the local calendar has it.
int LocalDayOf(icalproperty* p, icalcomponent* c, int shift) {
    const icaltimetype t = icalproperty_get_datetime_with_component(p, c);
    if (!ValidDate(t)) {
        return 0;
    }
    return icaltime_is_date(t) || t.zone == nullptr ? DayOfTime(t) + shift : ToLocal(t).day;
}

std::string TextOf(const char* text) {
    return text ? std::string(text) : std::string();
}

// A DTEND before the DTSTART, or a negative DURATION.
const char* const kEndBeforeStart = "it ends before it starts; it now ends when it starts";

// One VEVENT turned into an event; no value (with the reason) when it cannot be kept.
struct Reader {
    icalcomponent* c;
    const std::string& defaultLayer;
    ImportedEvent out;
    std::string skipReason;

    std::string Subject() const {
        return out.event.subject.empty() ? std::string("(no subject)") : out.event.subject;
    }
    void Change(std::string text) { out.changes.push_back(std::move(text)); }

    bool Read();
    void ReadTexts();
    void ReadAlarm();
    bool ReadRule(const icaltimetype& dtstart, int sourceDay, int shift, int spanDays);
    // The begin date of the range an export from here kept beside the first occurrence.
    std::optional<int> rangeBegin;
    void FirstOccurrenceOnly(const std::string& why, int day);
    void ReportZoneShift(const icalrecurrencetype& rule, const icaltimetype& dtstart, int lastDay);
};

void Reader::ReadTexts() {
    tfield& e = out.event;
    e.subject = TextOf(icalcomponent_get_summary(c));
    e.content = TextOf(icalcomponent_get_description(c));
    std::string note;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_COMMENT_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_COMMENT_PROPERTY)) {
        const std::string text = TextOf(icalproperty_get_comment(p));
        if (text.rfind(kRuleCommentPrefix, 0) == 0) {
            continue;
        }
        note += (note.empty() ? "" : "\n") + text;
    }
    e.mynote = note;
    bool repaired = false;
    for (std::string* text : {&e.subject, &e.content, &e.mynote}) {
        repaired |= RepairUtf8(*text);
    }
    if (Cut(e.subject, kMaxSubjectBytes)) {
        Change("the subject was cut to " + std::to_string(kMaxSubjectBytes) + " bytes");
    }
    if (Cut(e.content, kMaxTextBytes) | Cut(e.mynote, kMaxTextBytes)) {
        Change("a long description or comment was cut to 1 MB");
    }
    if (IsBlankText(e.subject)) {
        e.subject = "(no subject)";
    }

    std::vector<std::string> categories;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_CATEGORIES_PROPERTY)) {
        std::string name = TextOf(icalproperty_get_categories(p));
        if (!IsBlankText(name)) {
            categories.push_back(std::move(name));
        }
    }
    std::string layer = categories.empty() ? defaultLayer : categories.front();
    if (categories.size() > 1) {
        Change("only its first category \"" + layer + "\" is kept, as its layer");
    }
    repaired |= RepairUtf8(layer);
    Cut(layer, 255);
    // A layer name never holds a single quote.
    std::string cleaned;
    for (char ch : layer) {
        cleaned += ch == '\'' ? std::string("\xE2\x80\x99") : std::string(1, ch);
    }
    if (cleaned != layer) {
        Change("the single quote in its category was replaced for the layer name");
    }
    e.layername = cleaned;
    if (repaired) {
        Change("invalid characters (not UTF-8) were replaced");
    }

    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
        const char* name = icalproperty_get_x_name(p);
        if (name && EqualNoCase(name, kArchivedProperty)) {
            if (const auto archived = ParseLocalText(icalproperty_get_x(p))) {
                e.lastFileTime = std::max(e.lastFileTime, *archived);
            }
        } else if (name && EqualNoCase(name, kLastAckProperty)) {
            // Another program's acknowledged alarm: the event counts as archived then.
            if (const auto acknowledged = ParseUtcText(icalproperty_get_x(p))) {
                e.lastFileTime = std::max(e.lastFileTime, *acknowledged);
            }
        } else if (name && EqualNoCase(name, kRangeBeginProperty)) {
            const std::string value = TextOf(icalproperty_get_x(p)) + "T000000";
            if (const auto begin = ParseLocalText(value.c_str())) {
                rangeBegin = DayOf(*begin);
            }
        }
    }
}

void Reader::ReadAlarm() {
    icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT);
    if (!alarm) {
        return;
    }
    out.event.alert = true;
    icalproperty* p = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!p) {
        return;
    }
    const icaltriggertype trigger = icalproperty_get_trigger(p);
    if (!icaltime_is_null_time(trigger.time)) {
        Change("its alarm rings at the start of the event, not at a set time");
        return;
    }
    const int seconds = icaldurationtype_as_int(trigger.duration);
    icalparameter* related = icalproperty_get_first_parameter(p, ICAL_RELATED_PARAMETER);
    const bool fromEnd = related && icalparameter_get_related(related) == ICAL_RELATED_END;
    if (seconds < 0 && !fromEnd && -seconds <= kMaxRemindBefore * 60) {
        out.event.remindBefore = -seconds / 60;
        if (-seconds % 60 != 0) {
            Change("its alarm rings " + std::to_string(out.event.remindBefore) +
                   " whole minutes before the start");
        }
    } else if (seconds != 0 || fromEnd) {
        Change("its alarm rings at the start of the event (the file has it " +
               std::to_string(std::abs(seconds) / 60) + " minutes " +
               (seconds < 0 ? "before" : "after") + (fromEnd ? " the end" : "") + ")");
    }
}

void Reader::FirstOccurrenceOnly(const std::string& why, int day) {
    tfield& e = out.event;
    e.repeatType = kRepeatNone;
    e.begindate = e.enddate = day;
    Change("only its first occurrence, on " + DateText(day) + ", was kept: " + why);
}

// Sets the rule and the date range; false when nothing of the event is left.
bool Reader::ReadRule(const icaltimetype& dtstart, int sourceDay, int shift, int spanDays) {
    tfield& e = out.event;
    const int localDay = sourceDay + shift;
    e.repeatType = kRepeatNone;
    e.begindate = e.enddate = localDay;

    std::vector<icalproperty*> rrules;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RRULE_PROPERTY)) {
        rrules.push_back(p);
    }
    const bool hasRdate = icalcomponent_get_first_property(c, ICAL_RDATE_PROPERTY) != nullptr;
    std::vector<int> exdates;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY)) {
        exdates.push_back(LocalDayOf(p, c, shift));
    }
    const auto excluded = [&](int day) {
        return std::find(exdates.begin(), exdates.end(), day) != exdates.end();
    };

    if (rrules.empty()) {
        if (excluded(localDay)) {
            skipReason = "its only occurrence is excluded (EXDATE)";
            return false;
        }
        if (hasRdate) {
            FirstOccurrenceOnly("extra dates (RDATE) cannot be kept", localDay);
        } else if (spanDays > 1) {
            // An all-day event over several days shows on each of them.
            e.repeatType = kRepeatDaily;
            e.dayType = kDayEveryN;
            e.dayEvery0 = 1;
            e.enddate = localDay + spanDays - 1;
        }
        return true;
    }

    const icalrecurrencetype rule = icalproperty_get_rrule(rrules.front());
    // The first occurrence that is not excluded, for the rules that cannot be kept. The start
    // is the first occurrence even where the rule does not give its day.
    std::optional<int> first;
    if (!excluded(localDay)) {
        first = localDay;
    }
    const std::vector<int> firstDays = Expand(rule, dtstart, OpenEndDay(), 1 + int(exdates.size()));
    for (int d : firstDays) {
        if (!first && !excluded(d + shift)) {
            first = d + shift;
        }
    }
    const auto fallback = [&](const std::string& why) {
        if (!first) {
            skipReason = "every occurrence is excluded (EXDATE)";
            return false;
        }
        FirstOccurrenceOnly(why, *first);
        return true;
    };
    if (rrules.size() > 1) {
        return fallback("it has more than one RRULE");
    }
    std::optional<tfield> mapped = RRuleToRule(rule, sourceDay);
    if (!mapped) {
        char* text = icalrecurrencetype_as_string_r(const_cast<icalrecurrencetype*>(&rule));
        const std::string ruleText = TextOf(text);
        icalmemory_free_buffer(text);
        return fallback("the rule " + ruleText + " has no equivalent here");
    }
    if (shift != 0) {
        if (mapped->repeatType == kRepeatWeekly) {
            std::string rotated = "FFFFFFF";
            for (int i = 0; i < 7; ++i) {
                rotated[std::size_t(((i + shift) % 7 + 7) % 7)] =
                    mapped->weekSelected0[std::size_t(i)];
            }
            mapped->weekSelected0 = rotated;
        } else if (mapped->repeatType != kRepeatDaily) {
            return fallback("its time zone moves it to another day here");
        }
    }
    tfield candidate = e;
    const auto keep = [&candidate](const tfield& r) {
        candidate.repeatType = r.repeatType;
        candidate.dayType = r.dayType;
        candidate.dayEvery0 = r.dayEvery0;
        candidate.weekType = 0;
        candidate.weekEvery0 = r.weekEvery0;
        candidate.weekSelected0 = r.weekSelected0;
        candidate.monthType = r.monthType;
        candidate.monthDay0 = r.monthDay0;
        candidate.monthEvery0 = r.monthEvery0;
        candidate.monthspecial1 = r.monthspecial1;
        candidate.monthDayorWeek1 = r.monthDayorWeek1;
        candidate.monthEvery1 = r.monthEvery1;
        candidate.yearType = r.yearType;
        candidate.yearDay0 = r.yearDay0;
        candidate.yearMonth0 = r.yearMonth0;
        candidate.yearspecial1 = r.yearspecial1;
        candidate.yearDayorWeek1 = r.yearDayorWeek1;
        candidate.yearMonth1 = r.yearMonth1;
    };
    keep(*mapped);

    // The end of the range: the last occurrence of a COUNT, the day of UNTIL, or none.
    int endDay = OpenEndDay();
    if (rule.count > 0) {
        const std::vector<int> all =
            Expand(rule, dtstart, OpenEndDay(), std::min(rule.count, kMaxCount));
        if (rule.count > kMaxCount || all.empty()) {
            return fallback("its COUNT is too large");
        }
        endDay = all.back() + shift;
    } else if (!icaltime_is_null_time(rule.until)) {
        if (!ValidDate(rule.until)) {
            return fallback("its UNTIL is not a valid date");
        }
        // UNTIL is a moment: the last occurrence is the last one that starts by then, which
        // the rule's own expansion knows (a series ending 23:59:59Z keeps its last day in
        // any zone).
        const std::vector<int> all = Expand(rule, dtstart, OpenEndDay(), kMaxCount);
        const int untilDay = icaltime_is_date(rule.until) || rule.until.zone == nullptr
                                 ? DayOfTime(rule.until) + shift
                                 : ToLocal(rule.until).day;
        const int last = all.empty() ? localDay : all.back() + shift;
        endDay = std::max(untilDay, last);
        // The day of UNTIL keeps the range as the file has it, unless the rule would give an
        // occurrence on it that starts after the moment of UNTIL.
        tfield probe = candidate;
        probe.enddate = endDay;
        bool later = false;
        if (int(all.size()) < kMaxCount) {
            tsatisfy(probe).ForEachOccurrence(last + 1, endDay, [&later](int) { later = true; });
        }
        if (later) {
            endDay = last;
        }
    } else {
        candidate.openEnd = true;
    }
    if (endDay < localDay) {
        endDay = localDay;
    }
    candidate.enddate = endDay;

    // The program's days must be the RRULE's days.
    const int checkEnd = int(std::min<long long>(endDay, (long long)localDay + kCheckDays));
    std::vector<int> theirs = Expand(rule, dtstart, checkEnd - shift, kCheckOccurrences);
    for (int& d : theirs) {
        d += shift;
    }
    const int compareEnd = int(theirs.size()) == kCheckOccurrences ? theirs.back() : checkEnd;
    const auto sameDays = [&](const tfield& r) {
        std::vector<int> ours;
        tsatisfy(r).ForEachOccurrence(DayOf(r.begindate), compareEnd,
                                      [&ours](int day) { ours.push_back(day); });
        return ours == theirs;
    };
    if (!sameDays(candidate)) {
        return fallback("its days differ from every rule kind here");
    }
    // The excluded dates the rule meets become the event's exception days.
    for (int d : exdates) {
        if (d != 0 && tsatisfy(candidate).OccursOn(d)) {
            candidate.exceptDays.push_back(d);
        }
    }
    std::sort(candidate.exceptDays.begin(), candidate.exceptDays.end());
    candidate.exceptDays.erase(
        std::unique(candidate.exceptDays.begin(), candidate.exceptDays.end()),
        candidate.exceptDays.end());
    if (hasRdate) {
        return fallback("extra dates (RDATE) cannot be kept");
    }
    // A start on a day the rule does not give is an occurrence all the same; it is kept as a
    // one-time event linked to the series (see ImportCalendarText).
    const bool startApart = !excluded(localDay) && !tsatisfy(candidate).OccursOn(localDay);
    // A range exported from here that begins before its first occurrence gets its begin
    // date back when the rule still gives the same days from it.
    if (rangeBegin && *rangeBegin < localDay) {
        tfield earlier = candidate;
        earlier.begindate = *rangeBegin;
        if (sameDays(earlier)) {
            candidate = earlier;
        }
    }
    ReportZoneShift(rule, dtstart, checkEnd - shift);
    if (spanDays > 1) {
        Change("each occurrence spans " + std::to_string(spanDays) +
               " days and shows on its first day only");
    }

    // The editor wants a range as long as one period of the rule; a shorter one is widened
    // where that adds no occurrence, and a rule with a single occurrence happens once.
    const int minimum = MinimumSpanDays(candidate.repeatType);
    const int beginDay = DayOf(candidate.begindate);
    if (endDay - beginDay < minimum) {
        int count = 0;
        tsatisfy(candidate).ForEachOccurrence(beginDay, endDay, [&count](int) { ++count; });
        tfield wider = candidate;
        wider.enddate = beginDay + minimum;
        int widerCount = 0;
        tsatisfy(wider).ForEachOccurrence(beginDay, beginDay + minimum,
                                          [&widerCount](int) { ++widerCount; });
        if (count == 1 && !startApart) {
            candidate.repeatType = kRepeatNone;
            candidate.begindate = candidate.enddate = localDay;
        } else if (widerCount == count) {
            candidate = wider;
        }
    }
    if (startApart && firstDays.empty()) {
        // The rule gives no day at all: the start is the one occurrence.
        candidate.repeatType = kRepeatNone;
        candidate.begindate = candidate.enddate = localDay;
    }
    if (candidate.repeatType == kRepeatNone) {
        candidate.openEnd = false;
        candidate.exceptDays.clear();
    }
    if (startApart && candidate.repeatType != kRepeatNone) {
        out.startDay = localDay;
    }
    e = candidate;
    return true;
}

void Reader::ReportZoneShift(const icalrecurrencetype& rule, const icaltimetype& dtstart,
                             int lastDay) {
    // A series anchored in UTC or in another zone keeps its moment there: where the local
    // clock changes to or from summer time at other dates than that zone, the local time of
    // its occurrences moves. The event keeps one time of day, so the move is told.
    if (icaltime_is_date(dtstart) || dtstart.zone == nullptr) {
        return;
    }
    const TDateTime kept = out.event.beginTime;
    std::unique_ptr<icalrecur_iterator, IteratorFree> it(icalrecur_iterator_new(rule, dtstart));
    if (!it) {
        return;
    }
    int seen = 0;
    for (icaltimetype t = icalrecur_iterator_next(it.get());
         !icaltime_is_null_time(t) && seen < kCheckOccurrences && ValidDate(t) &&
         DayOfTime(t) <= lastDay;
         t = icalrecur_iterator_next(it.get()), ++seen) {
        t.zone = dtstart.zone;
        const Local local = ToLocal(t);
        if (std::fabs(local.time - kept) > 0.5 / 86400.0) {
            Change("its time here moves with summer time (" + TimeText(local.time) + " on " +
                   DateText(local.day) + "); it is kept at " + TimeText(kept));
            return;
        }
    }
}

bool Reader::Read() {
    ReadTexts();
    out.uid = TextOf(icalcomponent_get_uid(c));
    RepairUtf8(out.uid);
    const bool cancelled = icalcomponent_get_status(c) == ICAL_STATUS_CANCELLED;
    icalproperty* rid = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY);
    if (rid) {
        const icaltimetype t = icalproperty_get_recurrenceid(rid);
        if (!ValidDate(t)) {
            skipReason = "the occurrence it changes (RECURRENCE-ID) is not a valid date";
            return false;
        }
        icaltimetype zoned = t;
        if (icaltimezone* zone = DatabaseZone(rid, t)) {
            zoned.zone = zone;
        }
        out.recurrenceDay = ToLocal(zoned).day;
        out.cancelled = cancelled;
    } else if (cancelled) {
        skipReason = "it is cancelled (STATUS:CANCELLED)";
        return false;
    }
    if (const char* location = icalcomponent_get_location(c); location && *location) {
        out.event.location = location;
        RepairUtf8(out.event.location);
        Cut(out.event.location, kMaxSubjectBytes);
    }
    ReadAlarm();
    icalproperty* startProperty = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY);
    if (!startProperty) {
        skipReason = "it has no start (DTSTART)";
        return false;
    }
    icaltimetype dtstart = icalcomponent_get_dtstart(c);
    if (!ValidDate(dtstart)) {
        skipReason = "its start (DTSTART) is not a valid date";
        return false;
    }
    if (icaltimezone* zone = DatabaseZone(startProperty, dtstart)) {
        dtstart.zone = zone;
    }
    if (icalproperty_get_first_parameter(startProperty, ICAL_TZID_PARAMETER) &&
        dtstart.zone == nullptr) {
        Change("its time zone is unknown; the times are kept as written");
    }
    // Lines the parser could not read; an empty value (an empty LOCATION, say) loses nothing.
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_XLICERROR_PROPERTY)) {
        const std::string error = TextOf(icalproperty_get_xlicerror(p));
        if (error.rfind("No value for", 0) != 0) {
            Change("a line could not be read: " + error);
            break;
        }
    }
    tfield& e = out.event;
    const int sourceDay = DayOfTime(dtstart);
    const Local start = ToLocal(dtstart);
    const int shift = start.day - sourceDay;
    int spanDays = 1;
    icaltimetype dtend = icalcomponent_get_dtend(c);
    const bool hasEnd = !icaltime_is_null_time(dtend) && ValidDate(dtend);
    if (hasEnd) {
        if (icaltimezone* zone =
                DatabaseZone(icalcomponent_get_first_property(c, ICAL_DTEND_PROPERTY), dtend)) {
            dtend.zone = zone;
        }
    }
    const TDateTime lastMinute = EncodeTime(23, 59);
    if (icaltime_is_date(dtstart)) {
        e.allDay = true;
        e.beginTime = 0;
        e.endtime = lastMinute;
        if (hasEnd) {
            spanDays = std::max(1, DayOfTime(dtend) - sourceDay);
            if (DayOfTime(dtend) < sourceDay) {
                Change(kEndBeforeStart);
            }
        }
    } else {
        e.beginTime = start.time;
        e.endtime = start.time;
        if (hasEnd) {
            const Local end = ToLocal(dtend);
            if (end.day == start.day && end.time >= start.time) {
                e.endtime = end.time;
            } else if (end.day > start.day) {
                e.endtime = std::max(lastMinute, start.time);
                if (!(end.day == start.day + 1 && end.time == 0)) {
                    Change("it ends on a later day; it now ends at 23:59");
                }
            } else {
                Change(kEndBeforeStart);
            }
        }
    }
    if (rid) {
        // An override is one occurrence, whatever rule it repeats from its series.
        e.repeatType = kRepeatNone;
        e.begindate = e.enddate = start.day;
        e.seriesDay = out.recurrenceDay;
        return true;
    }
    return ReadRule(dtstart, sourceDay, shift, spanDays);
}

void CollectCalendars(icalcomponent* root, std::vector<icalcomponent*>& calendars) {
    if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT) {
        calendars.push_back(root);
        return;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT)) {
        calendars.push_back(c);
    }
}

// The depth of BEGIN blocks, read line by line before the parser sees the text.
bool NestingWithin(std::string_view text, int limit) {
    int depth = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(pos, std::min<std::size_t>(end - pos, 6));
        if (EqualNoCase(line, "BEGIN:")) {
            if (++depth > limit) {
                return false;
            }
        } else if (line.size() >= 4 && EqualNoCase(line.substr(0, 4), "END:")) {
            depth = std::max(0, depth - 1);
        }
        pos = end + 1;
    }
    return true;
}

// The text with every line longer than kLongLine folded into pieces of that length: the
// parser takes time that grows with the square of a line's length, but unfolding gives back
// the same line.
constexpr std::size_t kLongLine = 4096;
std::string FoldLongLines(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / kLongLine * 3);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(pos, end - pos);
        while (line.size() > kLongLine + 2) {
            out.append(line.substr(0, kLongLine));
            out.append("\r\n ");
            line.remove_prefix(kLongLine);
        }
        out.append(line);
        pos = end;
    }
    return out;
}

// The fields of the rule set to their defaults; a one-time event keeps those of the rule it
// may have had (the editor and a detached occurrence keep them), but a file has none of them.
void ForgetRule(tfield& e) {
    const tfield none;
    e.dayType = none.dayType;
    e.dayEvery0 = none.dayEvery0;
    e.weekType = none.weekType;
    e.weekEvery0 = none.weekEvery0;
    e.weekSelected0 = none.weekSelected0;
    e.monthType = none.monthType;
    e.monthDay0 = none.monthDay0;
    e.monthEvery0 = none.monthEvery0;
    e.monthspecial1 = none.monthspecial1;
    e.monthDayorWeek1 = none.monthDayorWeek1;
    e.monthEvery1 = none.monthEvery1;
    e.yearType = none.yearType;
    e.yearDay0 = none.yearDay0;
    e.yearMonth0 = none.yearMonth0;
    e.yearspecial1 = none.yearspecial1;
    e.yearDayorWeek1 = none.yearDayorWeek1;
    e.yearMonth1 = none.yearMonth1;
    e.exceptDays.clear();
    e.openEnd = false;
}

bool SameEvent(tfield a, tfield b) {
    a.id = b.id;
    a.layerColor = b.layerColor;
    a.lastFileTime = b.lastFileTime;
    if (a.repeatType == kRepeatNone && b.repeatType == kRepeatNone) {
        ForgetRule(a);
        ForgetRule(b);
    }
    return a == b;
}

const char* const kNotICalendar = "The file is not an iCalendar file.";

}  // namespace

ParsedCalendar ParseCalendar(std::string_view text, const std::string& defaultLayer) {
    ParsedCalendar parsed;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    const std::size_t firstText = text.find_first_not_of(" \t\r\n");
    if (firstText == std::string_view::npos ||
        !EqualNoCase(text.substr(firstText, 15), "BEGIN:VCALENDAR")) {
        parsed.error = kNotICalendar;
        return parsed;
    }
    if (!NestingWithin(text, kMaxNesting)) {
        parsed.error = "The file is nested too deeply to be an iCalendar file.";
        return parsed;
    }
    icalerror_set_errors_are_fatal(0);
    const std::string copy = FoldLongLines(text);  // also ends in the NUL the parser stops at
    Component root(icalparser_parse_string(copy.c_str()));
    std::vector<icalcomponent*> calendars;
    if (root) {
        CollectCalendars(root.get(), calendars);
    }
    if (calendars.empty()) {
        parsed.error = "The iCalendar file is incomplete or damaged; nothing was imported.";
        return parsed;
    }
    // Every VEVENT counts, wherever it stands: in a calendar, in a calendar nested in another,
    // or outside any; to-dos and journal entries are told about, as they are no events here.
    std::set<icalcomponent*> visited;
    const auto read = [&](icalcomponent* c) {
        Reader reader{c, defaultLayer, {}, {}, {}};
        if (reader.Read()) {
            parsed.events.push_back(std::move(reader.out));
            return;
        }
        ++parsed.skipped;
        parsed.details.push_back("Skipped \"" + reader.Subject() + "\": " + reader.skipReason +
                                 ".");
        if (!reader.out.uid.empty() &&
            !icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
            parsed.skippedSeries.insert(reader.out.uid);
        }
    };
    const std::function<void(icalcomponent*)> walk = [&](icalcomponent* parent) {
        for (icalcomponent* c = icalcomponent_get_first_component(parent, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(parent, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind == ICAL_VEVENT_COMPONENT) {
                read(c);
            } else if (kind == ICAL_VTODO_COMPONENT || kind == ICAL_VJOURNAL_COMPONENT) {
                ++parsed.skipped;
                const char* summary = icalcomponent_get_summary(c);
                parsed.details.push_back(std::string("Skipped \"") +
                                         (summary && *summary ? summary : "(no subject)") + "\": " +
                                         (kind == ICAL_VTODO_COMPONENT
                                              ? "it is a to-do (VTODO)"
                                              : "it is a journal entry (VJOURNAL)") +
                                         ", not an event.");
            } else if (kind == ICAL_VCALENDAR_COMPONENT || kind == ICAL_XROOT_COMPONENT) {
                if (visited.insert(c).second) {
                    walk(c);
                }
            }
        }
    };
    (void)calendars;
    visited.insert(root.get());
    if (icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT) {
        // A text that is one event alone.
        read(root.get());
    }
    walk(root.get());
    parsed.ok = true;
    return parsed;
}

std::string ImportResult::Summary() const {
    return std::to_string(imported) + " events imported, " + std::to_string(changed) +
           " changed (see details), " +
           (unchanged > 0 ? std::to_string(unchanged) + " unchanged, " : std::string()) +
           std::to_string(skipped) + " skipped";
}

std::string ImportResult::DetailText() const {
    std::string text;
    for (const std::string& line : details) {
        text += line + "\n";
    }
    return text;
}

ImportResult ImportCalendarText(TDataMod& dm, std::string_view text) {
    ImportResult result;
    if (!dm.Connected()) {
        result.error = "The database is not open.";
        return result;
    }
    if (!dm.ChangeRefusal().empty()) {
        result.error = dm.ChangeRefusal();
        return result;
    }
    const std::string defaultLayer = dm.Layers.empty() ? "Imported" : dm.Layers.front().name;
    ParsedCalendar parsed = ParseCalendar(text, defaultLayer);
    if (!parsed.ok) {
        result.error = parsed.error;
        return result;
    }
    result.skipped = parsed.skipped;
    result.details = parsed.details;
    const std::string key = FolderUidKey(dm, false);
    platform::Database& db = dm.ADOConnection;
    std::vector<std::string> details;
    int imported = 0;
    int changed = 0;
    int unchanged = 0;
    int skipped = 0;
    try {
        Transaction transaction(db);
        db.exec(std::string("create table if not exists ") + kUidTable +
                " (uid TEXT PRIMARY KEY, eventid INTEGER NOT NULL)");
        std::set<std::string> seen;
        std::set<std::pair<std::string, int>> seenOverrides;
        platform::Query q(db);
        // The days the overrides of each series take out of it.
        std::map<std::string, std::vector<int>> overridden;
        for (const ImportedEvent& item : parsed.events) {
            if (item.recurrenceDay != 0) {
                overridden[item.uid].push_back(item.recurrenceDay);
            }
        }
        std::map<std::string, std::int64_t> seriesIds;  // the series of this file, stored
        const auto loadRow = [&](const std::string& where, tfield& stored) {
            q.setSql("select * from eventtable where " + where);
            q.open();
            const bool found = !q.eof();
            if (found) {
                TransferRow(TransferDirection::RowToRecord, stored, q, dm.Layers);
            }
            return found;
        };
        // Writes e over the open row, or as a new row when none is open; answers its id.
        const auto store = [&](tfield& e, bool update) {
            if (!update) {
                q.close();
                q.setSql("select * from eventtable where id=0");
                q.open();
                q.append();
            } else {
                q.edit();
            }
            TransferRow(TransferDirection::RecordToRow, e, q, dm.Layers);
            q.post();
            q.close();
            return update ? e.id : db.lastInsertRowId();
        };
        const auto unchangedOne = [&](const std::string& name) {
            ++unchanged;
            details.push_back("Unchanged " + name + ": it is already in the calendar.");
        };
        const auto overrides = [&](const std::string& uid, int day) {
            const auto it = overridden.find(uid);
            return it != overridden.end() &&
                   std::find(it->second.begin(), it->second.end(), day) != it->second.end();
        };
        // A start that the rule of its series does not give is kept as a one-time event
        // detached from the series, unless the file has an override of its own for that day.
        for (ImportedEvent& item : parsed.events) {
            if (item.startDay != 0 && overrides(item.uid, item.startDay)) {
                item.startDay = 0;
            }
            if (item.startDay != 0) {
                item.changes.push_back("its start on " + DateText(item.startDay) +
                                       " is not a day of its rule; that occurrence is kept as a "
                                       "one-time event of the series");
            }
        }
        // Stores that one-time event for the series with this id, or finds it stored already;
        // answers whether the table changed.
        const auto keepStart = [&](const ImportedEvent& item, std::int64_t series) {
            if (item.startDay == 0) {
                return false;
            }
            tfield withId = item.event;
            withId.id = series;
            tfield once = DetachedOccurrence(withId, item.startDay);
            tfield stored;
            const bool found = loadRow("seriesId=" + std::to_string(series) +
                                           " and seriesDay=" + std::to_string(item.startDay),
                                       stored);
            if (found && SameEvent(stored, once) && stored.lastFileTime >= once.lastFileTime) {
                q.close();
                return false;
            }
            if (found) {
                once.id = stored.id;
                once.lastFileTime = std::max(once.lastFileTime, stored.lastFileTime);
            }
            store(once, found);
            return true;
        };
        // The event a UID of another calendar was imported into, 0 when none.
        const auto uidTableId = [&](const std::string& uid) {
            q.setSql(std::string("select eventid from ") + kUidTable +
                     " where uid=" + platform::SqlLiteral(uid));
            q.open();
            const std::int64_t id = q.eof() ? 0 : q.asInteger("eventid");
            q.close();
            return id;
        };
        const auto reportChanges = [&](const ImportedEvent& item, const std::string& name) {
            if (!item.changes.empty()) {
                ++changed;
            }
            for (const std::string& change : item.changes) {
                details.push_back("Changed " + name + ": " + change + ".");
            }
        };
        for (int pass = 0; pass < 2; ++pass) {
            for (ImportedEvent& item : parsed.events) {
                if ((item.recurrenceDay != 0) != (pass == 1)) {
                    continue;
                }
                tfield& e = item.event;
                const std::string name = "\"" + e.subject + "\"";
                // The UID an event is matched by: none for an override kept on its own.
                std::string uid = item.uid;
                if (pass == 1) {
                    const std::string day = DateText(item.recurrenceDay);
                    if (!uid.empty() && !seenOverrides.insert({uid, item.recurrenceDay}).second) {
                        ++skipped;
                        details.push_back("Skipped " + name + " on " + day +
                                          ": an earlier entry of the file changes that "
                                          "occurrence already.");
                        continue;
                    }
                    std::int64_t series = 0;
                    if (const auto it = seriesIds.find(uid);
                        !uid.empty() && it != seriesIds.end()) {
                        series = it->second;
                    }
                    if (series == 0 && !uid.empty() && !parsed.skippedSeries.contains(uid)) {
                        // A series imported or exported before: the override changes it there.
                        for (const std::int64_t existing : {IdOfUid(uid, key), uidTableId(uid)}) {
                            tfield stored;
                            if (existing == 0 ||
                                !loadRow("id=" + std::to_string(existing), stored)) {
                                q.close();
                                continue;
                            }
                            if (stored.repeatType != kRepeatNone) {
                                series = stored.id;
                                if (tsatisfy(stored).OccursOn(item.recurrenceDay)) {
                                    const auto at = std::lower_bound(stored.exceptDays.begin(),
                                                                     stored.exceptDays.end(),
                                                                     item.recurrenceDay);
                                    stored.exceptDays.insert(at, item.recurrenceDay);
                                    store(stored, true);
                                }
                            }
                            q.close();
                            break;
                        }
                    }
                    if (series == 0) {
                        // No series to change: a moved occurrence is an appointment of its
                        // own, a cancelled one takes nothing out.
                        const std::string of = uid.empty()
                                                   ? "a repeating event it does not name (no UID)"
                                               : parsed.skippedSeries.contains(uid)
                                                   ? "a repeating event that was skipped"
                                                   : "a repeating event that is not in the file";
                        if (item.cancelled) {
                            ++skipped;
                            details.push_back("Skipped " + name +
                                              ": it cancels the occurrence on " + day + " of " +
                                              of + ".");
                            continue;
                        }
                        item.changes.insert(item.changes.begin(),
                                            "it changes the occurrence on " + day + " of " + of +
                                                "; it is kept as a one-time event");
                        e.seriesId = 0;
                        e.seriesDay = 0;
                        uid.clear();
                    } else if (item.cancelled) {
                        ++imported;
                        details.push_back("Took out the occurrence of " + name + " on " + day +
                                          ".");
                        continue;
                    } else {
                        e.seriesId = series;
                        e.seriesDay = item.recurrenceDay;
                        tfield stored;
                        const bool found =
                            loadRow("seriesId=" + std::to_string(series) +
                                        " and seriesDay=" + std::to_string(e.seriesDay),
                                    stored);
                        if (found && SameEvent(stored, e) &&
                            stored.lastFileTime >= e.lastFileTime) {
                            q.close();
                            unchangedOne(name + " on " + day);
                            continue;
                        }
                        if (found) {
                            e.id = stored.id;
                            e.lastFileTime = std::max(e.lastFileTime, stored.lastFileTime);
                        }
                        store(e, found);
                        ++imported;
                        details.push_back((found ? "Updated the occurrence of "
                                                 : "Moved or changed the occurrence of ") +
                                          name + " on " + day + ".");
                        reportChanges(item, name);
                        continue;
                    }
                }
                if (!uid.empty() && !seen.insert(uid).second) {
                    ++skipped;
                    details.push_back("Skipped " + name + ": its UID appears earlier in the file.");
                    continue;
                }
                if (const auto it = overridden.find(uid);
                    !uid.empty() && it != overridden.end() && e.repeatType != kRepeatNone) {
                    for (int day : it->second) {
                        if (tsatisfy(e).OccursOn(day)) {
                            e.exceptDays.push_back(day);
                        }
                    }
                    std::sort(e.exceptDays.begin(), e.exceptDays.end());
                    e.exceptDays.erase(std::unique(e.exceptDays.begin(), e.exceptDays.end()),
                                       e.exceptDays.end());
                }
                // The event this UID was exported from, or imported into before, if it still
                // exists; for an event without UID, the same event stored before.
                tfield stored;
                bool found = false;
                for (int source = 0; source < 3 && !found; ++source) {
                    std::int64_t existing = 0;
                    if (source == 0 && !uid.empty()) {
                        existing = IdOfUid(uid, key);
                    } else if (source == 1 && !uid.empty()) {
                        existing = uidTableId(uid);
                    } else if (source == 2 && uid.empty()) {
                        q.setSql("select * from eventtable where subject=" +
                                 platform::SqlLiteral(e.subject) +
                                 " and begindate=" + FormatNumber(e.begindate));
                        for (q.open(); !q.eof(); q.next()) {
                            TransferRow(TransferDirection::RowToRecord, stored, q, dm.Layers);
                            if (SameEvent(stored, e)) {
                                existing = stored.id;
                                break;
                            }
                        }
                        q.close();
                    }
                    if (existing != 0) {
                        found = loadRow("id=" + std::to_string(existing), stored);
                        q.close();
                    }
                }
                if (found && SameEvent(stored, e) && stored.lastFileTime >= e.lastFileTime) {
                    if (!uid.empty()) {
                        seriesIds[uid] = stored.id;
                    }
                    if (!keepStart(item, stored.id)) {
                        unchangedOne(name);
                        continue;
                    }
                    ++imported;
                    details.push_back("Updated " + name + ", found by its UID.");
                    reportChanges(item, name);
                    continue;
                }
                std::int64_t id = 0;
                if (found) {
                    e.id = stored.id;
                    e.lastFileTime = std::max(e.lastFileTime, stored.lastFileTime);
                    q.setSql("select * from eventtable where id=" + std::to_string(e.id));
                    q.open();
                    id = store(e, true);
                    details.push_back("Updated " + name + ", found by its UID.");
                } else {
                    id = store(e, false);
                    if (!uid.empty()) {
                        db.exec(std::string("insert or replace into ") + kUidTable +
                                " (uid,eventid) values (" + platform::SqlLiteral(uid) + "," +
                                std::to_string(id) + ")");
                    }
                }
                if (!uid.empty()) {
                    seriesIds[uid] = id;
                }
                keepStart(item, id);
                ++imported;
                reportChanges(item, name);
            }
        }
        transaction.commit();
    } catch (const platform::DbError& error) {
        result = ImportResult{};
        result.error = std::string("The import failed and nothing was added: ") + error.what();
        return result;
    }
    result.imported = imported;
    result.changed = changed;
    result.unchanged = unchanged;
    result.skipped += skipped;
    result.details.insert(result.details.end(), details.begin(), details.end());

    // Layers for the categories the table does not have yet, shown at once.
    std::set<std::string> withoutLayer;
    for (const ImportedEvent& item : parsed.events) {
        const std::string& layer = item.event.layername;
        const bool known = std::any_of(dm.Layers.begin(), dm.Layers.end(),
                                       [&layer](const tlayinfo& l) { return l.name == layer; });
        if (!known && int(dm.Layers.size()) < TDataMod::kMaxLayers) {
            dm.Layers.push_back(tlayinfo{layer, kUnknownLayerColor, true});
            result.newLayers.push_back(layer);
        } else if (!known) {
            withoutLayer.insert(layer);
        }
    }
    if (!withoutLayer.empty()) {
        result.details.push_back("The events of " + std::to_string(withoutLayer.size()) +
                                 " categories are not shown: the layer list holds at most " +
                                 std::to_string(TDataMod::kMaxLayers) + " layers.");
    }
    if (!result.newLayers.empty()) {
        for (const std::string& layer : result.newLayers) {
            result.details.push_back("New layer \"" + layer + "\".");
        }
        dm.SaveLayers();
    }
    result.ok = true;
    return result;
}

bool ReadIcsFile(const std::string& path, std::string& text, std::string& error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "Unable to read " + path;
        return false;
    }
    if (size > kMaxFileSize) {
        error = "The file " + path + " is too large to be an iCalendar file.";
        return false;
    }
    if (!platform::ReadWholeFile(path, text)) {
        error = "Unable to read " + path;
        return false;
    }
    return true;
}

ImportResult ImportIcsFile(TDataMod& dm, const std::string& path) {
    ImportResult result;
    std::string text;
    if (!ReadIcsFile(path, text, result.error)) {
        return result;
    }
    return ImportCalendarText(dm, text);
}

}  // namespace qcal::ical
