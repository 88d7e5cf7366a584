#pragma once

// The year box and the month list at the top of the left panel: they name the month the
// grid shows.

#include <QWidget>

class QListWidget;
class QSpinBox;

namespace qcal {

class MonthPicker : public QWidget {
    Q_OBJECT
public:
    explicit MonthPicker(QWidget* parent = nullptr);

    int Year() const;
    // 1..12; 0 while no month is current.
    int Month() const;
    // Names year and month (1..12) without announcing it.
    void SetMonth(int year, int month);
    int MinimumYear() const;
    int MaximumYear() const;

signals:
    // The user changed the year or the month, or clicked the month already shown.
    void picked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Announces the change; the user who steps the year or the month with the keys keeps
    // stepping although the month shown selects a day.
    void PickedWith(QWidget* picker);

    QSpinBox* RxSpinYear = nullptr;
    QListWidget* ListBoxMonth = nullptr;
    // The month line that was current when the mouse went down on the month list: a click
    // on the month already shown reads it again.
    int monthAtPress_ = -1;
};

}  // namespace qcal
