#include "ui/editor/EventEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStringList>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>
#include <utility>

#include "core/Ascii.h"
#include "core/EventChecks.h"
#include "core/Names.h"
#include "store/DataModule.h"
#include "widgets/Convert.h"
#include "widgets/Glyphs.h"
#include "widgets/Help.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kNoneHint =
    "When the type of repeat is None, the\rdate of Between and And is the same!";

template <std::size_t N>
QStringList Lines(const std::array<std::string_view, N>& names) {
    QStringList lines;
    for (std::string_view name : names)
        lines << QString::fromUtf8(name.data(), qsizetype(name.size()));
    return lines;
}

QSpinBox* MakeSpin(int minimum, int maximum) {
    auto* spin = new QSpinBox;
    spin->setRange(minimum, maximum);
    return spin;
}

QComboBox* MakeList(const QStringList& lines) {
    auto* combo = new QComboBox;
    combo->addItems(lines);
    return combo;
}

// A stored line index; one outside the list selects the first line, so that the record
// written back always names a line of the list.
void SelectLine(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (QWidget* w : widgets)
        row->addWidget(w);
    row->addStretch(1);
    return row;
}

// A page of the repeat panel: its lines top to bottom.
QWidget* Page(std::initializer_list<QLayout*> rows) {
    auto* page = new QWidget;
    auto* box = new QVBoxLayout(page);
    box->setContentsMargins(8, 6, 6, 6);
    box->setSpacing(8);
    for (QLayout* row : rows)
        box->addLayout(row);
    box->addStretch(1);
    return page;
}

QLabel* Text(const char* text) {
    return new QLabel(S(text));
}

void Exclusive(QObject* owner, std::initializer_list<QRadioButton*> buttons) {
    auto* group = new QButtonGroup(owner);
    for (QRadioButton* b : buttons)
        group->addButton(b);
}

}  // namespace

TmyFormNewOrEdit::TmyFormNewOrEdit(TDataMod& dm, Mode mode, NewLayerAction newLayer,
                                   QWidget* parent)
    : QDialog(parent), dm_(dm), mode_(mode), newLayer_(std::move(newLayer)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildControls();
    const bool editing = mode_ == Mode::Edit;
    setWindowTitle(editing ? S("Edit Event") : S("New Event"));
    btnOK->setText(editing ? S("&Save") : S("&Add"));
    setFixedSize(557, 445);
}

int TmyFormNewOrEdit::HelpTopic() const {
    return mode_ == Mode::Edit ? 23 : 41;
}

// ---------------------------------------------------------------------------------------
// Building the window

