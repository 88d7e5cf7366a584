#include "cli/Agenda.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <tuple>

#include "core/Clock.h"
#include "core/Rules.h"
#include "store/CalendarMemory.h"
#include "store/DueList.h"
#include "store/EventLists.h"

namespace qcal::cli {

namespace {

void AppendTwoDigits(std::string& out, int value) {
    out += char('0' + value / 10 % 10);
    out += char('0' + value % 10);
}

void AppendOneLine(std::string& out, const std::string& text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u == 0x7f) ? ' ' : c;
    }
}

void AppendDate(std::string& out, int day) {
    const CivilDate date = DateOfDay(day);
    AppendTwoDigits(out, date.year / 100);
    AppendTwoDigits(out, date.year % 100);
    out += '-';
    AppendTwoDigits(out, int(date.month));
    out += '-';
    AppendTwoDigits(out, int(date.day));
}

void AppendTime(std::string& out, TDateTime time) {
    const TimeOfDay t = DecodeTime(time);
    AppendTwoDigits(out, t.hour);
    out += ':';
    AppendTwoDigits(out, t.minute);
}

// An occurrence while the agenda is gathered: small, so that sorting tens of thousands of
// them stays cheap. seq keeps the order in which they were found for equal days and times.
struct Occurrence {
    int day;
    std::uint32_t event;
    TDateTime time;
    std::uint32_t seq;
};

// Orders occurrences by day, then time, then the order they were found in. The days are
// few: the occurrences are first dealt out to their days, then each day is sorted alone.
void SortOccurrences(std::vector<Occurrence>& occurrences, int firstDay, int days) {
    std::vector<std::uint32_t> start(std::size_t(days) + 1, 0);
    for (const Occurrence& o : occurrences) {
        ++start[std::size_t(o.day - firstDay) + 1];
    }
    for (std::size_t d = 1; d < start.size(); ++d) {
        start[d] += start[d - 1];
    }
    std::vector<Occurrence> sorted(occurrences.size());
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (const Occurrence& o : occurrences) {
        sorted[next[std::size_t(o.day - firstDay)]++] = o;
    }
    for (std::size_t d = 0; d + 1 < start.size(); ++d) {
        std::sort(sorted.begin() + start[d], sorted.begin() + start[d + 1],
                  [](const Occurrence& a, const Occurrence& b) {
                      return a.time < b.time || (a.time == b.time && a.seq < b.seq);
                  });
    }
    occurrences = std::move(sorted);
}

// Orders lines by day and time; lines with the same day and time keep their order.
void SortLines(std::vector<AgendaLine>& lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const AgendaLine& a, const AgendaLine& b) {
        return std::tie(a.day, b.allDay, a.time) < std::tie(b.day, a.allDay, b.time);
    });
}

}  // namespace

std::string FormatLine(const AgendaLine& line) {
    std::string out;
    AppendLine(out, line);
    return out;
}

void AppendLine(std::string& out, const AgendaLine& line) {
    AppendDate(out, line.day);
    out += ' ';
    if (line.allDay) {
        out += "--:--";
    } else {
        AppendTime(out, line.time);
    }
    out += "  ";
    AppendOneLine(out, line.subject);
    out += "  [";
    AppendOneLine(out, line.layer);
    out += ']';
    if (line.alert) {
        out += " !";
    }
}

namespace {

// The events that occur in a period and their occurrences, sorted.
struct Gathered {
    struct Texts {
        std::string subject;
        std::string layer;
        bool alert;
        bool allDay;
        TDateTime time;
    };
    std::vector<Texts> texts;
    std::vector<Occurrence> occurrences;

