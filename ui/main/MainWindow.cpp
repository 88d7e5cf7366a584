#include "ui/main/MainWindow.h"

#include <QAction>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/Names.h"
#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "ui/main/DayCell.h"
#include "ui/main/SearchPage.h"
#include "widgets/Glyphs.h"
#include "widgets/Help.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

QFont ArialPixels(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

// The page control's two tabs share its width.
class HalfWidthTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        if (parentWidget())
            size.setWidth(std::max(40, parentWidget()->width() / 2 - 2));
        return size;
    }
};

class PageControl : public QTabWidget {
public:
    explicit PageControl(QWidget* parent) : QTabWidget(parent) {
        setTabBar(new HalfWidthTabBar(this));
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        // The tab bar keeps the tab sizes it measured for the old width until something
        // about its tabs changes; have it measure them again for the new one.
        tabBar()->setIconSize(tabBar()->iconSize());
        QTabWidget::resizeEvent(event);
    }
};

QString Name(std::string_view name) {
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

// Layer lines the layer list keeps visible at the smallest window size.
constexpr int kMinimumLayerLines = 2;

// A grid line: drawn along its left edge (vertical) or its top edge (horizontal).
class GridLine : public QFrame {
public:
    GridLine(Qt::Orientation orientation, QWidget* parent)
        : QFrame(parent), orientation_(orientation) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Dark));
        if (orientation_ == Qt::Vertical) {
            p.drawLine(0, 0, 0, height());
        } else {
            p.drawLine(0, 0, width(), 0);
        }
    }

private:
    Qt::Orientation orientation_;
};

QToolButton* ToolButton(QWidget* parent, const char* name, int left, int width, const QString& hint,
                        const QIcon& icon) {
    QToolButton* button = desktop::FlatButton(parent, name, QRect(left, 6, width, 27), hint, icon);
    button->setIconSize(QSize(20, 20));
    return button;
}

QFrame* Separator(QWidget* parent, int left, QFrame::Shadow shadow) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(shadow);
    line->setGeometry(left, 6, 2, 27);
    return line;
}

}  // namespace

TFormMainCalendar::TFormMainCalendar(CalendarSession& session, QStringList arguments,
                                     QWidget* parent)
    : QWidget(parent),
      session_(session),
      dm_(session.Data()),
      arguments_(std::move(arguments)),
      monthList_(dm_) {
    setObjectName(QStringLiteral("FormMainCalendar"));
    setWindowTitle(QStringLiteral("Quenlaris Calendar"));
    resize(763, 581);
    setFont(QFont(QStringLiteral("MS Sans Serif")));

    // Start-up. The data module has already opened the database; keep it open.
    if (!dm_.Connected())
        dm_.Connect();

    CreateEventActions();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    CreateToolbar();
    outer->addWidget(Panelmain);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    outer->addLayout(body, 1);
    CreateLeftPanel();
    body->addWidget(Panelleft);
    CreatePages();
    body->addWidget(PageControl1, 1);

    PageControl1->setCurrentIndex(0);
    LoadLayers();
    dm_.LoadOptions();
    CreateGrid();
    ApplyDisplayFont();
    GoToToday();
    CreateShell();
    CreateShortcuts();
    ListenToSession();

    // Small enough for any screen, large enough that the whole toolbar and the buttons under
    // the layer list stay inside the window.
    const int toolbarRight = btnExit->geometry().right() + 1 + 8;
    const int layerButtonsBottom =
        RxCheckListBoxLayer->y() + kMinimumLayerLines * 17 + 4 + snew->height() + 5;
    setMinimumSize(std::max(toolbarRight, Panelleft->width() + 320),
                   Panelmain->height() + layerButtonsBottom);
}

void TFormMainCalendar::CreateEventActions() {
    actNewEvent = new QAction(QStringLiteral("New Event"), this);
    actNewEvent->setToolTip(QStringLiteral("New Event"));
    actNewEvent->setObjectName(QStringLiteral("actNewEvent"));
    connect(actNewEvent, &QAction::triggered, this, [this] { AddEventAt(SelectedCell()); });
    actEditEvent = new QAction(QStringLiteral("Edit Event"), this);
    actEditEvent->setObjectName(QStringLiteral("actEditEvent"));
    actEditEvent->setToolTip(QStringLiteral("Edit Event"));
    connect(actEditEvent, &QAction::triggered, this, [this] {
        if (DatePageShowing())
            EditSelectedEvent();
        else
            searchPage->ListBoxQueryDblClick();
    });
    actDeleteEvent = new QAction(QStringLiteral("Del  Event"), this);
    actDeleteEvent->setObjectName(QStringLiteral("actDeleteEvent"));
    actDeleteEvent->setToolTip(QStringLiteral("Delete Events"));
    connect(actDeleteEvent, &QAction::triggered, this, [this] {
        if (DatePageShowing())
            DeleteSelectedEvent();
        else
            searchPage->pmDeleteEventClick();
    });
}

