// The layer list of the main window: its check marks filter the month; its buttons and
// menu create, edit and delete layers.

#include <QAction>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>

#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "ui/main/LayerDialog.h"
#include "ui/main/MainWindow.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/Glyphs.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

using desktop::Q;
using desktop::Std;

// The layer list opens its menu only when it has lines.
class LayerList : public QListWidget {
public:
    using QListWidget::QListWidget;
    QMenu* popupMenu = nullptr;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (popupMenu && count() > 0)
            popupMenu->exec(event->globalPos());
    }
};

QToolButton* LayerButton(QWidget* parent, const char* name, int left, int width,
                         const QString& hint, const QIcon& icon) {
    return desktop::FlatButton(parent, name, QRect(left, 469, width, 28), hint, icon);
}

}  // namespace

void TFormMainCalendar::CreateLayerControls() {
    using desktop::Glyph;
    auto* list = new LayerList(Panelleft);
    RxCheckListBoxLayer = list;
    RxCheckListBoxLayer->setObjectName(QStringLiteral("RxCheckListBoxLayer"));
    RxCheckListBoxLayer->setGeometry(8, 352, 125, 117);
    RxCheckListBoxLayer->setToolTip(
        QStringLiteral("To display all the events belong to a layer, please check it"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    RxCheckListBoxLayer->setFont(font);
    RxCheckListBoxLayer->setUniformItemSizes(true);
    RxCheckListBoxLayer->setItemDelegate(new ColouredRowDelegate(17, RxCheckListBoxLayer));

    snew = LayerButton(Panelleft, "snew", 8, 25, QStringLiteral("New Layer"),
                       Glyph("list-add", QStyle::SP_FileDialogNewFolder));
    sedit = LayerButton(Panelleft, "sedit", 33, 26, QStringLiteral("Edit Layer"),
                        Glyph("document-properties", QStyle::SP_FileDialogDetailedView));
    sdel = LayerButton(Panelleft, "sdel", 59, 25, QStringLiteral("Delete Layer"),
                       Glyph("list-remove", QStyle::SP_TrashIcon));
    sselectall = LayerButton(Panelleft, "sselectall", 84, 26, QStringLiteral("Select All Layer"),
                             Glyph("edit-select-all", QStyle::SP_DialogApplyButton));
    sunselectall =
        LayerButton(Panelleft, "sunselectall", 110, 24, QStringLiteral("Unselect All Layer"),
                    Glyph("edit-select-none", QStyle::SP_DialogResetButton));

    // One action per command, shared by its button and its line in the list's menu.
    const struct {
        QAction** action;
        const char* caption;
        QToolButton* button;
        void (TFormMainCalendar::*handler)();
    } commands[] = {
        {&actNewLayer, "&New  Layer", snew, &TFormMainCalendar::snewClick},
        {&actEditLayer, "E&dit Layer", sedit, &TFormMainCalendar::seditClick},
        {&actDeleteLayer, "D&el  Layer", sdel, &TFormMainCalendar::sdelClick},
        {&actSelectAllLayers, "&Select   All Layer", sselectall,
         &TFormMainCalendar::sselectallClick},
        {&actUnselectAllLayers, "&Unselect All Layer", sunselectall,
         &TFormMainCalendar::sunselectallClick},
    };
    for (const auto& c : commands) {
        auto* action = new QAction(QString::fromLatin1(c.caption), this);
        action->setObjectName(c.button->objectName() + QStringLiteral("Action"));
        action->setIcon(c.button->icon());
        action->setToolTip(c.button->toolTip());
        connect(action, &QAction::triggered, this, c.handler);
        c.button->setDefaultAction(action);
        *c.action = action;
    }
    PMForLayer = new QMenu(this);
    PMForLayer->setObjectName(QStringLiteral("PMForLayer"));
    PMForLayer->addActions({actNewLayer, actEditLayer, actDeleteLayer});
    PMForLayer->addSeparator();
    PMForLayer->addActions({actSelectAllLayers, actUnselectAllLayers});
    list->popupMenu = PMForLayer;

    connect(RxCheckListBoxLayer, &QListWidget::itemChanged, this,
            &TFormMainCalendar::RxCheckListBoxLayerItemChanged);
    connect(RxCheckListBoxLayer, &QListWidget::itemDoubleClicked, actEditLayer, &QAction::trigger);
}

void TFormMainCalendar::LoadLayers() {
    dm_.LoadLayers();
    FillLayerList();
}

void TFormMainCalendar::FillLayerList() {
    const QSignalBlocker block(RxCheckListBoxLayer);
    bool sameNames = RxCheckListBoxLayer->count() == int(dm_.Layers.size());
    for (int i = 0; sameNames && i < RxCheckListBoxLayer->count(); ++i)
        sameNames = RxCheckListBoxLayer->item(i)->text() == Q(dm_.Layers[std::size_t(i)].name);
    if (!sameNames) {
        // The list is built anew; a layer's line keeps its place when only its colour or
        // check mark changed, so the current line stays.
        RxCheckListBoxLayer->clear();
        for (const tlayinfo& layer : dm_.Layers) {
            auto* item = new QListWidgetItem(Q(layer.name), RxCheckListBoxLayer);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        }
    }
    for (int i = 0; i < RxCheckListBoxLayer->count(); ++i) {
        const tlayinfo& layer = dm_.Layers[std::size_t(i)];
        QListWidgetItem* item = RxCheckListBoxLayer->item(i);
        item->setCheckState(layer.active ? Qt::Checked : Qt::Unchecked);
        item->setBackground(desktop::ToQColor(layer.color));
    }
    if (RxCheckListBoxLayer->count() > 0 && RxCheckListBoxLayer->selectedItems().isEmpty()) {
        RxCheckListBoxLayer->setCurrentRow(0);
    }
}

void TFormMainCalendar::LayersChanged() {
    FillLayerList();
    if (DatePageShowing())
        RxSpinYearChange();
}

void TFormMainCalendar::RxCheckListBoxLayerItemChanged(QListWidgetItem*) {
    std::vector<bool> active;
    for (int i = 0; i < RxCheckListBoxLayer->count(); ++i)
        active.push_back(RxCheckListBoxLayer->item(i)->checkState() == Qt::Checked);
    session_.SetLayerChecks(active);
}

bool TFormMainCalendar::RunLayerDialog(TmyFormLayer::Mode mode, int index, QWidget* owner) {
    if (dm_.RefuseChange())
        return false;
    TmyFormLayer dialog(dm_, mode, index, owner);
    if (desktop::ExecModal(dialog) != QDialog::Accepted)
        return false;
    // A renamed layer was renamed in its events as well.
    session_.LayersEdited(mode == TmyFormLayer::Mode::Edit);
    return true;
}

void TFormMainCalendar::snewClick() {
    RunLayerDialog(TmyFormLayer::Mode::New, -1, this);
}

void TFormMainCalendar::seditClick() {
    const int index = RxCheckListBoxLayer->currentRow();
    if (index < 0 || std::size_t(index) >= dm_.Layers.size()) {
        desktop::MessageBox::Information(this, QStringLiteral("There is no layer to be edited"));
        return;
    }
    // The dialog renames the layer in the events and in the file.
    RunLayerDialog(TmyFormLayer::Mode::Edit, index, this);
}

void TFormMainCalendar::sdelClick() {
    const int index = RxCheckListBoxLayer->currentRow();
    if (index < 0 || std::size_t(index) >= dm_.Layers.size()) {
        desktop::MessageBox::Information(this, QStringLiteral("There is no layer to be deleted"));
        return;
    }
    const std::string name = dm_.Layers[std::size_t(index)].name;
    if (!desktop::MessageBox::Question(this, QStringLiteral("Do you want to delete the '") +
                                                 Q(name) + QStringLiteral("' layer?"))) {
        return;
    }
    bool inUse = false;
    if (!session_.DeleteUnusedLayer(std::size_t(index), inUse) && inUse) {
        desktop::MessageBox::Information(
            this, QStringLiteral("Some events using this layer,\ryou can not delete the layer!"));
    }
}

void TFormMainCalendar::SetAllLayerChecks(bool checked) {
    session_.SetLayerChecks(std::vector<bool>(std::size_t(RxCheckListBoxLayer->count()), checked));
}

void TFormMainCalendar::sselectallClick() {
    SetAllLayerChecks(true);
}

void TFormMainCalendar::sunselectallClick() {
    SetAllLayerChecks(false);
}

}  // namespace qcal
