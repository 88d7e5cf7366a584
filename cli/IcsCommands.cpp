#include "cli/IcsCommands.h"

#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>

#include "cli/Reporter.h"
#include "cli/RunningProgram.h"
#include "store/DataModule.h"
#include "store/IcalExport.h"
#include "store/IcalImport.h"

namespace qcal::cli {

namespace {

// The data module on the folder's database, or none (with the message written to err).
std::unique_ptr<TDataMod> OpenFolder(const std::string& folder, Reporter& report) {
    auto dm = std::make_unique<TDataMod>(folder, report);
    if (!dm->Connected()) {
        report.Fail("cannot open " + folder + "/user.mdb" +
                    (report.First().empty() ? "" : ": " + report.First()));
        return nullptr;
    }
    dm->LoadLayers();
    return dm;
}

bool HasPath(const std::string& option, const std::string& path, const Reporter& report) {
    if (path.empty()) {
        report.Fail(option + " needs a FILE");
        return false;
    }
    return true;
}

}  // namespace

int ExportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err) {
    Reporter report(err);
    if (!HasPath("--export-ics", path, report)) {
        return 2;
    }
    const std::unique_ptr<TDataMod> dm = OpenFolder(folder, report);
    if (!dm) {
        return 2;
    }
    ical::ExportResult result;
    if (path == "-") {
        std::string text;
        result = ical::ExportCalendarText(*dm, text);
        if (result.ok) {
            out << text;
        }
    } else {
        result = ical::ExportIcsFile(*dm, path);
    }
    if (!result.ok) {
        return report.Fail(result.error);
    }
    // The report goes to err when the calendar itself goes to out.
    std::ostream& summary = path == "-" ? err : out;
    if (path != "-") {
        summary << result.events << " events written to " << path << "\n";
    }
    for (const std::string& line : result.approximated) {
        summary << "closest rule: " << Reporter::OneLine(line) << "\n";
    }
    return 0;
}

CommandReport ImportReport(const ical::ImportResult& result) {
    CommandReport report;
    if (!result.ok) {
        report.status = 2;
        report.err = std::string(kProgram) + ": " + Reporter::OneLine(result.error) + "\n";
        return report;
    }
    report.out = result.Summary() + "\n" + result.DetailText();
    return report;
}

int ImportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err) {
    Reporter report(err);
    if (!HasPath("--import-ics", path, report)) {
        return 2;
    }
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (std::string error; !ical::ReadIcsFile(path, text, error)) {
        return report.Fail(error);
    }
    // One process writes the data: the running program, when there is one.
    if (const std::optional<int> status = ImportThroughRunningProgram(folder, text, out, err)) {
        return *status;
    }
    const std::unique_ptr<TDataMod> dm = OpenFolder(folder, report);
    if (!dm) {
        return 2;
    }
    const CommandReport result = ImportReport(ical::ImportCalendarText(*dm, text));
    out << result.out;
    err << result.err;
    return result.status;
}

}  // namespace qcal::cli
