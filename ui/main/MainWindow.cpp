#include "ui/main/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QSessionManager>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>

#include "platform/Autorun.h"
#include "platform/DataFolder.h"
#include "platform/System.h"
#include "platform/desktop/Shell.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "ui/main/AboutBox.h"
#include "ui/main/DayCell.h"
#include "ui/main/EventCommands.h"
#include "ui/main/IcalCommands.h"
#include "ui/main/LayerBar.h"
#include "ui/main/MainToolbar.h"
#include "ui/main/MonthPicker.h"
#include "ui/main/MonthView.h"
#include "ui/main/PageControl.h"
#include "ui/main/PreferencesDialog.h"
#include "ui/main/PrintCommands.h"
#include "ui/main/SearchPage.h"
#include "ui/main/Shortcuts.h"
#include "widgets/Dialogs.h"
#include "widgets/Help.h"
#include "widgets/MessageBox.h"

namespace qcal {

const QString TFormMainCalendar::kKeepsRunningMessage = QStringLiteral(
    "Quenlaris Calendar keeps running in the tray and raises your alarms. "
    "Choose Exit in its menu to end it.");

TFormMainCalendar::TFormMainCalendar(CalendarSession& session, QStringList arguments,
                                     QWidget* parent)
    : QWidget(parent), session_(session), dm_(session.Data()), arguments_(std::move(arguments)) {
    setObjectName(QStringLiteral("FormMainCalendar"));
    setWindowTitle(QStringLiteral("Quenlaris Calendar"));
    setWindowIcon(desktop::ProgramIcon());
    resize(763, 581);
    setFont(QFont(QStringLiteral("MS Sans Serif")));

    // Start-up. The data module has already opened the database; keep it open.
    if (!dm_.Connected())
        dm_.Connect();

    CreateEventActions();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    toolbar_ = new MainToolbar(actions_, this);
    outer->addWidget(toolbar_);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    outer->addLayout(body, 1);

    Panelleft = new QWidget(this);
    Panelleft->setObjectName(QStringLiteral("Panelleft"));
    Panelleft->setFixedWidth(144);
    auto* left = new QVBoxLayout(Panelleft);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    picker_ = new MonthPicker(Panelleft);
    left->addWidget(picker_);
    layers_ = new LayerBar(session_, Panelleft);
    left->addWidget(layers_, 1);
    body->addWidget(Panelleft);
    CreatePages();
    body->addWidget(PageControl1, 1);

    PageControl1->setCurrentIndex(0);
    layers_->LoadLayers();
    dm_.LoadOptions();
    month_->ApplyDisplayFont();
    month_->GoToToday();

    events_ = new EventCommands(session_, *month_, *layers_, this);
    ical_ = new IcalCommands(session_, toolbar_->OptionsMenu(), this);
    print_ = new PrintCommands(
        dm_, *month_, [this] { ShowDatePage(); }, this);
    ConnectToolbar();
    CreateShortcuts();
    connect(&session_, &CalendarSession::nothingPending, this, &TFormMainCalendar::NothingPending);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // Answering nothing is answering yes: the session may end, and the program with it.
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { SessionEnding(); });
    }

    // Small enough for any screen, large enough that the whole toolbar and the buttons under
    // the layer list stay inside the window.
    setMinimumSize(std::max(toolbar_->ButtonsRight() + 8, Panelleft->width() + 320),
                   toolbar_->height() + picker_->height() + layers_->minimumHeight());
}

TFormMainCalendar::~TFormMainCalendar() = default;

void TFormMainCalendar::CreateEventActions() {
    actions_.add = new QAction(QStringLiteral("New Event"), this);
    actions_.add->setObjectName(QStringLiteral("actNewEvent"));
    connect(actions_.add, &QAction::triggered, this,
            [this] { events_->AddEventAt(month_->SelectedCell()); });
    actions_.edit = new QAction(QStringLiteral("Edit Event"), this);
    actions_.edit->setObjectName(QStringLiteral("actEditEvent"));
    connect(actions_.edit, &QAction::triggered, this, [this] {
        if (DatePageShowing())
            events_->EditSelectedEvent();
        else
            searchPage->ListBoxQueryDblClick();
    });
    actions_.remove = new QAction(QStringLiteral("Del  Event"), this);
    actions_.remove->setObjectName(QStringLiteral("actDeleteEvent"));
    connect(actions_.remove, &QAction::triggered, this, [this] {
        if (DatePageShowing())
            events_->DeleteSelectedEvent();
        else
            searchPage->pmDeleteEventClick();
    });
}

