#pragma once

// Modal dialogs and the common dialogs, behind seams that tests replace.

#include <QColor>

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

}  // namespace qcal::desktop
