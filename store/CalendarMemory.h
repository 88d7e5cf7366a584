#pragma once

// The calendar in memory: every row of the event table in compact form, so that the month,
// the search, the due list and the agenda are answered without reading the table again. The
// table stays the truth: whoever writes it reads the written rows back (Refresh), drops the
// deleted ones (Forget), or loads everything again (Load).
//
// Each answer is the one the statements give on the same rows, in the same order: the
// statements' comparisons are made on the stored values, with the numbers the statements
// would carry as text, and rows of equal sort keys keep the order of their ids, as the engine
// hands them over.

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Event.h"
#include "core/Rules.h"
#include "store/DataModule.h"
#include "store/EventLists.h"
#include "store/SearchStatement.h"

namespace qcal {

// A text kept in the memory's text store.
struct StoredText {
    std::uint32_t at = 0;
    std::uint32_t size = 0;
};

// One row, as compact as the answers allow: the rule as the rules read it, the stored values
// the statements compare, and the texts in the shared text store.
struct MemoryEvent {
    RuleFields rule;
    std::int64_t id = 0;
    std::int64_t seriesId = 0;
    TDateTime enddate = 0;  // as stored; the rule's end of an open end is the last day there is
    TDateTime endtime = 0;
    // Changes whenever the row is read again or moves to another layer: a record built from
    // the row at the same revision is still the row's record (but for the layer's colour).
    std::uint64_t revision = 0;
    // The earliest moment at which the due test answered yes since the row was read: the
    // answer stays yes from then on until the row changes.
    mutable TDateTime dueSince = std::numeric_limits<TDateTime>::infinity();
    StoredText subject;
    StoredText content;
    StoredText mynote;
    StoredText weekSelected;
    StoredText location;
    StoredText
        exceptDays;  // of an event that does not repeat, as stored (the rule holds the others')
    std::int32_t weekType = 0;
    std::int32_t seriesDay = 0;
    std::uint32_t layer = 0;  // in the memory's layer names
    bool alert = false;       // the column is not 0
    bool alertOn = false;     // the column is exactly true, as the due statements ask
    bool allDay = false;
    std::uint8_t layerKind = 0;  // how the layer name is stored (LayerKind)
};

// What the due statements and the due test ask of an event with an alarm, kept in the alarm
// index itself: a walk over the index stays in one array and visits a row only for the rule.
struct AlarmEntry {
    TDateTime bound;  // EarliestDueMoment: the event is not due before it
    TDateTime beginTime;
    TDateTime begin;     // begindate + beginTime, as the due statement adds them
    TDateTime endLimit;  // enddate + endtime, as both statements add them
    TDateTime lastFileTime;
    // As MemoryEvent::dueSince, of which it is a copy taken when the entry was made or later.
    mutable TDateTime dueSince;
    std::int64_t id;
    std::uint64_t revision;  // the row's
    std::uint32_t index;     // of the row
    std::uint32_t layer;     // the row's
    bool repeats;
    bool remindsAhead;  // remindBefore > 0

    // What the due statement and the reminder statement let through at the moment now
    // (moment: now as the statement writes it).
    bool PassesDueStatement(TDateTime moment, int today) const {
        if (!(begin <= moment))
            return false;
        if (!repeats)
            return lastFileTime < 1;
        return lastFileTime <= endLimit && !(lastFileTime >= today && lastFileTime < today + 1);
    }
    bool PassesReminderStatement() const { return remindsAhead && lastFileTime <= endLimit + 1; }
};

class CalendarMemory {
public:
    // Reads every row of the table; on a failure the memory is left empty and not valid (the
    // callers then ask the statements). Nothing is reported.
    bool Load(TDataMod& dm);
    // Forgets everything: the statements answer until the next Load.
    void Clear();
    bool Valid() const { return valid_; }
    // Reads everything again when another connection (another program, or a command-line
    // import) committed to the file since the memory was read; the memory's own connection's
    // writes are followed by Refresh and Forget. Answers Valid().
    bool FollowOtherWriters(TDataMod& dm);
    std::size_t Count() const { return events_.size(); }

    // Reads these rows again after a write: a row that is gone is forgotten. False when the
    // table could not be read; the memory is then not valid.
    bool Refresh(TDataMod& dm, std::span<const std::int64_t> ids);
    void Forget(std::span<const std::int64_t> ids);
    // The events of layer oldName now belong to newName.
    void RenameLayer(const std::string& oldName, const std::string& newName);

