#include "store/IcalExport.h"

#include <libical/ical.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "store/EventLists.h"
#include "store/IcalRules.h"

namespace qcal::ical {

namespace {

constexpr const char* kUidSection = "ICalendar";
constexpr const char* kUidKey = "UidKey";
constexpr const char* kUidDomain = "@quenlaris-calendar";
// Stands before a category with a comma until AsText writes it escaped.
constexpr const char* kCommaCategory = "X-QCAL-COMMA-CATEGORY:";

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

// A date-time without a time zone: the program keeps local times.
icaltimetype Floating(int day, TDateTime timeOfDay) {
    const CivilDate d = DateOfDay(day);
    const TimeOfDay t = DecodeTime(timeOfDay);
    icaltimetype v = icaltime_null_time();
    v.year = d.year;
    v.month = int(d.month);
    v.day = int(d.day);
    // A time of day rounded up to 24:00 stays on its day.
    v.hour = t.hour > 23 ? 23 : t.hour;
    v.minute = t.hour > 23 ? 59 : t.minute;
    v.second = t.hour > 23 ? 59 : t.second;
    v.is_date = 0;
    v.zone = nullptr;
    return v;
}

// The time of an event: the editor shows hours and minutes, so the seconds a time may carry
// (a new event starts at the moment it was added) are not written.
icaltimetype EventTime(int day, TDateTime timeOfDay) {
    const double minutes = std::round(std::fabs(timeOfDay - std::trunc(timeOfDay)) * 1440.0);
    return Floating(day, std::min(minutes, 1439.0) / 1440.0);
}

icaltimetype DateOnly(int day) {
    icaltimetype v = Floating(day, 0);
    v.hour = v.minute = v.second = 0;
    v.is_date = 1;
    return v;
}

icaltimetype UtcMoment(TDateTime stamp) {
    icaltimetype v = Floating(DayOf(stamp), stamp - DayOf(stamp));
    v.zone = icaltimezone_get_utc_timezone();
    return v;
}

// Line breaks as the iCalendar text form has them: a carriage return, alone or before a line
// feed, becomes a line feed.
std::string Lines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string LocalText(TDateTime moment) {
    const icaltimetype v = Floating(DayOf(moment), moment - DayOf(moment));
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d", v.year, v.month, v.day, v.hour,
                  v.minute, v.second);
    return text;
}

// What a VEVENT needs beyond the event: for a detached occurrence, the series it replaces an
// occurrence of; for a series, the days whose occurrence a detached one replaces.
struct SeriesLinks {
    const tfield* series = nullptr;
    std::set<int> detachedDays;
    // The archive time also as the moment of the last acknowledged alarm, in UTC, which other
    // calendar programs read.
    bool lastAck = false;
};

// A local date-time as a UTC moment ("20261208T083000Z"); empty when it cannot be placed.
std::string UtcText(TDateTime local) {
    const CivilDate d = DateOfDay(DayOf(local));
    const TimeOfDay t = DecodeTime(local - DayOf(local));
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = int(d.month) - 1;
    tm.tm_mday = int(d.day);
    tm.tm_hour = t.hour > 23 ? 23 : t.hour;
    tm.tm_min = t.hour > 23 ? 59 : t.minute;
    tm.tm_sec = t.hour > 23 ? 59 : t.second;
    tm.tm_isdst = -1;
    const std::time_t moment = std::mktime(&tm);
    std::tm utc{};
    if (moment == std::time_t(-1) || !gmtime_r(&moment, &utc)) {
        return {};
    }
    char text[96];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

struct IteratorFree {
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};

// Whether rrule, started on the day start, gives the days the rule of e gives from there;
// compared over eight years or 1000 occurrences.
bool SameDaysFrom(const tfield& e, const std::string& rrule, int start) {
    const icalrecurrencetype r = icalrecurrencetype_from_string(rrule.c_str());
    std::unique_ptr<icalrecur_iterator, IteratorFree> it(
        icalrecur_iterator_new(r, Floating(start, 0)));
    if (!it) {
        return false;
    }
    const int last = std::min(DayOf(e.enddate), start + 8 * 366);
    std::vector<int> theirs;
    for (icaltimetype t = icalrecur_iterator_next(it.get());
         !icaltime_is_null_time(t) && theirs.size() < 1000; t = icalrecur_iterator_next(it.get())) {
        const int day = DayNumber(t.year, unsigned(t.month), unsigned(t.day));
        if (day > last) {
            break;
        }
        theirs.push_back(day);
    }
    const int compareEnd = theirs.size() == 1000 ? theirs.back() : last;
    std::vector<int> ours;
    tsatisfy(e).ForEachOccurrence(start, compareEnd, [&ours](int day) { ours.push_back(day); });
    return ours == theirs;
}

Component MakeVEvent(const tfield& e, const std::string& uid, TDateTime stamp, ExportedRule& rule,
                     const SeriesLinks& links = {}) {
    // The rule and its first day as the rule gives them; the exception days are written apart.
    tfield plain = e;
    plain.exceptDays.clear();
    rule = RuleToRRule(plain);
    // A series that begins with an occurrence its rule does not give (kept as a one-time event
    // detached from it on its begin day, as an import leaves a start of that kind) starts there:
    // the first occurrence is always the start, and the override of it names that day.
    const int beginDay = DayOf(e.begindate);
    if (rule.occurs && !rule.rrule.empty() && beginDay < rule.firstDay &&
        links.detachedDays.contains(beginDay) && SameDaysFrom(plain, rule.rrule, beginDay)) {
        rule.firstDay = beginDay;
    }
    Component ev(icalcomponent_new_vevent());
    icalcomponent* c = ev.get();
    icalcomponent_add_property(c, icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(c, icalproperty_new_dtstamp(UtcMoment(stamp)));
    const icaltimetype start =
        e.allDay ? DateOnly(rule.firstDay) : EventTime(rule.firstDay, e.beginTime);
    icalcomponent_add_property(c, icalproperty_new_dtstart(start));
    if (e.allDay) {
        icalcomponent_add_property(c, icalproperty_new_dtend(DateOnly(rule.firstDay + 1)));
    } else if (EventTime(0, e.endtime).minute + 60 * EventTime(0, e.endtime).hour >
               start.minute + 60 * start.hour) {
        icalcomponent_add_property(c, icalproperty_new_dtend(EventTime(rule.firstDay, e.endtime)));
    }
    if (links.series != nullptr) {
        const tfield& series = *links.series;
        icalcomponent_add_property(
            c, icalproperty_new_recurrenceid(series.allDay
                                                 ? DateOnly(e.seriesDay)
                                                 : EventTime(e.seriesDay, series.beginTime)));
    }
    if (!e.location.empty()) {
        icalcomponent_add_property(c, icalproperty_new_location(Lines(e.location).c_str()));
    }
    if (rule.occurs && !rule.rrule.empty()) {
        // A day a detached occurrence replaces is written with that occurrence instead.
        const tsatisfy rules(plain);
        for (int day : e.exceptDays) {
            if (!links.detachedDays.contains(day) && rules.OccursOn(day)) {
                icalcomponent_add_property(
                    c, icalproperty_new_exdate(e.allDay ? DateOnly(day)
                                                        : EventTime(day, e.beginTime)));
            }
        }
    }
    icalcomponent_add_property(c, icalproperty_new_summary(Lines(e.subject).c_str()));
    if (!e.content.empty()) {
        icalcomponent_add_property(c, icalproperty_new_description(Lines(e.content).c_str()));
    }
    if (!e.mynote.empty()) {
        icalcomponent_add_property(c, icalproperty_new_comment(Lines(e.mynote).c_str()));
    }
    if (!e.layername.empty()) {
        // libical writes a comma inside a category as it stands, which splits it in two; such
        // a name is written by AsText from a stand-in value.
        const bool comma = e.layername.find(',') != std::string::npos;
        const std::string value = comma ? kCommaCategory + e.layername : e.layername;
        icalcomponent_add_property(c, icalproperty_new_categories(value.c_str()));
    }
    if (!rule.occurs) {
        // No day of the range has an occurrence: one occurrence that is excluded again.
        icalcomponent_add_property(
            c, icalproperty_new_rrule(icalrecurrencetype_from_string("FREQ=DAILY;COUNT=1")));
        icalcomponent_add_property(c, icalproperty_new_exdate(start));
        const std::string note =
            std::string(kRuleCommentPrefix) + "this event has no occurrence within its date range.";
        icalcomponent_add_property(c, icalproperty_new_comment(note.c_str()));
    } else if (!rule.rrule.empty()) {
        icalcomponent_add_property(
            c, icalproperty_new_rrule(icalrecurrencetype_from_string(rule.rrule.c_str())));
        if (!rule.exact) {
            const std::string note = std::string(kRuleCommentPrefix) + rule.comment;
            icalcomponent_add_property(c, icalproperty_new_comment(note.c_str()));
        }
    }
    if (rule.occurs && !rule.rrule.empty() && rule.firstDay > DayOf(e.begindate) &&
        IsValidDateTime(e.begindate)) {
        icalproperty* range =
            icalproperty_new_x(LocalText(DayOf(e.begindate)).substr(0, 8).c_str());
        icalproperty_set_x_name(range, kRangeBeginProperty);
        icalcomponent_add_property(c, range);
    }
    if (e.lastFileTime != 0 && IsValidDateTime(e.lastFileTime)) {
        icalproperty* archived = icalproperty_new_x(LocalText(e.lastFileTime).c_str());
        icalproperty_set_x_name(archived, kArchivedProperty);
        icalcomponent_add_property(c, archived);
        if (const std::string utc = UtcText(e.lastFileTime); links.lastAck && !utc.empty()) {
            icalproperty* ack = icalproperty_new_x(utc.c_str());
            icalproperty_set_x_name(ack, kLastAckProperty);
            icalcomponent_add_property(c, ack);
        }
    }
    if (e.alert) {
        icalcomponent* alarm = icalcomponent_new_valarm();
        icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icalcomponent_add_property(alarm, icalproperty_new_description(Lines(e.subject).c_str()));
        icaltriggertype trigger{};
        trigger.time = icaltime_null_time();
        trigger.duration = icaldurationtype_null_duration();
        if (e.remindBefore > 0) {
            trigger.duration = icaldurationtype_from_int(-60 * e.remindBefore);
        }
        icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
        icalcomponent_add_component(c, alarm);
    }
    return ev;
}

// A content line folded after at most 75 octets, never inside a UTF-8 sequence.
std::string Folded(const std::string& line) {
    std::string out;
    std::size_t width = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80;
        if (!continuation) {
            std::size_t length = 1;
            while (i + length < line.size() &&
                   (static_cast<unsigned char>(line[i + length]) & 0xC0) == 0x80) {
                ++length;
            }
            if (width + length > 75) {
                out += "\r\n ";
                width = 1;
            }
        }
        out += line[i];
        ++width;
    }
    return out;
}

std::string AsText(icalcomponent* c) {
    char* text = icalcomponent_as_ical_string_r(c);
    std::string out = text ? text : "";
    icalmemory_free_buffer(text);
    // Categories with a comma: unfold the stand-in line, escape the value and fold it again.
    const std::string marker = std::string("\r\nCATEGORIES:") + kCommaCategory;
    for (std::size_t at = out.find(marker); at != std::string::npos; at = out.find(marker, at)) {
        const std::size_t begin = at + 2;
        std::size_t end = out.find("\r\n", begin);
        while (end != std::string::npos && end + 2 < out.size() &&
               (out[end + 2] == ' ' || out[end + 2] == '\t')) {
            end = out.find("\r\n", end + 2);
        }
        if (end == std::string::npos) {
            break;
        }
        std::string line;
        for (std::size_t i = begin; i < end; ++i) {
            if (out.compare(i, 3, "\r\n ") == 0 || out.compare(i, 3, "\r\n\t") == 0) {
                i += 2;
                continue;
            }
            line += out[i];
        }
        std::string value;
        for (char ch : line.substr(std::strlen("CATEGORIES:") + std::strlen(kCommaCategory))) {
            value += ch == ',' ? std::string("\\,") : std::string(1, ch);
        }
        const std::string fixed = Folded("CATEGORIES:" + value);
        out.replace(begin, end - begin, fixed);
        at = begin + fixed.size();
    }
    return out;
}

bool HasUidTable(platform::Database& db) {
    platform::Query q(db);
    q.setSql("select name from sqlite_master where type='table' and name=" +
             platform::SqlLiteral(kUidTable));
    q.open();
    return !q.eof();
}

}  // namespace

std::string FolderUidKey(TDataMod& dm, bool create) {
    platform::ProfileFile ini(dm.SetupIniPath());
    std::string key = ini.readString(kUidSection, kUidKey, "");
    if (!key.empty() || !create) {
        return key;
    }
    std::random_device device;
    std::mt19937_64 generator((std::uint64_t(device()) << 32) ^ device());
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
    ini.writeString(kUidSection, kUidKey, text);
    if (!ini.save()) {
        return {};
    }
    return text;
}

std::string MakeUid(std::int64_t id, const std::string& key) {
    return std::to_string(id) + "-" + key + kUidDomain;
}

std::int64_t IdOfUid(const std::string& uid, const std::string& key) {
    if (key.empty()) {
        return 0;
    }
    const std::string tail = "-" + key + kUidDomain;
    if (uid.size() <= tail.size() ||
        uid.compare(uid.size() - tail.size(), tail.size(), tail) != 0) {
        return 0;
    }
    std::int64_t id = 0;
    const char* first = uid.data();
    const char* last = uid.data() + (uid.size() - tail.size());
    const auto [end, ec] = std::from_chars(first, last, id);
    return ec == std::errc() && end == last && id > 0 ? id : 0;
}

std::string EventToVEvent(const tfield& event, const std::string& uid, const std::string& key,
                          TDateTime stamp) {
    ExportedRule rule;
    const Component c = MakeVEvent(event, uid.empty() ? MakeUid(event.id, key) : uid, stamp, rule);
    return AsText(c.get());
}

namespace {

// The events the condition selects (every event when it is empty) as one VCALENDAR.
ExportResult ExportSelected(TDataMod& dm, const std::string& where, bool lastAck,
                            std::string& text) {
    ExportResult result;
    if (!dm.Connected()) {
        result.error = "The database is not open.";
        return result;
    }
    const std::string key = FolderUidKey(dm, true);
    if (key.empty()) {
        result.error = "Unable to write to " + dm.SetupIniPath();
        return result;
    }
    const TDateTime stamp = [] {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        return EncodeDateTime(utc.tm_year + 1900, unsigned(utc.tm_mon + 1), unsigned(utc.tm_mday),
                              utc.tm_hour, utc.tm_min, utc.tm_sec);
    }();
    Component calendar(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(),
                               icalproperty_new_prodid("-//Quenlaris//Quenlaris Calendar//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
    try {
        std::unordered_map<std::int64_t, std::string> foreignUids;
        if (HasUidTable(dm.ADOConnection)) {
            platform::Query q(dm.ADOConnection);
            q.setSql(std::string("select uid,eventid from ") + kUidTable);
            for (q.open(); !q.eof(); q.next()) {
                foreignUids[q.asInteger("eventid")] = q.asString("uid");
            }
        }
        platform::Query q(dm.ADOConnection);
        q.setSql("select * from eventtable" + (where.empty() ? std::string() : " where " + where) +
                 " order by id");
        tArrayofField events;
        for (q.open(); !q.eof(); q.next()) {
            TransferRow(TransferDirection::RowToRecord, events.emplace_back(), q, dm.Layers);
        }
        q.close();
        std::unordered_map<std::int64_t, std::size_t> byId;
        for (std::size_t i = 0; i < events.size(); ++i) {
            byId[events[i].id] = i;
        }
        const auto seriesOf = [&](const tfield& e) -> const tfield* {
            if (e.seriesId == 0 || e.repeatType != kRepeatNone) {
                return nullptr;
            }
            const auto it = byId.find(e.seriesId);
            if (it == byId.end() || events[it->second].repeatType == kRepeatNone) {
                return nullptr;
            }
            return &events[it->second];
        };
        std::unordered_map<std::int64_t, std::set<int>> detached;
        for (const tfield& e : events) {
            if (const tfield* series = seriesOf(e)) {
                detached[series->id].insert(e.seriesDay);
            }
        }
        const auto uidOf = [&](std::int64_t id) {
            const auto foreign = foreignUids.find(id);
            return foreign != foreignUids.end() ? foreign->second : MakeUid(id, key);
        };
        for (const tfield& e : events) {
            SeriesLinks links;
            links.lastAck = lastAck;
            links.series = seriesOf(e);
            if (const auto it = detached.find(e.id); it != detached.end()) {
                links.detachedDays = it->second;
            }
            ExportedRule rule;
            Component ev =
                MakeVEvent(e, uidOf(links.series ? links.series->id : e.id), stamp, rule, links);
            icalcomponent_add_component(calendar.get(), ev.release());
            ++result.events;
            if (rule.occurs && !rule.exact) {
                result.approximated.push_back(e.subject + ": " + rule.comment);
            }
        }
    } catch (const platform::DbError& error) {
        result.error = error.what();
        return result;
    }
    text = AsText(calendar.get());
    result.ok = true;
    return result;
}

}  // namespace

ExportResult ExportCalendarText(TDataMod& dm, std::string& text) {
    return ExportSelected(dm, {}, false, text);
}

ExportResult ExportSeriesText(TDataMod& dm, std::int64_t id, std::string& text) {
    const std::string self = std::to_string(id);
    return ExportSelected(dm, "id=" + self + " or (seriesId=" + self + " and repeatType=0)", true,
                          text);
}

ExportResult ExportIcsFile(TDataMod& dm, const std::string& path) {
    if (const std::string own = dm.OwnFileAt(path); !own.empty()) {
        ExportResult refused;
        refused.error = "Will not write over " + own +
                        ": it holds the calendar's own data. Choose another file.";
        return refused;
    }
    std::string text;
    ExportResult result = ExportCalendarText(dm, text);
    if (!result.ok) {
        return result;
    }
    std::string error;
    if (!platform::WriteFileAtomically(path, text, &error)) {
        result.ok = false;
        result.error = "Unable to write to " + path + (error.empty() ? "" : ": " + error);
    }
    return result;
}

}  // namespace qcal::ical
