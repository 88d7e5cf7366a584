#include "ui/main/DayCell.h"

#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "core/Clock.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"

namespace qcal {

using desktop::Q;

// ---- DayButton ----

DayButton::DayButton(QWidget* parent) : QAbstractButton(parent), captionColor_(Qt::black) {
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
}

void DayButton::setCaptionColor(const QColor& color) {
    if (color == captionColor_)
        return;
    captionColor_ = color;
    update();
}

namespace {
// How much of the highlight colour marks the selected day's face.
constexpr double kMarkShare = 70.0 / 255.0;
}  // namespace

QColor DayButton::faceColor() const {
    const QColor face = palette().color(QPalette::Button);
    if (!isChecked())
        return face;
    const QColor mark = palette().color(QPalette::Highlight);
    const auto blend = [](double a, double b) {
        return float(a * (1 - kMarkShare) + b * kMarkShare);
    };
    return QColor::fromRgbF(blend(face.redF(), mark.redF()), blend(face.greenF(), mark.greenF()),
                            blend(face.blueF(), mark.blueF()));
}

QColor DayButton::captionColor() const {
    // Black stands for the palette's own button text, which is black in a light palette.
    const QColor wanted =
        captionColor_ == QColor(Qt::black) ? palette().color(QPalette::ButtonText) : captionColor_;
    return ReadableAccent(wanted, faceColor());
}

int DayButton::CaptionHeight() const {
    return std::max(20, fontMetrics().lineSpacing() + 4);
}

void DayButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const QRect r = rect();
    if (isChecked()) {
        p.fillRect(r, faceColor());
        // A sunken edge, as a pressed flat button.
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    } else {
        p.fillRect(r, pal.color(QPalette::Button));
    }
    p.setPen(captionColor());
    p.setFont(font());
    p.drawText(r.adjusted(2, 2, -2, -2), Qt::AlignHCenter | Qt::AlignTop, text());
}

void DayButton::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractButton::mouseReleaseEvent(event);
    // The left button's click selects through the normal click; any other button selects
    // the day as well, so that a right click marks the day before its menu opens.
    if (event->button() != Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit selectRequested();
    }
}

void DayButton::mouseDoubleClickEvent(QMouseEvent* event) {
    QAbstractButton::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void DayButton::contextMenuEvent(QContextMenuEvent* event) {
    emit selectRequested();
    if (popupMenu)
        popupMenu->exec(event->globalPos());
}

// ---- CellLinesModel ----

void CellLinesModel::SetLines(const mytitem_for_display* lines,
                              const std::function<void()>& change) {
    beginResetModel();
    if (change)
        change();
    lines_ = lines;
    endResetModel();
}

int CellLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !lines_ ? 0 : int(lines_->size());
}

QVariant CellLinesModel::data(const QModelIndex& index, int role) const {
    if (!lines_ || !index.isValid() || index.row() >= int(lines_->size()))
        return {};
    const titem_for_display& line = (*lines_)[std::size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return Q(line.text);
        case Qt::BackgroundRole:
            return desktop::ToQColor(line.layerColor);
        default:
            return {};
    }
}

// ---- CellList ----

namespace {
constexpr int kLayoutBatch = 64;  // more rows than a cell shows on any screen
}  // namespace

CellList::CellList(QWidget* parent) : QListView(parent), model_(new CellLinesModel(this)) {
    setModel(model_);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    // A busy day may hold thousands of lines of which a dozen show: the first batch is laid
    // out at once, the rest while the event loop is idle.
    setLayoutMode(QListView::Batched);
    setBatchSize(kLayoutBatch);
    setMouseTracking(true);
    setItemDelegate(new ColouredRowDelegate(kRowHeight, this));
}

void CellList::ShowLines(const mytitem_for_display* lines, const std::function<void()>& change) {
    model_->SetLines(lines, change);
}

QString CellList::Text(int row) const {
    return model_->index(row).data(Qt::DisplayRole).toString();
}

QColor CellList::Background(int row) const {
    return model_->index(row).data(Qt::BackgroundRole).value<QColor>();
}

int CellList::RowHeight() const {
    return RowHeightFor(fontMetrics(), kRowHeight);
}

int CellList::RowUnderPointer(int y) const {
    int row = y / RowHeight() + verticalScrollBar()->value();
    if (row >= count() - 1)
        row = count() - 1;
    return row;
}

int CellList::SelectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void CellList::SetSelectedRow(int row) {
    if (row < 0 || row >= count()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
}

void CellList::mouseMoveEvent(QMouseEvent* event) {
    if (count() > 0) {
        const int row = RowUnderPointer(int(event->position().y()));
        if (row >= 0)
            setToolTip(Text(row));
    }
    QListView::mouseMoveEvent(event);
}

void CellList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (count() > 0) {
            SetSelectedRow(RowUnderPointer(int(event->position().y())));
            emit selectRequested();
        }
        return;
    }
    QListView::mousePressEvent(event);
}

void CellList::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit rowClicked();
}

void CellList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit rowDoubleClicked();
}

