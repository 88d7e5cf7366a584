#pragma once

// Modal dialogs and the common dialogs, behind seams that tests replace.

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace qcal::desktop {

// Runs a dialog modally and answers its result (QDialog::Accepted or Rejected).
int ExecModal(QDialog& dialog);

// Tests play the user's part: the dialog is shown without a nested event loop and the
// handler answers the result, usually after clicking the dialog's buttons.
using ModalHandler = std::function<int(QDialog&)>;
void SetModalHandlerForTesting(ModalHandler handler);

// The colour dialog preset to initial; no value when the user cancels.
std::optional<QColor> PickColor(QWidget* parent, const QColor& initial);
using ColorPicker = std::function<std::optional<QColor>(const QColor&)>;
void SetColorPickerForTesting(ColorPicker picker);

// The file dialogs: the chosen path, or no value when the user cancels.
// filter is in Qt's form ("Wave files (*.wav)").
struct FileRequest {
    bool save = false;  // a save dialog (else an open dialog)
    QString caption;
    QString directory;
    QString filter;
};
std::optional<QString> ChooseFile(QWidget* parent, const FileRequest& request);
using FileChooser = std::function<std::optional<QString>(const FileRequest&)>;
void SetFileChooserForTesting(FileChooser chooser);

// The font dialog preset to initial; no value when the user cancels.
std::optional<QFont> PickFont(QWidget* parent, const QFont& initial);
using FontPicker = std::function<std::optional<QFont>(const QFont&)>;
void SetFontPickerForTesting(FontPicker picker);

}  // namespace qcal::desktop
