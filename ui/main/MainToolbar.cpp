#include "ui/main/MainToolbar.h"

#include <QAction>
#include <QFrame>
#include <QMenu>
#include <QToolButton>

#include <utility>

#include "ui/main/EventActions.h"
#include "ui/main/Shortcuts.h"
#include "widgets/Glyphs.h"

namespace qcal {
namespace {

QToolButton* ToolButton(QWidget* parent, const char* name, int left, int width, const QString& hint,
                        const QIcon& icon) {
    QToolButton* button = desktop::FlatButton(parent, name, QRect(left, 6, width, 27), hint, icon);
    button->setIconSize(QSize(20, 20));
    return button;
}

QFrame* Separator(QWidget* parent, int left, QFrame::Shadow shadow) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(shadow);
    line->setGeometry(left, 6, 2, 27);
    return line;
}

}  // namespace

MainToolbar::MainToolbar(const EventActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Panelmain"));
    setFixedHeight(37);
    CreateButtons(actions);
    CreateMenu();
    CreateKeys();
}

void MainToolbar::CreateButtons(const EventActions& actions) {
    using desktop::Glyph;
    // Left to right: a raised double line at the start, then the buttons with single lines
    // between the groups.
    Separator(this, 10, QFrame::Raised);
    Separator(this, 14, QFrame::Raised);
    for (int left : {143, 236, 330, 471, 564})
        Separator(this, left, QFrame::Sunken);
    const struct {
        QToolButton** button;
        const char* name;
        int left;
        const char* hint;
        const char* themeIcon;
        QStyle::StandardPixmap fallback;
    } buttons[] = {
        {&btnAdd, "btnAdd", 21, "New Event", "appointment-new", QStyle::SP_FileIcon},
        {&btnEdit, "btnEdit", 59, "Edit Event", "document-edit", QStyle::SP_FileDialogDetailedView},
        {&btnDel, "btnDel", 97, "Delete Events", "edit-delete", QStyle::SP_TrashIcon},
        {&btnpending, "btnpending", 152, "Show Pending Events", "appointment-soon",
         QStyle::SP_MessageBoxWarning},
        {&btntoday, "btntoday", 190, "Today", "go-jump-today", QStyle::SP_ArrowDown},
        {&btnbackup, "btnbackup", 246, "Backup Events", "document-save",
         QStyle::SP_DialogSaveButton},
        {&btnrestore, "btnrestore", 284, "Restore Events", "document-revert",
         QStyle::SP_BrowserReload},
        {&btnactive, "btnactive", 340, "Enabled Alarm", "alarm-symbolic", QStyle::SP_MediaVolume},
        {&btnOption, "btnOption", 378, "Menus", "open-menu", QStyle::SP_FileDialogListView},
        {&btnHelp, "btnHelp", 425, "Help", "help-contents", QStyle::SP_DialogHelpButton},
        {&btnpreview, "btnpreview", 481, "Preview Calendar", "document-print-preview",
         QStyle::SP_FileDialogContentsView},
        {&btnprint, "btnprint", 519, "Print Calendar", "document-print", QStyle::SP_ComputerIcon},
        {&btnExit, "btnExit", 574, "Exit", "application-exit", QStyle::SP_DialogCloseButton},
    };
    for (const auto& b : buttons) {
        const int width = b.button == &btnOption ? 47 : 38;
        *b.button = ToolButton(this, b.name, b.left, width, QString::fromLatin1(b.hint),
                               Glyph(b.themeIcon, b.fallback));
    }
    btnactive->setCheckable(true);
    for (auto [button, action] : {std::pair{btnAdd, actions.add}, std::pair{btnEdit, actions.edit},
                                  std::pair{btnDel, actions.remove}}) {
        action->setIcon(button->icon());
        button->setDefaultAction(action);
    }

    connect(btntoday, &QToolButton::clicked, this, &MainToolbar::todayClicked);
    connect(btnpending, &QToolButton::clicked, this, &MainToolbar::pendingClicked);
    connect(btnbackup, &QToolButton::clicked, this, &MainToolbar::backupClicked);
    connect(btnrestore, &QToolButton::clicked, this, &MainToolbar::restoreClicked);
    connect(btnactive, &QToolButton::clicked, this, &MainToolbar::alarmClicked);
    connect(btnHelp, &QToolButton::clicked, this, &MainToolbar::helpClicked);
    connect(btnpreview, &QToolButton::clicked, this, &MainToolbar::previewClicked);
    connect(btnprint, &QToolButton::clicked, this, &MainToolbar::printClicked);
    connect(btnExit, &QToolButton::clicked, this, &MainToolbar::exitClicked);
}

