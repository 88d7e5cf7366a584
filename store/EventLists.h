#pragma once

// Event lists: they carry events between the event table and memory.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Event.h"
#include "core/Rules.h"
#include "core/SharedText.h"
#include "platform/Sqlite.h"
#include "store/DataModule.h"
#include "store/EventTable.h"
#include "store/IdList.h"

namespace qcal {

enum class TransferDirection { RowToRecord, RecordToRow };

// What became of an edited event written back to its row.
enum class EditedEventSave {
    Saved,
    RowGone,  // the row was deleted while the event was being edited; nothing was written
    Failed,   // the database failed; the failure has been reported
};

// Told to the user when an edited event could not be saved because its row is gone.
inline constexpr const char* kEditedEventGone =
    "The event was deleted while you were editing it; your changes were not saved.";

// Positions of the event columns in an open result, looked up once for a walk over many
// rows. Throws platform::DbError when the result lacks one of them.
class EventColumns {
public:
    explicit EventColumns(const platform::Query& query);
    // Reads the current row; layerColor is looked up in layers.
    void Read(const platform::Query& query, tfield& event, const arraylayinfo& layers) const;
    // The parts of Read, for walks that skip most rows: the id alone; the id and every field a
    // rule reads (times, dates, alert, lastFileTime and the repeat fields); the texts and the
    // layer colour.
    std::int64_t ReadId(const platform::Query& query) const;
    void ReadRuleFields(const platform::Query& query, tfield& event) const;
    void ReadTexts(const platform::Query& query, tfield& event, const arraylayinfo& layers) const;

    static constexpr std::size_t kCount = kEventColumns.size();
    // The columns added later: -1 in a result without them.
    enum Extra : std::size_t {
        kExceptDays,
        kSeriesId,
        kSeriesDay,
        kRemindBefore,
        kAllDay,
        kOpenEnd,
        kLocation
    };
    static constexpr std::size_t kExtraCount = 7;
    static std::span<const char* const> ExtraColumnNames();

private:
    // The rule fields (with the id), or the texts.
    void ReadColumns(const platform::Query& query, tfield& event, bool ruleFields) const;

    std::array<int, kCount> at_{};
    std::array<int, kExtraCount> extraAt_{};
};

// Copies every column between the current row of query and event, by column name.
// Reading also looks up layerColor in layers; writing never writes id.
void TransferRow(TransferDirection direction, tfield& event, platform::Query& query,
                 const arraylayinfo& layers);

// The colour of the layer called name: the last entry with exactly that name, or blue.
TColor LayerColor(const arraylayinfo& layers, const std::string& name);

// " and (layername in ('216vg2K3fP67Gf','Work','Home'))" for the active layers.
std::string ActiveLayerCondition(const arraylayinfo& layers);

// The month query: loads into events the events whose date range touches [first, last]
// and whose layer is active, in order of beginTime. On a failure (reported) events is empty.
std::string MonthStatement(TDateTime first, TDateTime last, const arraylayinfo& layers);
bool LoadMonthEvents(TDataMod& dm, TDateTime first, TDateTime last, tArrayofField& events);

class tlist_of_event_orig {
public:
    explicit tlist_of_event_orig(TDataMod& dm);
    ~tlist_of_event_orig();
    tlist_of_event_orig(const tlist_of_event_orig&) = delete;
    tlist_of_event_orig& operator=(const tlist_of_event_orig&) = delete;

    // True with query on the first row when the result has rows; false when it is empty
    // (query stays open) or when the statement failed (message shown, query closed).
    bool OpenStatement(const std::string& sql);

    // Appends the event as a new row and answers the id the database gave it, or 0 when
    // nothing was added (the failure has been reported).
    std::int64_t AddEvent(const tfield& event);
    // Reads the row with this id into event; leaves event as it was when there is none.
    bool LoadEvent(std::int64_t id, tfield& event);
    // Rewrites the row of event.id; writes nothing when the row is gone.
    bool UpdateEvent(const tfield& event);
    // Writes an event back from the editor. The editor never changes lastFileTime, but the
    // event may have been archived while it was open: the later of the stored and the
    // edited value is kept (event takes it), so a save never undoes an archive.
    EditedEventSave SaveEditedEvent(tfield& event);
    // Deletes the rows with these ids; the statement's id list has the caller's blanks.
    // No ids touch nothing (and that is no failure).
    bool DeleteEvents(std::span<const std::int64_t> ids, IdListBlanks blanks);
    // Archives the listed events: their lastFileTime becomes the present moment, one reading
    // of the clock for all of them. False when none of them was found (or no ids were given).
    bool FileEvents(std::span<const std::int64_t> ids, IdListBlanks blanks);

    void TransferRow(TransferDirection direction, tfield& event) {
        qcal::TransferRow(direction, event, query, dm_.Layers);
    }

    platform::Query query;

protected:
    // Reports a database failure through the general error report.
    void ReportError(const platform::DbError& error) const;
    // Drops a half-done write, closes the query, reports the failure; answers false.
    bool Abandon(const platform::DbError& error);
    TDataMod& dm_;
};

struct titem_for_display {
    SharedText text;  // the copies on the days of a repeating event share it
    std::int64_t id = 0;
    SharedText layername;  // shared as the text is
    TColor layerColor = kUnknownLayerColor;
    bool alert = false;
    bool operator==(const titem_for_display&) const = default;
};
using mytitem_for_display = std::vector<titem_for_display>;

// The line of an event in a day cell: its begin time (time, as the options format it; none
// for an all-day event), "!" for an alarm, the subject; the layer's colour.
titem_for_display MakeDisplayItem(const TDataMod& dm, std::int64_t id, std::string_view subject,
                                  const std::string& layername, bool alert, bool allDay,
                                  std::string_view time);
// The text of that line.
std::string DisplayText(std::string_view subject, bool alert, bool allDay, std::string_view time);
// The same line with the layer's name as the lines share it and its colour looked up.
titem_for_display MakeDisplayItem(std::int64_t id, std::string_view subject,
                                  const SharedText& layername, TColor layerColor, bool alert,
                                  bool allDay, std::string_view time);

// The month view's list: the lines of one day cell.
class tlist_of_event : public tlist_of_event_orig {
public:
    using tlist_of_event_orig::tlist_of_event_orig;

    // The lines of day: the events that occur on it, in the order of events.
    mytitem_for_display ItemsOfDay(TDateTime day, const tArrayofField& events) const;
    // The lines of the days first, first + 1, .. first + days - 1, the same as ItemsOfDay
    // gives for each, with every event's rule built and its line text written once.
    std::vector<mytitem_for_display> ItemsOfDays(TDateTime first, int days,
                                                 const tArrayofField& events) const;
    // Loads the events of [first, first + days - 1] (LoadMonthEvents) and answers the lines
    // of those days (ItemsOfDays). The loaded records are kept from one month to the next so
    // that their memory is reused; none on a failure, which has been reported.
    std::vector<mytitem_for_display> LoadMonthLines(TDateTime first, int days);
    titem_for_display MakeItem(const tfield& event) const;
    TColor LayerColor(const std::string& name) const { return qcal::LayerColor(dm_.Layers, name); }

private:
    tArrayofField monthEvents_;
};

// The search's list.
class tlist_of_event_for_Query : public tlist_of_event_orig {
public:
    using tlist_of_event_orig::tlist_of_event_orig;

    // mode 0 keeps the rows whose rule occurs between start and end; mode 1 keeps all.
    void LoadFound(const std::string& sql, std::uint8_t mode, TDateTime start, TDateTime end);

    tArrayofField found;
};

}  // namespace qcal
