#pragma once

// The "Search Events" page: finds the events of a period, optionally only those with a
// keyword in their subject, content or note, lists them under a header and lets the user
// add, edit and delete them.

#include <QWidget>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/Event.h"
#include "store/EventLists.h"
#include "store/SearchHeader.h"

class QAction;
class QHeaderView;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;

namespace qcal {

class CalendarSession;
class SearchCriteria;
class TDataMod;

// What the page asks of the main window.
struct SearchPageHooks {
    // Runs the event editor modally on the record as "Edit Event"; true when it ended with OK
    // (the record then holds the edits). The layers are reloaded afterwards in either case.
    std::function<bool(tfield& event)> editEvent;
    // The main window's add command; it searches again afterwards while this page is shown.
    std::function<void()> addEvent;
    // The main window's Delete button action (the Delete and "." keys of the list).
    std::function<void()> deleteRequested;
    // Opens a help topic.
    std::function<void(int context)> showHelp;
};

class TSearchPage : public QWidget {
    Q_OBJECT
public:
    // The page searches again by itself whenever the session announces a change while it is
    // the page shown.
    TSearchPage(CalendarSession& session, SearchPageHooks hooks, QWidget* parent = nullptr);
    ~TSearchPage() override;

    // Sets the period of the chosen type from today, then searches.
    void comSearchTypeChange();
    // Checks the input, builds the statement, loads the results and fills the list.
    void btnSearchClick();
    // Shows the current result's content and note.
    void ListBoxQueryClick();
    // Edits the current result.
    void ListBoxQueryDblClick();
    // Deletes the selected results after asking.
    void pmDeleteEventClick();
    void SelectAll1Click();
    // Opens the list's menu at global unless the list is empty; true when it opened.
    bool pmQueryPopup(const QPoint& global);

    // The page is being shown: lays it out, chooses "This Year" the first time, and searches.
    void PageShown();
    // The page is being left: the results are emptied and the list and memos cleared.
    void PageLeft();
    // Places the controls for the page's present size; the subject section takes the width
    // the other sections leave.
    void LayoutSearch();
    // Writes the header's section widths to setup.ini when they differ from those last kept.
    void KeepSectionWidths();

    const tArrayofField& Found() const { return search_.found; }
    std::vector<int> SelectedRows() const;
    // The last chosen type was the archive search.
    bool SearchArchived() const { return searchArchived_; }
    // Gives the result list a command of the window (its keys work there).
    void AddListShortcut(QAction* action);
    // Puts the focus in the keyword box when it is open for typing, else in the search type.
    void FocusFirstField();

    // The main window's help topic.
    static constexpr int kHelpContext = 1;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateResultList();
    void ClearResults();
    void ClearMemos();
    SearchSectionWidths SectionWidths() const;
    // The session changed something the results may show.
    void SessionChanged();

    SearchCriteria* criteria_ = nullptr;
    QHeaderView* HeaderControl1 = nullptr;
    QListWidget* ListBoxQuery = nullptr;
    // Says in the list that the last search found nothing.
    QLabel* LabelNothingFound = nullptr;
    QSplitter* Splitter = nullptr;
    QPlainTextEdit* MemoContent = nullptr;
    QPlainTextEdit* MemoNote = nullptr;
    QMenu* pmQuery = nullptr;
    QAction* AddEvent1 = nullptr;
    QAction* EditEvent1 = nullptr;
    QAction* DeleteEvents1 = nullptr;
    QAction* SelectAll1 = nullptr;

    CalendarSession& session_;
    TDataMod& dm_;
    SearchPageHooks hooks_;
    // Between PageShown and PageLeft.
    bool shown_ = false;
    tlist_of_event_for_Query search_;
    SearchSectionWidths keptWidths_{};
    bool splitterPlaced_ = false;
    bool searchArchived_ = false;
};

}  // namespace qcal
