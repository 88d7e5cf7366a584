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
#include <cctype>
#include <iterator>
#include <utility>

#include "platform/desktop/Convert.h"
#include "platform/desktop/Glyphs.h"
#include "platform/desktop/MessageBox.h"
#include "store/DataModule.h"

namespace qcal {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// Message texts: "\r" is the line break of the message boxes.
const char* const kNoneHint =
    "When the type of repeat is None, the\rdate of Between and And is the same!";
const char* const kLayerBlank = "The layer name can not be blank!";
const char* const kSubjectBlank = "The subject can not be blank!";
const char* const kTimeOrder = "The time of End must be later than the time of Begin!";
const char* const kDailySpan =
    "When the Daily item of Repeat selected,the date of And\r"
    "must later at least 1 day than the date of Between!";
const char* const kWeeklySpan =
    "When the Weekly item of Repeat selected,the date of And\r"
    "must later at least 1 week than the date of Between!";
const char* const kWeeklyNoDay = "When the Weekly item selected,\rYou must select at least a day!";
const char* const kMonthlySpan =
    "When the Monthly item of Repeat selected,the date of And\r"
    "must later at least 1 month than the date of Between!";
const char* const kYearlySpan =
    "When the Yearly item of Repeat selected,the date of And\r"
    "must later at least 1 year than the date of Between!";

const QStringList kRepeatNames{S("None"), S("Daily"), S("Weekly"), S("Monthly"), S("Yearly")};
const QStringList kOrdinals{S("First"), S("Second"), S("Third"), S("Fourth"), S("Last")};
const QStringList kDayKinds{S("Day"),       S("Weekday"),  S("Sunday"), S("Monday"),  S("Tuesday"),
                            S("Wednesday"), S("Thursday"), S("Friday"), S("Saturday")};
const QStringList kMonths{S("January"),   S("February"), S("March"),    S("April"),
                          S("May"),       S("June"),     S("July"),     S("August"),
                          S("September"), S("October"),  S("November"), S("December")};

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

TmyFormNewOrEdit::TmyFormNewOrEdit(TDataMod& dm, NewLayerAction newLayer, QWidget* parent)
    : QDialog(parent), dm_(dm), newLayer_(std::move(newLayer)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildControls();
    setFixedSize(557, 445);
}

int TmyFormNewOrEdit::HelpTopic() const {
    return windowTitle() == S("Edit Event") ? 23 : 41;
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
    grid->addLayout(Row({Text("Begin"), dtBeginTime, Text("end"), dtEndTime}), line++, 1);

    caption("Repeat:", Qt::AlignTop);
    auto* panel = new QFrame;
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto* panelBox = new QHBoxLayout(panel);
    panelBox->setContentsMargins(4, 4, 4, 4);
    ListBoxType = new QListWidget;
    ListBoxType->addItems(kRepeatNames);
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
    grid->addWidget(chAlarm, line++, 1);

    caption("Subject:");
    EditSubject = new QLineEdit;
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

    BitBtn1 = new QPushButton(S("&Help"));
    // There is no help viewer yet: the button keeps its place, disabled, until there is one.
    BitBtn1->setEnabled(false);
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
    connect(btnOK, &QPushButton::clicked, this, &TmyFormNewOrEdit::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TmyFormNewOrEdit::btnCancelClick);
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
    ch2_sun = new QCheckBox(S("Sun"));
    ch2_mon = new QCheckBox(S("Mon"));
    ch2_tue = new QCheckBox(S("Tue"));
    ch2_wed = new QCheckBox(S("Wed"));
    ch2_thu = new QCheckBox(S("Thu"));
    ch2_fri = new QCheckBox(S("Fri"));
    ch2_sat = new QCheckBox(S("Sat"));
    QCheckBox* boxes[7] = {ch2_sun, ch2_mon, ch2_tue, ch2_wed, ch2_thu, ch2_fri, ch2_sat};
    std::copy(std::begin(boxes), std::end(boxes), weekBoxes_);
    return Page({Row({radio2_1, spin2_week, Text("week on")}),
                 Row({ch2_sun, ch2_mon, ch2_tue, ch2_wed, ch2_thu, ch2_fri, ch2_sat})});
}

QWidget* TmyFormNewOrEdit::BuildPageMonthly() {
    radio3_1 = new QRadioButton(S("Day"));
    spin3_day = MakeSpin(1, 31);
    spin3_month = MakeSpin(1, 12);
    radio3_2 = new QRadioButton;
    cb3_first = MakeList(kOrdinals);
    cb3_week = MakeList(kDayKinds);
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
    cb4_month = MakeList(kMonths);
    radio4_2 = new QRadioButton(S("Every"));
    cb4_first = MakeList(kOrdinals);
    cb4_week = MakeList(kDayKinds);
    cb4_month_how = MakeList(kMonths);
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
    // The help context (HelpTopic) is given to the help viewer once it exists; see BitBtn1.
}

void TmyFormNewOrEdit::FillLayerBox() {
    cbLayer->clear();
    for (const tlayinfo& layer : dm_.Layers)
        cbLayer->addItem(desktop::Q(layer.name));
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
    chAlarm->setChecked(e.alert);

    cbLayer->setCurrentIndex(cbLayer->findText(desktop::Q(e.layername), Qt::MatchFixedString));

    if (e.dayType == 0)
        radio1_1->setChecked(true);
    if (e.dayType == 1)
        radio1_2->setChecked(true);
    spin1_day->setValue(e.dayEvery0);

    if (e.weekType == 0)
        radio2_1->setChecked(true);
    spin2_week->setValue(e.weekEvery0);
    const std::size_t known = std::min<std::size_t>(e.weekSelected0.size(), 7);
    for (std::size_t k = 0; k < known; ++k) {
        const char c = char(std::toupper(static_cast<unsigned char>(e.weekSelected0[k])));
        weekBoxes_[k]->setChecked(c == 'T');
    }

    if (e.monthType == 0)
        radio3_1->setChecked(true);
    if (e.monthType == 1)
        radio3_2->setChecked(true);
    spin3_day->setValue(e.monthDay0);
    spin3_month->setValue(e.monthEvery0);
    SelectLine(cb3_first, e.monthspecial1);
    SelectLine(cb3_week, e.monthDayorWeek1);
    spin3_month_how->setValue(e.monthEvery1);

    if (e.yearType == 0)
        Radio4_1->setChecked(true);
    if (e.yearType == 1)
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

    switch (type) {
        case kRepeatNone:
            setEnd(begin);
            dtBeginDate->setToolTip(S(kNoneHint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
            break;
        case kRepeatDaily:
            dtBeginDate->setToolTip(QString());
            if (span <= 0)
                setEnd(begin.addDays(1));
            break;
        case kRepeatWeekly:
            dtBeginDate->setToolTip(QString());
            if (span < 7)
                setEnd(begin.addDays(7));
            // QDate counts Monday 1 .. Sunday 7; the boxes start with Sunday.
            if (NoWeekdayChecked())
                weekBoxes_[dtEndDate->date().dayOfWeek() % 7]->setChecked(true);
            break;
        case kRepeatMonthly:
            dtBeginDate->setToolTip(QString());
            if (span < 28)
                setEnd(begin.addDays(28));
            break;
        case kRepeatYearly:
            dtBeginDate->setToolTip(QString());
            if (span < 365)
                setEnd(begin.addDays(365));
            break;
        default:
            break;
    }
    dtEndDate->setToolTip(dtBeginDate->toolTip());
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
    e.subject = desktop::Std(EditSubject->text());
    e.content = desktop::Std(MemoContent->toPlainText());
    e.mynote = desktop::Std(MemoNote->toPlainText());
    e.alert = chAlarm->isChecked();
    e.layername = desktop::Std(cbLayer->currentText());

    e.dayType = radio1_1->isChecked() ? 0 : 1;
    e.dayEvery0 = spin1_day->value();

    if (radio2_1->isChecked())
        e.weekType = 0;
    e.weekEvery0 = spin2_week->value();
    e.weekSelected0 = "FFFFFFF";
    for (std::size_t k = 0; k < 7; ++k) {
        if (weekBoxes_[k]->isChecked())
            e.weekSelected0[k] = 'T';
    }

    e.monthType = radio3_1->isChecked() ? 0 : 1;
    e.monthDay0 = spin3_day->value();
    e.monthEvery0 = spin3_month->value();
    e.monthspecial1 = cb3_first->currentIndex();
    e.monthDayorWeek1 = cb3_week->currentIndex();
    e.monthEvery1 = spin3_month_how->value();

    e.yearType = Radio4_1->isChecked() ? 0 : 1;
    e.yearDay0 = spin4_day->value();
    e.yearMonth0 = cb4_month->currentIndex();
    e.yearspecial1 = cb4_first->currentIndex();
    e.yearDayorWeek1 = cb4_week->currentIndex();
    e.yearMonth1 = cb4_month_how->currentIndex();
}

bool TmyFormNewOrEdit::CheckInput() {
    const tfield& e = EventRec;
    const int begin = DayOf(e.begindate);
    const int end = DayOf(e.enddate);
    const char* failure = nullptr;
    if (desktop::TrimBlanks(cbLayer->currentText()).isEmpty()) {
        failure = kLayerBlank;
    } else if (desktop::TrimBlanks(desktop::Q(e.subject)).isEmpty()) {
        failure = kSubjectBlank;
    } else if (e.beginTime >= e.endtime) {
        failure = kTimeOrder;
    } else if (e.repeatType == kRepeatDaily && begin + 1 > end) {
        failure = kDailySpan;
    } else if (e.repeatType == kRepeatWeekly && end < begin + 7) {
        failure = kWeeklySpan;
    } else if (e.repeatType == kRepeatWeekly && NoWeekdayChecked()) {
        failure = kWeeklyNoDay;
    } else if (e.repeatType == kRepeatMonthly && end < begin + 28) {
        failure = kMonthlySpan;
    } else if (e.repeatType == kRepeatYearly && end < begin + 365) {
        failure = kYearlySpan;
    }
    if (!failure)
        return true;
    desktop::MessageBox::Error(this, S(failure));
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