    AgendaLine Line(const Occurrence& o) const {
        const Texts& t = texts[o.event];
        return {o.day, t.time, t.subject, t.layer, t.alert, t.allDay};
    }
};

// The columns the agenda reads: those of the rule, then those it prints. A file from before
// the later columns has none of the last three; reading it gives their defaults.
enum AgendaColumn : int {
    kRepeatType,
    kBeginDate,
    kEndDate,
    kBeginTime,
    kDayType,
    kDayEvery0,
    kWeekEvery0,
    kWeekSelected0,
    kMonthType,
    kMonthDay0,
    kMonthEvery0,
    kMonthSpecial1,
    kMonthDayOrWeek1,
    kMonthEvery1,
    kYearType,
    kYearDay0,
    kYearMonth0,
    kYearSpecial1,
    kYearDayOrWeek1,
    kYearMonth1,
    kSubject,
    kLayerName,
    kAlert,
    kExceptDays,
    kAllDay,
    kOpenEnd
};
constexpr const char* kAgendaColumns =
    "repeatType,begindate,enddate,beginTime,dayType,dayEvery0,weekEvery0,weekSelected0,"
    "monthType,monthDay0,monthEvery0,monthspecial1,monthDayorWeek1,monthEvery1,yearType,"
    "yearDay0,yearMonth0,yearspecial1,yearDayorWeek1,yearMonth1,subject,layername,alert";
constexpr const char* kLaterAgendaColumns = ",exceptDays,allDay,openEnd";

// What the rule reads of the current row, the same as EventColumns::ReadRuleFields gives.
void ReadAgendaRule(const platform::Query& q, bool later, tfield& e) {
    const auto number = [&](AgendaColumn c) { return std::int32_t(q.integerAt(c)); };
    e.repeatType = number(kRepeatType);
    e.begindate = q.doubleAt(kBeginDate);
    e.enddate = q.doubleAt(kEndDate);
    e.beginTime = q.doubleAt(kBeginTime);
    e.dayType = number(kDayType);
    e.dayEvery0 = number(kDayEvery0);
    e.weekEvery0 = number(kWeekEvery0);
    e.weekSelected0 = q.stringAt(kWeekSelected0);
    e.monthType = number(kMonthType);
    e.monthDay0 = number(kMonthDay0);
    e.monthEvery0 = number(kMonthEvery0);
    e.monthspecial1 = number(kMonthSpecial1);
    e.monthDayorWeek1 = number(kMonthDayOrWeek1);
    e.monthEvery1 = number(kMonthEvery1);
    e.yearType = number(kYearType);
    e.yearDay0 = number(kYearDay0);
    e.yearMonth0 = number(kYearMonth0);
    e.yearspecial1 = number(kYearSpecial1);
    e.yearDayorWeek1 = number(kYearDayOrWeek1);
    e.yearMonth1 = number(kYearMonth1);
    e.exceptDays = later ? ParseExceptDays(q.stringAt(kExceptDays)) : std::vector<int>{};
    e.allDay = later && q.integerAt(kAllDay) != 0;
    e.openEnd = e.repeatType != kRepeatNone &&
                ((later && q.integerAt(kOpenEnd) != 0) || DayOf(e.enddate) >= kOpenEndDay);
}

Gathered Gather(TDataMod& dm, int firstDay, int days, bool allLayers) {
    const int lastDay = firstDay + days - 1;
    // The month view's test: the events whose date range touches the period. The rows come in
    // the table's order and are sorted here, by day and time, so the engine need not sort
    // them; equal times keep the table's order, as in the month view.
    const bool later = dm.HasLaterColumns();
    std::string sql = std::string("SELECT ") + kAgendaColumns + (later ? kLaterAgendaColumns : "") +
                      " FROM eventtable WHERE (not ((begindate>" + FormatNumber(lastDay) +
                      ") or (enddate<" + FormatNumber(firstDay) + ")))";
    if (!allLayers) {
        sql += ActiveLayerCondition(dm.Layers);
    }
    // Reading through a memory map saves a copy of every page; the file is never written here.
    dm.ADOConnection.exec("PRAGMA mmap_size=268435456");
    platform::Query q(dm.ADOConnection);
    q.setSql(sql);
    q.open();
    Gathered g;
    g.occurrences.reserve(1 << 14);
    tfield event;
    for (; !q.eof(); q.next()) {
        ReadAgendaRule(q, later, event);
        bool read = false;
        tsatisfy(event).ForEachOccurrence(firstDay, lastDay, [&](int day) {
            // Most events of a long period do not occur in a short one: their texts are read
            // only when they do.
            if (!read) {
                g.texts.push_back({q.stringAt(kSubject), q.stringAt(kLayerName),
                                   q.integerAt(kAlert) != 0, event.allDay, event.beginTime});
                read = true;
            }
            // An all-day event comes first on its day.
            g.occurrences.push_back({day, std::uint32_t(g.texts.size() - 1),
                                     event.allDay ? -1.0 : event.beginTime,
                                     std::uint32_t(g.occurrences.size())});
        });
    }
    q.close();
    SortOccurrences(g.occurrences, firstDay, days);
    return g;
}

Gathered Gather(const CalendarMemory& memory, const arraylayinfo& layers, int firstDay, int days,
                bool allLayers) {
    const int lastDay = firstDay + days - 1;
    Gathered g;
    for (const MemoryEvent* e :
         memory.Overlapping(firstDay, lastDay, allLayers ? nullptr : &layers)) {
        bool kept = false;
        tsatisfy(e->rule).ForEachOccurrence(firstDay, lastDay, [&](int day) {
            if (!kept) {
                g.texts.push_back({std::string(memory.Text(e->subject)), memory.LayerName(*e),
                                   e->alert, e->allDay, e->rule.beginTime});
                kept = true;
            }
            g.occurrences.push_back({day, std::uint32_t(g.texts.size() - 1),
                                     e->allDay ? -1.0 : e->rule.beginTime,
                                     std::uint32_t(g.occurrences.size())});
        });
    }
    SortOccurrences(g.occurrences, firstDay, days);
    return g;
}

std::vector<AgendaLine> Lines(const Gathered& g) {
    std::vector<AgendaLine> lines;
    lines.reserve(g.occurrences.size());
    for (const Occurrence& o : g.occurrences) {
        lines.push_back(g.Line(o));
    }
    return lines;
}

}  // namespace

