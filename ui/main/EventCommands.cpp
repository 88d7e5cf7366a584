#include "ui/main/EventCommands.h"

#include <QWidget>

#include "core/Clock.h"
#include "core/Rules.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "store/Occurrences.h"
#include "ui/editor/EventEditor.h"
#include "ui/main/DayCell.h"
#include "ui/main/LayerBar.h"
#include "ui/main/MonthView.h"
#include "ui/main/OccurrenceQuestion.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

constexpr TDateTime kOneHour = 1.0 / 24;
constexpr TDateTime kFiveSeconds = 5.0 / 86400;

}  // namespace

EventCommands::EventCommands(CalendarSession& session, MonthView& month, LayerBar& layers,
                             QWidget* owner)
    : QObject(owner),
      session_(session),
      dm_(session.Data()),
      month_(month),
      layers_(layers),
      owner_(owner),
      monthList_(dm_) {}

EventCommands::~EventCommands() = default;

std::unique_ptr<TmyFormNewOrEdit> EventCommands::CreateEditor(bool newEvent, QWidget* owner) {
    return std::make_unique<TmyFormNewOrEdit>(
        dm_, newEvent ? TmyFormNewOrEdit::Mode::New : TmyFormNewOrEdit::Mode::Edit,
        [this](QWidget* dialogOwner) {
            return layers_.RunLayerDialog(TmyFormLayer::Mode::New, -1, dialogOwner);
        },
        owner ? owner : owner_);
}

bool EventCommands::EditFromAlarmWindow(tfield& event, QWidget* owner) {
    // A data folder that cannot be written refuses before anything is typed.
    if (dm_.RefuseChange())
        return false;
    auto editor = CreateEditor(false, owner);
    editor->EventRec = event;
    const bool accepted = desktop::ExecModal(*editor) == QDialog::Accepted;
    if (accepted)
        event = editor->EventRec;
    return accepted;
}

tfield EventCommands::NewEventPreset(int cell) const {
    tfield rec;
    rec.layername = layers_.FirstLayerName();
    rec.alert = true;
    rec.repeatType = kRepeatNone;
    rec.begindate = rec.enddate = month_.Cell(cell).date;
    const TDateTime now = clock::Now();
    rec.beginTime = now - DayOf(now);
    rec.endtime = rec.beginTime + kOneHour;
    // An hour later would pass midnight: keep the end on the same day.
    if (rec.endtime >= 1.0)
        rec.endtime = rec.beginTime + kFiveSeconds;
    rec.lastFileTime = 0;
    rec.dayEvery0 = rec.weekEvery0 = rec.monthEvery0 = rec.monthEvery1 = 0;
    rec.weekSelected0.clear();
    // Whatever kind is picked, the event occurs on the day it was added on: the monthly and
    // yearly rules start on that day of the month, the yearly one in its month.
    const CivilDate day = DecodeDate(rec.begindate);
    rec.monthDay0 = rec.yearDay0 = std::int32_t(day.day);
    rec.yearMonth0 = rec.yearMonth1 = std::int32_t(day.month) - 1;
    // A repeating event goes on until the user gives it an end.
    rec.openEnd = true;
    return rec;
}

void EventCommands::AddEventAt(int cell) {
    if (dm_.RefuseChange())
        return;
    auto editor = CreateEditor(true);
    editor->EventRec = NewEventPreset(cell);
    const TDateTime reference = month_.Cell(cell).date;
    if (desktop::ExecModal(*editor) != QDialog::Accepted)
        return;
    if (session_.AddEvent(editor->EventRec) != 0)
        ShowEventDay(editor->EventRec, reference);
}

