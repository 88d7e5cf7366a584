#include "ui/main/MonthPicker.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSpinBox>

#include <string_view>

#include "core/Names.h"

namespace qcal {
namespace {

QFont ArialPixels(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

MonthPicker::MonthPicker(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PanelMonth"));
    setFixedSize(144, 330);

    auto* yearLabel = new QLabel(QStringLiteral("Year"), this);
    yearLabel->setFont(ArialPixels(13));
    yearLabel->setGeometry(8, 30, 127, 17);
    RxSpinYear = new QSpinBox(this);
    RxSpinYear->setObjectName(QStringLiteral("RxSpinYear"));
    RxSpinYear->setGeometry(8, 50, 127, 22);
    RxSpinYear->setRange(1000, 9999);
    RxSpinYear->setFont(ArialPixels(12));
    // Only the arrows change the year.
    RxSpinYear->findChild<QLineEdit*>()->setReadOnly(true);
    connect(RxSpinYear, &QSpinBox::valueChanged, this, [this] { PickedWith(RxSpinYear); });

    auto* monthLabel = new QLabel(QStringLiteral("Month"), this);
    monthLabel->setFont(ArialPixels(13));
    monthLabel->setGeometry(8, 87, 125, 17);
    ListBoxMonth = new QListWidget(this);
    ListBoxMonth->setObjectName(QStringLiteral("ListBoxMonth"));
    ListBoxMonth->setGeometry(8, 107, 125, 209);
    ListBoxMonth->setFont(ArialPixels(13));
    ListBoxMonth->setUniformItemSizes(true);
    ListBoxMonth->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (std::string_view month : kMonthNames) {
        auto* item = new QListWidgetItem(QString::fromUtf8(month.data(), qsizetype(month.size())),
                                         ListBoxMonth);
        item->setSizeHint(QSize(0, 17));
    }
    connect(ListBoxMonth, &QListWidget::currentRowChanged, this,
            [this] { PickedWith(ListBoxMonth); });
    // A click on the month already shown reads it again; a click on another month has
    // already been handled as its change.
    ListBoxMonth->viewport()->installEventFilter(this);
    connect(ListBoxMonth, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (ListBoxMonth->row(item) == monthAtPress_)
            emit picked();
    });
}

int MonthPicker::Year() const {
    return RxSpinYear->value();
}

int MonthPicker::Month() const {
    return ListBoxMonth->currentRow() + 1;
}

void MonthPicker::SetMonth(int year, int month) {
    const QSignalBlocker blockYear(RxSpinYear);
    const QSignalBlocker blockMonth(ListBoxMonth);
    RxSpinYear->setValue(year);
    ListBoxMonth->setCurrentRow(month - 1);
}

int MonthPicker::MinimumYear() const {
    return RxSpinYear->minimum();
}

int MonthPicker::MaximumYear() const {
    return RxSpinYear->maximum();
}

void MonthPicker::PickedWith(QWidget* picker) {
    const bool stepping = picker->hasFocus();
    emit picked();
    if (stepping)
        picker->setFocus();
}

bool MonthPicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBoxMonth->viewport() && event->type() == QEvent::MouseButtonPress)
        monthAtPress_ = ListBoxMonth->currentRow();
    return QWidget::eventFilter(watched, event);
}

}  // namespace qcal