void TFormMainCalendar::CreatePages() {
    PageControl1 = new PageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    month_ = new MonthView(session_, *picker_, actions_);
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(month_, QStringLiteral("Date"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Search Events"));
    CreateSearchPage();
}

void TFormMainCalendar::CreateSearchPage() {
    SearchPageHooks hooks;
    hooks.editEvent = [this](tfield& event) { return EditFromAlarmWindow(event, this); };
    hooks.addEvent = [this] { actions_.add->trigger(); };
    hooks.deleteRequested = [this] { actions_.remove->trigger(); };
    hooks.showHelp = [this](int context) { desktop::ShowHelp(context, this); };
    searchPage = new TSearchPage(session_, std::move(hooks), TabSheet2);
    auto* page = new QVBoxLayout(TabSheet2);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(searchPage);
    connect(PageControl1, &QTabWidget::currentChanged, this,
            &TFormMainCalendar::PageControl1Change);
    // The year or month changed over the search page: it searches again.
    connect(month_, &MonthView::pickedWhileHidden, searchPage, &TSearchPage::comSearchTypeChange);
}

void TFormMainCalendar::ConnectToolbar() {
    connect(toolbar_, &MainToolbar::todayClicked, this, [this] {
        {
            // Today shows the month at once; the page change's own refresh of the month
            // would only repeat what GoToToday does.
            const QSignalBlocker quiet(PageControl1);
            PageControl1->setCurrentIndex(0);
        }
        month_->GoToToday();
    });
    connect(toolbar_, &MainToolbar::pendingClicked, this, &TFormMainCalendar::btnpendingClick);
    connect(toolbar_, &MainToolbar::backupClicked, this, &TFormMainCalendar::backupRequested);
    connect(toolbar_, &MainToolbar::restoreClicked, this, &TFormMainCalendar::restoreRequested);
    connect(toolbar_, &MainToolbar::compactChosen, this, &TFormMainCalendar::compactRequested);
    connect(toolbar_, &MainToolbar::alarmClicked, this, &TFormMainCalendar::btnactiveClick);
    connect(toolbar_, &MainToolbar::helpClicked, this, &TFormMainCalendar::btnHelpClick);
    connect(toolbar_, &MainToolbar::previewClicked, print_, &PrintCommands::btnpreviewClick);
    connect(toolbar_, &MainToolbar::printClicked, print_, &PrintCommands::btnprintClick);
    connect(toolbar_, &MainToolbar::exitClicked, this, &TFormMainCalendar::btnExitClick);
    connect(toolbar_, &MainToolbar::preferencesChosen, this, &TFormMainCalendar::Preferences1Click);
    connect(toolbar_, &MainToolbar::websiteChosen, this, [] { desktop::OpenWebsite(); });
    connect(toolbar_, &MainToolbar::aboutChosen, this, &TFormMainCalendar::About1Click);
    desktop::InstallHelpKey(this, [] { return kHelpTopic; });
}

void TFormMainCalendar::CreateShortcuts() {
    // The grid's event commands act on the day or the search result that has the focus;
    // Enter and Delete elsewhere (the keyword box, the year) stay with their controls.
    for (auto [action, command, hint] :
         {std::tuple{actions_.add, Command::NewEvent, "New Event"},
          std::tuple{actions_.edit, Command::EditEvent, "Edit Event"},
          std::tuple{actions_.remove, Command::DeleteEvent, "Delete Events"}}) {
        action->setShortcuts(KeysOf(command));
        action->setToolTip(HintWithKey(QString::fromLatin1(hint), command));
    }
    addAction(actions_.add);
    for (QAction* scoped : {actions_.edit, actions_.remove}) {
        scoped->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        searchPage->AddListShortcut(scoped);
    }

    auto* search = new QAction(QStringLiteral("Search Events"), this);
    connect(search, &QAction::triggered, this, [this] {
        PageControl1->setCurrentIndex(1);
        searchPage->FocusFirstField();
    });
    search->setShortcuts(KeysOf(Command::SearchPage));
    search->setShortcutContext(Qt::WindowShortcut);
    addAction(search);
    PageControl1->setTabToolTip(1,
                                HintWithKey(QStringLiteral("Search Events"), Command::SearchPage));
}

void TFormMainCalendar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!activated_) {
        activated_ = true;
        FormActivate();
    }
}

void TFormMainCalendar::FormActivate() {
    month_->Activate();
    FormResize();
    toolbar_->ShowAlarms(dm_.Options.IsAlarmEnabled);
    // Events that fell due while the program was not running are shown once the window is
    // on the screen, whether or not the alarms are enabled.
    QTimer::singleShot(0, &session_, &CalendarSession::Start);
}

void TFormMainCalendar::FormResize() {
    const bool wasEnabled = updatesEnabled();
    setUpdatesEnabled(false);
    PageControl1->tabBar()->updateGeometry();
    PageControl1->tabBar()->adjustSize();
    month_->LayoutGrid();
    setUpdatesEnabled(wasEnabled);
}

void TFormMainCalendar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (activated_)
        FormResize();
}

bool TFormMainCalendar::StartsMinimised() const {
    return dm_.Options.IsStartWhenWindow && dm_.Options.IsMinimize && !arguments_.isEmpty() &&
           arguments_.first() == QStringLiteral("autorun");
}

bool TFormMainCalendar::DatePageShowing() const {
    return PageControl1->currentIndex() == 0;
}

