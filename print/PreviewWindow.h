#pragma once

// The print preview: the month page as it will print, with the year, month, print font and
// scale to choose, printer set-up and printing.

#include <QDialog>
#include <QImage>
#include <QSpinBox>

#include "print/MonthPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QToolButton;

namespace qcal {

class TDataMod;

namespace print {

// The window whose month the preview shows and moves.
class MonthHost {
public:
    virtual ~MonthHost() = default;
    virtual int Year() const = 0;
    virtual int Month() const = 0;  // 1..12
    // Shows that month in the host window, which fills its day cells again.
    virtual void ShowMonth(int year, int month) = 0;
    // What the host's day cells show now.
    virtual MonthSheet Sheet() const = 0;
};

// A spin box that takes any number typed and brings it to the nearer limit when the entry
// is read (Enter, or the refresh reading it).
class ScaleSpinBox : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

signals:
    void returnPressed();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace print

class TFormPreview : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 328;

    TFormPreview(TDataMod& dm, print::MonthHost& host, QPrinter& printer,
                 QWidget* parent = nullptr);

    void FormActivate();
    void FitPreview();
    void btnrefreshClick();
    void SpeedButton4Click();
    void RxSpinYearChange();
    void btnsetupClick();
    void btnprintClick();

    // The page drawn in the preview.
    const QImage& Image() const { return image_; }

    QSpinBox* RxSpinYear = nullptr;
    QComboBox* comMonth = nullptr;
    QLineEdit* EFontOfPrint = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    print::ScaleSpinBox* spinscale = nullptr;
    // How the layer colours print: full, a light tint, or none.
    QComboBox* comColours = nullptr;
    QToolButton* btnrefresh = nullptr;
    QToolButton* btnsetup = nullptr;
    QToolButton* btnprint = nullptr;
    QToolButton* btnhelp = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QWidget* PanelPreview = nullptr;
    QLabel* Image1 = nullptr;

    int pageWidth = 0;
    int pageHeight = 0;
    QString title;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetPrintFont(const QString& name, int size);
    void DrawPreview();
    void SetTitle();

    TDataMod& dm_;
    print::MonthHost& host_;
    QPrinter& printer_;
    QImage image_;
    bool activated_ = false;
};

}  // namespace qcal
