#include <algorithm>
#include <limits>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "core/Clock.h"
#include "store/CalendarMemory.h"
#include "store/DueList.h"

// The due list answered from the calendar in memory: the rows the two due statements would
// hand over, in their order, put through the same rules.

namespace qcal {

namespace {

struct DueCandidate {
    const MemoryEvent* event;
    int pass;  // 0: the due statement lets it through, 1: only the reminder statement
};

TDateTime BeginTimeOf(const DueCandidate& c) {
    return c.event->rule.beginTime;
}

}  // namespace

bool tlist_of_event_for_timer::FromMemory() {
    return memory_ != nullptr && memory_->FollowOtherWriters(dm_);
}

void tlist_of_event_for_timer::RebuildDueInMemory() {
    SaveIds();
    const TDateTime now = clock::Now();
    const TDateTime moment = AsStatementNumber(now);
    const int today = DayOf(now);
    const bool reminders = dm_.HasLaterColumns();
    std::vector<DueCandidate> due;
    memory_->ForEachAlarmCandidate(now, [&](const MemoryEvent& e) {
        const bool first = CalendarMemory::PassesDueStatement(e, moment, today);
        if (!first && !(reminders && CalendarMemory::PassesReminderStatement(e)))
            return;
        if (DueAt(e, now))
            due.push_back({&e, first ? 0 : 1});
    });
    // By begin time; the reminders found by the second statement after the others.
    std::sort(due.begin(), due.end(), [](const DueCandidate& a, const DueCandidate& b) {
        const TDateTime ta = BeginTimeOf(a);
        const TDateTime tb = BeginTimeOf(b);
        return std::tie(ta, a.pass, a.event->id) < std::tie(tb, b.pass, b.event->id);
    });
    // Most rows did not change since the last rebuild: their records are taken over.
    std::unordered_map<std::int64_t, std::size_t> previousAt;
    previousAt.reserve(dueEvents.size());
    for (std::size_t i = 0; i < dueEvents.size(); ++i)
        previousAt.emplace(dueEvents[i].id, i);
    tArrayofField previous = std::move(dueEvents);
    std::unordered_map<std::int64_t, std::uint64_t> revisions;
    revisions.reserve(due.size());
    tArrayofField rebuilt;
    rebuilt.reserve(due.size());
    for (const DueCandidate& c : due) {
        rebuilt.push_back(FieldOf(*c.event, previous, previousAt));
        revisions.emplace(c.event->id, c.event->revision);
    }
    dueEvents = std::move(rebuilt);
    builtRevisions_ = std::move(revisions);
    hasNew = HasNewIds();
}

tfield tlist_of_event_for_timer::FieldOf(
    const MemoryEvent& e, tArrayofField& previous,
    std::unordered_map<std::int64_t, std::size_t>& previousAt) {
    const auto built = builtRevisions_.find(e.id);
    const auto at = previousAt.find(e.id);
    if (built == builtRevisions_.end() || built->second != e.revision || at == previousAt.end())
        return memory_->Field(e, dm_.Layers);
    tfield field = std::move(previous[at->second]);
    previousAt.erase(at);  // taken: a second row of the id is built afresh
    field.layerColor = LayerColor(dm_.Layers, field.layername);
    return field;
}

void tlist_of_event_for_timer::CheckNewDueInMemory() {
    const TDateTime now = clock::Now();
    const TDateTime moment = AsStatementNumber(now);
    const int today = DayOf(now);
    const bool reminders = dm_.HasLaterColumns();
    std::unordered_set<std::int64_t> listed;
    listed.reserve(dueEvents.size());
    for (const tfield& e : dueEvents)
        listed.insert(e.id);
    std::vector<DueCandidate> fresh;
    memory_->ForEachAlarmCandidate(now, [&](const MemoryEvent& e) {
        if (listed.contains(e.id))
            return;
        const bool first = CalendarMemory::PassesDueStatement(e, moment, today);
        if (!first && !(reminders && CalendarMemory::PassesReminderStatement(e)))
            return;
        if (DueAt(e, now))
            fresh.push_back({&e, first ? 0 : 1});
    });
    // In the order the statements hand them over; each goes to the front of the list.
    std::sort(fresh.begin(), fresh.end(), [](const DueCandidate& a, const DueCandidate& b) {
        const TDateTime ta = BeginTimeOf(a);
        const TDateTime tb = BeginTimeOf(b);
        return std::tie(a.pass, ta, a.event->id) < std::tie(b.pass, tb, b.event->id);
    });
    for (const DueCandidate& c : fresh) {
        InsertFirst(memory_->Field(*c.event, dm_.Layers));
        builtRevisions_[c.event->id] = c.event->revision;
        hasNew = true;
    }
}

std::optional<TDateTime> tlist_of_event_for_timer::NextDueMomentInMemory(TDateTime now,
                                                                         TDateTime horizon) const {
    const TDateTime until = now + horizon;
    const TDateTime moment = AsStatementNumber(until);
    const int today = DayOf(until);
    const bool reminders = dm_.HasLaterColumns();
    std::optional<TDateTime> next;
    memory_->ForEachAlarmCandidate(until, [&](const MemoryEvent& e) {
        for (int pass = 0; pass < 2; ++pass) {
            const bool through = pass == 0
                                     ? CalendarMemory::PassesDueStatement(e, moment, today)
                                     : reminders && CalendarMemory::PassesReminderStatement(e);
            if (!through)
                continue;
            const TDateTime begin = pass == 0 ? e.rule.begindate + e.rule.beginTime
                                              : std::numeric_limits<TDateTime>::lowest();
            if ((begin <= now && DueAt(e, now)) || !(begin <= until && DueAt(e, until)))
                continue;
            const TDateTime due = FirstDueMoment(tsatisfy(e.rule), begin, now, until);
            if (!next || due < *next)
                next = due;
        }
    });
    return next;
}

}  // namespace qcal
