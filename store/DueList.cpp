#include "store/DueList.h"

#include <algorithm>
#include <unordered_set>

#include "core/Clock.h"

namespace qcal {

namespace {

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
};

// The ids of the due list, for lookups while a walk runs. The list may change under the walk
// (a nested event loop can archive or rebuild it); a change of its size or storage makes the
// set be gathered again.
class ListedIds {
public:
    explicit ListedIds(const tArrayofField& list) { Gather(list); }

    bool Contains(const tArrayofField& list, std::int64_t id) {
        if (list.size() != size_ || list.data() != data_) {
            Gather(list);
        }
        return ids_.contains(id);
    }
    // After the walk itself put id into the list.
    void Added(const tArrayofField& list, std::int64_t id) {
        ids_.insert(id);
        size_ = list.size();
        data_ = list.data();
    }

private:
    void Gather(const tArrayofField& list) {
        ids_.clear();
        ids_.reserve(list.size());
        for (const tfield& e : list) {
            ids_.insert(e.id);
        }
        size_ = list.size();
        data_ = list.data();
    }

    std::unordered_set<std::int64_t> ids_;
    std::size_t size_ = 0;
    const tfield* data_ = nullptr;
};

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
    platform::Query& q = dm_.ADOQueryForTimer;
    // The statement and the rule of every row are asked about one moment.
    const TDateTime now = clock::Now();
    // Most rows of a tick are listed already: they are passed over by their id alone.
    ListedIds listed(dueEvents);
    try {
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 0) {
                OpenDueQuery(q, now);
            } else if (!OpenReminderQuery(q)) {
                break;
            }
            const EventColumns columns(q);
            for (; q.active() && !q.eof(); q.next()) {
                if (processEvents) {
                    processEvents();
                    // A nested action (a backup, say) may have closed the connection.
                    if (!q.active()) {
                        break;
                    }
                }
                if (listed.Contains(dueEvents, columns.ReadId(q))) {
                    continue;
                }
                tfield event;
                columns.ReadRuleFields(q, event);
                if (!tsatisfy(event).IsDue(now)) {
                    continue;
                }
                if (busy) {
                    break;
                }
                columns.ReadTexts(q, event, dm_.Layers);
                InsertFirst(event);
                listed.Added(dueEvents, event.id);
                hasNew = true;
            }
            if (!q.active()) {
                break;
            }
        }
    } catch (const platform::DbError& error) {
        ReportError(error);
    }
    q.close();
}

bool tlist_of_event_for_timer::RebuildDue() {
    FlagGuard guard(busy);
    SaveIds();
    platform::Query& q = dm_.ADOQueryForUpdate;
    tArrayofField rebuilt;
    const TDateTime now = clock::Now();
    try {
        std::unordered_set<std::int64_t> taken;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 0) {
                OpenDueQuery(q, now);
            } else if (!OpenReminderQuery(q)) {
                break;
            }
            const EventColumns columns(q);
            for (; !q.eof(); q.next()) {
                // The texts are read only for the rows that are due.
                tfield event;
                columns.ReadRuleFields(q, event);
                if (!taken.contains(event.id) && tsatisfy(event).IsDue(now)) {
                    columns.ReadTexts(q, event, dm_.Layers);
                    taken.insert(event.id);
                    rebuilt.push_back(std::move(event));
                }
            }
        }
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
    hasNew = HasNewIds();
    return true;
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
