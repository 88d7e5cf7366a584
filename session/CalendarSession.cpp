#include "session/CalendarSession.h"

#include <QTimer>

#include <algorithm>

#include "store/DataModule.h"
#include "store/LayerEvents.h"
#include "store/Occurrences.h"

namespace qcal {

namespace {

// More ids than this are not looked up one by one for their days: all days changed.
constexpr std::size_t kMostIdsLookedUp = 200;

}  // namespace

DayRange DayRange::Of(const tfield& event) {
    const int begin = DayOf(event.begindate);
    const int end = DayOf(event.enddate);
    return {std::min(begin, end), std::max(begin, end)};
}

DayRange DayRange::Joined(const DayRange& other) const {
    if (Empty())
        return other;
    if (other.Empty())
        return *this;
    return {std::min(first, other.first), std::max(last, other.last)};
}

CalendarSession::CalendarSession(TDataMod& dm, SoundPlayer& sound, QObject* parent)
    : QObject(parent), dm_(dm), monthList_(dm), events_(dm), scheduler_(dm, sound) {
    qRegisterMetaType<DayRange>();
    memory_.Load(dm_);
    scheduler_.Due().UseMemory(&memory_);
    connect(&scheduler_, &AlarmScheduler::dueListChanged, this, &CalendarSession::dueListChanged);
    connect(&scheduler_, &AlarmScheduler::alarmsRaised, this, &CalendarSession::alarmsRaised);
    connect(&scheduler_, &AlarmScheduler::nothingPending, this, &CalendarSession::nothingPending);
    connect(&scheduler_, &AlarmScheduler::dayChanged, this, &CalendarSession::dayChanged);
    // Every save of the options is announced, whoever wrote them.
    dm_.OnOptionsSaved = [this] { emit optionsChanged(); };
    dm_.LayersOfEvents = [this](std::vector<std::string>& names) {
        return memory_.FollowOtherWriters(dm_) && memory_.LayersOfEvents(names);
    };
}

CalendarSession::~CalendarSession() {
    dm_.OnOptionsSaved = nullptr;
    dm_.LayersOfEvents = nullptr;
}

std::vector<mytitem_for_display> CalendarSession::MonthLines(TDateTime first, int days) {
    if (memory_.FollowOtherWriters(dm_))
        return memory_.MonthLines(dm_, first, days);
    return monthList_.LoadMonthLines(first, days);
}

void CalendarSession::FindEvents(const SearchRequest& request, const std::string& sql,
                                 tlist_of_event_for_Query& list) {
    if (memory_.FollowOtherWriters(dm_)) {
        memory_.FindEvents(request, dm_.Layers, list.found);
    } else {
        list.LoadFound(sql, request.archived ? 1 : 0, request.between, request.andTime);
    }
}

void CalendarSession::ReloadEvents() {
    memory_.Load(dm_);
}

void CalendarSession::AfterWrite(bool written, std::span<const std::int64_t> ids) {
    if (!written || !memory_.Refresh(dm_, ids))
        memory_.Load(dm_);
}

std::int64_t CalendarSession::AddEvent(const tfield& event) {
    const std::int64_t id = events_.AddEvent(event);
    AfterWrite(id != 0, std::span(&id, 1));
    if (id != 0) {
        emit eventsChanged(DayRange::Of(event));
        AlarmsAfterChange(false);
    }
    return id;
}

bool CalendarSession::LoadEvent(std::int64_t id, tfield& event) {
    return events_.LoadEvent(id, event);
}

EditedEventSave CalendarSession::SaveEditedEvent(tfield& event, bool reshow) {
    DayRange days = DayRange::Of(event);
    tfield before;
    if (events_.LoadEvent(event.id, before))
        days = days.Joined(DayRange::Of(before));
    const EditedEventSave result = events_.SaveEditedEvent(event);
    AfterWrite(result != EditedEventSave::Failed, std::span(&event.id, 1));
    // A row gone or a failed write: what is stored is not known here, so every day is shown
    // again.
    emit eventsChanged(result == EditedEventSave::Saved ? days : DayRange::All());
    AlarmsAfterChange(reshow);
    return result;
}

DayRange CalendarSession::RangeOfIds(std::span<const std::int64_t> ids) {
    if (ids.size() > kMostIdsLookedUp)
        return DayRange::All();
    DayRange days;
    for (const std::int64_t id : ids) {
        tfield event;
        if (events_.LoadEvent(id, event))
            days = days.Joined(DayRange::Of(event));
    }
    return days;
}

bool CalendarSession::DeleteEvents(std::span<const std::int64_t> ids, IdListBlanks blanks,
                                   bool reshow) {
    if (ids.empty())
        return false;
    const DayRange days = RangeOfIds(ids);
    const bool deleted = events_.DeleteEvents(ids, blanks);
    if (deleted)
        memory_.Forget(ids);
    else
        AfterWrite(false, {});
    emit eventsChanged(deleted ? days : DayRange::All());
    AlarmsAfterChange(reshow);
    return deleted;
}

bool CalendarSession::ArchiveEvents(std::span<const std::int64_t> ids, IdListBlanks blanks,
                                    bool reshow) {
    if (ids.empty())
        return false;
    const DayRange days = RangeOfIds(ids);
    const bool archived = events_.FileEvents(ids, blanks);
    AfterWrite(archived, ids);
    emit eventsChanged(days);
    // The list shows what is due after the archive, whether or not the alarms are on: the
    // window that archived shows it. hasNew is left for the next look to raise.
    scheduler_.Due().RebuildDue();
    if (reshow) {
        scheduler_.ShowAlarms();
    } else {
        emit dueListChanged();
    }
    scheduler_.ArmNextDue();
    return archived;
}

ical::ImportResult CalendarSession::ImportIcs(const std::string& path) {
    ical::ImportResult result = ical::ImportIcsFile(dm_, path);
    memory_.Load(dm_);
    if (result.ok) {
        // New layers come with the events.
        dm_.LoadLayers();
        emit layersChanged();
        emit eventsChanged(DayRange::All());
        AlarmsAfterChange(false);
    }
    return result;
}

bool CalendarSession::TakeOutOccurrence(std::int64_t seriesId, int day) {
    const bool taken = qcal::TakeOutOccurrence(dm_, seriesId, day);
    AfterWrite(taken, std::span(&seriesId, 1));
    emit eventsChanged(DayRange{day, day});
    AlarmsAfterChange(false);
    return taken;
}

std::int64_t CalendarSession::StoreDetachedOccurrence(const tfield& occurrence) {
    const std::int64_t id = qcal::StoreDetachedOccurrence(dm_, occurrence);
    const std::int64_t written[] = {occurrence.seriesId, id};
    AfterWrite(id != 0, written);
    // The series lost the day and the occurrence may lie on another.
    emit eventsChanged(DayRange::All());
    AlarmsAfterChange(false);
    return id;
}

ical::ImportResult CalendarSession::ImportFromCommandLine(std::string_view text) {
    ical::ImportResult result = ical::ImportCalendarText(dm_, text);
    memory_.Load(dm_);
    if (result.ok) {
        QTimer::singleShot(0, this, [this] {
            // A backup may have taken the data in between; its end reloads everything.
            if (!dm_.Connected())
                return;
            dm_.LoadLayers();
            emit layersChanged();
            emit eventsChanged(DayRange::All());
            AlarmsAfterChange(false);
        });
    }
    return result;
}

void CalendarSession::ChangesStored(bool layers) {
    if (!dm_.Connected())
        return;
    if (layers) {
        dm_.LoadLayers();
        emit layersChanged();
    }
    emit eventsChanged(DayRange::All());
    AlarmsAfterChange(false);
}

void CalendarSession::AlarmsAfterChange(bool reshow) {
    if (reshow) {
        scheduler_.Due().RebuildDue();
        scheduler_.ShowAlarms();
        scheduler_.Due().hasNew = false;
        scheduler_.ArmNextDue();
    } else if (dm_.Options.IsAlarmEnabled) {
        scheduler_.RefreshAlarms();
    } else if (dm_.IsAlarmShowing) {
        scheduler_.Due().RebuildDue();
        emit dueListChanged();
    }
}

void CalendarSession::LayersEdited(bool eventsRenamed) {
    if (eventsRenamed)
        memory_.Load(dm_);
    emit layersChanged();
    if (eventsRenamed)
        emit eventsChanged(DayRange::All());
}

void CalendarSession::SetLayerChecks(const std::vector<bool>& active) {
    bool changed = false;
    for (std::size_t i = 0; i < active.size() && i < dm_.Layers.size(); ++i) {
        changed = changed || dm_.Layers[i].active != active[i];
        dm_.Layers[i].active = active[i];
    }
    if (!changed)
        return;
    dm_.SaveLayers();
    emit layersChanged();
}

void CalendarSession::RenameLayer(std::size_t index, const std::string& oldName,
                                  const std::string& newName) {
    const bool renamed = oldName != newName && RenameLayerInEvents(dm_, oldName, newName);
    if (renamed)
        memory_.RenameLayer(oldName, newName);
    if (oldName != newName && !renamed) {
        // The events keep the old name, so the layer keeps it too: otherwise they would
        // belong to no layer and vanish from the month.
        if (index < dm_.Layers.size()) {
            dm_.Layers[index].name = oldName;
            dm_.SaveLayers();
        }
    }
    emit layersChanged();
    if (oldName != newName)
        emit eventsChanged(DayRange::All());
}

bool CalendarSession::DeleteUnusedLayer(std::size_t index, bool& inUse) {
    inUse = false;
    if (index >= dm_.Layers.size())
        return false;
    // Without the count the layer might still be in use: keep it.
    const std::optional<std::int64_t> total = CountLayerEvents(dm_, dm_.Layers[index].name);
    if (!total)
        return false;
    if (*total > 0) {
        inUse = true;
        return false;
    }
    dm_.Layers.erase(dm_.Layers.begin() + std::ptrdiff_t(index));
    dm_.SaveLayers();
    emit layersChanged();
    return true;
}

bool CalendarSession::SaveOptions() {
    return dm_.SaveOptions();
}

void CalendarSession::SetAlarmsEnabled(bool enabled) {
    dm_.Options.IsAlarmEnabled = enabled;
    dm_.SaveOptions();
    scheduler_.AlarmsEnabledChanged();
}

void CalendarSession::Start() {
    scheduler_.FirstActivation();
}

void CalendarSession::ShowPending(bool sayIfEmpty) {
    scheduler_.ShowPending(sayIfEmpty);
}

void CalendarSession::AlarmWindowShown() {
    scheduler_.WindowShown();
}

void CalendarSession::AlarmWindowClosed(bool remindAgain, int minutes, bool archiveAll) {
    dm_.IsAlarmShowing = false;
    dm_.Options.IsAgainDisplay = remindAgain;
    dm_.Options.AgainHowLong = minutes;
    dm_.Options.IsArchiveAllAfterClose = archiveAll;
    // While a backup, restore or compaction has the data, neither is written (SaveOptions
    // writes nothing then).
    dm_.SaveOptions();
    if (archiveAll && dm_.Connected()) {
        std::vector<std::int64_t> ids;
        for (const tfield& event : DueEvents())
            ids.push_back(event.id);
        ArchiveEvents(ids, IdListBlanks::Around, false);
    }
    scheduler_.ArmRemindAgain();
}

bool CalendarSession::Release() {
    const bool remindAgainWasActive = scheduler_.Pause();
    dm_.Release();
    return remindAgainWasActive;
}

void CalendarSession::Resume(bool remindAgainWasActive) {
    dm_.Connect();
    // What was handed over may have changed the file.
    memory_.Load(dm_);
    scheduler_.Resume(remindAgainWasActive);
}

BackupReport CalendarSession::Backup(const std::string& archivePath) {
    const bool remindAgainWasActive = Release();
    BackupReport report = WriteBackup(dm_.ProgramFolder(), archivePath);
    Resume(remindAgainWasActive);
    return report;
}

RestoreReport CalendarSession::Restore(const std::string& archivePath) {
    // Everything that can be checked without writing is checked while the database is still
    // open: an archive that is refused changes nothing and the program runs on.
    RestoreReport inspected = InspectBackup(archivePath);
    if (inspected.status != RestoreStatus::Done)
        return inspected;
    const bool remindAgainWasActive = Release();
    RestoreReport report = RestoreBackup(dm_.ProgramFolder(), archivePath);
    // The old files are all in place again after a failure: carry on with them.
    if (report.status != RestoreStatus::Done)
        Resume(remindAgainWasActive);
    return report;
}

CompactReport CalendarSession::Compact() {
    const bool remindAgainWasActive = Release();
    CompactReport report = CompactDatabaseFile(dm_.ProgramFolder());
    // Nothing was changed: the program carries on with the database as it was.
    if (report.status == CompactStatus::MoveAsideFailed)
        Resume(remindAgainWasActive);
    return report;
}

}  // namespace qcal