void TmyFormNewOrEdit::BuildControls() {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    int line = 0;
    auto caption = [&](const char* text, Qt::Alignment align = Qt::AlignVCenter) {
        grid->addWidget(Text(text), line, 0, Qt::AlignLeft | align);
    };

    // Four-digit years, whatever the locale's short format says.
    QString dateFormat = QLocale().dateFormat(QLocale::ShortFormat);
    if (!dateFormat.contains(S("yyyy")))
        dateFormat.replace(S("yy"), S("yyyy"));
    auto makeDate = [&] {
        auto* edit = new QDateEdit;
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(dateFormat);
        edit->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
        edit->setMinimumWidth(120);
        return edit;
    };
    auto makeTime = [] {
        auto* edit = new QTimeEdit;
        edit->setDisplayFormat(S("HH:mm:ss"));
        edit->setMinimumWidth(120);
        return edit;
    };

    caption("Period:");
    dtBeginDate = makeDate();
    dtEndDate = makeDate();
    grid->addLayout(Row({Text("Between"), dtBeginDate, Text("and"), dtEndDate}), line++, 1);

    caption("Time:");
    dtBeginTime = makeTime();
    dtEndTime = makeTime();
    chAllDay = new QCheckBox(S("All day"));
    grid->addLayout(Row({Text("Begin"), dtBeginTime, Text("end"), dtEndTime, chAllDay}), line++, 1);

    caption("Ends:");
    radioEndsNever = new QRadioButton(S("never"));
    radioEndsOn = new QRadioButton(S("on date"));
    radioEndsOn->setChecked(true);
    grid->addLayout(Row({radioEndsNever, radioEndsOn}), line++, 1);

    caption("Repeat:", Qt::AlignTop);
    auto* panel = new QFrame;
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto* panelBox = new QHBoxLayout(panel);
    panelBox->setContentsMargins(4, 4, 4, 4);
    ListBoxType = new QListWidget;
    ListBoxType->addItems(Lines(kRepeatNames));
    ListBoxType->setFixedWidth(80);
    ListBoxType->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBoxType->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    NotebookRepeat = new QStackedWidget;
    NotebookRepeat->addWidget(BuildPageNone());
    NotebookRepeat->addWidget(BuildPageDaily());
    NotebookRepeat->addWidget(BuildPageWeekly());
    NotebookRepeat->addWidget(BuildPageMonthly());
    NotebookRepeat->addWidget(BuildPageYearly());
    panelBox->addWidget(ListBoxType);
    panelBox->addWidget(NotebookRepeat, 1);
    panel->setFixedHeight(ListBoxType->sizeHintForRow(0) * 5 + 14);
    grid->addWidget(panel, line++, 1);

    caption("Layer:");
    cbLayer = new QComboBox;
    cbLayer->setEditable(false);
    cbLayer->setMinimumWidth(160);
    SpeedButton3 = new QToolButton;
    SpeedButton3->setAutoRaise(true);
    SpeedButton3->setToolTip(S("New Layer"));
    SpeedButton3->setIcon(desktop::Glyph("list-add", QStyle::SP_FileDialogNewFolder));
    LabelArchived = new QLabel;
    auto* layerRow = Row({cbLayer, SpeedButton3});
    layerRow->addWidget(Text("Last Archive:"));
    layerRow->addWidget(LabelArchived);
    grid->addLayout(layerRow, line++, 1);

    chAlarm = new QCheckBox(S("Alarm when event is due"));
    spinRemind = new QSpinBox;
    spinRemind->setRange(0, kMaxRemindBefore);
    auto* alarmRow = Row({chAlarm, Text("Remind me"), spinRemind, Text("minutes before")});
    grid->addLayout(alarmRow, line++, 1);

    caption("Subject:");
    EditSubject = desktop::TextLine();
    grid->addWidget(EditSubject, line++, 1);

    auto makeMemo = [] {
        auto* memo = new QPlainTextEdit;
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return memo;
    };
    caption("Content:", Qt::AlignTop);
    MemoContent = makeMemo();
    grid->addWidget(MemoContent, line, 1);
    grid->setRowStretch(line++, 1);
    caption("Note:", Qt::AlignTop);
    MemoNote = makeMemo();
    grid->addWidget(MemoNote, line, 1);
    grid->setRowStretch(line++, 1);

    BitBtn1 = new QPushButton(desktop::HelpGlyph(), S("&Help"));
    btnOK = new QPushButton(S("OK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(S("Can&cel"));
    btnCancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    grid->addLayout(buttons, line++, 0, 1, 2);

    for (QPushButton* b : {BitBtn1, btnOK, btnCancel})
        b->setMinimumWidth(80);

    connect(ListBoxType, &QListWidget::currentRowChanged, this,
            &TmyFormNewOrEdit::ListBoxTypeClick);
    // A click on the line that is already current runs the action again.
    connect(ListBoxType, &QListWidget::itemClicked, this, &TmyFormNewOrEdit::ListBoxTypeClick);
    connect(dtBeginDate, &QDateEdit::dateChanged, this, &TmyFormNewOrEdit::dtBeginDateChange);
    connect(dtEndDate, &QDateEdit::dateChanged, this, &TmyFormNewOrEdit::dtEndDateChange);
    connect(chAllDay, &QCheckBox::toggled, this, &TmyFormNewOrEdit::EnableDependents);
    connect(radioEndsNever, &QRadioButton::toggled, this, &TmyFormNewOrEdit::EnableDependents);
    connect(chAlarm, &QCheckBox::toggled, this, &TmyFormNewOrEdit::EnableDependents);
    connect(btnOK, &QPushButton::clicked, this, &TmyFormNewOrEdit::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TmyFormNewOrEdit::btnCancelClick);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { desktop::ShowHelp(HelpTopic(), this); });
    desktop::InstallHelpKey(this, [this] { return HelpTopic(); });
    connect(SpeedButton3, &QToolButton::clicked, this, &TmyFormNewOrEdit::SpeedButton3Click);
}

QWidget* TmyFormNewOrEdit::BuildPageNone() {
    auto* label = Text(
        "When the type of repeat is None, the Between and And\n"
        "dates will be the same, because the event only occurs once.");
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Wraps further rather than widening the window when the font is larger.
    label->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    return Page({row});
}

QWidget* TmyFormNewOrEdit::BuildPageDaily() {
    radio1_1 = new QRadioButton(S("Every"));
    spin1_day = MakeSpin(1, 10000);
    radio1_2 = new QRadioButton(S("Every workday ( Everyday except sunday and saturday )"));
    radio1_1->setChecked(true);
    Exclusive(this, {radio1_1, radio1_2});
    return Page({Row({radio1_1, spin1_day, Text("days")}), Row({radio1_2})});
}

QWidget* TmyFormNewOrEdit::BuildPageWeekly() {
    radio2_1 = new QRadioButton(S("Every"));
    spin2_week = MakeSpin(1, 52);
    radio2_1->setChecked(true);
    Exclusive(this, {radio2_1});
    const QStringList days = Lines(kWeekdayShortNames);
    for (int k = 0; k < 7; ++k)
        weekBoxes_[k] = new QCheckBox(days[k]);
    ch2_sun = weekBoxes_[0];
    ch2_mon = weekBoxes_[1];
    ch2_tue = weekBoxes_[2];
    ch2_wed = weekBoxes_[3];
    ch2_thu = weekBoxes_[4];
    ch2_fri = weekBoxes_[5];
    ch2_sat = weekBoxes_[6];
    return Page({Row({radio2_1, spin2_week, Text("week on")}),
                 Row({ch2_sun, ch2_mon, ch2_tue, ch2_wed, ch2_thu, ch2_fri, ch2_sat})});
}

QWidget* TmyFormNewOrEdit::BuildPageMonthly() {
    radio3_1 = new QRadioButton(S("Day"));
    spin3_day = MakeSpin(1, 31);
    spin3_month = MakeSpin(1, 12);
    radio3_2 = new QRadioButton;
    cb3_first = MakeList(Lines(kOrdinalNames));
    cb3_week = MakeList(Lines(kDayKindNames));
    spin3_month_how = MakeSpin(1, 12);
    radio3_1->setChecked(true);
    Exclusive(this, {radio3_1, radio3_2});
    return Page(
        {Row({radio3_1, spin3_day, Text("every"), spin3_month, Text("month")}),
         Row({radio3_2, cb3_first, cb3_week, Text("every"), spin3_month_how, Text("month")})});
}

QWidget* TmyFormNewOrEdit::BuildPageYearly() {
    Radio4_1 = new QRadioButton(S("Every"));
    spin4_day = MakeSpin(1, 31);
    cb4_month = MakeList(Lines(kMonthNames));
    radio4_2 = new QRadioButton(S("Every"));
    cb4_first = MakeList(Lines(kOrdinalNames));
    cb4_week = MakeList(Lines(kDayKindNames));
    cb4_month_how = MakeList(Lines(kMonthNames));
    Radio4_1->setChecked(true);
    Exclusive(this, {Radio4_1, radio4_2});
    return Page({Row({Radio4_1, spin4_day, Text("of"), cb4_month}),
                 Row({radio4_2, cb4_first, cb4_week, Text("in"), cb4_month_how})});
}

// ---------------------------------------------------------------------------------------
// Show

void TmyFormNewOrEdit::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    FormShow();
}