TFormMainCalendar::~TFormMainCalendar() = default;

void TFormMainCalendar::ListenToSession() {
    connect(&session_, &CalendarSession::eventsChanged, this, &TFormMainCalendar::EventsChanged);
    connect(&session_, &CalendarSession::layersChanged, this, &TFormMainCalendar::LayersChanged);
    connect(&session_, &CalendarSession::optionsChanged, this, &TFormMainCalendar::OptionsChanged);
    connect(&session_, &CalendarSession::nothingPending, this, &TFormMainCalendar::NothingPending);
    connect(&session_, &CalendarSession::dayChanged, this, [this] {
        if (DatePageShowing())
            RxSpinYearChange();
    });
}

void TFormMainCalendar::CreateToolbar() {
    using desktop::Glyph;
    Panelmain = new QWidget(this);
    Panelmain->setObjectName(QStringLiteral("Panelmain"));
    Panelmain->setFixedHeight(37);

    // The toolbar, left to right: a raised double line at the start, then the buttons with
    // single lines between the groups.
    Separator(Panelmain, 10, QFrame::Raised);
    Separator(Panelmain, 14, QFrame::Raised);
    for (int left : {143, 236, 330, 471, 564})
        Separator(Panelmain, left, QFrame::Sunken);
    const struct {
        QToolButton** button;
        const char* name;
        int left;
        const char* hint;
        const char* themeIcon;
        QStyle::StandardPixmap fallback;
    } buttons[] = {
        {&btnAdd, "btnAdd", 21, "New Event", "appointment-new", QStyle::SP_FileIcon},
        {&btnEdit, "btnEdit", 59, "Edit Event", "document-edit", QStyle::SP_FileDialogDetailedView},
        {&btnDel, "btnDel", 97, "Delete Events", "edit-delete", QStyle::SP_TrashIcon},
        {&btnpending, "btnpending", 152, "Show Pending Events", "appointment-soon",
         QStyle::SP_MessageBoxWarning},
        {&btntoday, "btntoday", 190, "Today", "go-jump-today", QStyle::SP_ArrowDown},
        {&btnbackup, "btnbackup", 246, "Backup Events", "document-save",
         QStyle::SP_DialogSaveButton},
        {&btnrestore, "btnrestore", 284, "Restore Events", "document-revert",
         QStyle::SP_BrowserReload},
        {&btnactive, "btnactive", 340, "Enabled Alarm", "alarm-symbolic", QStyle::SP_MediaVolume},
        {&btnOption, "btnOption", 378, "Menus", "open-menu", QStyle::SP_FileDialogListView},
        {&btnHelp, "btnHelp", 425, "Help", "help-contents", QStyle::SP_DialogHelpButton},
        {&btnpreview, "btnpreview", 481, "Preview Calendar", "document-print-preview",
         QStyle::SP_FileDialogContentsView},
        {&btnprint, "btnprint", 519, "Print Calendar", "document-print", QStyle::SP_ComputerIcon},
        {&btnExit, "btnExit", 574, "Exit", "application-exit", QStyle::SP_DialogCloseButton},
    };
    for (const auto& b : buttons) {
        const int width = b.button == &btnOption ? 47 : 38;
        *b.button = ToolButton(Panelmain, b.name, b.left, width, QString::fromLatin1(b.hint),
                               Glyph(b.themeIcon, b.fallback));
    }
    btnactive->setCheckable(true);
    for (auto [button, action] : {std::pair{btnAdd, actNewEvent}, std::pair{btnEdit, actEditEvent},
                                  std::pair{btnDel, actDeleteEvent}}) {
        action->setIcon(button->icon());
        button->setDefaultAction(action);
    }

    PmFormenu = new QMenu(this);
    Preferences1 = PmFormenu->addAction(QStringLiteral("&Preferences..."));
    CompactDatabase1 = PmFormenu->addAction(QStringLiteral("&Compact Database…"));
    CompactDatabase1->setObjectName(QStringLiteral("CompactDatabase1"));
    PmFormenu->addSeparator();
    VisitsWebsite1 = PmFormenu->addAction(QStringLiteral("Visit Website..."));
    Help1 = PmFormenu->addAction(QStringLiteral("Help..."));
    About1 = PmFormenu->addAction(QStringLiteral("About..."));
    PmFormenu->setObjectName(QStringLiteral("PmFormenu"));
    Preferences1->setObjectName(QStringLiteral("Preferences1"));
    VisitsWebsite1->setObjectName(QStringLiteral("VisitsWebsite1"));
    Help1->setObjectName(QStringLiteral("Help1"));
    About1->setObjectName(QStringLiteral("About1"));
    btnOption->setMenu(PmFormenu);
    btnOption->setPopupMode(QToolButton::InstantPopup);

    connect(Preferences1, &QAction::triggered, this, &TFormMainCalendar::Preferences1Click);
    connect(Help1, &QAction::triggered, this, &TFormMainCalendar::btnHelpClick);
    connect(About1, &QAction::triggered, this, &TFormMainCalendar::About1Click);
    connect(btnHelp, &QToolButton::clicked, this, &TFormMainCalendar::btnHelpClick);
    desktop::InstallHelpKey(this, [] { return kHelpTopic; });
    CreateIcalMenuItems();

    connect(btntoday, &QToolButton::clicked, this, [this] {
        {
            // Today shows the month at once; the page change's own refresh of the month
            // would only repeat what GoToToday does.
            const QSignalBlocker quiet(PageControl1);
            PageControl1->setCurrentIndex(0);
        }
        GoToToday();
    });
    connect(btnactive, &QToolButton::clicked, this, &TFormMainCalendar::btnactiveClick);
    connect(btnpending, &QToolButton::clicked, this, &TFormMainCalendar::btnpendingClick);
    connect(btnExit, &QToolButton::clicked, this, &TFormMainCalendar::btnExitClick);
    connect(btnbackup, &QToolButton::clicked, this, &TFormMainCalendar::backupRequested);
    connect(btnrestore, &QToolButton::clicked, this, &TFormMainCalendar::restoreRequested);
    connect(CompactDatabase1, &QAction::triggered, this, &TFormMainCalendar::compactRequested);
    ConnectPrinting();
}