void EventCommands::EditSelectedEvent() {
    if (!EditCheck() || dm_.RefuseChange())
        return;
    auto editor = CreateEditor(false);
    const TDateTime reference = month_.Cell(month_.SelectedCell()).date;
    if (!session_.LoadEvent(month_.SelectedEventId(), editor->EventRec)) {
        // The row has gone meanwhile: show the month as it is now.
        month_.RxSpinYearChange();
        return;
    }
    if (editor->EventRec.repeatType != kRepeatNone) {
        switch (OccurrenceQuestion::Ask(
            owner_, QStringLiteral("Edit only this occurrence, or the whole series?\r'") +
                        desktop::Q(editor->EventRec.subject) + QStringLiteral("'"))) {
            case OccurrenceScope::Cancel:
                return;
            case OccurrenceScope::Series:
                break;
            case OccurrenceScope::Occurrence:
                EditOccurrence(editor->EventRec, DayOf(reference));
                return;
        }
    }
    if (desktop::ExecModal(*editor) != QDialog::Accepted)
        return;
    // The session's announcement shows the month again.
    switch (session_.SaveEditedEvent(editor->EventRec)) {
        case EditedEventSave::Saved:
            ShowEventDay(editor->EventRec, reference);
            break;
        case EditedEventSave::RowGone:
            desktop::MessageBox::Information(owner_, QString::fromUtf8(kEditedEventGone));
            break;
        case EditedEventSave::Failed:
            break;
    }
}

void EventCommands::DeleteSelectedEvent() {
    const std::int64_t id = month_.SelectedEventId();
    tfield event;
    if (id != 0 && monthList_.LoadEvent(id, event) && event.id == id &&
        event.repeatType != kRepeatNone) {
        const TDateTime day = month_.Cell(month_.SelectedCell()).date;
        switch (OccurrenceQuestion::Ask(
            owner_, QStringLiteral("Delete only this occurrence, or the whole series?\r'") +
                        desktop::Q(event.subject) + QStringLiteral("'"))) {
            case OccurrenceScope::Cancel:
                return;
            case OccurrenceScope::Occurrence:
                // The session's announcement shows the month again.
                session_.TakeOutOccurrence(id, DayOf(day));
                return;
            case OccurrenceScope::Series: {
                // Confirmed once more, as every delete is; the occurrences detached from it
                // go with it.
                if (!ConfirmDelete())
                    return;
                const std::vector<std::int64_t> ids = SeriesWithDetached(dm_, id);
                DeleteEventIds(ids, IdListBlanks::None);
                return;
            }
        }
    }
    if (!ConfirmDelete())
        return;
    DeleteEventIds(std::span(&id, 1), IdListBlanks::None);
}

void EventCommands::EditOccurrence(const tfield& series, int day) {
    auto editor = CreateEditor(false);
    editor->EventRec = DetachedOccurrence(series, day);
    if (desktop::ExecModal(*editor) != QDialog::Accepted)
        return;
    // The editor may have turned it into a repeating event; it stays one occurrence.
    tfield once = editor->EventRec;
    if (once.repeatType != kRepeatNone) {
        once.repeatType = kRepeatNone;
        once.enddate = once.begindate;
    }
    if (session_.StoreDetachedOccurrence(once) != 0)
        ShowEventDay(once, day);
}

void EventCommands::DeleteEventIds(std::span<const std::int64_t> ids, IdListBlanks blanks) {
    session_.DeleteEvents(ids, blanks);
}

void EventCommands::ShowEventDay(const tfield& event, TDateTime reference) {
    if (month_.Showing())
        month_.ShowDay(tsatisfy(event).DayToShow(reference));
}

bool EventCommands::EditCheck() {
    if (month_.Cell(month_.SelectedCell()).HasRows())
        return true;
    desktop::MessageBox::Information(owner_, QStringLiteral("There is no event to be edited!"));
    return false;
}

bool EventCommands::ConfirmDelete() {
    const titem_for_display* line = month_.Cell(month_.SelectedCell()).SelectedOrFirstLine();
    if (!line) {
        desktop::MessageBox::Information(owner_, QStringLiteral("There is no event to be delete!"));
        return false;
    }
    return desktop::MessageBox::Question(
        owner_, QStringLiteral("Are you sure to delete the event?\r'") + desktop::Q(line->text) +
                    QStringLiteral("'"));
}

}  // namespace qcal
