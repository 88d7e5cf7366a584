#include "alarm/AlarmWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

#include "alarm/DesktopNotifier.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "widgets/ColouredRow.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/Glyphs.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

constexpr int kRowHeight = 17;
// The least minutes the remind-again box offers.
constexpr int kLeastRemindAgain = 5;
constexpr int kSectionCount = 4;

QPlainTextEdit* Memo(QWidget* parent, const char* name, int height) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QString::fromLatin1(name));
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setToolTip(QStringLiteral("Double-click to Edit"));
    memo->resize(memo->width(), height);
    return memo;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, const char* hint) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromUtf8(hint));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TFormAlarm::TFormAlarm(CalendarSession& session, AlarmWindowHooks hooks, QWidget* parent)
    : QDialog(parent), session_(session), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("FormAlarm"));
    setWindowTitle(QStringLiteral("Quenlaris Calendar Reminder -  Pending Events"));
    // Fixed border, system menu only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(574, 446);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);

    // The upper panel: header, list, and the two memos under their splitters.
    auto* upper = new QWidget(this);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);

    auto* sections = new QStandardItemModel(0, kSectionCount, this);
    sections->setHorizontalHeaderLabels({QStringLiteral("Begin Time"), QStringLiteral("Subject"),
                                         QStringLiteral("End Time"),
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
    HeaderControl1->setSectionResizeMode(QHeaderView::Interactive);
    HeaderControl1->resizeSection(0, 120);
    HeaderControl1->resizeSection(1, 50);
    HeaderControl1->resizeSection(2, 120);
    HeaderControl1->resizeSection(3, 150);
    upperLayout->addWidget(HeaderControl1);

    Splitter = new QSplitter(Qt::Vertical, upper);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setHandleWidth(2);
    Splitter->setChildrenCollapsible(false);
    ListBoxEventActived = new QListWidget(Splitter);
    ListBoxEventActived->setObjectName(QStringLiteral("ListBoxEventActived"));
    ListBoxEventActived->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBoxEventActived->setUniformItemSizes(true);
    ListBoxEventActived->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPixelSize(12);
    ListBoxEventActived->setFont(listFont);
    ListBoxEventActived->setToolTip(
        QStringLiteral("Double-click to edit event\nRight-click to open menu\n"
                       "Ctrl+click or Alt+click to select multi-event"));
    // Each row is drawn from its due event; the repeat type may run to the row's end.
    ListBoxEventActived->setItemDelegate(new EventRowDelegate(
        {kRowHeight, 1, true}, *HeaderControl1,
        [this](int row, QColor& background, QStringList& texts) {
            if (row < 0 || std::size_t(row) >= Events().size())
                return false;
            const tfield& event = Events()[std::size_t(row)];
            const TFieldForDisplay t = session_.Data().MakeDisplayTexts(event);
            background = desktop::ToQColor(event.layerColor);
            texts = {desktop::Q(t.BeginText), desktop::Q(t.SubjectText), desktop::Q(t.EndText),
                     desktop::Q(t.RepeatText)};
            return true;
        },
        ListBoxEventActived));
    ListBoxEventActived->setContextMenuPolicy(Qt::CustomContextMenu);
    MemoContent = Memo(Splitter, "MemoContent", 73);
    MemoNote = Memo(Splitter, "MemoNote", 58);
    Splitter->addWidget(ListBoxEventActived);
    Splitter->addWidget(MemoContent);
    Splitter->addWidget(MemoNote);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 0);
    Splitter->setStretchFactor(2, 0);
    upperLayout->addWidget(Splitter, 1);
    outer->addWidget(upper, 1);

    // The reminder strip.
    auto* strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("PanelRemind"));
    strip->setFrameShape(QFrame::StyledPanel);
    strip->setFrameShadow(QFrame::Sunken);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(6, 2, 6, 2);
    chRemindAgain = new QCheckBox(QStringLiteral("Remind again after"), strip);
    chRemindAgain->setObjectName(QStringLiteral("chRemindAgain"));
    RxSpinRemindAgain = new QSpinBox(strip);
    RxSpinRemindAgain->setObjectName(QStringLiteral("RxSpinRemindAgain"));
    RxSpinRemindAgain->setRange(kLeastRemindAgain, 5000);
    auto* minutes = new QLabel(QStringLiteral("minutes"), strip);
    chArchiveAll =
        new QCheckBox(QStringLiteral("Archive all events after the window closed"), strip);
    chArchiveAll->setObjectName(QStringLiteral("chArchiveAll"));
    stripLayout->addWidget(chRemindAgain);
    stripLayout->addWidget(RxSpinRemindAgain);
    stripLayout->addWidget(minutes);
    stripLayout->addStretch(1);
    stripLayout->addWidget(chArchiveAll);
    outer->addWidget(strip);

    // The buttons.
    auto* buttons = new QHBoxLayout;
    SpeedButton4 = Button(this, "SpeedButton4", "&Help", "Help");
    SpeedButton4->setIcon(desktop::HelpGlyph());
    btnFileSingle = Button(this, "btnFileSingle", "&Archive", "Archive Current Event");
    btnFileAll = Button(this, "btnFileAll", "Archive A&ll", "Archive All Events");
    btnclose = Button(this, "btnclose", "Cl&ose", "Close");
    btnclose->setDefault(true);
    for (QPushButton* button : {SpeedButton4, btnFileSingle, btnFileAll, btnclose})
        buttons->addWidget(button);
    outer->addLayout(buttons);

    // The list's menu.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    FileCurrentEvent1 = PopupMenu1->addAction(QStringLiteral("Archive &Current Event"));
    FileSelectedEvents1 = PopupMenu1->addAction(QStringLiteral("Archive Se&lected Events"));
    FileAllEvents1 = PopupMenu1->addAction(QStringLiteral("Archive All Events"));
    PopupMenu1->addSeparator();
    EditEvent1 = PopupMenu1->addAction(QStringLiteral("&Edit   Event"));
    DeleteEvents1 = PopupMenu1->addAction(QStringLiteral("&Delete Events"));
    PopupMenu1->addSeparator();
    SelectAll1 = PopupMenu1->addAction(QStringLiteral("&Select All"));
    const std::pair<QAction*, const char*> actionNames[] = {
        {FileCurrentEvent1, "FileCurrentEvent1"}, {FileSelectedEvents1, "FileSelectedEvents1"},
        {FileAllEvents1, "FileAllEvents1"},       {EditEvent1, "EditEvent1"},
        {DeleteEvents1, "DeleteEvents1"},         {SelectAll1, "SelectAll1"}};
    for (const auto& [action, name] : actionNames)
        action->setObjectName(QString::fromLatin1(name));

    connect(HeaderControl1, &QHeaderView::sectionResized, ListBoxEventActived->viewport(),
            qOverload<>(&QWidget::update));
    connect(ListBoxEventActived, &QListWidget::currentRowChanged, this,
            &TFormAlarm::ListBoxEventActivedClick);
    connect(ListBoxEventActived, &QListWidget::itemClicked, this,
            &TFormAlarm::ListBoxEventActivedClick);
    connect(ListBoxEventActived, &QListWidget::itemDoubleClicked, this,
            &TFormAlarm::ListBoxEventActivedDblClick);
    connect(ListBoxEventActived, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                PopupMenu1Popup(ListBoxEventActived->viewport()->mapToGlobal(pos));
            });
    MemoContent->viewport()->installEventFilter(this);
    MemoNote->viewport()->installEventFilter(this);

    connect(SpeedButton4, &QPushButton::clicked, this, &TFormAlarm::SpeedButton4Click);
    connect(btnFileSingle, &QPushButton::clicked, this,
            [this] { Archive(ArchiveMode::Current, true); });
    connect(btnFileAll, &QPushButton::clicked, this, [this] { Archive(ArchiveMode::All, true); });
    connect(btnclose, &QPushButton::clicked, this, &QDialog::accept);
    connect(FileCurrentEvent1, &QAction::triggered, this,
            [this] { Archive(ArchiveMode::Current, true); });
    connect(FileSelectedEvents1, &QAction::triggered, this,
            [this] { Archive(ArchiveMode::Selected, true); });
    connect(FileAllEvents1, &QAction::triggered, this, [this] { Archive(ArchiveMode::All, true); });
    connect(EditEvent1, &QAction::triggered, this, &TFormAlarm::ListBoxEventActivedDblClick);
    connect(DeleteEvents1, &QAction::triggered, this, &TFormAlarm::DeleteEvents1Click);
    connect(SelectAll1, &QAction::triggered, this, &TFormAlarm::SelectAll1Click);

    connect(&session_, &CalendarSession::dueListChanged, this, &TFormAlarm::FillAlarmList);
    connect(&session_, &CalendarSession::alarmsRaised, this, &TFormAlarm::ShowAlarm);
}

