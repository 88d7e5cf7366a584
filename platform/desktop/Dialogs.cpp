#include "platform/desktop/Dialogs.h"

#include <QColorDialog>
#include <QDialog>

namespace qcal::desktop {
namespace {

ModalHandler& modalHandler() {
    static ModalHandler handler;
    return handler;
}

ColorPicker& colorPicker() {
    static ColorPicker picker;
    return picker;
}

}  // namespace

int ExecModal(QDialog& dialog) {
    if (!modalHandler())
        return dialog.exec();
    dialog.show();
    // A copy, so that a handler may replace itself while it runs.
    const ModalHandler handler = modalHandler();
    const int result = handler(dialog);
    dialog.hide();
    return result;
}

void SetModalHandlerForTesting(ModalHandler handler) {
    modalHandler() = std::move(handler);
}

std::optional<QColor> PickColor(QWidget* parent, const QColor& initial) {
    if (colorPicker())
        return colorPicker()(initial);
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

void SetColorPickerForTesting(ColorPicker picker) {
    colorPicker() = std::move(picker);
}

}  // namespace qcal::desktop
