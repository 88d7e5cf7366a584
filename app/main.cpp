// Quenlaris Calendar: the program entry.

#include <QApplication>

#include <iostream>

#include "cli/CommandLine.h"
#include "platform/System.h"
#include "store/DataModule.h"
#include "ui/main/DesktopErrorReporter.h"
#include "ui/main/MainWindow.h"

int main(int argc, char* argv[]) {
    // The command-line options print and end before the desktop toolkit starts.
    if (const auto status = qcal::cli::RunCommandLine(argc, argv, std::cout, std::cerr))
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenlaris Calendar"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quenlaris Calendar"));

    qcal::DesktopErrorReporter errors;
    qcal::TDataMod dm(qcal::platform::ProgramFolder(), errors);
    // Without its database the program could not keep a single event: the failure has been
    // shown, so end here rather than accept events that cannot be stored.
    if (!dm.Connected())
        return 1;

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    qcal::TFormMainCalendar window(dm, arguments);
    QObject::connect(&window, &qcal::TFormMainCalendar::exitRequested, &app, &QApplication::quit);
    if (window.StartsMinimised()) {
        window.showMinimized();
    } else {
        window.showMaximized();
    }
    return QApplication::exec();
}
