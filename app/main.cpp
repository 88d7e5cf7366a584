// Quenlaris Calendar: the program entry.

#include <QApplication>

#include <iostream>

#include "cli/CommandLine.h"
#include "cli/IcsCommands.h"
#include "platform/DataFolder.h"
#include "platform/System.h"
#include "platform/desktop/Shell.h"
#include "platform/desktop/SingleInstance.h"
#include "platform/desktop/Termination.h"
#include "session/CalendarSession.h"
#include "store/DataFolderRepair.h"
#include "store/DataModule.h"
#include "sync/CalDavSync.h"
#include "sync/SyncCommands.h"
#include "ui/main/DesktopErrorReporter.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ProgramShell.h"

int main(int argc, char* argv[]) {
    // The command-line options print and end before the desktop toolkit starts.
    if (const auto status = qcal::cli::RunCommandLine(argc, argv, std::cout, std::cerr))
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenlaris Calendar"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quenlaris Calendar"));

    // One program per user and data folder: a later start brings the running one forward
    // and ends before it opens the database or writes any file.
    const qcal::cli::CommandLine line = qcal::cli::ParseCommandLine({argv + 1, argv + argc}).line;
    const std::string folder = qcal::platform::ChooseDataFolder(line.dataDir).folder;
    qcal::desktop::SingleInstance instance(
        qcal::desktop::InstanceServerName(QString::fromStdString(folder)));
    if (instance.Claim() == qcal::desktop::SingleInstance::Start::Second)
        return 0;
    const qcal::desktop::ProcessMarker marker;
    qcal::desktop::QuitOnTermination();
    // The window waits in the tray while closed; only Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(qcal::desktop::ProgramIcon());

    qcal::DesktopErrorReporter errors;
    // A restore or compaction cut short is settled before anything looks for a missing user.mdb.
    qcal::RepairDataFolder(folder);
    const std::string problem = qcal::platform::PrepareDataFolder(
        folder, qcal::platform::DeliveredFolder(qcal::platform::ProgramFolder()));
    if (!problem.empty()) {
        errors.ShowError("The data folder cannot be made: " + problem);
        return 1;
    }
    qcal::TDataMod dm(folder, errors);
    // Without its database the program could not keep a single event: the failure has been
    // shown, so end here rather than accept events that cannot be stored.
    if (!dm.Connected())
        return 1;

    QStringList arguments;
    for (const std::string& argument : line.desktopArgs)
        arguments.append(QString::fromStdString(argument));
    qcal::ProgramShell shell(dm, arguments);
    // exit() rather than quit(): the window refuses close requests, and Exit must not ask it.
    QObject::connect(&shell, &qcal::ProgramShell::exitRequested, &app,
                     [] { QCoreApplication::exit(0); });
    QObject::connect(&instance, &qcal::desktop::SingleInstance::activationRequested,
                     &shell.Window(), &qcal::TFormMainCalendar::BringToFront);
    // The command line's imports are made here, by the one process that writes the data;
    // while a backup, restore or compaction has them, the command waits. The views follow
    // the session's announcements.
    qcal::CalendarSession& session = shell.Session();
    instance.SetImportHandler([&dm] { return dm.Connected(); },
                              [&session](const QByteArray& text) {
                                  const qcal::cli::CommandReport report = qcal::cli::ImportReport(
                                      session.ImportFromCommandLine(text.toStdString()));
                                  return qcal::desktop::SingleInstance::CommandAnswer{
                                      report.status, QByteArray::fromStdString(report.out),
                                      QByteArray::fromStdString(report.err)};
                              });
    // The bound layers are synchronised from here; the command line's synchronisation commands
    // are made by this process too.
    qcal::sync::CalDavSync sync(session, qcal::sync::SystemPasswordStore());
    instance.SetSyncHandler([&sync](const QByteArray& text) {
        const auto request = qcal::sync::DecodeRequest(text);
        if (!request)
            return qcal::desktop::SingleInstance::CommandAnswer{
                2, {}, QByteArrayLiteral("quenlaris-calendar: the request was not understood\n")};
        const qcal::sync::CommandOutcome outcome = qcal::sync::RunSyncRequest(sync, *request);
        return qcal::desktop::SingleInstance::CommandAnswer{outcome.status,
                                                            QByteArray::fromStdString(outcome.out),
                                                            QByteArray::fromStdString(outcome.err)};
    });
    shell.ConnectSync(sync);
    shell.Show();
    sync.Start();
    return QApplication::exec();
}
