#include "ui/main/DesktopErrorReporter.h"

#include <QApplication>

#include "widgets/MessageBox.h"

namespace qcal {

void DesktopErrorReporter::ShowError(const std::string& text) {
    desktop::MessageBox::Error(QApplication::activeWindow(), QString::fromStdString(text));
}

}  // namespace qcal
