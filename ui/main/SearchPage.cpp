#include "ui/main/SearchPage.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/desktop/WeekStart.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "store/SearchStatement.h"
#include "ui/main/SearchCriteria.h"
#include "widgets/BusyCursor.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

constexpr int kRowHeight = 17;
constexpr int kContentHeight = 119;
constexpr int kNoteHeight = 85;
QPlainTextEdit* Memo(QWidget* parent, const char* name) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QString::fromLatin1(name));
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setToolTip(QStringLiteral("Double-click to Edit"));
    return memo;
}

}  // namespace

TSearchPage::TSearchPage(CalendarSession& session, SearchPageHooks hooks, QWidget* parent)
    : QWidget(parent),
      session_(session),
      dm_(session.Data()),
      hooks_(std::move(hooks)),
      search_(dm_) {
    setObjectName(QStringLiteral("SearchPage"));
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    criteria_ = new SearchCriteria(this);
    page->addWidget(criteria_);
    CreateResultList();
    page->addWidget(Splitter, 1);
    connect(criteria_, &SearchCriteria::searchTypeChosen, this, &TSearchPage::comSearchTypeChange);
    connect(criteria_, &SearchCriteria::searchRequested, this, &TSearchPage::btnSearchClick);
    connect(&session_, &CalendarSession::eventsChanged, this, &TSearchPage::SessionChanged);
    // Another choice of layers searches again from a fresh period.
    connect(&session_, &CalendarSession::layersChanged, this, [this] {
        if (shown_)
            comSearchTypeChange();
    });
    connect(&session_, &CalendarSession::optionsChanged, this, &TSearchPage::SessionChanged);
}

TSearchPage::~TSearchPage() = default;

