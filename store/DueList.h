#pragma once

// The due list: the events with an alarm that are due now.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/Clock.h"
#include "store/EventLists.h"

namespace qcal {

class CalendarMemory;
struct AlarmEntry;

// The moment, to the millisecond, at which an event that is not due at from becomes due by
// to: the statement lets it through from begin on, and the rule answers yes from then until it
// is archived, so the answer is found by halving the interval.
TDateTime FirstDueMoment(const tsatisfy& rule, TDateTime begin, TDateTime from, TDateTime to);

class tlist_of_event_for_timer : public tlist_of_event_orig {
public:
    using tlist_of_event_orig::tlist_of_event_orig;

    // " where (alert=true) and ... order by begintime" for the moment now.
    std::string BuildDueCondition(TDateTime now) const;
    // The same for the clock's present moment, read once.
    std::string BuildDueCondition() const;
    void OpenDueQuery(platform::Query& q) const { OpenDueQuery(q, clock::Now()); }
    void OpenDueQuery(platform::Query& q, TDateTime now) const;
    // The events whose alarm comes ahead of their begin: the due statement leaves them out
    // until their begin, so they are looked at on their own. False (query closed) for a file
    // without the reminder column.
    bool OpenReminderQuery(platform::Query& q) const;
    static constexpr const char* kReminderStatement =
        "select * from eventtable where (alert=true) and (remindBefore>0) and "
        "(lastFileTime<=endDate+endTime+1) order by begintime";
    // Puts newly due events that are not listed yet at the front; sets hasNew.
    void CheckNewDue();
    // Replaces dueEvents by every event due now; hasNew tells whether an id is new.
    // On a database failure the list stays as it was and the failure is reported.
    bool RebuildDue();
    // The first moment in (now, now + horizon] at which an event not due at now becomes due,
    // asked of the same statement and rules as the due list; none when nothing falls due in
    // that time. A database failure is reported and answered with none.
    std::optional<TDateTime> NextDueMoment(TDateTime now, TDateTime horizon);
    bool IsNotListed(const tfield& event) const;
    void InsertFirst(const tfield& event);
    void SaveIds();
    bool HasNewIds() const;

    // Answers from the calendar in memory while it is valid, with the same events in the
    // same order as the statements; null: the statements answer.
    void UseMemory(CalendarMemory* memory) {
        memory_ = memory;
        ForgetBuild();
    }

    std::vector<std::int64_t> oldIds;
    tArrayofField dueEvents;
    bool hasNew = false;

private:
    bool FromMemory();
    void CheckNewDueInMemory();
    void RebuildDueInMemory();
    std::optional<TDateTime> NextDueMomentInMemory(TDateTime now, TDateTime horizon) const;

    // An event due now, as the memory's walk hands it over.
    struct DueCandidate {
        const AlarmEntry* entry;
        int pass;  // 0: the due statement lets it through, 1: only the reminder statement
    };
    static void PutRemindersLast(std::vector<DueCandidate>& due);
    // Brings the list up to date in its place when the same events are due, in the same order,
    // as at the last rebuild from memory; false otherwise.
    bool UpdateInPlace(const std::vector<DueCandidate>& due, const std::vector<TColor>& colours);
    // Makes the list anew, taking over the records of rows that did not change.
    void Rebuild(const std::vector<DueCandidate>& due, const std::vector<TColor>& colours);
    void ForgetBuild();

    // The list being replaced, and where its records are.
    struct PreviousDue {
        tArrayofField events;
        std::vector<std::int64_t> ids;
        std::vector<std::uint64_t> revisions;  // of the rows each record was built from
        std::vector<bool> taken;
        std::unordered_map<std::int64_t, std::size_t> at;  // made on the first miss
        std::size_t next = 0;
        std::optional<std::size_t> Find(std::int64_t id);
    };

    CalendarMemory* memory_ = nullptr;
    // The id and the revision of the memory's row each record of dueEvents was built from, in
    // the same order, and the layer colours then; of another length when the statements built
    // the list or others changed it.
    std::vector<std::int64_t> builtIds_;
    std::vector<std::uint64_t> builtRevisions_;
    std::vector<TColor> builtColours_;
};

}  // namespace qcal