    const MemoryEvent* Find(std::int64_t id) const;
    // The layer names the events use, in the order of their first use, as the statement that
    // lists them gives them; false when the memory cannot tell (the statement answers then).
    bool LayersOfEvents(std::vector<std::string>& names) const;
    std::string_view Text(StoredText text) const;
    const std::string& LayerName(const MemoryEvent& e) const { return layerNames_[e.layer]; }
    // The record as the table gives it, layer colour from layers.
    tfield Field(const MemoryEvent& e, const arraylayinfo& layers) const;
    // The same written into f, every member of it.
    void Fill(const MemoryEvent& e, TColor layerColor, tfield& f) const;

    // The events whose stored dates touch [first, last] (the month statement's test), of the
    // active layers of layers unless layers is null, in the order of their ids.
    std::vector<const MemoryEvent*> Overlapping(TDateTime first, TDateTime last,
                                                const arraylayinfo* layers) const;
    // The lines of the days first .. first + days - 1, as tlist_of_event::LoadMonthLines.
    std::vector<mytitem_for_display> MonthLines(const TDataMod& dm, TDateTime first,
                                                int days) const;
    // The search's result, as tlist_of_event_for_Query::LoadFound with the statement of
    // request (which BuildSearchStatement did not refuse).
    void FindEvents(const SearchRequest& request, const arraylayinfo& layers,
                    tArrayofField& found) const;

    // The alarm events whose due test may answer yes at the moment now, by begin time and then
    // id. Every event due at now is among them.
    template <class Visit>
    void ForEachAlarmCandidate(TDateTime now, Visit&& visit) const {
        SortAlarms();
        for (const AlarmEntry& entry : alarms_) {
            if (entry.bound <= now)
                visit(entry);
        }
    }
    const MemoryEvent& Event(const AlarmEntry& entry) const { return events_[entry.index]; }
    // The due test of the entry's event at the moment now, answered from dueSince when it can
    // be.
    bool DueAt(const AlarmEntry& entry, TDateTime now) const;
    // The colour of each of the memory's layer names in layers.
    std::vector<TColor> LayerColours(const arraylayinfo& layers) const;

private:
    struct RangeEntry {
        TDateTime begin;
        TDateTime end;
        TDateTime beginTime;  // what the month orders by, at hand without the row
        std::uint32_t index;
        bool allDay;
    };
    static constexpr std::size_t kBlock = 64;
    // The rows read again in their place since an index was last put in order.
    struct Pending {
        std::vector<std::uint32_t> rows;
        bool whole = false;  // rows came or went in the middle: the index is made anew
    };

    void Put(const tfield& event, bool alertOn, std::uint8_t layerKind);
    void Store(MemoryEvent& e, const tfield& event, bool alertOn, std::uint8_t layerKind);
    StoredText Keep(std::string_view text);
    std::uint32_t LayerIndex(const std::string& name);
    std::vector<bool> ActiveLayers(const arraylayinfo& layers) const;
    // Calls visit(entry) for the rows Overlapping answers, in no particular order.
    template <class Visit>
    void ForEachOverlapping(TDateTime first, TDateTime last, const arraylayinfo* layers,
                            Visit&& visit) const;
    void Changed();
    void Touched(std::uint32_t row);
    void Reshaped();
    void SortRanges() const;
    void SortAlarms() const;
    // Rewrites the text store when most of it belongs to rows that changed since.
    void CompactTexts();

    bool valid_ = false;
    std::uint64_t nextRevision_ = 1;   // never reset, so a revision is never given twice
    std::int64_t dataVersion_ = -1;    // the file's data version when the memory was read
    std::vector<MemoryEvent> events_;  // ascending ids
    std::string texts_;
    std::size_t deadText_ = 0;
    std::vector<std::string> layerNames_;

    // Kept in order on the first question after a change.
    mutable bool rangesSorted_ = false;
    mutable std::vector<RangeEntry> ranges_;    // by begin
    mutable std::vector<TDateTime> blockEnds_;  // the latest end of each block of ranges_
    mutable bool alarmsSorted_ = false;
    mutable std::vector<AlarmEntry> alarms_;  // by begin time, then id
    mutable Pending rangesPending_{{}, true};
    mutable Pending alarmsPending_{{}, true};
};

// The earliest moment at which the due test of e may answer yes: no event is due before it.
TDateTime EarliestDueMoment(const MemoryEvent& e);

// The number as a statement carries it, read back.
TDateTime AsStatementNumber(TDateTime value);

}  // namespace qcal