void TFormMainCalendar::RefreshKeepingFocus(QWidget* picker) {
    // Showing the month selects a day, and a day with lines takes the focus; the user who
    // steps the year or the month with the keys keeps stepping.
    const bool stepping = picker->hasFocus();
    RxSpinYearChange();
    if (stepping)
        picker->setFocus();
}

void TFormMainCalendar::CreateLeftPanel() {
    Panelleft = new QWidget(this);
    Panelleft->setObjectName(QStringLiteral("Panelleft"));
    Panelleft->setFixedWidth(144);

    auto* yearLabel = new QLabel(QStringLiteral("Year"), Panelleft);
    yearLabel->setFont(ArialPixels(13));
    yearLabel->setGeometry(8, 30, 127, 17);
    RxSpinYear = new QSpinBox(Panelleft);
    RxSpinYear->setObjectName(QStringLiteral("RxSpinYear"));
    RxSpinYear->setGeometry(8, 50, 127, 22);
    RxSpinYear->setRange(1000, 9999);
    RxSpinYear->setFont(ArialPixels(12));
    // Only the arrows change the year.
    RxSpinYear->findChild<QLineEdit*>()->setReadOnly(true);
    connect(RxSpinYear, &QSpinBox::valueChanged, this, [this] { RefreshKeepingFocus(RxSpinYear); });

    auto* monthLabel = new QLabel(QStringLiteral("Month"), Panelleft);
    monthLabel->setFont(ArialPixels(13));
    monthLabel->setGeometry(8, 87, 125, 17);
    ListBoxMonth = new QListWidget(Panelleft);
    ListBoxMonth->setObjectName(QStringLiteral("ListBoxMonth"));
    ListBoxMonth->setGeometry(8, 107, 125, 209);
    ListBoxMonth->setFont(ArialPixels(13));
    ListBoxMonth->setUniformItemSizes(true);
    ListBoxMonth->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (std::string_view month : kMonthNames) {
        auto* item = new QListWidgetItem(Name(month), ListBoxMonth);
        item->setSizeHint(QSize(0, 17));
    }
    connect(ListBoxMonth, &QListWidget::currentRowChanged, this,
            [this] { RefreshKeepingFocus(ListBoxMonth); });
    // A click on the month already shown reads it again; a click on another month has
    // already been handled as its change.
    ListBoxMonth->viewport()->installEventFilter(this);
    connect(ListBoxMonth, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (ListBoxMonth->row(item) == monthAtPress_)
            RxSpinYearChange();
    });

    auto* layerLabel = new QLabel(QStringLiteral("Layer"), Panelleft);
    layerLabel->setFont(ArialPixels(13));
    layerLabel->setGeometry(8, 332, 125, 17);
    CreateLayerControls();
}