void TSearchPage::CreateResultList() {
    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setHandleWidth(3);
    Splitter->setChildrenCollapsible(false);

    auto* upper = new QWidget(Splitter);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    auto* sections = new QStandardItemModel(0, kSearchSectionCount, this);
    sections->setHorizontalHeaderLabels({QStringLiteral("Begin Time"), QStringLiteral("Subject"),
                                         QStringLiteral("End Time"), QStringLiteral("last Archive"),
                                         QStringLiteral("Repeat Type")});
    HeaderControl1 = new QHeaderView(Qt::Horizontal, upper);
    HeaderControl1->setObjectName(QStringLiteral("HeaderControl1"));
    HeaderControl1->setModel(sections);
    HeaderControl1->setFixedHeight(20);
    HeaderControl1->setSectionsMovable(false);
    HeaderControl1->setSectionsClickable(false);
    HeaderControl1->setHighlightSections(false);
    HeaderControl1->setStretchLastSection(false);
    HeaderControl1->setDefaultAlignment(Qt::AlignCenter);
    HeaderControl1->setMinimumSectionSize(kMinSearchSectionWidth);
    HeaderControl1->setSectionResizeMode(QHeaderView::Interactive);
    keptWidths_ = LoadSearchSectionWidths(dm_.SetupIniPath());
    for (int i = 0; i < kSearchSectionCount; ++i)
        HeaderControl1->resizeSection(i, keptWidths_[std::size_t(i)]);
    upperLayout->addWidget(HeaderControl1);

    ListBoxQuery = new QListWidget(upper);
    ListBoxQuery->setObjectName(QStringLiteral("ListBoxQuery"));
    ListBoxQuery->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBoxQuery->setUniformItemSizes(true);
    ListBoxQuery->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPixelSize(12);
    ListBoxQuery->setFont(listFont);
    ListBoxQuery->setToolTip(
        QStringLiteral("Double-click to edit event\nRight-click to open menu\n"
                       "Ctrl+click or Alt+click to select multi-event"));
    ListBoxQuery->setItemDelegate(new EventRowDelegate(
        {kRowHeight, 2, false}, *HeaderControl1,
        [this](int row, QColor& background, QStringList& texts) {
            const tArrayofField& found = search_.found;
            if (row < 0 || std::size_t(row) >= found.size())
                return false;
            const tfield& event = found[std::size_t(row)];
            const TFieldForDisplay t = dm_.MakeDisplayTexts(event);
            background = desktop::ToQColor(event.layerColor);
            texts = {desktop::Q(t.BeginText), desktop::Q(t.SubjectText), desktop::Q(t.EndText),
                     desktop::Q(t.ArchiveText), desktop::Q(t.RepeatText)};
            return true;
        },
        ListBoxQuery));
    ListBoxQuery->setContextMenuPolicy(Qt::CustomContextMenu);
    upperLayout->addWidget(ListBoxQuery, 1);
    LabelNothingFound = new QLabel(QStringLiteral("No events found."), ListBoxQuery->viewport());
    LabelNothingFound->setObjectName(QStringLiteral("LabelNothingFound"));
    LabelNothingFound->setAlignment(Qt::AlignCenter);
    LabelNothingFound->setForegroundRole(QPalette::PlaceholderText);
    LabelNothingFound->hide();

    MemoContent = Memo(Splitter, "MemoContent");
    MemoNote = Memo(Splitter, "MemoNote");
    Splitter->addWidget(upper);
    Splitter->addWidget(MemoContent);
    Splitter->addWidget(MemoNote);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 0);
    Splitter->setStretchFactor(2, 0);

    pmQuery = new QMenu(this);
    pmQuery->setObjectName(QStringLiteral("pmQuery"));
    AddEvent1 = pmQuery->addAction(QStringLiteral("&Add    Event"));
    EditEvent1 = pmQuery->addAction(QStringLiteral("&Edit   Event"));
    DeleteEvents1 = pmQuery->addAction(QStringLiteral("&Delete Events"));
    pmQuery->addSeparator();
    SelectAll1 = pmQuery->addAction(QStringLiteral("&Select All"));
    AddEvent1->setObjectName(QStringLiteral("AddEvent1"));
    EditEvent1->setObjectName(QStringLiteral("EditEvent1"));
    DeleteEvents1->setObjectName(QStringLiteral("DeleteEvents1"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));

    connect(HeaderControl1, &QHeaderView::sectionResized, ListBoxQuery->viewport(),
            qOverload<>(&QWidget::update));
    HeaderControl1->viewport()->installEventFilter(this);
    connect(ListBoxQuery, &QListWidget::currentRowChanged, this, &TSearchPage::ListBoxQueryClick);
    connect(ListBoxQuery, &QListWidget::itemClicked, this, &TSearchPage::ListBoxQueryClick);
    connect(ListBoxQuery, &QListWidget::itemDoubleClicked, this,
            &TSearchPage::ListBoxQueryDblClick);
    connect(ListBoxQuery, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        pmQueryPopup(ListBoxQuery->viewport()->mapToGlobal(pos));
    });
    ListBoxQuery->installEventFilter(this);
    ListBoxQuery->viewport()->installEventFilter(this);
    MemoContent->viewport()->installEventFilter(this);
    MemoNote->viewport()->installEventFilter(this);

    connect(AddEvent1, &QAction::triggered, this, [this] {
        if (hooks_.addEvent)
            hooks_.addEvent();
    });
    connect(EditEvent1, &QAction::triggered, this, &TSearchPage::ListBoxQueryDblClick);
    connect(DeleteEvents1, &QAction::triggered, this, &TSearchPage::pmDeleteEventClick);
    connect(SelectAll1, &QAction::triggered, this, &TSearchPage::SelectAll1Click);
}

void TSearchPage::comSearchTypeChange() {
    searchArchived_ = criteria_->ApplySearchType(desktop::FirstWeekday(dm_.Options.FirstDayOfWeek));
    btnSearchClick();
}