void CellList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete || event->text() == QStringLiteral(".")) {
        emit deleteRequested();
        return;
    }
    // Enter opens the selected line, as a double click on it does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && SelectedRow() >= 0) {
        emit rowDoubleClicked();
        return;
    }
    const int before = SelectedRow();
    QListView::keyPressEvent(event);
    if (SelectedRow() != before)
        emit rowClicked();
}

void CellList::contextMenuEvent(QContextMenuEvent* event) {
    emit selectRequested();
    if (popupMenu)
        popupMenu->exec(event->globalPos());
}

// ---- Tlable_listbox ----

Tlable_listbox::Tlable_listbox(QWidget* dayPanel, int number, QButtonGroup& dayButtons,
                               QMenu* pmForBtn, QMenu* pmForlistbox)
    : number_(number) {
    button = new DayButton(dayPanel);
    button->setObjectName(QStringLiteral("day%1").arg(number));
    button->popupMenu = pmForBtn;
    button->setToolTip(QStringLiteral("Double-click to add event"));
    dayButtons.addButton(button, number);

    list = new CellList(dayPanel);
    list->setObjectName(QStringLiteral("list%1").arg(number));
    list->popupMenu = pmForlistbox;
    listAlive_ = list;

    connect(button, &QAbstractButton::clicked, this, [this] { emit buttonClicked(number_); });
    connect(button, &DayButton::doubleClicked, this, [this] { emit buttonDoubleClicked(number_); });
    connect(button, &DayButton::selectRequested, this, &Tlable_listbox::Select);
    connect(list, &CellList::rowClicked, this, [this] { emit listClicked(number_); });
    connect(list, &CellList::rowDoubleClicked, this, [this] { emit listDoubleClicked(number_); });
    connect(list, &CellList::deleteRequested, this, [this] { emit deleteRequested(number_); });
    connect(list, &CellList::selectRequested, this, &Tlable_listbox::Select);
    Clear();
}

Tlable_listbox::~Tlable_listbox() {
    if (listAlive_)
        listAlive_->ShowLines(nullptr);
}

void Tlable_listbox::SetBounds(const GridRect& r) {
    button->setGeometry(r.left, r.top, r.width, r.height);
    list->setGeometry(r.left + 1, r.top + button->CaptionHeight(), r.width - 2, list->height());
    Fit();
}

namespace {

// The list's ground: the page's base colour under lines, the button's face without.
void SetListGround(CellList& list, QPalette::ColorRole role) {
    const QColor ground = QPalette().color(role);
    QPalette pal = list.palette();
    const auto set = [&](QPalette::ColorGroup group) {
        return pal.isBrushSet(group, QPalette::Base) && pal.color(group, QPalette::Base) == ground;
    };
    if (set(QPalette::Active) && set(QPalette::Inactive) && set(QPalette::Disabled))
        return;
    pal.setColor(QPalette::Base, ground);
    list.setPalette(pal);
}

}  // namespace

void Tlable_listbox::Fit() {
    int height = list->count() * list->RowHeight();
    const int room = button->height() - button->CaptionHeight();
    if (room < height)
        height = std::max(room, 0);
    list->resize(list->width(), height);
    if (list->count() > 0)
        SetListGround(*list, QPalette::Base);
}

void Tlable_listbox::Clear() {
    button->setText(QString());
    button->setCaptionColor(Qt::black);
    button->setEnabled(false);
    button->hide();
    SetListGround(*list, QPalette::Button);
    list->ShowLines(nullptr);
    lines.clear();
    list->resize(list->width(), 0);
    list->hide();
}

void Tlable_listbox::Fill(TDateTime x, mytitem_for_display dayLines) {
    date = x;
    const int day = int(DecodeDate(x).day);
    today = DayOf(x) == clock::Today();
    // The cell may still show another day: everything Clear resets is set here.
    if (today) {
        button->setText(QString::number(day) + QStringLiteral(" Today"));
        button->setCaptionColor(Qt::red);
    } else {
        button->setText(QString::number(day));
        button->setCaptionColor(Qt::black);
    }
    if (dayLines.empty())
        SetListGround(*list, QPalette::Button);
    list->ShowLines(&lines, [&] { lines = std::move(dayLines); });
    Fit();
    button->setEnabled(true);
    button->show();
    list->show();
}

void Tlable_listbox::SetFont(const ROptions& options) {
    QFont font(Q(options.FontDisplayName));
    // A size of 0 or less can only come from a hand-edited settings file.
    font.setPointSize(options.FontDisplaySize > 0 ? int(options.FontDisplaySize) : 9);
    list->setFont(font);
    button->setFont(list->font());
    // Rows and the caption follow the font's line spacing.
    list->doItemsLayout();
    SetBounds({button->x(), button->y(), button->width(), button->height()});
}

void Tlable_listbox::Select() {
    button->setChecked(true);
    emit buttonClicked(number_);
}

const titem_for_display* Tlable_listbox::SelectedOrFirstLine() const {
    if (lines.empty())
        return nullptr;
    const int row = list->SelectedRow();
    return &lines[std::size_t(row >= 0 && std::size_t(row) < lines.size() ? row : 0)];
}

}  // namespace qcal