void TFormMainCalendar::CreatePages() {
    PageControl1 = new PageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Date"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Search Events"));

    auto* page = new QVBoxLayout(TabSheet1);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    Paneltext = new QWidget(TabSheet1);
    Paneltext->setObjectName(QStringLiteral("Paneltext"));
    Paneltext->setFixedHeight(22);
    page->addWidget(Paneltext);
    for (int k = 0; k < 7; ++k) {
        auto* label = new QLabel(Name(kWeekdayShortNames[std::size_t(k)]), Paneltext);
        label->setObjectName(QStringLiteral("l%1").arg(k + 1));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(ArialPixels(13));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
        label->setPalette(pal);
        weekdayLabels[std::size_t(k)] = label;
    }
    PanelDay = new QWidget(TabSheet1);
    PanelDay->setObjectName(QStringLiteral("PanelDay"));
    PanelDay->installEventFilter(this);
    page->addWidget(PanelDay, 1);
    CreateSearchPage();
}

void TFormMainCalendar::CreateGrid() {
    for (std::size_t k = 0; k < V.size(); ++k) {
        V[k] = new GridLine(Qt::Vertical, PanelDay);
        V[k]->setObjectName(QStringLiteral("V%1").arg(k));
    }
    for (std::size_t k = 0; k < H.size(); ++k) {
        H[k] = new GridLine(Qt::Horizontal, PanelDay);
        H[k]->setObjectName(QStringLiteral("H%1").arg(k));
    }

    pmForBtn = new QMenu(this);
    pmForBtn->setObjectName(QStringLiteral("pmForBtn"));
    pmForBtn->addAction(actNewEvent);
    pmForlistbox = new QMenu(this);
    pmForlistbox->setObjectName(QStringLiteral("pmForlistbox"));
    pmForlistbox->addActions({actNewEvent, actEditEvent, actDeleteEvent});

    dayButtons_ = new QButtonGroup(this);
    dayButtons_->setExclusive(true);
    for (int n = 1; n <= kCellCount; ++n) {
        auto cell =
            std::make_unique<Tlable_listbox>(PanelDay, n, *dayButtons_, pmForBtn, pmForlistbox);
        connect(cell.get(), &Tlable_listbox::buttonClicked, this,
                &TFormMainCalendar::DayButtonClick);
        connect(cell.get(), &Tlable_listbox::buttonDoubleClicked, actNewEvent, &QAction::trigger);
        connect(cell.get(), &Tlable_listbox::listClicked, this, &TFormMainCalendar::CellListClick);
        connect(cell.get(), &Tlable_listbox::listDoubleClicked, actEditEvent, &QAction::trigger);
        connect(cell.get(), &Tlable_listbox::deleteRequested, actDeleteEvent, &QAction::trigger);
        cells_[std::size_t(n - 1)] = std::move(cell);
    }
}

void TFormMainCalendar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!activated_) {
        activated_ = true;
        FormActivate();
    }
}

void TFormMainCalendar::FormActivate() {
    FormResize();
    btnactive->setChecked(dm_.Options.IsAlarmEnabled);
    btnactive->setToolTip(btnactive->isChecked() ? QStringLiteral("Enabled Alarm")
                                                 : QStringLiteral("Disabled Alarm"));
    // Events that fell due while the program was not running are shown once the window is
    // on the screen, whether or not the alarms are enabled.
    QTimer::singleShot(0, &session_, &CalendarSession::Start);
}

bool TFormMainCalendar::StartsMinimised() const {
    return dm_.Options.IsStartWhenWindow && dm_.Options.IsMinimize && !arguments_.isEmpty() &&
           arguments_.first() == QStringLiteral("autorun");
}

void TFormMainCalendar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (activated_)
        FormResize();
}

bool TFormMainCalendar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PanelDay && event->type() == QEvent::Resize && activated_)
        LayoutGrid();
    if (watched == ListBoxMonth->viewport() && event->type() == QEvent::MouseButtonPress)
        monthAtPress_ = ListBoxMonth->currentRow();
    return QWidget::eventFilter(watched, event);
}

void TFormMainCalendar::btnactiveClick() {
    // The button has already changed its state.
    if (btnactive->isChecked()) {
        btnactive->setToolTip(QStringLiteral("Enabled Alarm"));
    } else if (desktop::MessageBox::Question(this,
                                             QStringLiteral("Do you want to disable the alarm?"))) {
        btnactive->setToolTip(QStringLiteral("Disabled Alarm"));
    } else {
        btnactive->setChecked(true);
    }
    session_.SetAlarmsEnabled(btnactive->isChecked());
}

}  // namespace qcal
