// The application shell of the main window: the tray icon and its menu, minimising and closing
// to the tray, the global hot key, the exit, the end of the desktop session and the web page.

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

#include "platform/desktop/HotKey.h"
#include "platform/desktop/Shell.h"
#include "store/DataModule.h"
#include "ui/main/MainWindow.h"

namespace qcal {
namespace {

const QString kTitle = QStringLiteral("Quenlaris Calendar");

}  // namespace

const QString TFormMainCalendar::kKeepsRunningMessage = QStringLiteral(
    "Quenlaris Calendar keeps running in the tray and raises your alarms. "
    "Choose Exit in its menu to end it.");

namespace {}  // namespace

void TFormMainCalendar::CreateShell() {
    setWindowIcon(desktop::ProgramIcon());

    PmTray = new QMenu(this);
    ShowPendingEvents1 = PmTray->addAction(QStringLiteral("Show Pending Events"));
    PmTray->addSeparator();
    PmTrayRestore = PmTray->addAction(QStringLiteral("&Restore Quenlaris Calendar"));
    Exit1 = PmTray->addAction(QStringLiteral("E&xit"));
    connect(ShowPendingEvents1, &QAction::triggered, this, &TFormMainCalendar::btnpendingClick);
    connect(PmTrayRestore, &QAction::triggered, this, &TFormMainCalendar::PmTrayRestoreClick);
    connect(Exit1, &QAction::triggered, this, &TFormMainCalendar::btnExitClick);

    RxTrayIcon1 = new QSystemTrayIcon(desktop::ProgramIcon(), this);
    RxTrayIcon1->setToolTip(kTitle);
    RxTrayIcon1->setContextMenu(PmTray);
    connect(RxTrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    PmTrayRestoreClick();
            });

    // The menu button's web page item, built with the toolbar, opens the product's page.
    connect(VisitsWebsite1, &QAction::triggered, this, [] { desktop::OpenWebsite(); });

    hotKey_ = new desktop::GlobalHotKey(this);
    connect(hotKey_, &desktop::GlobalHotKey::pressed, this, &TFormMainCalendar::btnpendingClick);
    ApplyHotKey(true);
    // Every save of the options registers the key again with the chosen modifier and letter.
    dm_.OnOptionsSaved = [this] { ApplyHotKey(true); };

    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // Answering nothing is answering yes: the session may end, and the program with it.
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { SessionEnding(); });
    }
    RxTrayIcon1->show();
}

void TFormMainCalendar::ApplyHotKey(bool registering) {
    if (!registering) {
        hotKey_->Unregister();
        return;
    }
    const desktop::HotKeyChoice choice =
        desktop::HotKeyFromOptions(dm_.Options.myIndex, dm_.Options.myKey);
    hotKey_->Register(choice);
    if (hotKey_->Available()) {
        RxTrayIcon1->setToolTip(kTitle + QStringLiteral(" \n") + choice.Text() +
                                QStringLiteral(" to show pending events"));
        ShowPendingEvents1->setText(QStringLiteral("&Show Pending Events   ") + choice.Text());
    } else {
        // Without a key to press, the hint says so instead of naming one.
        RxTrayIcon1->setToolTip(kTitle + QStringLiteral(" \nNo global hot key on this desktop"));
        ShowPendingEvents1->setText(QStringLiteral("&Show Pending Events"));
    }
}

void TFormMainCalendar::btnpendingClick() {
    if (pendingShowing_)
        return;
    pendingShowing_ = true;
    scheduler_->ShowPending(true);
    pendingShowing_ = false;
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
    ApplyHotKey(false);
    exiting_ = true;
    RxTrayIcon1->hide();
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
        RxTrayIcon1->showMessage(kTitle, kKeepsRunningMessage, QSystemTrayIcon::Information);
        dm_.Options.TrayMessageShown = true;
        dm_.SaveOptions();
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