TFormAlarm::~TFormAlarm() = default;

const tArrayofField& TFormAlarm::Events() const {
    return session_.DueEvents();
}

void TFormAlarm::FormCreate() {
    // The memos start at their design heights; the list takes the rest.
    const int free = Splitter->height() - 73 - 58 - 2 * Splitter->handleWidth();
    Splitter->setSizes({std::max(free, kRowHeight), 73, 58});
    // The subject takes what the other sections leave, so the four span the list exactly.
    const int others = HeaderControl1->sectionSize(0) + HeaderControl1->sectionSize(2) +
                       HeaderControl1->sectionSize(3);
    HeaderControl1->resizeSection(1, std::max(0, HeaderControl1->width() - others));
}

void TFormAlarm::FillAlarmList() {
    ListBoxEventActived->clear();
    for (std::size_t i = 0; i < Events().size(); ++i)
        ListBoxEventActived->addItem(QStringLiteral(" "));
    if (ListBoxEventActived->count() > 0) {
        ListBoxEventActived->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        ListBoxEventActivedClick();
    }
}

void TFormAlarm::ShowAlarm() {
    show();
    raise();
    activateWindow();
}

void TFormAlarm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!laidOut_) {
        // The sizes of the parts are known once the window is laid out for its first showing.
        laidOut_ = true;
        FormCreate();
    }
    if (!event->spontaneous() && !open_)
        FormShow();
}

