#pragma once

// The alarm window: lists the due events, archives, edits and deletes them, and sets
// whether it comes back after some minutes.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <span>

#include "core/Event.h"
#include "store/EventLists.h"

class QCheckBox;
class QHeaderView;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QAction;

namespace qcal {

class CalendarSession;
class DesktopNotifier;

// What the window asks of the program around it.
struct AlarmWindowHooks {
    // Runs the event editor modally on the record as "Edit Event"; true when it ended with
    // OK (the record then holds the edits). The main window reloads its layers afterwards.
    std::function<bool(tfield& event)> editEvent;
    // Opens help topic 25.
    std::function<void(int topic)> showHelp;
};

// Shows the session's due list. It comes up, without waiting for its close, when the session
// raises alarms; it refills whenever the due list changes; its commands go to the session.
class TFormAlarm : public QDialog {
    Q_OBJECT
public:
    TFormAlarm(CalendarSession& session, AlarmWindowHooks hooks, QWidget* parent = nullptr);
    ~TFormAlarm() override;

    // Rebuilds the rows from the due list (one row per entry); when there is a row, row 0
    // becomes current and selected and its content and note are shown.
    void FillAlarmList();
    // Shows the window (it stays open until the user closes it) and brings it forward.
    void ShowAlarm();

    enum class ArchiveMode { Current, All, Selected };
    // Archives the current, every or the selected listed event; reshow shows the window's
    // list again afterwards (with the sound when it is on).
    void Archive(ArchiveMode mode, bool reshow);
    // The commands of a desktop notification, done as the window's own: "Archive" archives
    // that event as the "&Archive" button does; "Remind again" ticks "Remind again after"
    // and closes, as the user would (also while the window is hidden); "Open" shows it.
    void FollowNotifications(DesktopNotifier& notifier);
    void ArchiveEvent(std::int64_t id);
    void RemindAgainLater();
    // Shows the current row's content and note.
    void ListBoxEventActivedClick();
    // Edits the current row's event.
    void ListBoxEventActivedDblClick();
    void DeleteEvents1Click();
    void SelectAll1Click();
    // Opens the list's menu at global unless the list is empty; true when it opened.
    bool PopupMenu1Popup(const QPoint& global);
    void SpeedButton4Click();
    // Clears the memos and makes row 0 current and selected when there is one.
    void SelectFirstRow();

    // Whether the window is kept above other windows just now.
    bool IsTopmost() const { return topmost_; }

    static constexpr int kHelpTopic = 25;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void SetTopmost(bool on);
    void ClearMemos();
    std::vector<int> SelectedRows() const;
    const tArrayofField& Events() const;

    CalendarSession& session_;
    AlarmWindowHooks hooks_;
    QHeaderView* HeaderControl1 = nullptr;
    QListWidget* ListBoxEventActived = nullptr;
    QSplitter* Splitter = nullptr;
    QPlainTextEdit* MemoContent = nullptr;
    QPlainTextEdit* MemoNote = nullptr;
    QCheckBox* chRemindAgain = nullptr;
    QSpinBox* RxSpinRemindAgain = nullptr;
    QCheckBox* chArchiveAll = nullptr;
    QPushButton* SpeedButton4 = nullptr;
    QPushButton* btnFileSingle = nullptr;
    QPushButton* btnFileAll = nullptr;
    QPushButton* btnclose = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* FileCurrentEvent1 = nullptr;
    QAction* FileSelectedEvents1 = nullptr;
    QAction* FileAllEvents1 = nullptr;
    QAction* EditEvent1 = nullptr;
    QAction* DeleteEvents1 = nullptr;
    QAction* SelectAll1 = nullptr;

    bool topmost_ = false;
    // Between FormShow and FormClose.
    bool open_ = false;
    bool laidOut_ = false;
};

}  // namespace qcal
