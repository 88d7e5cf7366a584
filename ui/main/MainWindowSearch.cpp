// The "Search Events" page in the main window: its creation, the page change and the
// commands that reach it from the toolbar.

#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/main/MainWindow.h"
#include "ui/main/SearchPage.h"
#include "widgets/Help.h"

namespace qcal {

void TFormMainCalendar::CreateSearchPage() {
    SearchPageHooks hooks;
    hooks.editEvent = [this](tfield& event) { return EditFromAlarmWindow(event, this); };
    hooks.addEvent = [this] { actNewEvent->trigger(); };
    hooks.deleteRequested = [this] { actDeleteEvent->trigger(); };
    hooks.showHelp = [this](int context) { desktop::ShowHelp(context, this); };
    searchPage = new TSearchPage(session_, std::move(hooks), TabSheet2);
    auto* page = new QVBoxLayout(TabSheet2);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(searchPage);
    connect(PageControl1, &QTabWidget::currentChanged, this,
            &TFormMainCalendar::PageControl1Change);
}

void TFormMainCalendar::PageControl1Change() {
    if (DatePageShowing()) {
        searchPage->PageLeft();
        RxSpinYearChange();
    } else {
        if (activated_)
            FormResize();
        searchPage->PageShown();
    }
}

}  // namespace qcal
