#include "store/DueList.h"

#include <algorithm>

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

void tlist_of_event_for_timer::CheckNewDue() {
    platform::Query& q = dm_.ADOQueryForTimer;
    // The statement and the rule of every row are asked about one moment.
    const TDateTime now = clock::Now();
    try {
        OpenDueQuery(q, now);
        const EventColumns columns(q);
        while (q.active() && !q.eof()) {
            if (processEvents) {
                processEvents();
                // A nested action (a backup, say) may have closed the connection.
                if (!q.active()) {
                    break;
                }
            }
            tfield event;
            columns.Read(q, event, dm_.Layers);
            q.next();
            if (tsatisfy(event).IsDue(now) && IsNotListed(event)) {
                if (busy) {
                    break;
                }
                InsertFirst(event);
                hasNew = true;
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
        OpenDueQuery(q, now);
        const EventColumns columns(q);
        while (!q.eof()) {
            tfield event;
            columns.Read(q, event, dm_.Layers);
            q.next();
            if (tsatisfy(event).IsDue(now)) {
                rebuilt.push_back(std::move(event));
            }
        }
        q.close();
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
