#pragma once

// The event editor: creates or changes one event and its recurrence rule. The caller creates
// it for a new or an existing event, puts the record into EventRec, shows the dialog modally
// and reads EventRec back after a result of OK. The editor never writes the database.

#include <QDialog>

#include <QString>

#include <functional>
#include <string>

#include "core/Event.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;
class QToolButton;

namespace qcal {

class TDataMod;

class TmyFormNewOrEdit : public QDialog {
    Q_OBJECT
public:
    // Opens the layer dialog in its new-layer mode, owned by owner; true when it ended with
    // OK (the layer has then been added to dm.Layers and saved).
    using NewLayerAction = std::function<bool(QWidget* owner)>;

    // New: caption "New Event", OK button "&Add". Edit: caption "Edit Event", "&Save".
    enum class Mode { New, Edit };

    TmyFormNewOrEdit(TDataMod& dm, Mode mode, NewLayerAction newLayer, QWidget* parent);

    // 23 for an edited event, 41 for a new one.
    int HelpTopic() const;

    tfield EventRec;

    // Controls, named as in the design; public so that tests can drive them.
    QDateEdit* dtBeginDate = nullptr;
    QDateEdit* dtEndDate = nullptr;
    QTimeEdit* dtBeginTime = nullptr;
    QTimeEdit* dtEndTime = nullptr;
    QListWidget* ListBoxType = nullptr;
    QStackedWidget* NotebookRepeat = nullptr;
    QComboBox* cbLayer = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QLabel* LabelArchived = nullptr;
    QCheckBox* chAlarm = nullptr;
    QCheckBox* chAllDay = nullptr;           // "All day": no times
    QRadioButton* radioEndsNever = nullptr;  // "Ends:" "never" / "on date" (repeating kinds)
    QRadioButton* radioEndsOn = nullptr;
    QSpinBox* spinRemind = nullptr;  // "Remind me" N "minutes before"
    QLineEdit* EditSubject = nullptr;
    QPlainTextEdit* MemoContent = nullptr;
    QPlainTextEdit* MemoNote = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    QRadioButton* radio1_1 = nullptr;
    QSpinBox* spin1_day = nullptr;
    QRadioButton* radio1_2 = nullptr;

    QRadioButton* radio2_1 = nullptr;
    QSpinBox* spin2_week = nullptr;
    QCheckBox* ch2_sun = nullptr;
    QCheckBox* ch2_mon = nullptr;
    QCheckBox* ch2_tue = nullptr;
    QCheckBox* ch2_wed = nullptr;
    QCheckBox* ch2_thu = nullptr;
    QCheckBox* ch2_fri = nullptr;
    QCheckBox* ch2_sat = nullptr;

    QRadioButton* radio3_1 = nullptr;
    QSpinBox* spin3_day = nullptr;
    QSpinBox* spin3_month = nullptr;
    QRadioButton* radio3_2 = nullptr;
    QComboBox* cb3_first = nullptr;
    QComboBox* cb3_week = nullptr;
    QSpinBox* spin3_month_how = nullptr;

    QRadioButton* Radio4_1 = nullptr;
    QSpinBox* spin4_day = nullptr;
    QComboBox* cb4_month = nullptr;
    QRadioButton* radio4_2 = nullptr;
    QComboBox* cb4_first = nullptr;
    QComboBox* cb4_week = nullptr;
    QComboBox* cb4_month_how = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildPageNone();
    QWidget* BuildPageDaily();
    QWidget* BuildPageWeekly();
    QWidget* BuildPageMonthly();
    QWidget* BuildPageYearly();

    void FormShow();
    void FillLayerBox();
    void FillControls();
    void TakeControls();
    bool CheckInput();
    bool NoWeekdayChecked() const;

    void ListBoxTypeClick();
    // The time pickers follow "All day", the end date "Ends:".
    void EnableDependents();
    void dtBeginDateChange();
    void dtEndDateChange();
    void btnOKClick();
    void btnCancelClick();
    void SpeedButton3Click();

    // A text as the record held it and as its control showed it. A control whose text is
    // still the one shown gives back the record's text unchanged, byte for byte, however
    // the control stores it.
    struct ShownText {
        std::string stored;
        QString shown;
    };
    static std::string TakeText(const QString& now, const ShownText& loaded);

    TDataMod& dm_;
    Mode mode_;
    NewLayerAction newLayer_;
    ShownText subject_;
    ShownText content_;
    ShownText note_;
    bool shown_ = false;
    // Set while the dialog itself moves the date pickers, so that only the user's changes
    // couple the two dates.
    bool settingDates_ = false;
    // ch2_sun .. ch2_sat, in the order of the weekday mask.
    QCheckBox* weekBoxes_[7] = {};
};

}  // namespace qcal
