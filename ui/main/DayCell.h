#pragma once

// One day of the month grid: a day button that fills the cell and stays pressed while its
// day is selected, and over it a list of the day's events, one row each, drawn on the
// colour of the event's layer.

#include <QAbstractButton>
#include <QListWidget>
#include <QObject>

#include "core/DateTime.h"
#include "store/EventLists.h"
#include "store/Options.h"
#include "ui/main/MonthGrid.h"

class QButtonGroup;
class QMenu;

namespace qcal {

// The flat day button; its caption (the day number) stands centred at its top.
class DayButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit DayButton(QWidget* parent);
    void setCaptionColor(const QColor& color);
    QColor captionColor() const { return captionColor_; }
    QMenu* popupMenu = nullptr;

signals:
    void doubleClicked();
    void selectRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QColor captionColor_;
};

// The list of a day's events.
class CellList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 16;

    explicit CellList(QWidget* parent);
    // The row under a pointer at height y: rows below the last one count as the last.
    int RowUnderPointer(int y) const;
    int SelectedRow() const;
    // -1 removes the selection.
    void SetSelectedRow(int row);
    QMenu* popupMenu = nullptr;

signals:
    void rowClicked();
    void rowDoubleClicked();
    void deleteRequested();
    void selectRequested();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

class Tlable_listbox : public QObject {
    Q_OBJECT
public:
    // Creates the day button and the cell list in dayPanel, hidden until filled.
    Tlable_listbox(QWidget* dayPanel, int number, QButtonGroup& dayButtons, QMenu* pmForBtn,
                   QMenu* pmForlistbox, const tlist_of_event& monthList);

    void SetBounds(const GridRect& rect);
    void Fit();
    void Clear();
    void Fill(TDateTime x);
    void SetFont(const ROptions& options);
    // Presses the day button and performs its click.
    void Select();

    int Number() const { return number_; }
    bool HasRows() const { return list->count() > 0; }
    // The line of the selected row, or of the first row when none is selected; null when
    // the list is empty.
    const titem_for_display* SelectedOrFirstLine() const;

    DayButton* button = nullptr;
    CellList* list = nullptr;
    TDateTime date = 0;
    bool today = false;
    mytitem_for_display lines;

signals:
    // The main window's handlers, with the cell number.
    void buttonClicked(int cell);
    void buttonDoubleClicked(int cell);
    void listClicked(int cell);
    void listDoubleClicked(int cell);
    void deleteRequested(int cell);

private:
    int number_;
    const tlist_of_event& monthList_;
};

}  // namespace qcal