void TFormAlarm::FormShow() {
    open_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    SetTopmost(true);
    session_.AlarmWindowShown();
    const ROptions& options = session_.Data().Options;
    chRemindAgain->setChecked(options.IsAgainDisplay);
    // A stored value below the box's least one is what the alarms use: the box shows it.
    const int remindAgain = std::max(1, int(options.AgainHowLong));
    RxSpinRemindAgain->setMinimum(std::min(remindAgain, kLeastRemindAgain));
    RxSpinRemindAgain->setValue(remindAgain);
    chArchiveAll->setChecked(options.IsArchiveAllAfterClose);
    SelectFirstRow();
}

void TFormAlarm::SelectFirstRow() {
    ClearMemos();
    if (ListBoxEventActived->count() > 0) {
        ListBoxEventActived->setFocus();
        ListBoxEventActived->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        ListBoxEventActivedClick();
    }
}

void TFormAlarm::ClearMemos() {
    MemoContent->clear();
    MemoNote->clear();
}

void TFormAlarm::ListBoxEventActivedClick() {
    const int row = ListBoxEventActived->currentRow();
    if (row < 0 || std::size_t(row) >= Events().size())
        return;
    const tfield& event = Events()[std::size_t(row)];
    MemoContent->setPlainText(desktop::Q(event.content));
    MemoNote->setPlainText(desktop::Q(event.mynote));
}

std::vector<int> TFormAlarm::SelectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < ListBoxEventActived->count(); ++i) {
        if (ListBoxEventActived->item(i)->isSelected())
            rows.push_back(i);
    }
    return rows;
}

void TFormAlarm::Archive(ArchiveMode mode, bool reshow) {
    std::vector<std::int64_t> ids;
    IdListBlanks blanks = IdListBlanks::Around;
    if (mode == ArchiveMode::Current) {
        const int row = ListBoxEventActived->currentRow();
        if (ListBoxEventActived->count() > 0 && row >= 0 && std::size_t(row) < Events().size()) {
            ids.push_back(Events()[std::size_t(row)].id);
            blanks = IdListBlanks::Before;
        }
    } else {
        if (mode == ArchiveMode::All)
            SelectAll1Click();
        ids = TDataMod::SelectedIdList(SelectedRows(), Events()).ids;
    }
    if (ids.empty())
        return;
    ClearMemos();
    session_.ArchiveEvents(ids, blanks, reshow);
    if (reshow)
        SelectFirstRow();
}

