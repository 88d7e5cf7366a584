#pragma once

// The layer list under the month pickers: its check marks filter the month; its buttons and
// menu create, edit and delete layers. It shows the session's layer table whenever the
// session announces a change to it.

#include <QWidget>

#include <string>

#include "ui/main/LayerDialog.h"

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QToolButton;

namespace qcal {

class CalendarSession;
class TDataMod;

class LayerBar : public QWidget {
    Q_OBJECT
public:
    explicit LayerBar(CalendarSession& session, QWidget* parent = nullptr);

    // Reads the layers of the settings file into the list (at the start).
    void LoadLayers();
    // Runs the layer dialog; true when it ended with OK and the layers were saved.
    // owner: the window the dialog stays above.
    bool RunLayerDialog(TmyFormLayer::Mode mode, int index, QWidget* owner);
    // The name of the first layer in the list, empty when there is none.
    std::string FirstLayerName() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void RxCheckListBoxLayerItemChanged(QListWidgetItem* item);
    void snewClick();
    void seditClick();
    void sdelClick();
    void sselectallClick();
    void sunselectallClick();
    void SetAllLayerChecks(bool checked);
    // Fills the layer list from the layer table, in place when the names are the same.
    void FillLayerList();

    CalendarSession& session_;
    TDataMod& dm_;
    QListWidget* RxCheckListBoxLayer = nullptr;
    QToolButton* snew = nullptr;
    QToolButton* sedit = nullptr;
    QToolButton* sdel = nullptr;
    QToolButton* sselectall = nullptr;
    QToolButton* sunselectall = nullptr;
    QMenu* PMForLayer = nullptr;
    // The layer commands, shared by the buttons under the list and its menu.
    QAction* actNewLayer = nullptr;
    QAction* actEditLayer = nullptr;
    QAction* actDeleteLayer = nullptr;
    QAction* actSelectAllLayers = nullptr;
    QAction* actUnselectAllLayers = nullptr;
};

}  // namespace qcal
