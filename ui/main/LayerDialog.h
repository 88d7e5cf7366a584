#pragma once

// The layer dialog: creates a layer or edits one entry of the layer table. Its OK checks
// the name, writes the entry into the data module's layer table and saves the layers.

#include <QDialog>

#include "core/Event.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qcal {

class TDataMod;

class TmyFormLayer : public QDialog {
    Q_OBJECT
public:
    enum class Mode { New, Edit };

    // editIndex is the entry of dm.Layers being edited (Edit mode only).
    TmyFormLayer(TDataMod& dm, Mode mode, int editIndex, QWidget* parent);

    static constexpr int kHelpTopic = 31;

    // The name box text without leading and trailing blanks and control characters.
    QString TrimmedName() const;

    QLineEdit* Edit1 = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* Panel2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* BtnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void SpeedButton1Click();
    void btnOkClick();

    // Paints both halves of the swatch in color_.
    void ShowSwatch();
    // In Edit mode: whether editIndex_ still names an entry of the table.
    bool EditIndexValid() const;

    TDataMod& dm_;
    Mode mode_;
    int editIndex_;
    bool shown_ = false;
    // The swatch colour as stored, so that a system colour code survives an edit that
    // leaves the colour alone.
    TColor color_ = 0;
};

}  // namespace qcal
