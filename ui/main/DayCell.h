#pragma once

// One day of the month grid: a day button that fills the cell and stays pressed while its
// day is selected, and over it a list of the day's events, one row each, drawn on the
// colour of the event's layer.

#include <QAbstractButton>
#include <QAbstractListModel>
#include <QListView>
#include <QObject>
#include <QPointer>

#include <functional>

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
    // The caption's colour: black for a plain day (the palette's button text), or an accent
    // such as today's red. It is drawn readable on the button's face in any palette.
    void setCaptionColor(const QColor& color);
    // The colour the caption is drawn in, and the face it is drawn on.
    QColor captionColor() const;
    QColor faceColor() const;
    // The height the caption takes at the top of the button in its font.
    int CaptionHeight() const;
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

// The lines of a day as rows of a list: display text and layer colour. The lines belong to
// the cell; the model only points at them.
class CellLinesModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    // null shows no rows. change, when given, runs while the old rows are let go (the lines
    // it changes may be the ones shown).
    void SetLines(const mytitem_for_display* lines, const std::function<void()>& change = {});
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const mytitem_for_display* lines_ = nullptr;
};

// The list of a day's events.
class CellList : public QListView {
    Q_OBJECT
public:
    // The least row height; larger fonts get rows of their line spacing.
    static constexpr int kRowHeight = 16;
    int RowHeight() const;

    explicit CellList(QWidget* parent);
    // Shows lines, which must stay in place until the next call; null empties the list.
    // change (see CellLinesModel::SetLines) may change the lines shown so far.
    void ShowLines(const mytitem_for_display* lines, const std::function<void()>& change = {});
    int count() const { return model_->rowCount(); }
    QString Text(int row) const;
    QColor Background(int row) const;
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

private:
    CellLinesModel* model_;
};

class Tlable_listbox : public QObject {
    Q_OBJECT
public:
    // Creates the day button and the cell list in dayPanel, hidden until filled.
    Tlable_listbox(QWidget* dayPanel, int number, QButtonGroup& dayButtons, QMenu* pmForBtn,
                   QMenu* pmForlistbox);
    // The list outlives the cell as a child of the day panel; it lets go of the lines here.
    ~Tlable_listbox() override;
    Tlable_listbox(const Tlable_listbox&) = delete;
    Tlable_listbox& operator=(const Tlable_listbox&) = delete;

    void SetBounds(const GridRect& rect);
    void Fit();
    void Clear();
    // Shows the day x with its lines (ItemsOfDay of the month list).
    void Fill(TDateTime x, mytitem_for_display dayLines);
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
    QPointer<CellList> listAlive_;
};

}  // namespace qcal
