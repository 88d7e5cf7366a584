// The main window's part of the application shell: minimising and closing to the tray, the
// exit, the end of the desktop session, the web page and the pending alarms.

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSessionManager>
#include <QTabWidget>
#include <QTimer>

#include "platform/desktop/Shell.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "ui/main/MainWindow.h"
#include "widgets/MessageBox.h"

namespace qcal {
const QString TFormMainCalendar::kKeepsRunningMessage = QStringLiteral(
    "Quenlaris Calendar keeps running in the tray and raises your alarms. "
    "Choose Exit in its menu to end it.");

void TFormMainCalendar::CreateShell() {
    setWindowIcon(desktop::ProgramIcon());

    // The menu button's web page item, built with the toolbar, opens the product's page.
    connect(VisitsWebsite1, &QAction::triggered, this, [] { desktop::OpenWebsite(); });

    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        // Answering nothing is answering yes: the session may end, and the program with it.
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { SessionEnding(); });
    }
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