void TFormMainCalendar::PageControl1Change() {
    if (DatePageShowing()) {
        searchPage->PageLeft();
        month_->RxSpinYearChange();
    } else {
        if (activated_)
            FormResize();
        searchPage->PageShown();
    }
}

void TFormMainCalendar::ShowDatePage() {
    if (DatePageShowing())
        return;
    PageControl1->setCurrentIndex(0);
    month_->RxSpinYearChange();
}

int TFormMainCalendar::ShownMonth() const {
    return month_->ShownMonth();
}

void TFormMainCalendar::ShowMonth(int year, int month) {
    month_->ShowMonth(year, month);
}

int TFormMainCalendar::SelectedCell() const {
    return month_->SelectedCell();
}

std::int64_t TFormMainCalendar::SelectedEventId() const {
    return month_->SelectedEventId();
}

Tlable_listbox& TFormMainCalendar::Cell(int number) const {
    return month_->Cell(number);
}

void TFormMainCalendar::DeleteEventIds(std::span<const std::int64_t> ids, IdListBlanks blanks) {
    events_->DeleteEventIds(ids, blanks);
}

bool TFormMainCalendar::EditFromAlarmWindow(tfield& event, QWidget* owner) {
    return events_->EditFromAlarmWindow(event, owner);
}

QPrinter& TFormMainCalendar::Printer() {
    return print_->Printer();
}

print::MonthSheet TFormMainCalendar::Sheet() const {
    return month_->Sheet();
}

QString TFormMainCalendar::MonthTitle() const {
    return month_->MonthTitle();
}

void TFormMainCalendar::btnactiveClick(bool checked) {
    // The button has already changed its state.
    if (!checked &&
        !desktop::MessageBox::Question(this, QStringLiteral("Do you want to disable the alarm?"))) {
        checked = true;
    }
    toolbar_->ShowAlarms(checked);
    session_.SetAlarmsEnabled(checked);
}

void TFormMainCalendar::Preferences1Click() {
    if (dm_.RefuseChange())
        return;
    // A data folder given at this start is given to the autostart entry too.
    const std::string& folder = dm_.ProgramFolder();
    const bool given = platform::ChooseDataFolder(std::string()).folder != folder;
    auto dialog = std::make_unique<TFormPreferences>(
        dm_, platform::Autorun({}, given ? folder : std::string()), platform::LauncherPath(), this);
    emit preferencesOpened(dialog.get());
    if (desktop::ExecModal(*dialog) != QDialog::Accepted)
        return;
    // The session announces the save: the font, the shown page and the hot key follow it.
    session_.SaveOptions();
}

void TFormMainCalendar::btnHelpClick() {
    desktop::ShowHelp(kHelpTopic, this);
}

void TFormMainCalendar::About1Click() {
    Taboutform about(this);
    desktop::ExecModal(about);
}

void TFormMainCalendar::btnpendingClick() {
    session_.ShowPending(true);
}

void TFormMainCalendar::NothingPending() {
    if (nothingPendingShowing_)
        return;
    nothingPendingShowing_ = true;
    desktop::MessageBox::Information(
        this, QStringLiteral("There are no pending events to be displayed!"));
    nothingPendingShowing_ = false;
}

void TFormMainCalendar::PmTrayRestoreClick() {
    inTray_ = false;
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TFormMainCalendar::BringToFront() {
    PmTrayRestoreClick();
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this && modal->isVisible() && modal->isEnabled()) {
        modal->raise();
        modal->activateWindow();
    }
}

void TFormMainCalendar::btnExitClick() {
    exiting_ = true;
    emit exitRequested();
}

void TFormMainCalendar::SessionEnding() {
    sessionEnding_ = true;
}

bool TFormMainCalendar::InTray() const {
    return inTray_;
}

void TFormMainCalendar::SendToTray() {
    PageControl1->setCurrentIndex(0);
    if (!desktop::TrayAvailable()) {
        // Nothing to bring it back from: the window stays on the task bar.
        if (!isMinimized())
            showMinimized();
        return;
    }
    inTray_ = true;
    hide();
}

void TFormMainCalendar::closeEvent(QCloseEvent* event) {
    if (exiting_ || sessionEnding_) {
        event->accept();
        return;
    }
    event->ignore();
    SendToTray();
    if (inTray_ && !dm_.Options.TrayMessageShown) {
        // The first time only: a window that vanishes on its close box would look ended.
        ++trayMessagesShown_;
        emit trayMessageRequested(kKeepsRunningMessage);
        dm_.Options.TrayMessageShown = true;
        session_.SaveOptions();
    }
}

void TFormMainCalendar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || exiting_)
        return;
    if (!isMinimized()) {
        inTray_ = false;
        return;
    }
    PageControl1->setCurrentIndex(0);
    // Hidden once the window system has finished minimising it.
    if (desktop::TrayAvailable()) {
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && isVisible())
                SendToTray();
        });
    }
}

}  // namespace qcal