void TFormAlarm::FollowNotifications(DesktopNotifier& notifier) {
    connect(&notifier, &DesktopNotifier::ArchiveRequested, this, &TFormAlarm::ArchiveEvent);
    connect(&notifier, &DesktopNotifier::RemindAgainRequested, this, &TFormAlarm::RemindAgainLater);
    connect(&notifier, &DesktopNotifier::OpenRequested, this,
            [this] { session_.Scheduler().OpenAlarmWindow(); });
}

void TFormAlarm::ArchiveEvent(std::int64_t id) {
    ClearMemos();
    // The list shows what is left, without the sound the buttons play again.
    session_.ArchiveEvents(std::vector<std::int64_t>{id}, IdListBlanks::Before, false);
    if (open_)
        SelectFirstRow();
}

void TFormAlarm::RemindAgainLater() {
    if (open_) {
        chRemindAgain->setChecked(true);
        close();
        return;
    }
    // The boxes as the window would have shown them.
    const auto& options = session_.Data().Options;
    chRemindAgain->setChecked(true);
    RxSpinRemindAgain->setValue(options.AgainHowLong);
    chArchiveAll->setChecked(options.IsArchiveAllAfterClose);
    FormClose();
}

void TFormAlarm::ListBoxEventActivedDblClick() {
    const int row = ListBoxEventActived->currentRow();
    if (row < 0 || std::size_t(row) >= Events().size() || !hooks_.editEvent)
        return;
    SetTopmost(false);
    const std::int64_t id = Events()[std::size_t(row)].id;
    tfield event;
    if (!session_.LoadEvent(id, event)) {
        // The event went while it was listed: show the list as it is now.
        session_.ShowPending(false);
        SelectFirstRow();
        SetTopmost(true);
        return;
    }
    if (hooks_.editEvent(event)) {
        if (session_.SaveEditedEvent(event, true) == EditedEventSave::RowGone)
            desktop::MessageBox::Information(this, QString::fromUtf8(kEditedEventGone));
        ClearMemos();
        const tArrayofField& due = Events();
        for (std::size_t i = 0; i < due.size(); ++i) {
            if (due[i].id != id)
                continue;
            const int found = int(i);
            ListBoxEventActived->setCurrentRow(found, QItemSelectionModel::NoUpdate);
            ListBoxEventActived->setFocus();
            ListBoxEventActived->item(0)->setSelected(false);
            ListBoxEventActived->item(found)->setSelected(true);
            ListBoxEventActivedClick();
            break;
        }
    }
    SetTopmost(true);
}

void TFormAlarm::DeleteEvents1Click() {
    const SelectedIds selected = TDataMod::SelectedIdList(SelectedRows(), Events());
    SetTopmost(false);
    if (selected.count == 0) {
        desktop::MessageBox::Information(this, QStringLiteral("There is no event to be delete!"));
    } else if (desktop::MessageBox::Question(
                   this,
                   QStringLiteral("Are you sure to delete the %1 event?").arg(selected.count))) {
        session_.DeleteEvents(selected.ids, IdListBlanks::Around, true);
        SelectFirstRow();
    }
    SetTopmost(true);
}

void TFormAlarm::SelectAll1Click() {
    ListBoxEventActived->selectAll();
}

bool TFormAlarm::PopupMenu1Popup(const QPoint& global) {
    if (Events().empty())
        return false;
    PopupMenu1->popup(global);
    return true;
}

void TFormAlarm::SpeedButton4Click() {
    if (hooks_.showHelp)
        hooks_.showHelp(kHelpTopic);
}

void TFormAlarm::done(int result) {
    if (open_)
        FormClose();
    QDialog::done(result);
}

void TFormAlarm::FormClose() {
    open_ = false;
    SetTopmost(false);
    ClearMemos();
    session_.AlarmWindowClosed(chRemindAgain->isChecked(), RxSpinRemindAgain->value(),
                               chArchiveAll->isChecked());
}

void TFormAlarm::SetTopmost(bool on) {
    // Only while the window is shown; its own dialogs and message boxes drop it so that
    // they are not hidden behind it. Changing the native window's flag keeps it mapped
    // (the widget's flag would hide it, and a hidden dialog leaves its modal loop).
    topmost_ = on && open_;
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowStaysOnTopHint, topmost_);
}

void TFormAlarm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        SpeedButton4Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFormAlarm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == MemoContent->viewport() || watched == MemoNote->viewport())) {
        ListBoxEventActivedDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace qcal
