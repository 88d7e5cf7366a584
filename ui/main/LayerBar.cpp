#include "ui/main/LayerBar.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>

#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/Glyphs.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

using desktop::Q;

// The list's top inside the bar, and the lines it keeps visible at the smallest size.
constexpr int kListTop = 22;
constexpr int kMinimumLayerLines = 2;
constexpr int kButtonHeight = 28;
constexpr int kBottomMargin = 5;

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
    return desktop::FlatButton(parent, name, QRect(left, kListTop + 117, width, kButtonHeight),
                               hint, icon);
}

}  // namespace

LayerBar::LayerBar(CalendarSession& session, QWidget* parent)
    : QWidget(parent), session_(session), dm_(session.Data()) {
    using desktop::Glyph;
    setObjectName(QStringLiteral("PanelLayer"));
    setMinimumHeight(kListTop + kMinimumLayerLines * 17 + 4 + kButtonHeight + kBottomMargin);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);

    auto* layerLabel = new QLabel(QStringLiteral("Layer"), this);
    layerLabel->setFont(font);
    layerLabel->setGeometry(8, 2, 125, 17);
    auto* list = new LayerList(this);
    RxCheckListBoxLayer = list;
    RxCheckListBoxLayer->setObjectName(QStringLiteral("RxCheckListBoxLayer"));
    RxCheckListBoxLayer->setGeometry(8, kListTop, 125, 117);
    RxCheckListBoxLayer->setToolTip(
        QStringLiteral("To display all the events belong to a layer, please check it"));
    RxCheckListBoxLayer->setFont(font);
    RxCheckListBoxLayer->setUniformItemSizes(true);
    RxCheckListBoxLayer->setItemDelegate(new ColouredRowDelegate(17, RxCheckListBoxLayer));

    snew = LayerButton(this, "snew", 8, 25, QStringLiteral("New Layer"),
                       Glyph("list-add", QStyle::SP_FileDialogNewFolder));
    sedit = LayerButton(this, "sedit", 33, 26, QStringLiteral("Edit Layer"),
                        Glyph("document-properties", QStyle::SP_FileDialogDetailedView));
    sdel = LayerButton(this, "sdel", 59, 25, QStringLiteral("Delete Layer"),
                       Glyph("list-remove", QStyle::SP_TrashIcon));
    sselectall = LayerButton(this, "sselectall", 84, 26, QStringLiteral("Select All Layer"),
                             Glyph("edit-select-all", QStyle::SP_DialogApplyButton));
    sunselectall = LayerButton(this, "sunselectall", 110, 24, QStringLiteral("Unselect All Layer"),
                               Glyph("edit-select-none", QStyle::SP_DialogResetButton));

    // One action per command, shared by its button and its line in the list's menu.
    const struct {
        QAction** action;
        const char* caption;
        QToolButton* button;
        void (LayerBar::*handler)();
    } commands[] = {
        {&actNewLayer, "&New  Layer", snew, &LayerBar::snewClick},
        {&actEditLayer, "E&dit Layer", sedit, &LayerBar::seditClick},
        {&actDeleteLayer, "D&el  Layer", sdel, &LayerBar::sdelClick},
        {&actSelectAllLayers, "&Select   All Layer", sselectall, &LayerBar::sselectallClick},
        {&actUnselectAllLayers, "&Unselect All Layer", sunselectall, &LayerBar::sunselectallClick},
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
            &LayerBar::RxCheckListBoxLayerItemChanged);
    connect(RxCheckListBoxLayer, &QListWidget::itemDoubleClicked, actEditLayer, &QAction::trigger);
    connect(&session_, &CalendarSession::layersChanged, this, &LayerBar::FillLayerList);
}

void LayerBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The list takes the height the buttons under it leave.
    const int listHeight = std::max(0, height() - kListTop - snew->height() - kBottomMargin);
    RxCheckListBoxLayer->resize(RxCheckListBoxLayer->width(), listHeight);
    for (QToolButton* b : {snew, sedit, sdel, sselectall, sunselectall})
        b->move(b->x(), kListTop + listHeight);
}

void LayerBar::LoadLayers() {
    dm_.LoadLayers();
    FillLayerList();
}

std::string LayerBar::FirstLayerName() const {
    return RxCheckListBoxLayer->count() > 0 ? desktop::Std(RxCheckListBoxLayer->item(0)->text())
                                            : std::string();
}

void LayerBar::FillLayerList() {
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

void LayerBar::RxCheckListBoxLayerItemChanged(QListWidgetItem*) {
    std::vector<bool> active;
    for (int i = 0; i < RxCheckListBoxLayer->count(); ++i)
        active.push_back(RxCheckListBoxLayer->item(i)->checkState() == Qt::Checked);
    session_.SetLayerChecks(active);
}

bool LayerBar::RunLayerDialog(TmyFormLayer::Mode mode, int index, QWidget* owner) {
    if (dm_.RefuseChange())
        return false;
    TmyFormLayer dialog(dm_, mode, index, owner);
    if (desktop::ExecModal(dialog) != QDialog::Accepted)
        return false;
    // A renamed layer was renamed in its events as well.
    session_.LayersEdited(mode == TmyFormLayer::Mode::Edit);
    return true;
}

void LayerBar::snewClick() {
    RunLayerDialog(TmyFormLayer::Mode::New, -1, window());
}

void LayerBar::seditClick() {
    const int index = RxCheckListBoxLayer->currentRow();
    if (index < 0 || std::size_t(index) >= dm_.Layers.size()) {
        desktop::MessageBox::Information(window(),
                                         QStringLiteral("There is no layer to be edited"));
        return;
    }
    // The dialog renames the layer in the events and in the file.
    RunLayerDialog(TmyFormLayer::Mode::Edit, index, window());
}

void LayerBar::sdelClick() {
    const int index = RxCheckListBoxLayer->currentRow();
    if (index < 0 || std::size_t(index) >= dm_.Layers.size()) {
        desktop::MessageBox::Information(window(),
                                         QStringLiteral("There is no layer to be deleted"));
        return;
    }
    const std::string name = dm_.Layers[std::size_t(index)].name;
    if (!desktop::MessageBox::Question(window(), QStringLiteral("Do you want to delete the '") +
                                                     Q(name) + QStringLiteral("' layer?"))) {
        return;
    }
    bool inUse = false;
    if (!session_.DeleteUnusedLayer(std::size_t(index), inUse) && inUse) {
        desktop::MessageBox::Information(
            window(),
            QStringLiteral("Some events using this layer,\ryou can not delete the layer!"));
    }
}

void LayerBar::SetAllLayerChecks(bool checked) {
    session_.SetLayerChecks(std::vector<bool>(std::size_t(RxCheckListBoxLayer->count()), checked));
}

void LayerBar::sselectallClick() {
    SetAllLayerChecks(true);
}

void LayerBar::sunselectallClick() {
    SetAllLayerChecks(false);
}

}  // namespace qcal
