#pragma once

// The panel at the top of the "Search Events" page: the search type, the period between two
// dates, and the keyword with the fields to look for it in.

#include <QWidget>

#include "store/SearchStatement.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QToolButton;

namespace qcal {

class SearchCriteria : public QWidget {
    Q_OBJECT
public:
    explicit SearchCriteria(QWidget* parent = nullptr);

    // The chosen search type, -1 while none is.
    int SearchType() const;
    void SetSearchType(int type);
    // Sets the period of the chosen type from today; the pickers are open for the definite
    // period only. True when the type searches archive times.
    bool ApplySearchType(int firstWeekday);
    // What the controls ask for; archived: the period is one of archive times.
    SearchRequest Request(bool archived) const;
    // Gives the focus to the search type.
    void FocusSearchType();
    // Puts the focus in the keyword box when it is open for typing, else in the search type.
    void FocusFirstField();
    // Places the controls for the panel's present width: the type box, the date pickers and
    // the keyword box take the width the search button leaves.
    void LayoutPanel();

signals:
    // The user chose a search type.
    void searchTypeChosen();
    // The search button was clicked, or Enter pressed in the keyword box.
    void searchRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void chtextClick();
    int DayOfPicker(const QDateEdit* picker) const;
    void SetPickerDay(QDateEdit* picker, int day);

    QLabel* Label6 = nullptr;
    QComboBox* comSearchType = nullptr;
    QToolButton* btnSearch = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* LabelBetween = nullptr;
    QDateEdit* dtBetweenDate = nullptr;
    QLabel* LabelAnd = nullptr;
    QDateEdit* dtAndDate = nullptr;
    QCheckBox* chtext = nullptr;
    QLineEdit* editInclude = nullptr;
    QLabel* LabelIn = nullptr;
    QCheckBox* chSubject = nullptr;
    QCheckBox* chContent = nullptr;
    QCheckBox* chNote = nullptr;
};

}  // namespace qcal
