// The synchronisation's command-line program: --add-calendar, --sync and --calendars, started
// by the command the user types (in the same process) without the desktop toolkit.

#include <QCoreApplication>

#include <iostream>
#include <string>

#include "cli/CommandLine.h"
#include "platform/DataFolder.h"
#include "platform/System.h"
#include "store/DataFolderRepair.h"
#include "sync/SyncCommands.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const qcal::cli::ParseResult parsed = qcal::cli::ParseCommandLine({argv + 1, argv + argc});
    const qcal::cli::CommandLine& line = parsed.line;
    if (!parsed.error.empty() || !qcal::cli::IsSyncAction(line.action)) {
        std::cerr << "quenlaris-calendar: "
                  << (parsed.error.empty()
                          ? std::string("use --add-calendar, --sync or --calendars")
                          : parsed.error)
                  << '\n';
        return 2;
    }
    qcal::sync::SyncRequest request;
    request.action = line.action == qcal::cli::CommandLine::Action::AddCalendar
                         ? qcal::sync::SyncRequest::Action::AddCalendar
                     : line.action == qcal::cli::CommandLine::Action::Sync
                         ? qcal::sync::SyncRequest::Action::Sync
                         : qcal::sync::SyncRequest::Action::Calendars;
    request.calendarUrl = line.calendarUrl;
    request.layer = line.layer;
    request.user = line.user;
    request.allowUnencrypted = line.allowUnencrypted;
    request.fingerprint = line.acceptCertificate;
    if (line.passwordStdin && !std::getline(std::cin, request.password)) {
        std::cerr << "quenlaris-calendar: no password on standard input\n";
        return 2;
    }
    const std::string folder = qcal::platform::ChooseDataFolder(line.dataDir).folder;
    qcal::RepairDataFolder(folder);
    const std::string problem = qcal::platform::PrepareDataFolder(
        folder, qcal::platform::DeliveredFolder(qcal::platform::ProgramFolder()));
    if (!problem.empty()) {
        std::cerr << "quenlaris-calendar: cannot make the data folder " << problem << '\n';
        return 2;
    }
    return qcal::sync::SyncCommand(request, folder, std::cout, std::cerr);
}
