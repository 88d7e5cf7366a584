#pragma once

// The toolbar across the top of the main window and its options menu. Each button and menu
// item says what was chosen; the window decides what it does. The keys of the commands are
// named in the buttons' hints.

#include <QWidget>

class QAction;
class QMenu;
class QToolButton;

namespace qcal {

struct EventActions;

class MainToolbar : public QWidget {
    Q_OBJECT
public:
    // The first three buttons carry the grid's event actions.
    explicit MainToolbar(const EventActions& actions, QWidget* parent = nullptr);

    // The menu of the options button; other commands may be added to it.
    QMenu& OptionsMenu() const { return *PmFormenu; }
    // The alarm button pressed (alarms enabled) or not, with its hint.
    void ShowAlarms(bool enabled);
    // The right edge of the last button.
    int ButtonsRight() const;

signals:
    void todayClicked();
    void pendingClicked();
    void backupClicked();
    void restoreClicked();
    // The alarm button was clicked; checked is its new state.
    void alarmClicked(bool checked);
    void helpClicked();
    void previewClicked();
    void printClicked();
    void exitClicked();
    void preferencesChosen();
    void compactChosen();
    void websiteChosen();
    void aboutChosen();

private:
    void CreateButtons(const EventActions& actions);
    void CreateMenu();
    void CreateKeys();

    QToolButton* btnAdd = nullptr;
    QToolButton* btnEdit = nullptr;
    QToolButton* btnDel = nullptr;
    QToolButton* btnpending = nullptr;
    QToolButton* btntoday = nullptr;
    QToolButton* btnbackup = nullptr;
    QToolButton* btnrestore = nullptr;
    QToolButton* btnactive = nullptr;
    QToolButton* btnOption = nullptr;
    QToolButton* btnHelp = nullptr;
    QToolButton* btnpreview = nullptr;
    QToolButton* btnprint = nullptr;
    QToolButton* btnExit = nullptr;
    QMenu* PmFormenu = nullptr;
    QAction* Preferences1 = nullptr;
    QAction* CompactDatabase1 = nullptr;
    QAction* VisitsWebsite1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* About1 = nullptr;
};

}  // namespace qcal
