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

// The candidates come by begin time and id; at one begin time, the reminders found by the
// second statement go after the others, as the list is made by the statements.
void tlist_of_event_for_timer::PutRemindersLast(std::vector<DueCandidate>& due) {
    for (auto run = due.begin(); run != due.end();) {
        const TDateTime beginTime = run->entry->beginTime;
        const auto end = std::find_if(
            run, due.end(), [&](const DueCandidate& c) { return c.entry->beginTime != beginTime; });
        if (std::any_of(run, end, [](const DueCandidate& c) { return c.pass == 1; }))
            std::stable_partition(run, end, [](const DueCandidate& c) { return c.pass == 0; });
        run = end;
    }
}

bool tlist_of_event_for_timer::FromMemory() {
    return memory_ != nullptr && memory_->FollowOtherWriters(dm_);
}

void tlist_of_event_for_timer::ForgetBuild() {
    builtIds_.clear();
    builtRevisions_.clear();
}

void tlist_of_event_for_timer::RebuildDueInMemory() {
    const TDateTime now = clock::Now();
    const TDateTime moment = AsStatementNumber(now);
    const int today = DayOf(now);
    const bool reminders = dm_.HasLaterColumns();
    std::vector<DueCandidate> due;
    due.reserve(dueEvents.size());
    memory_->ForEachAlarmCandidate(now, [&](const AlarmEntry& entry) {
        const bool first = entry.PassesDueStatement(moment, today);
        if (!first && !(reminders && entry.PassesReminderStatement()))
            return;
        if (memory_->DueAt(entry, now))
            due.push_back({&entry, first ? 0 : 1});
    });
    PutRemindersLast(due);
    std::vector<TColor> colours = memory_->LayerColours(dm_.Layers);
    if (!UpdateInPlace(due, colours))
        Rebuild(due, colours);
    builtColours_ = std::move(colours);
}

bool tlist_of_event_for_timer::UpdateInPlace(const std::vector<DueCandidate>& due,
                                             const std::vector<TColor>& colours) {
    // Mostly the same events are due as at the last rebuild, and only a few rows changed.
    if (builtIds_.size() != due.size() || builtRevisions_.size() != due.size() ||
        dueEvents.size() != due.size()) {
        return false;
    }
    for (std::size_t i = 0; i < due.size(); ++i) {
        if (builtIds_[i] != due[i].entry->id)
            return false;
    }
    const bool recolour = colours != builtColours_;
    for (std::size_t i = 0; i < due.size(); ++i) {
        const AlarmEntry& entry = *due[i].entry;
        if (builtRevisions_[i] != entry.revision) {
            memory_->Fill(memory_->Event(entry), colours[entry.layer], dueEvents[i]);
            builtRevisions_[i] = entry.revision;
        } else if (recolour) {
            dueEvents[i].layerColor = colours[entry.layer];
        }
    }
    hasNew = false;
    return true;
}

void tlist_of_event_for_timer::Rebuild(const std::vector<DueCandidate>& due,
                                       const std::vector<TColor>& colours) {
    // The records of rows that did not change are taken over from the list being replaced.
    PreviousDue previous;
    if (builtIds_.size() == dueEvents.size() && builtRevisions_.size() == dueEvents.size()) {
        previous.ids = std::move(builtIds_);
        previous.revisions = std::move(builtRevisions_);
    } else {
        previous.ids.reserve(dueEvents.size());
        for (const tfield& e : dueEvents)
            previous.ids.push_back(e.id);
    }
    previous.events = std::move(dueEvents);
    previous.taken.resize(previous.events.size());
    tArrayofField rebuilt;
    rebuilt.reserve(due.size());
    std::vector<std::int64_t> ids;
    ids.reserve(due.size());
    std::vector<std::uint64_t> revisions;
    revisions.reserve(due.size());
    bool fresh = false;
    for (const DueCandidate& c : due) {
        const AlarmEntry& entry = *c.entry;
        const std::optional<std::size_t> at = previous.Find(entry.id);
        fresh = fresh || !at;
        if (at && !previous.revisions.empty() && previous.revisions[*at] == entry.revision) {
            previous.taken[*at] = true;
            rebuilt.push_back(std::move(previous.events[*at]));
            rebuilt.back().layerColor = colours[entry.layer];
        } else {
            rebuilt.push_back(memory_->Field(memory_->Event(entry), dm_.Layers));
        }
        ids.push_back(entry.id);
        revisions.push_back(entry.revision);
    }
    dueEvents = std::move(rebuilt);
    builtIds_ = std::move(ids);
    builtRevisions_ = std::move(revisions);
    hasNew = fresh;
}

std::optional<std::size_t> tlist_of_event_for_timer::PreviousDue::Find(std::int64_t id) {
    // Mostly the rows come in the order of the list they replace.
    if (next < ids.size() && ids[next] == id && !taken[next])
        return next++;
    if (at.empty() && !ids.empty()) {
        at.reserve(ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i)
            at.emplace(ids[i], i);
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
    memory_->ForEachAlarmCandidate(now, [&](const AlarmEntry& entry) {
        if (listed.contains(entry.id))
            return;
        const bool first = entry.PassesDueStatement(moment, today);
        if (!first && !(reminders && entry.PassesReminderStatement()))
            return;
        if (memory_->DueAt(entry, now))
            fresh.push_back({&entry, first ? 0 : 1});
    });
    // In the order the statements hand them over; each goes to the front of the list.
    std::sort(fresh.begin(), fresh.end(), [](const DueCandidate& a, const DueCandidate& b) {
        return std::tie(a.pass, a.entry->beginTime, a.entry->id) <
               std::tie(b.pass, b.entry->beginTime, b.entry->id);
    });
    // The records built here are known only while every record of the list is.
    if (builtIds_.size() != dueEvents.size() || builtRevisions_.size() != dueEvents.size())
        ForgetBuild();
    const bool known = builtIds_.size() == dueEvents.size();
    for (const DueCandidate& c : fresh) {
        InsertFirst(memory_->Field(memory_->Event(*c.entry), dm_.Layers));
        if (known) {
            builtIds_.insert(builtIds_.begin(), c.entry->id);
            builtRevisions_.insert(builtRevisions_.begin(), c.entry->revision);
        }
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
    memory_->ForEachAlarmCandidate(until, [&](const AlarmEntry& entry) {
        for (int pass = 0; pass < 2; ++pass) {
            const bool through = pass == 0 ? entry.PassesDueStatement(moment, today)
                                           : reminders && entry.PassesReminderStatement();
            if (!through)
                continue;
            const TDateTime begin =
                pass == 0 ? entry.begin : std::numeric_limits<TDateTime>::lowest();
            if ((begin <= now && memory_->DueAt(entry, now)) ||
                !(begin <= until && memory_->DueAt(entry, until))) {
                continue;
            }
            const TDateTime due =
                FirstDueMoment(tsatisfy(memory_->Event(entry).rule), begin, now, until);
            if (!next || due < *next)
                next = due;
        }
    });
    return next;
}

}  // namespace qcal