void TmyFormNewOrEdit::FormShow() {
    FillLayerBox();
    FillControls();
    // The subject is what a user types first.
    EditSubject->setFocus();
}

void TmyFormNewOrEdit::FillLayerBox() {
    cbLayer->clear();
    for (const tlayinfo& layer : dm_.Layers)
        cbLayer->addItem(desktop::Q(layer.name));
    // Without any layer an event cannot be kept: say where layers come from.
    cbLayer->setPlaceholderText(cbLayer->count() == 0 ? S("No layer yet: add one with New Layer")
                                                      : QString());
}

void TmyFormNewOrEdit::FillControls() {
    const tfield& e = EventRec;

    // A kind outside the list (never written by this dialog) is shown as None.
    const int type = e.repeatType >= kRepeatNone && e.repeatType <= kRepeatYearly
                         ? e.repeatType
                         : int(kRepeatNone);
    {
        const QSignalBlocker block(ListBoxType);
        ListBoxType->setCurrentRow(type);
    }
    ListBoxTypeClick();

    settingDates_ = true;
    dtBeginDate->setDate(desktop::ToQDate(e.begindate));
    dtEndDate->setDate(desktop::ToQDate(e.enddate));
    settingDates_ = false;
    dtBeginTime->setTime(desktop::ToQTime(e.beginTime));
    dtEndTime->setTime(desktop::ToQTime(e.endtime));
    EditSubject->setText(desktop::Q(e.subject));
    MemoContent->setPlainText(desktop::Q(e.content));
    MemoNote->setPlainText(desktop::Q(e.mynote));
    subject_ = {e.subject, EditSubject->text()};
    content_ = {e.content, MemoContent->toPlainText()};
    note_ = {e.mynote, MemoNote->toPlainText()};
    chAlarm->setChecked(e.alert);
    chAllDay->setChecked(e.allDay);
    spinRemind->setValue(std::clamp(e.remindBefore, 0, kMaxRemindBefore));
    (e.openEnd ? radioEndsNever : radioEndsOn)->setChecked(true);
    // An end date that is the last day there is is shown as never ending.
    if (e.openEnd && DayOf(e.enddate) >= kOpenEndDay) {
        settingDates_ = true;
        dtEndDate->setDate(desktop::ToQDate(e.begindate).addDays(MinimumSpanDays(type)));
        settingDates_ = false;
    }
    EnableDependents();

    cbLayer->setCurrentIndex(cbLayer->findText(desktop::Q(e.layername), Qt::MatchFixedString));

    if (e.dayType == kDayEveryN)
        radio1_1->setChecked(true);
    if (e.dayType == kDayWorkday)
        radio1_2->setChecked(true);
    spin1_day->setValue(e.dayEvery0);

    if (e.weekType == 0)
        radio2_1->setChecked(true);
    spin2_week->setValue(e.weekEvery0);
    const std::size_t known = std::min<std::size_t>(e.weekSelected0.size(), 7);
    for (std::size_t k = 0; k < known; ++k) {
        weekBoxes_[k]->setChecked(AsciiUpper(e.weekSelected0[k]) == 'T');
    }

    if (e.monthType == kMonthDayN)
        radio3_1->setChecked(true);
    if (e.monthType == kMonthNth)
        radio3_2->setChecked(true);
    spin3_day->setValue(e.monthDay0);
    spin3_month->setValue(e.monthEvery0);
    SelectLine(cb3_first, e.monthspecial1);
    SelectLine(cb3_week, e.monthDayorWeek1);
    spin3_month_how->setValue(e.monthEvery1);

    if (e.yearType == kYearDate)
        Radio4_1->setChecked(true);
    if (e.yearType == kYearNth)
        radio4_2->setChecked(true);
    spin4_day->setValue(e.yearDay0);
    SelectLine(cb4_month, e.yearMonth0);
    SelectLine(cb4_first, e.yearspecial1);
    SelectLine(cb4_week, e.yearDayorWeek1);
    SelectLine(cb4_month_how, e.yearMonth1);

    if (e.lastFileTime > 1) {
        const std::string format = dm_.Options.DateFormat + " " + dm_.Options.TimeFormat;
        LabelArchived->setText(desktop::Q(dm_.Format(format, e.lastFileTime)));
    } else {
        LabelArchived->setText(S("Not Archived"));
    }
}

