#pragma once

// The program's windows on a temporary program folder: the clock pinned, message boxes
// recorded and modal dialogs answered by the test, the alarm sound recorded.

#include <QDialog>
#include <QListWidget>
#include <QSpinBox>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Child.h"
#include "StoreFixture.h"
#include "alarm/AlarmWindow.h"
#include "core/Clock.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "store/EventLists.h"
#include "ui/main/DayCell.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MonthGrid.h"
#include "ui/main/OccurrenceQuestion.h"
#include "ui/main/ProgramShell.h"
#include "ui/main/TrayShell.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"

namespace qcal::test {

class SilentSound final : public SoundPlayer {
public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

class WindowFixture {
public:
    explicit WindowFixture(TDateTime now, const arraylayinfo& layers = {})
        : clock(now), list(*store.dm) {
        desktop::MessageBox::StartRecording();
        OccurrenceQuestion::StartRecording({});
        desktop::SetModalHandlerForTesting([this](QDialog& dialog) {
            ++dialogsShown;
            return answer ? answer(dialog) : int(QDialog::Rejected);
        });
        store.dm->Layers = layers;
        store.dm->SaveLayers();
    }
    ~WindowFixture() {
        window = nullptr;
        shell.reset();
        desktop::SetModalHandlerForTesting({});
        desktop::MessageBox::StopRecording();
        OccurrenceQuestion::StopRecording();
    }

    // Adds events before the window opens, or while it is open (then call Refresh): a row
    // written beside the session, which then reads the table again.
    std::int64_t Add(const tfield& event) {
        const std::int64_t id = list.AddEvent(event);
        if (shell)
            shell->Session().ReloadEvents();
        return id;
    }

    TFormMainCalendar& Open(const QStringList& arguments = {}) {
        shell = std::make_unique<ProgramShell>(*store.dm, arguments, &sound);
        window = &shell->Window();
        window->resize(1000, 700);
        window->show();
        return *window;
    }

    void ShowMonth(int year, int month) { window->ShowMonth(year, month); }
    // Closes the program's windows (as the end of the program does).
    void Close() {
        window = nullptr;
        shell.reset();
    }

    Tlable_listbox& CellOfDay(int year, int month, int day) {
        return window->Cell(MonthModel(year, month).CellOfDay(day));
    }

    QStringList Rows(const Tlable_listbox& cell) const {
        QStringList rows;
        for (int i = 0; i < cell.list->count(); ++i)
            rows << cell.list->Text(i);
        return rows;
    }

    std::int64_t Count(const std::string& where = "1=1") {
        platform::Query q(store.dm->ADOConnection);
        q.setSql("select count(*) as n from eventtable where " + where);
        q.open();
        return q.asInteger("n");
    }

    QList<desktop::MessageBox::Shown> Shown() { return desktop::MessageBox::TakeShown(); }

    clock::ScopedFakeClock clock;
    StoreFixture store;
    tlist_of_event_orig list;
    SilentSound sound;
    std::unique_ptr<ProgramShell> shell;
    TFormMainCalendar* window = nullptr;
    std::function<int(QDialog&)> answer;
    int dialogsShown = 0;
};

}  // namespace qcal::test
