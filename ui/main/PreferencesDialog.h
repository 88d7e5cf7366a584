#pragma once

// The preferences dialog: start with the session, the alarm sound, archiving on close of the
// alarm window, the global hot key, the day cell font, the date and time formats, and the
// print scale and font. It shows the data module's options and gives them back only on OK;
// the caller then saves and applies them.

#include <QDialog>

#include <string>
#include <vector>

#include "platform/Autorun.h"
#include "store/Options.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace qcal {

class TDataMod;

// A page that the program adds to the dialog, for options that need a service the dialog does
// not know. It shows the options it edits and gives them back on OK, like the dialog's own.
class PreferencesPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void FillOptions(const ROptions& options) = 0;
    virtual void TakeOptions(ROptions& options) const = 0;
};

class TFormPreferences : public QDialog {
    Q_OBJECT
public:
    // autorun is the login start entry that OK writes or deletes; executablePath is what the
    // entry runs.
    TFormPreferences(TDataMod& dm, platform::Autorun autorun, std::string executablePath,
                     QWidget* parent = nullptr);

    static constexpr int kHelpTopic = 501;

    // The options into the controls, and the controls into options (the fields this dialog
    // edits; the others are left as they are).
    void FillControls();
    void TakeControls(ROptions& options) const;
    // Adds page after the others; the dialog grows to size (it never shrinks).
    void AddPage(PreferencesPage* page, const QString& title, QSize size);

    // The folder the alarm sounds are played from, with a trailing "/".
    QString MusicFolder() const;
    // "Arial, Size:9".
    static QString FontText(const QFont& font);
    // One line of the date or time format list: the sample the format produces, then what its
    // parts are ("month/day/year", "12-hour clock").
    static QString FormatLine(const std::string& format, const std::string& sample);

    QTabWidget* PageControl1 = nullptr;
    // Startup
    QCheckBox* chStart = nullptr;
    QCheckBox* chMin = nullptr;
    // Event
    QCheckBox* chplay = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* EditSound = nullptr;
    QToolButton* btnsound = nullptr;
    QCheckBox* chArchiveAll = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* cbControl = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* cbChar = nullptr;
    QLabel* LabelReminders = nullptr;
    QComboBox* cbRemindersAs = nullptr;
    // Display
    QLabel* Label2 = nullptr;
    QLineEdit* EditSample = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* chDate = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* chTime = nullptr;
    QLabel* LabelWeekStart = nullptr;
    QComboBox* cbWeekStart = nullptr;  // Sunday, Monday, or as the locale has it
    // Print
    QLabel* Label3 = nullptr;
    QSpinBox* spinscale = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* EFontOfPrint = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    // Buttons
    QPushButton* BitBtn1 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QPushButton* SpeedButton2 = nullptr;

private:
    void BuildStartupPage(QWidget* page);
    void BuildEventPage(QWidget* page);
    void BuildDisplayPage(QWidget* page);
    void BuildPrintPage(QWidget* page);

    void chStartClick();
    void chplayClick();
    void btnsoundClick();
    void ChooseFont(QLineEdit* edit);
    void SpeedButton1Click();

    TDataMod& dm_;
    platform::Autorun autorun_;
    std::string executablePath_;
    std::vector<PreferencesPage*> addedPages_;
};

}  // namespace qcal