void TSearchPage::btnSearchClick() {
    desktop::BusyCursor busy;
    criteria_->FocusSearchType();
    const SearchRequest request = criteria_->Request(searchArchived_);
    const SearchStatement statement = BuildSearchStatement(request, dm_.Layers);
    if (statement.refusal != SearchRefusal::None) {
        // The message is read with the ordinary cursor.
        busy.Release();
        const QString message = QString::fromUtf8(SearchRefusalMessage(statement.refusal));
        if (statement.refusal == SearchRefusal::KeywordQuote) {
            desktop::MessageBox::Error(this, message);
        } else {
            desktop::MessageBox::Warning(this, message);
        }
        return;
    }
    session_.FindEvents(request, statement.sql, search_);
    ListBoxQuery->clear();
    ClearMemos();
    for (std::size_t i = 0; i < search_.found.size(); ++i)
        ListBoxQuery->addItem(QStringLiteral(" "));
    LabelNothingFound->setGeometry(ListBoxQuery->viewport()->rect());
    LabelNothingFound->setVisible(ListBoxQuery->count() == 0);
    if (ListBoxQuery->count() > 0) {
        ListBoxQuery->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        ListBoxQuery->setFocus();
        ListBoxQueryClick();
    }
}

void TSearchPage::ClearMemos() {
    MemoContent->clear();
    MemoNote->clear();
}

void TSearchPage::ClearResults() {
    search_.found.clear();
    ListBoxQuery->clear();
    LabelNothingFound->hide();
    ClearMemos();
}

void TSearchPage::ListBoxQueryClick() {
    const int row = ListBoxQuery->currentRow();
    if (row < 0 || std::size_t(row) >= search_.found.size())
        return;
    const tfield& event = search_.found[std::size_t(row)];
    MemoNote->setPlainText(desktop::Q(event.mynote));
    MemoContent->setPlainText(desktop::Q(event.content));
}

void TSearchPage::ListBoxQueryDblClick() {
    const int row = ListBoxQuery->currentRow();
    if (row < 0 || std::size_t(row) >= search_.found.size() || !hooks_.editEvent)
        return;
    const std::int64_t id = search_.found[std::size_t(row)].id;
    tfield event;
    if (!search_.LoadEvent(id, event)) {
        // The event went while it was listed: show the list as it is now.
        btnSearchClick();
        return;
    }
    if (!hooks_.editEvent(event))
        return;
    // The session's announcement searches again.
    if (session_.SaveEditedEvent(event) == EditedEventSave::RowGone)
        desktop::MessageBox::Information(this, QString::fromUtf8(kEditedEventGone));
    for (std::size_t i = 0; i < search_.found.size(); ++i) {
        if (search_.found[i].id != id)
            continue;
        const int edited = int(i);
        ListBoxQuery->setFocus();
        ListBoxQuery->item(0)->setSelected(false);
        ListBoxQuery->setCurrentRow(edited, QItemSelectionModel::NoUpdate);
        ListBoxQuery->item(edited)->setSelected(true);
        ListBoxQueryClick();
        break;
    }
}

std::vector<int> TSearchPage::SelectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < ListBoxQuery->count(); ++i) {
        if (ListBoxQuery->item(i)->isSelected())
            rows.push_back(i);
    }
    return rows;
}

void TSearchPage::pmDeleteEventClick() {
    const SelectedIds selected = TDataMod::SelectedIdList(SelectedRows(), search_.found);
    if (selected.count == 0) {
        desktop::MessageBox::Information(this, QStringLiteral("There is no event to be delete!"));
        return;
    }
    if (!desktop::MessageBox::Question(
            this, QStringLiteral("Are you sure to delete the %1 event?").arg(selected.count)))
        return;
    session_.DeleteEvents(selected.ids, IdListBlanks::Around);
}

void TSearchPage::SelectAll1Click() {
    const int current = ListBoxQuery->currentRow();
    ListBoxQuery->selectAll();
    if (current >= 0)
        ListBoxQuery->setCurrentRow(current, QItemSelectionModel::NoUpdate);
}

