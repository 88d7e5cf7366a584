#include "ui/main/SearchPage.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "core/Clock.h"
#include "platform/desktop/WeekStart.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "store/SearchStatement.h"
#include "widgets/BusyCursor.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

constexpr int kRowHeight = 17;
constexpr int kContentHeight = 119;
constexpr int kNoteHeight = 85;
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 82;
constexpr int kPanelHeight = 146;
constexpr int kLeft = 8;

const QDate kDayZero(1899, 12, 30);

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

QLabel* Label(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

QDateEdit* DatePicker(QWidget* parent, const char* name, QRect geometry) {
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setCalendarPopup(true);
    picker->setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    picker->setGeometry(geometry);
    return picker;
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
    CreatePanel();
    page->addWidget(PanelSearch);
    CreateResultList();
    page->addWidget(Splitter, 1);
    const int today = clock::Today();
    SetPickerDay(dtBetweenDate, today);
    SetPickerDay(dtAndDate, today);
    connect(&session_, &CalendarSession::eventsChanged, this, &TSearchPage::SessionChanged);
    // Another choice of layers searches again from a fresh period.
    connect(&session_, &CalendarSession::layersChanged, this, [this] {
        if (shown_)
            comSearchTypeChange();
    });
    connect(&session_, &CalendarSession::optionsChanged, this, &TSearchPage::SessionChanged);
    chtextClick();
}

TSearchPage::~TSearchPage() = default;

void TSearchPage::CreatePanel() {
    PanelSearch = new QWidget(this);
    PanelSearch->setObjectName(QStringLiteral("PanelSearch"));
    PanelSearch->setFixedHeight(kPanelHeight);

    Label6 = Label(PanelSearch, "Label6", "Search Type", QRect(kLeft, 6, 120, 16));
    comSearchType = new QComboBox(PanelSearch);
    comSearchType->setObjectName(QStringLiteral("comSearchType"));
    comSearchType->setGeometry(kLeft, 22, 400, 22);
    for (const char* item : kSearchTypeItems)
        comSearchType->addItem(QString::fromUtf8(item));
    comSearchType->setCurrentIndex(-1);

    btnSearch = new QToolButton(PanelSearch);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setText(QStringLiteral("Search"));
    btnSearch->setAutoRaise(true);
    btnSearch->setGeometry(kLeft + 403, 22, kButtonWidth, kButtonHeight);
    QPalette red = btnSearch->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    btnSearch->setPalette(red);

    Label7 = Label(PanelSearch, "Label7", "Search Period", QRect(kLeft, 50, 120, 16));
    LabelBetween = Label(PanelSearch, "LabelBetween", "Between", QRect(kLeft, 68, 50, 22));
    dtBetweenDate = DatePicker(PanelSearch, "dtBetweenDate", QRect(kLeft + 50, 68, 160, 22));
    LabelAnd = Label(PanelSearch, "LabelAnd", "And", QRect(kLeft + 211, 68, 32, 22));
    LabelAnd->setAlignment(Qt::AlignCenter);
    dtAndDate = DatePicker(PanelSearch, "dtAndDate", QRect(kLeft + 243, 68, 160, 22));

    chtext = CheckBox(PanelSearch, "chtext", "Include Text", QRect(kLeft, 96, 140, 20));
    editInclude = new QLineEdit(PanelSearch);
    editInclude->setObjectName(QStringLiteral("editInclude"));
    editInclude->setGeometry(kLeft, 118, 160, 22);
    LabelIn = Label(PanelSearch, "LabelIn", "In", QRect(kLeft + 170, 118, 20, 22));
    chSubject = CheckBox(PanelSearch, "chSubject", "Subject", QRect(kLeft + 190, 118, 70, 22));
    chContent = CheckBox(PanelSearch, "chContent", "Content", QRect(kLeft + 260, 118, 74, 22));
    chNote = CheckBox(PanelSearch, "chNote", "Note", QRect(kLeft + 334, 118, 56, 22));
    for (QCheckBox* box : {chSubject, chContent, chNote})
        box->setChecked(true);

    connect(comSearchType, &QComboBox::activated, this, &TSearchPage::comSearchTypeChange);
    connect(btnSearch, &QToolButton::clicked, this, &TSearchPage::btnSearchClick);
    connect(chtext, &QCheckBox::toggled, this, &TSearchPage::chtextClick);
    // Enter in the keyword box searches, as the search button does.
    connect(editInclude, &QLineEdit::returnPressed, this, &TSearchPage::btnSearchClick);
}

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

int TSearchPage::DayOfPicker(const QDateEdit* picker) const {
    return int(kDayZero.daysTo(picker->date()));
}

void TSearchPage::SetPickerDay(QDateEdit* picker, int day) {
    picker->setDate(kDayZero.addDays(day));
}

void TSearchPage::chtextClick() {
    const bool on = chtext->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{editInclude, chSubject, chContent, chNote}) {
        control->setEnabled(on);
    }
}

