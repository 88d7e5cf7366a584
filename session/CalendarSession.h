#pragma once

// The calendar session: the one owner of every change to events, layers and options. It
// holds the data module, the due list and the alarm scheduler; windows ask it to add, save,
// delete, archive, import, restore or compact, and listen to what it announces afterwards.
// No window refreshes another.

#include <QObject>

#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/Event.h"
#include "session/AlarmScheduler.h"
#include "store/Backup.h"
#include "store/CalendarMemory.h"
#include "store/Compaction.h"
#include "store/EventLists.h"
#include "store/IcalImport.h"

namespace qcal {

class SoundPlayer;
class TDataMod;

// The days whose events changed, as day numbers; all days when not known.
struct DayRange {
    int first = 1;
    int last = 0;

    static DayRange All() { return {INT_MIN, INT_MAX}; }
    static DayRange Of(const tfield& event);
    bool Empty() const { return last < first; }
    bool IsAll() const { return first == INT_MIN && last == INT_MAX; }
    // The smallest range holding both.
    DayRange Joined(const DayRange& other) const;
    bool Overlaps(int from, int to) const { return !Empty() && first <= to && from <= last; }
    bool operator==(const DayRange&) const = default;
};

class CalendarSession : public QObject {
    Q_OBJECT
public:
    CalendarSession(TDataMod& dm, SoundPlayer& sound, QObject* parent = nullptr);
    ~CalendarSession() override;
    CalendarSession(const CalendarSession&) = delete;
    CalendarSession& operator=(const CalendarSession&) = delete;

    TDataMod& Data() const { return dm_; }
    // The timers and the due list; the windows read the list, only the session changes it.
    AlarmScheduler& Scheduler() { return scheduler_; }
    const tArrayofField& DueEvents() const { return scheduler_.Due().dueEvents; }

    // ---- what the views show, answered from memory ----
    // The calendar in memory; not valid when the table could not be read, and then the
    // statements answer.
    const CalendarMemory& Memory() const { return memory_; }
    // The lines of the days first .. first + days - 1 (tlist_of_event::LoadMonthLines).
    std::vector<mytitem_for_display> MonthLines(TDateTime first, int days);
    // Fills list.found with what request finds (tlist_of_event_for_Query::LoadFound of the
    // request's statement sql).
    void FindEvents(const SearchRequest& request, const std::string& sql,
                    tlist_of_event_for_Query& list);
    // Reads every event again: after the table was changed by someone else (a synchronisation).
    void ReloadEvents();

    // ---- events ----
    // Adds the event; answers its id, or 0 when nothing was added (reported).
    std::int64_t AddEvent(const tfield& event);
    bool LoadEvent(std::int64_t id, tfield& event);
    // Saves an edited event (see tlist_of_event_orig::SaveEditedEvent). reshow: the alarm
    // window's own edit, which sounds and refills the window afterwards.
    EditedEventSave SaveEditedEvent(tfield& event, bool reshow = false);
    bool DeleteEvents(std::span<const std::int64_t> ids, IdListBlanks blanks, bool reshow = false);
    // Archives the events at the present moment; reshow sounds and refills the alarm window.
    bool ArchiveEvents(std::span<const std::int64_t> ids, IdListBlanks blanks, bool reshow);
    ical::ImportResult ImportIcs(const std::string& path);
    // Takes one day out of a repeating event; stores one occurrence detached from its series
    // (answers its id, or 0).
    bool TakeOutOccurrence(std::int64_t seriesId, int day);
    std::int64_t StoreDetachedOccurrence(const tfield& occurrence);
    // An import handed over by the command line. The changes are announced after the return,
    // so that an alarm window they may bring up does not keep the command waiting.
    ical::ImportResult ImportFromCommandLine(std::string_view text);

    // Changes the synchronisation with a server wrote to the table (in its own transactions,
    // beside its bookkeeping): shown and their alarms armed as after an import; layers: the
    // layer table changed too.
    void ChangesStored(bool layers);

    // ---- layers ----
    // The layer table was changed and saved by a layer dialog; eventsRenamed: the events of a
    // renamed layer were renamed with it.
    void LayersEdited(bool eventsRenamed = false);
    // Sets the check marks of the layers in the order of the table and saves them.
    void SetLayerChecks(const std::vector<bool>& active);
    // Renames a layer in the table and in its events; the old name stays when the events
    // cannot be renamed.
    void RenameLayer(std::size_t index, const std::string& oldName, const std::string& newName);
    // Deletes a layer no event uses; false when events use it (or the count failed).
    bool DeleteUnusedLayer(std::size_t index, bool& inUse);

    // ---- options ----
    // Writes the options; every save announces optionsChanged.
    bool SaveOptions();
    void SetAlarmsEnabled(bool enabled);

    // ---- alarms ----
    // The main window is on the screen: the timers start and pending alarms show once.
    void Start();
    void ShowPending(bool sayIfEmpty);
    // The alarm window came up / was closed with its reminder settings.
    void AlarmWindowShown();
    void AlarmWindowClosed(bool remindAgain, int minutes, bool archiveAll);

    // ---- backup, restore and compaction ----
    BackupReport Backup(const std::string& archivePath);
    // Checks the archive first; only then are the database files handed over. After a
    // restore that went ahead the database stays closed: the program ends.
    RestoreReport Restore(const std::string& archivePath);
    // After a compaction that went ahead (or failed past the point of return) the database
    // stays closed: the program ends.
    CompactReport Compact();

signals:
    // Events changed on these days (all days when the range is not known).
    void eventsChanged(qcal::DayRange days);
    // The due list changed: the alarm window shows it again.
    void dueListChanged();
    // Newly due events: the alarm window comes up.
    void alarmsRaised();
    // Show Pending found nothing to show.
    void nothingPending();
    // The layer table changed (names, colours or check marks).
    void layersChanged();
    // The options were saved.
    void optionsChanged();
    // The day changed.
    void dayChanged();

private:
    // The alarms after events changed: refreshed when they are on, and the list shown again
    // whenever the alarm window shows it.
    void AlarmsAfterChange(bool reshow);
    DayRange RangeOfIds(std::span<const std::int64_t> ids);
    // Stops the timers and closes the database; answers whether reminding again was armed.
    bool Release();
    void Resume(bool remindAgainWasActive);
    // The memory after a write: the rows read back when it went through, everything read
    // again when it failed.
    void AfterWrite(bool written, std::span<const std::int64_t> ids);

    TDataMod& dm_;
    CalendarMemory memory_;
    tlist_of_event monthList_;
    tlist_of_event_orig events_;
    AlarmScheduler scheduler_;
};

}  // namespace qcal

Q_DECLARE_METATYPE(qcal::DayRange)
