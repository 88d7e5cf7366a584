#include "widgets/Dialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>

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

FileChooser& fileChooser() {
    static FileChooser chooser;
    return chooser;
}

FontPicker& fontPicker() {
    static FontPicker picker;
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

std::optional<QString> ChooseFile(QWidget* parent, const FileRequest& request) {
    if (fileChooser())
        return fileChooser()(request);
    const QString chosen = request.save
                               ? QFileDialog::getSaveFileName(parent, request.caption,
                                                              request.directory, request.filter)
                               : QFileDialog::getOpenFileName(parent, request.caption,
                                                              request.directory, request.filter);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

void SetFileChooserForTesting(FileChooser chooser) {
    fileChooser() = std::move(chooser);
}

std::optional<QFont> PickFont(QWidget* parent, const QFont& initial) {
    if (fontPicker())
        return fontPicker()(initial);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return chosen;
}

void SetFontPickerForTesting(FontPicker picker) {
    fontPicker() = std::move(picker);
}

}  // namespace qcal::desktop