// ---------------------------------------------------------------------------------------
// Repeat type and dates

bool TmyFormNewOrEdit::NoWeekdayChecked() const {
    return std::none_of(std::begin(weekBoxes_), std::end(weekBoxes_),
                        [](const QCheckBox* b) { return b->isChecked(); });
}

void TmyFormNewOrEdit::ListBoxTypeClick() {
    const int type = ListBoxType->currentRow();
    if (type >= 0)
        NotebookRepeat->setCurrentIndex(type);

    const QDate begin = dtBeginDate->date();
    const qint64 span = begin.daysTo(dtEndDate->date());
    auto setEnd = [&](QDate date) {
        settingDates_ = true;
        dtEndDate->setDate(date);
        settingDates_ = false;
    };

    if (type == kRepeatNone) {
        setEnd(begin);
        dtBeginDate->setToolTip(S(kNoneHint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    } else if (type > kRepeatNone && type <= kRepeatYearly) {
        dtBeginDate->setToolTip(QString());
        const int least = MinimumSpanDays(type);
        if (span < least)
            setEnd(begin.addDays(least));
        // QDate counts Monday 1 .. Sunday 7; the boxes start with Sunday.
        if (type == kRepeatWeekly && NoWeekdayChecked())
            weekBoxes_[dtEndDate->date().dayOfWeek() % 7]->setChecked(true);
    }
    dtEndDate->setToolTip(dtBeginDate->toolTip());
    EnableDependents();
}

void TmyFormNewOrEdit::EnableDependents() {
    const bool repeating = ListBoxType->currentRow() > kRepeatNone;
    radioEndsNever->setEnabled(repeating);
    radioEndsOn->setEnabled(repeating);
    dtEndDate->setEnabled(!repeating || !radioEndsNever->isChecked());
    dtBeginTime->setEnabled(!chAllDay->isChecked());
    dtEndTime->setEnabled(!chAllDay->isChecked());
    spinRemind->setEnabled(chAlarm->isChecked());
}

void TmyFormNewOrEdit::dtBeginDateChange() {
    if (settingDates_ || ListBoxType->currentRow() != kRepeatNone)
        return;
    settingDates_ = true;
    dtEndDate->setDate(dtBeginDate->date());
    settingDates_ = false;
}

void TmyFormNewOrEdit::dtEndDateChange() {
    if (settingDates_ || ListBoxType->currentRow() != kRepeatNone)
        return;
    settingDates_ = true;
    dtBeginDate->setDate(dtEndDate->date());
    settingDates_ = false;
}

// ---------------------------------------------------------------------------------------
// OK and Cancel

void TmyFormNewOrEdit::TakeControls() {
    tfield& e = EventRec;
    e.repeatType = ListBoxType->currentRow();
    e.begindate = desktop::FromQDate(dtBeginDate->date());
    e.enddate = desktop::FromQDate(dtEndDate->date());
    e.beginTime = desktop::FromQTime(dtBeginTime->time());
    e.endtime = desktop::FromQTime(dtEndTime->time());
    e.subject = TakeText(EditSubject->text(), subject_);
    e.content = TakeText(MemoContent->toPlainText(), content_);
    e.mynote = TakeText(MemoNote->toPlainText(), note_);
    e.alert = chAlarm->isChecked();
    e.remindBefore = spinRemind->value();
    e.allDay = chAllDay->isChecked();
    if (e.allDay) {
        // The whole day, so that the end lies after the begin.
        e.beginTime = 0;
        e.endtime = EncodeTime(23, 59);
    }
    e.openEnd = e.repeatType > kRepeatNone && radioEndsNever->isChecked();
    if (e.openEnd)
        e.enddate = kOpenEndDay;
    e.layername = desktop::Std(cbLayer->currentText());

    e.dayType = radio1_1->isChecked() ? kDayEveryN : kDayWorkday;
    e.dayEvery0 = spin1_day->value();

    if (radio2_1->isChecked())
        e.weekType = 0;
    e.weekEvery0 = spin2_week->value();
    e.weekSelected0 = "FFFFFFF";
    for (std::size_t k = 0; k < 7; ++k) {
        if (weekBoxes_[k]->isChecked())
            e.weekSelected0[k] = 'T';
    }

    e.monthType = radio3_1->isChecked() ? kMonthDayN : kMonthNth;
    e.monthDay0 = spin3_day->value();
    e.monthEvery0 = spin3_month->value();
    e.monthspecial1 = cb3_first->currentIndex();
    e.monthDayorWeek1 = cb3_week->currentIndex();
    e.monthEvery1 = spin3_month_how->value();

    e.yearType = Radio4_1->isChecked() ? kYearDate : kYearNth;
    e.yearDay0 = spin4_day->value();
    e.yearMonth0 = cb4_month->currentIndex();
    e.yearspecial1 = cb4_first->currentIndex();
    e.yearDayorWeek1 = cb4_week->currentIndex();
    e.yearMonth1 = cb4_month_how->currentIndex();
}

std::string TmyFormNewOrEdit::TakeText(const QString& now, const ShownText& loaded) {
    return now == loaded.shown ? loaded.stored : desktop::Std(now);
}

bool TmyFormNewOrEdit::CheckInput() {
    // TakeControls has put the layer box's text and the weekday boxes into the record.
    const std::string_view failure = CheckEvent(EventRec);
    if (failure.empty())
        return true;
    desktop::MessageBox::Error(this, QString::fromUtf8(failure.data(), qsizetype(failure.size())));
    return false;
}

void TmyFormNewOrEdit::btnOKClick() {
    EditSubject->setFocus();
    TakeControls();
    if (CheckInput())
        accept();
}

void TmyFormNewOrEdit::btnCancelClick() {
    reject();
}

void TmyFormNewOrEdit::SpeedButton3Click() {
    if (!newLayer_ || !newLayer_(this))
        return;
    FillLayerBox();
    cbLayer->setCurrentIndex(cbLayer->count() - 1);
}

}  // namespace qcal