void MainToolbar::CreateMenu() {
    PmFormenu = new QMenu(this);
    PmFormenu->setObjectName(QStringLiteral("PmFormenu"));
    Preferences1 = PmFormenu->addAction(QStringLiteral("&Preferences..."));
    CompactDatabase1 = PmFormenu->addAction(QStringLiteral("&Compact Database…"));
    PmFormenu->addSeparator();
    VisitsWebsite1 = PmFormenu->addAction(QStringLiteral("Visit Website..."));
    Help1 = PmFormenu->addAction(QStringLiteral("Help..."));
    About1 = PmFormenu->addAction(QStringLiteral("About..."));
    Preferences1->setObjectName(QStringLiteral("Preferences1"));
    CompactDatabase1->setObjectName(QStringLiteral("CompactDatabase1"));
    VisitsWebsite1->setObjectName(QStringLiteral("VisitsWebsite1"));
    Help1->setObjectName(QStringLiteral("Help1"));
    About1->setObjectName(QStringLiteral("About1"));
    btnOption->setMenu(PmFormenu);
    btnOption->setPopupMode(QToolButton::InstantPopup);

    connect(Preferences1, &QAction::triggered, this, &MainToolbar::preferencesChosen);
    connect(CompactDatabase1, &QAction::triggered, this, &MainToolbar::compactChosen);
    connect(VisitsWebsite1, &QAction::triggered, this, &MainToolbar::websiteChosen);
    connect(Help1, &QAction::triggered, this, &MainToolbar::helpClicked);
    connect(About1, &QAction::triggered, this, &MainToolbar::aboutChosen);
}

void MainToolbar::CreateKeys() {
    // The keys work anywhere in the window.
    const auto keys = [this](QAction* action, Command command) {
        action->setShortcuts(KeysOf(command));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    };
    for (auto [button, command] :
         {std::pair{btnprint, Command::Print}, std::pair{btnpreview, Command::Preview},
          std::pair{btntoday, Command::Today}}) {
        auto* action = new QAction(button->toolTip(), this);
        connect(action, &QAction::triggered, button, &QToolButton::click);
        keys(action, command);
    }
    keys(Preferences1, Command::Preferences);
    auto* pending = new QAction(QStringLiteral("Show Pending Events"), this);
    pending->setObjectName(QStringLiteral("actShowPending"));
    connect(pending, &QAction::triggered, this, &MainToolbar::pendingClicked);
    keys(pending, Command::ShowPending);
    auto* exitAction = new QAction(QStringLiteral("Exit"), this);
    exitAction->setObjectName(QStringLiteral("actExit"));
    connect(exitAction, &QAction::triggered, this, &MainToolbar::exitClicked);
    keys(exitAction, Command::Exit);
    // F1 is the help key of every window; the menu entry and the button only name it.
    Help1->setShortcuts(KeysOf(Command::Help));
    Help1->setShortcutContext(Qt::WidgetShortcut);

    for (auto [button, command] :
         {std::pair{btnprint, Command::Print}, std::pair{btnpreview, Command::Preview},
          std::pair{btntoday, Command::Today}, std::pair{btnpending, Command::ShowPending},
          std::pair{btnExit, Command::Exit}, std::pair{btnHelp, Command::Help}}) {
        button->setToolTip(HintWithKey(button->toolTip(), command));
    }
}

void MainToolbar::ShowAlarms(bool enabled) {
    btnactive->setChecked(enabled);
    btnactive->setToolTip(enabled ? QStringLiteral("Enabled Alarm")
                                  : QStringLiteral("Disabled Alarm"));
}

int MainToolbar::ButtonsRight() const {
    return btnExit->geometry().right() + 1;
}

}  // namespace qcal
