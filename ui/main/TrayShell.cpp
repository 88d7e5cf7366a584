#include "ui/main/TrayShell.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/desktop/HotKey.h"
#include "platform/desktop/Shell.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"

namespace qcal {
namespace {

const QString kTitle = QStringLiteral("Quenlaris Calendar");

}  // namespace

TrayShell::TrayShell(CalendarSession& session, QWidget* window, QObject* parent)
    : QObject(parent), session_(session) {
    setObjectName(QStringLiteral("TrayShell"));
    PmTray = new QMenu(window);
    PmTray->setObjectName(QStringLiteral("PmTray"));
    ShowPendingEvents1 = PmTray->addAction(QStringLiteral("Show Pending Events"));
    PmTray->addSeparator();
    PmTrayRestore = PmTray->addAction(QStringLiteral("&Restore Quenlaris Calendar"));
    Exit1 = PmTray->addAction(QStringLiteral("E&xit"));
    // The menu is the window's; its actions are the shell's, for the tests to find.
    for (auto [action, name] :
         {std::pair{ShowPendingEvents1, "ShowPendingEvents1"},
          std::pair{PmTrayRestore, "PmTrayRestore"}, std::pair{Exit1, "Exit1"}}) {
        action->setParent(this);
        action->setObjectName(QString::fromLatin1(name));
    }
    connect(ShowPendingEvents1, &QAction::triggered, this, &TrayShell::pendingRequested);
    connect(PmTrayRestore, &QAction::triggered, this, &TrayShell::restoreRequested);
    connect(Exit1, &QAction::triggered, this, &TrayShell::exitRequested);

    RxTrayIcon1 = new QSystemTrayIcon(desktop::ProgramIcon(), this);
    RxTrayIcon1->setObjectName(QStringLiteral("RxTrayIcon1"));
    RxTrayIcon1->setToolTip(kTitle);
    RxTrayIcon1->setContextMenu(PmTray);
    connect(RxTrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    emit restoreRequested();
            });

    hotKey_ = new desktop::GlobalHotKey(this);
    connect(hotKey_, &desktop::GlobalHotKey::pressed, this, &TrayShell::pendingRequested);
    ApplyHotKey(true);
    // Every save of the options registers the key again with the chosen modifier and letter.
    connect(&session_, &CalendarSession::optionsChanged, this, [this] { ApplyHotKey(true); });
    RxTrayIcon1->show();
}

TrayShell::~TrayShell() = default;

void TrayShell::ApplyHotKey(bool registering) {
    if (!registering) {
        hotKey_->Unregister();
        return;
    }
    const ROptions& options = session_.Data().Options;
    const desktop::HotKeyChoice choice = desktop::HotKeyFromOptions(options.myIndex, options.myKey);
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

void TrayShell::AddCommand(QAction* action) {
    const QList<QAction*> actions = PmTray->actions();
    const qsizetype at = actions.indexOf(ShowPendingEvents1) + 1;
    PmTray->insertAction(at < actions.size() ? actions[at] : nullptr, action);
}

void TrayShell::ShowMessage(const QString& text) {
    RxTrayIcon1->showMessage(kTitle, text, QSystemTrayIcon::Information);
}

void TrayShell::Close() {
    ApplyHotKey(false);
    RxTrayIcon1->hide();
}

}  // namespace qcal
