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

// The sort keys are kept beside the pointer: the sort then stays in one small array.
struct DueCandidate {
    DueCandidate(const MemoryEvent& e, int p)
        : beginTime(e.rule.beginTime), id(e.id), event(&e), pass(p) {}
    TDateTime beginTime;
    std::int64_t id;
    const MemoryEvent* event;
    int pass;  // 0: the due statement lets it through, 1: only the reminder statement
};

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
            due.emplace_back(e, first ? 0 : 1);
    });
    // By begin time; the reminders found by the second statement after the others.
    std::sort(due.begin(), due.end(), [](const DueCandidate& a, const DueCandidate& b) {
        return std::tie(a.beginTime, a.pass, a.id) < std::tie(b.beginTime, b.pass, b.id);
    });
    // Most rows did not change since the last rebuild: their records are taken over.
    PreviousDue previous;
    previous.events = std::move(dueEvents);
    previous.revisions = std::move(builtRevisions_);
    tArrayofField rebuilt;
    rebuilt.reserve(due.size());
    std::vector<std::uint64_t> revisions;
    revisions.reserve(due.size());
    for (const DueCandidate& c : due) {
        rebuilt.push_back(FieldOf(*c.event, previous));
        revisions.push_back(c.event->revision);
    }
    dueEvents = std::move(rebuilt);
    builtRevisions_ = std::move(revisions);
    hasNew = HasNewIds();
}

tfield tlist_of_event_for_timer::FieldOf(const MemoryEvent& e, PreviousDue& previous) {
    // The list's revisions are known only when this class built every record of it.
    const std::optional<std::size_t> at =
        previous.revisions.size() == previous.events.size() ? previous.Find(e.id) : std::nullopt;
    if (!at || previous.revisions[*at] != e.revision)
        return memory_->Field(e, dm_.Layers);
    previous.taken[*at] = true;
    tfield field = std::move(previous.events[*at]);
    field.layerColor = LayerColor(dm_.Layers, field.layername);
    return field;
}

std::optional<std::size_t> tlist_of_event_for_timer::PreviousDue::Find(std::int64_t id) {
    taken.resize(events.size());
    // Mostly the rows come in the order of the list they replace.
    if (next < events.size() && events[next].id == id && !taken[next])
        return next++;
    if (at.empty() && !events.empty()) {
        at.reserve(events.size());
        for (std::size_t i = 0; i < events.size(); ++i)
            at.emplace(events[i].id, i);
    }
    const auto found = at.find(id);
    if (found == at.end() || taken[found->second])
        return std::nullopt;
    next = found->second + 1;
    return found->second;
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
            fresh.emplace_back(e, first ? 0 : 1);
    });
    // In the order the statements hand them over; each goes to the front of the list.
    std::sort(fresh.begin(), fresh.end(), [](const DueCandidate& a, const DueCandidate& b) {
        return std::tie(a.pass, a.beginTime, a.id) < std::tie(b.pass, b.beginTime, b.id);
    });
    for (const DueCandidate& c : fresh) {
        const bool known = builtRevisions_.size() == dueEvents.size();
        InsertFirst(memory_->Field(*c.event, dm_.Layers));
        if (known)
            builtRevisions_.insert(builtRevisions_.begin(), c.event->revision);
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
