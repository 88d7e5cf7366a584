#pragma once

// The grid's event commands: add, edit and delete events (asking whether an occurrence or
// its whole series is meant), then show the day where they fall.

#include <QObject>

#include <cstdint>
#include <memory>
#include <span>

#include "core/Event.h"
#include "store/EventLists.h"

class QWidget;

namespace qcal {

class CalendarSession;
class LayerBar;
class MonthView;
class TDataMod;
class TmyFormNewOrEdit;

class EventCommands : public QObject {
    Q_OBJECT
public:
    // owner: the window the editor and the questions stay above.
    EventCommands(CalendarSession& session, MonthView& month, LayerBar& layers, QWidget* owner);
    ~EventCommands() override;

    void AddEventAt(int cell);
    void EditSelectedEvent();
    void DeleteSelectedEvent();
    void DeleteEventIds(std::span<const std::int64_t> ids, IdListBlanks blanks);
    // Runs the event editor on event for the alarm window or the search page; true when it
    // ended with OK (event then holds the edits). owner: the window it stays above.
    bool EditFromAlarmWindow(tfield& event, QWidget* owner);

private:
    // Edits the occurrence of series on day as an event of its own that replaces it.
    void EditOccurrence(const tfield& series, int day);
    void ShowEventDay(const tfield& event, TDateTime reference);
    std::unique_ptr<TmyFormNewOrEdit> CreateEditor(bool newEvent, QWidget* owner = nullptr);
    tfield NewEventPreset(int cell) const;
    bool EditCheck();
    bool ConfirmDelete();

    CalendarSession& session_;
    TDataMod& dm_;
    MonthView& month_;
    LayerBar& layers_;
    QWidget* owner_;
    tlist_of_event monthList_;
};

}  // namespace qcal