void TSearchPage::comSearchTypeChange() {
    dtBetweenDate->setEnabled(false);
    dtAndDate->setEnabled(false);
    SearchArchived = false;
    const int type = comSearchType->currentIndex();
    if (type >= 0) {
        const SearchPeriod period = PeriodOfSearchType(
            type, clock::Today(), DayOfPicker(dtBetweenDate), DayOfPicker(dtAndDate),
            desktop::FirstWeekday(dm_.Options.FirstDayOfWeek));
        SetPickerDay(dtBetweenDate, period.between);
        SetPickerDay(dtAndDate, period.andDay);
        dtBetweenDate->setEnabled(period.pickersEnabled);
        dtAndDate->setEnabled(period.pickersEnabled);
        SearchArchived = period.archived;
    }
    btnSearchClick();
}

void TSearchPage::btnSearchClick() {
    desktop::BusyCursor busy;
    comSearchType->setFocus();
    SearchRequest request;
    request.between = PeriodStart(DayOfPicker(dtBetweenDate));
    request.andTime = PeriodEnd(DayOfPicker(dtAndDate));
    request.archived = SearchArchived;
    request.includeText = chtext->isChecked();
    request.keyword = desktop::Std(editInclude->text());
    request.subject = chSubject->isChecked();
    request.content = chContent->isChecked();
    request.note = chNote->isChecked();
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
    if (comSearchType->currentIndex() < 0)
        comSearchType->setCurrentIndex(kSearchThisYear);
    comSearchTypeChange();
}

void TSearchPage::PageLeft() {
    shown_ = false;
    ClearResults();
}

void TSearchPage::LayoutSearch() {
    const int clientWidth = PanelSearch->width();
    btnSearch->move(clientWidth - btnSearch->width() - 1, btnSearch->y());
    const int comboLeft = comSearchType->x();
    const int comboWidth = std::max(0, btnSearch->x() - 3 - comboLeft);
    comSearchType->resize(comboWidth, comSearchType->height());
    const int comboRight = comboLeft + comboWidth;

    const int pickerWidth =
        std::max(0, (comboWidth - LabelBetween->width() - LabelAnd->width()) / 2);
    dtBetweenDate->setGeometry(LabelBetween->x() + LabelBetween->width(), dtBetweenDate->y(),
                               pickerWidth, dtBetweenDate->height());
    LabelAnd->move(dtBetweenDate->x() + pickerWidth + 1, LabelAnd->y());
    dtAndDate->setGeometry(comboRight - pickerWidth, dtAndDate->y(), pickerWidth,
                           dtAndDate->height());

    const int boxes = chSubject->width() + chContent->width() + chNote->width();
    editInclude->resize(std::max(0, comboWidth - boxes - LabelIn->width() - 9),
                        editInclude->height());
    chNote->move(comboRight - chNote->width(), chNote->y());
    chContent->move(chNote->x() - chContent->width(), chContent->y());
    chSubject->move(std::max(chContent->x() - chSubject->width(), editInclude->x()),
                    chSubject->y());
    LabelIn->move(chSubject->x() - LabelIn->width(), LabelIn->y());

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
