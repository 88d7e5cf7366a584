#pragma once

// A main window on a temporary program folder: the clock pinned, message boxes recorded
// and modal dialogs answered by the test.

#include <QDialog>
#include <QListWidget>
#include <QSpinBox>

#include <functional>
#include <memory>

#include "StoreFixture.h"
#include "core/Clock.h"
#include "platform/desktop/Dialogs.h"
#include "platform/desktop/MessageBox.h"
#include "store/EventLists.h"
#include "ui/main/DayCell.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MonthGrid.h"
#include "ui/main/OccurrenceQuestion.h"

namespace qcal::test {

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
        window.reset();
        desktop::SetModalHandlerForTesting({});
        desktop::MessageBox::StopRecording();
        OccurrenceQuestion::StopRecording();
    }

    // Adds events before the window opens, or while it is open (then call Refresh).
    std::int64_t Add(const tfield& event) { return list.AddEvent(event); }

    TFormMainCalendar& Open(const QStringList& arguments = {}) {
        window = std::make_unique<TFormMainCalendar>(*store.dm, arguments);
        window->resize(1000, 700);
        window->show();
        return *window;
    }

    void ShowMonth(int year, int month) {
        window->RxSpinYear->setValue(year);
        window->ListBoxMonth->setCurrentRow(month - 1);
        window->RxSpinYearChange();
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
    std::unique_ptr<TFormMainCalendar> window;
    std::function<int(QDialog&)> answer;
    int dialogsShown = 0;
};

}  // namespace qcal::test
