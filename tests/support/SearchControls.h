#pragma once

// The controls of the "Search Events" page, found by their object names.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include "Child.h"
#include "ui/main/SearchPage.h"

namespace qcal::test {

struct SearchControls {
    explicit SearchControls(const TSearchPage& shown) : page(shown) {}
    const TSearchPage& page;
    QComboBox* comSearchType = Child<QComboBox>(page, "comSearchType");
    QToolButton* btnSearch = Child<QToolButton>(page, "btnSearch");
    QLabel* LabelBetween = Child<QLabel>(page, "LabelBetween");
    QDateEdit* dtBetweenDate = Child<QDateEdit>(page, "dtBetweenDate");
    QLabel* LabelAnd = Child<QLabel>(page, "LabelAnd");
    QDateEdit* dtAndDate = Child<QDateEdit>(page, "dtAndDate");
    QCheckBox* chtext = Child<QCheckBox>(page, "chtext");
    QLineEdit* editInclude = Child<QLineEdit>(page, "editInclude");
    QLabel* LabelIn = Child<QLabel>(page, "LabelIn");
    QCheckBox* chSubject = Child<QCheckBox>(page, "chSubject");
    QCheckBox* chContent = Child<QCheckBox>(page, "chContent");
    QCheckBox* chNote = Child<QCheckBox>(page, "chNote");
    QWidget* PanelSearch = Child<QWidget>(page, "PanelSearch");
    QHeaderView* HeaderControl1 = Child<QHeaderView>(page, "HeaderControl1");
    QListWidget* ListBoxQuery = Child<QListWidget>(page, "ListBoxQuery");
    QLabel* LabelNothingFound = Child<QLabel>(page, "LabelNothingFound");
    QPlainTextEdit* MemoContent = Child<QPlainTextEdit>(page, "MemoContent");
    QPlainTextEdit* MemoNote = Child<QPlainTextEdit>(page, "MemoNote");
    QMenu* pmQuery = Child<QMenu>(page, "pmQuery");
    QAction* AddEvent1 = Child<QAction>(page, "AddEvent1");
    QAction* EditEvent1 = Child<QAction>(page, "EditEvent1");
};

}  // namespace qcal::test
