#include "store/DueList.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "core/Clock.h"

namespace qcal {

TDateTime FirstDueMoment(const tsatisfy& rule, TDateTime begin, TDateTime from, TDateTime to) {
    constexpr TDateTime kMillisecond = 1.0 / 86'400'000.0;
    const auto due = [&](TDateTime t) { return begin <= t && rule.IsDue(t); };
    while (to - from > kMillisecond) {
        const TDateTime mid = from + (to - from) / 2;
        if (due(mid)) {
            to = mid;
        } else {
            from = mid;
        }
    }
    return to;
}

namespace {

// The rows due at now, asked of the due statement and then of the reminder statement (the
// events whose alarm comes ahead of their begin), each handed to take once with its texts
// read, in the order of the statements. A row whose id is in seen already is passed over by
// its id alone; every row handed on joins seen. Database failures are thrown.
template <typename Take>
void ForEachDue(const tlist_of_event_for_timer& list, platform::Query& q, TDateTime now,
                const arraylayinfo& layers, std::unordered_set<std::int64_t>& seen, Take take) {
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) {
            list.OpenDueQuery(q, now);
        } else if (!list.OpenReminderQuery(q)) {
            break;
        }
        const EventColumns columns(q);
        for (; !q.eof(); q.next()) {
            if (seen.contains(columns.ReadId(q))) {
                continue;
            }
            tfield event;
            columns.ReadRuleFields(q, event);
            if (!tsatisfy(event).IsDue(now)) {
                continue;
            }
            columns.ReadTexts(q, event, layers);
            seen.insert(event.id);
            take(std::move(event));
        }
    }
}

}  // namespace

std::string tlist_of_event_for_timer::BuildDueCondition() const {
    return BuildDueCondition(clock::Now());
}

std::string tlist_of_event_for_timer::BuildDueCondition(TDateTime now) const {
    const std::string moment = FormatNumber(now);
    std::string s = " where (alert=true)";
    s += " and ";
    s += "((";
    s += "(repeatType=0) and (lastFileTime<1) and (beginDate+beginTime<=";
    s += moment;
    s += ")";
    s += ") or (";
    s += "(repeatType<>0) and (lastFileTime<=endDate+endTime) and (beginDate+beginTime<=";
    s += moment;
    s += ")";
    s += " and ";
    s += " (not (";
    s += "(lastFileTime>=";
    const int today = DayOf(now);
    s += std::to_string(today);
    s += ")";
    s += " and ";
    s += "(lastFileTime<";
    s += std::to_string(today + 1);
    s += ")";
    s += "))";
    s += ")) order by begintime";
    return s;
}

void tlist_of_event_for_timer::OpenDueQuery(platform::Query& q, TDateTime now) const {
    q.close();
    q.setSql("select * from eventtable " + BuildDueCondition(now));
    q.open();
}

bool tlist_of_event_for_timer::OpenReminderQuery(platform::Query& q) const {
    q.close();
    if (!dm_.HasLaterColumns()) {
        return false;
    }
    q.setSql(kReminderStatement);
    q.open();
    return true;
}

void tlist_of_event_for_timer::CheckNewDue() {
    if (FromMemory()) {
        CheckNewDueInMemory();
        return;
    }
    platform::Query& q = dm_.ADOQueryForTimer;
    // Most rows of a tick are listed already: they are passed over by their id alone.
    std::unordered_set<std::int64_t> listed;
    listed.reserve(dueEvents.size());
    for (const tfield& e : dueEvents) {
        listed.insert(e.id);
    }
    try {
        ForEachDue(*this, q, clock::Now(), dm_.Layers, listed, [this](tfield&& event) {
            InsertFirst(event);
            ForgetBuild();
            hasNew = true;
        });
    } catch (const platform::DbError& error) {
        ReportError(error);
    }
    q.close();
}

bool tlist_of_event_for_timer::RebuildDue() {
    if (FromMemory()) {
        RebuildDueInMemory();
        return true;
    }
    SaveIds();
    platform::Query& q = dm_.ADOQueryForUpdate;
    tArrayofField rebuilt;
    try {
        std::unordered_set<std::int64_t> taken;
        ForEachDue(*this, q, clock::Now(), dm_.Layers, taken,
                   [&rebuilt](tfield&& event) { rebuilt.push_back(std::move(event)); });
        q.close();
        // The reminders found by the second statement join the list in the order of the first.
        std::stable_sort(rebuilt.begin(), rebuilt.end(), [](const tfield& a, const tfield& b) {
            return a.beginTime < b.beginTime;
        });
    } catch (const platform::DbError& error) {
        q.close();
        ReportError(error);
        return false;
    }
    dueEvents = std::move(rebuilt);
    ForgetBuild();
    hasNew = HasNewIds();
    return true;
}

std::optional<TDateTime> tlist_of_event_for_timer::NextDueMoment(TDateTime now, TDateTime horizon) {
    if (FromMemory()) {
        return NextDueMomentInMemory(now, horizon);
    }
    platform::Query& q = dm_.ADOQueryForTimer;
    const TDateTime until = now + horizon;
    std::optional<TDateTime> next;
    try {
        // Every row the statement lets through at the end of the interval; those it lets
        // through already now and whose rule says due are due now, not next. The reminders
        // ahead of their begin come from the second statement, which does not wait for the
        // begin.
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 0) {
                OpenDueQuery(q, until);
            } else if (!OpenReminderQuery(q)) {
                break;
            }
            const EventColumns columns(q);
            for (; !q.eof(); q.next()) {
                tfield event;
                columns.ReadRuleFields(q, event);
                const tsatisfy rule(event);
                const TDateTime begin = pass == 0 ? event.begindate + event.beginTime
                                                  : std::numeric_limits<TDateTime>::lowest();
                if ((begin <= now && rule.IsDue(now)) || !(begin <= until && rule.IsDue(until))) {
                    continue;
                }
                const TDateTime moment = FirstDueMoment(rule, begin, now, until);
                if (!next || moment < *next) {
                    next = moment;
                }
            }
        }
    } catch (const platform::DbError& error) {
        ReportError(error);
        next.reset();
    }
    q.close();
    return next;
}

bool tlist_of_event_for_timer::IsNotListed(const tfield& event) const {
    return std::none_of(dueEvents.begin(), dueEvents.end(),
                        [&](const tfield& listed) { return listed.id == event.id; });
}

void tlist_of_event_for_timer::InsertFirst(const tfield& event) {
    dueEvents.insert(dueEvents.begin(), event);
}

void tlist_of_event_for_timer::SaveIds() {
    oldIds.clear();
    oldIds.reserve(dueEvents.size());
    for (const tfield& e : dueEvents) {
        oldIds.push_back(e.id);
    }
}

bool tlist_of_event_for_timer::HasNewIds() const {
    std::vector<std::int64_t> sorted = oldIds;
    std::sort(sorted.begin(), sorted.end());
    return std::any_of(dueEvents.begin(), dueEvents.end(), [&](const tfield& e) {
        return !std::binary_search(sorted.begin(), sorted.end(), e.id);
    });
}

}  // namespace qcal