std::vector<AgendaLine> AgendaLines(const CalendarMemory& memory, const arraylayinfo& layers,
                                    int firstDay, int days, bool allLayers) {
    return Lines(Gather(memory, layers, firstDay, days, allLayers));
}

std::vector<AgendaLine> AgendaLines(TDataMod& dm, int firstDay, int days, bool allLayers) {
    return Lines(Gather(dm, firstDay, days, allLayers));
}

void WriteAgenda(TDataMod& dm, int firstDay, int days, bool allLayers, std::ostream& out) {
    const Gathered g = Gather(dm, firstDay, days, allLayers);
    // The whole agenda goes out in one write.
    std::string text;
    std::size_t size = 0;
    for (const Occurrence& o : g.occurrences) {
        size += g.texts[o.event].subject.size() + g.texts[o.event].layer.size() + 24;
    }
    text.reserve(size);
    for (const Occurrence& o : g.occurrences) {
        const Gathered::Texts& t = g.texts[o.event];
        AppendLine(text, {o.day, t.time, t.subject, t.layer, t.alert, t.allDay});
        text += '\n';
    }
    out.write(text.data(), std::streamsize(text.size()));
}

bool PendingLines(TDataMod& dm, std::vector<AgendaLine>& lines) {
    lines.clear();
    tlist_of_event_for_timer due(dm);
    if (!due.RebuildDue()) {
        return false;
    }
    const TDateTime now = clock::Now();
    for (const tfield& event : due.dueEvents) {
        const int day = tsatisfy(event).DueDay(now).value_or(DayOf(now));
        lines.push_back(
            {day, event.beginTime, event.subject, event.layername, event.alert, event.allDay});
    }
    SortLines(lines);
    return true;
}

}  // namespace qcal::cli