bool TSearchPage::pmQueryPopup(const QPoint& global) {
    if (ListBoxQuery->count() == 0)
        return false;
    pmQuery->popup(global);
    return true;
}

void TSearchPage::SessionChanged() {
    if (shown_)
        btnSearchClick();
}

void TSearchPage::PageShown() {
    shown_ = true;
    LayoutSearch();
    if (criteria_->SearchType() < 0)
        criteria_->SetSearchType(kSearchThisYear);
    comSearchTypeChange();
}

void TSearchPage::PageLeft() {
    shown_ = false;
    ClearResults();
}

void TSearchPage::LayoutSearch() {
    criteria_->LayoutPanel();
    if (isVisible()) {
        int others = 0;
        for (int i = 0; i < kSearchSectionCount; ++i) {
            if (i != kSearchSubjectSection)
                others += HeaderControl1->sectionSize(i);
        }
        HeaderControl1->resizeSection(kSearchSubjectSection,
                                      std::max(0, HeaderControl1->width() - others));
    }
}

void TSearchPage::AddListShortcut(QAction* action) {
    ListBoxQuery->addAction(action);
}

void TSearchPage::FocusFirstField() {
    criteria_->FocusFirstField();
}

SearchSectionWidths TSearchPage::SectionWidths() const {
    SearchSectionWidths widths{};
    for (int i = 0; i < kSearchSectionCount; ++i)
        widths[std::size_t(i)] = HeaderControl1->sectionSize(i);
    return widths;
}

void TSearchPage::KeepSectionWidths() {
    SearchSectionWidths widths = SectionWidths();
    // The subject's width follows the window; only the others are the user's choice.
    widths[kSearchSubjectSection] = keptWidths_[kSearchSubjectSection];
    if (widths == keptWidths_)
        return;
    if (SaveSearchSectionWidths(dm_.SetupIniPath(), widths))
        keptWidths_ = widths;
}

void TSearchPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutSearch();
}

void TSearchPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!splitterPlaced_) {
        // The memos start at their design heights; the list takes the rest.
        splitterPlaced_ = true;
        const int free =
            Splitter->height() - kContentHeight - kNoteHeight - 2 * Splitter->handleWidth();
        Splitter->setSizes({std::max(free, 3 * kRowHeight), kContentHeight, kNoteHeight});
    }
    LayoutSearch();
}

void TSearchPage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        if (hooks_.showHelp)
            hooks_.showHelp(kHelpContext);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TSearchPage::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            if (watched == MemoContent->viewport() || watched == MemoNote->viewport()) {
                ListBoxQueryDblClick();
                return true;
            }
            break;
        case QEvent::MouseButtonPress:
            if (watched == ListBoxQuery->viewport()) {
                // Alt+click adds a row to the selection or takes it out, as Ctrl+click does.
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::AltModifier)) {
                    if (QListWidgetItem* item = ListBoxQuery->itemAt(mouse->position().toPoint())) {
                        ListBoxQuery->setCurrentItem(item, QItemSelectionModel::Toggle);
                        ListBoxQueryClick();
                    }
                    return true;
                }
            }
            break;
        case QEvent::MouseButtonRelease:
            // A header section has been dragged to a new width.
            if (watched == HeaderControl1->viewport())
                KeepSectionWidths();
            break;
        case QEvent::Resize:
            if (watched == ListBoxQuery->viewport())
                LabelNothingFound->setGeometry(ListBoxQuery->viewport()->rect());
            break;
        case QEvent::KeyPress:
            if (watched == ListBoxQuery) {
                const auto* key = static_cast<QKeyEvent*>(event);
                if (key->key() == Qt::Key_Delete || key->text() == QStringLiteral(".")) {
                    if (ListBoxQuery->count() > 0 && hooks_.deleteRequested)
                        hooks_.deleteRequested();
                    return true;
                }
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qcal
