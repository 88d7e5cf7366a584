#include "ui/main/SearchCriteria.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

#include "core/Clock.h"
#include "widgets/Convert.h"

namespace qcal {
namespace {

constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 82;
constexpr int kPanelHeight = 146;
constexpr int kLeft = 8;

const QDate kDayZero(1899, 12, 30);

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

SearchCriteria::SearchCriteria(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PanelSearch"));
    setFixedHeight(kPanelHeight);

    Label6 = Label(this, "Label6", "Search Type", QRect(kLeft, 6, 120, 16));
    comSearchType = new QComboBox(this);
    comSearchType->setObjectName(QStringLiteral("comSearchType"));
    comSearchType->setGeometry(kLeft, 22, 400, 22);
    for (const char* item : kSearchTypeItems)
        comSearchType->addItem(QString::fromUtf8(item));
    comSearchType->setCurrentIndex(-1);

    btnSearch = new QToolButton(this);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setText(QStringLiteral("Search"));
    btnSearch->setAutoRaise(true);
    btnSearch->setGeometry(kLeft + 403, 22, kButtonWidth, kButtonHeight);
    QPalette red = btnSearch->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    btnSearch->setPalette(red);

    Label7 = Label(this, "Label7", "Search Period", QRect(kLeft, 50, 120, 16));
    LabelBetween = Label(this, "LabelBetween", "Between", QRect(kLeft, 68, 50, 22));
    dtBetweenDate = DatePicker(this, "dtBetweenDate", QRect(kLeft + 50, 68, 160, 22));
    LabelAnd = Label(this, "LabelAnd", "And", QRect(kLeft + 211, 68, 32, 22));
    LabelAnd->setAlignment(Qt::AlignCenter);
    dtAndDate = DatePicker(this, "dtAndDate", QRect(kLeft + 243, 68, 160, 22));

    chtext = CheckBox(this, "chtext", "Include Text", QRect(kLeft, 96, 140, 20));
    editInclude = new QLineEdit(this);
    editInclude->setObjectName(QStringLiteral("editInclude"));
    editInclude->setGeometry(kLeft, 118, 160, 22);
    LabelIn = Label(this, "LabelIn", "In", QRect(kLeft + 170, 118, 20, 22));
    chSubject = CheckBox(this, "chSubject", "Subject", QRect(kLeft + 190, 118, 70, 22));
    chContent = CheckBox(this, "chContent", "Content", QRect(kLeft + 260, 118, 74, 22));
    chNote = CheckBox(this, "chNote", "Note", QRect(kLeft + 334, 118, 56, 22));
    for (QCheckBox* box : {chSubject, chContent, chNote})
        box->setChecked(true);

    const int today = clock::Today();
    SetPickerDay(dtBetweenDate, today);
    SetPickerDay(dtAndDate, today);

    connect(comSearchType, &QComboBox::activated, this, &SearchCriteria::searchTypeChosen);
    connect(btnSearch, &QToolButton::clicked, this, &SearchCriteria::searchRequested);
    connect(chtext, &QCheckBox::toggled, this, &SearchCriteria::chtextClick);
    // Enter in the keyword box searches, as the search button does.
    connect(editInclude, &QLineEdit::returnPressed, this, &SearchCriteria::searchRequested);
    chtextClick();
}

int SearchCriteria::DayOfPicker(const QDateEdit* picker) const {
    return int(kDayZero.daysTo(picker->date()));
}

void SearchCriteria::SetPickerDay(QDateEdit* picker, int day) {
    picker->setDate(kDayZero.addDays(day));
}

void SearchCriteria::chtextClick() {
    const bool on = chtext->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{editInclude, chSubject, chContent, chNote}) {
        control->setEnabled(on);
    }
}

int SearchCriteria::SearchType() const {
    return comSearchType->currentIndex();
}

void SearchCriteria::SetSearchType(int type) {
    comSearchType->setCurrentIndex(type);
}

bool SearchCriteria::ApplySearchType(int firstWeekday) {
    dtBetweenDate->setEnabled(false);
    dtAndDate->setEnabled(false);
    const int type = comSearchType->currentIndex();
    if (type < 0)
        return false;
    const SearchPeriod period = PeriodOfSearchType(type, clock::Today(), DayOfPicker(dtBetweenDate),
                                                   DayOfPicker(dtAndDate), firstWeekday);
    SetPickerDay(dtBetweenDate, period.between);
    SetPickerDay(dtAndDate, period.andDay);
    dtBetweenDate->setEnabled(period.pickersEnabled);
    dtAndDate->setEnabled(period.pickersEnabled);
    return period.archived;
}

SearchRequest SearchCriteria::Request(bool archived) const {
    SearchRequest request;
    request.between = PeriodStart(DayOfPicker(dtBetweenDate));
    request.andTime = PeriodEnd(DayOfPicker(dtAndDate));
    request.archived = archived;
    request.includeText = chtext->isChecked();
    request.keyword = desktop::Std(editInclude->text());
    request.subject = chSubject->isChecked();
    request.content = chContent->isChecked();
    request.note = chNote->isChecked();
    return request;
}

void SearchCriteria::FocusSearchType() {
    comSearchType->setFocus();
}

void SearchCriteria::FocusFirstField() {
    QWidget* first = editInclude->isEnabled() ? static_cast<QWidget*>(editInclude)
                                              : static_cast<QWidget*>(comSearchType);
    first->setFocus();
    editInclude->selectAll();
}

void SearchCriteria::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutPanel();
}

void SearchCriteria::LayoutPanel() {
    const int clientWidth = width();
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
}

}  // namespace qcal
