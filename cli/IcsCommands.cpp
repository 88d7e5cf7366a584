#include "cli/IcsCommands.h"

#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "cli/Reporter.h"
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

int ImportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err) {
    Reporter report(err);
    if (!HasPath("--import-ics", path, report)) {
        return 2;
    }
    const std::unique_ptr<TDataMod> dm = OpenFolder(folder, report);
    if (!dm) {
        return 2;
    }
    ical::ImportResult result;
    if (path == "-") {
        const std::string text{std::istreambuf_iterator<char>(std::cin),
                               std::istreambuf_iterator<char>()};
        result = ical::ImportCalendarText(*dm, text);
    } else {
        result = ical::ImportIcsFile(*dm, path);
    }
    if (!result.ok) {
        return report.Fail(result.error);
    }
    out << result.Summary() << "\n" << result.DetailText();
    return 0;
}

}  // namespace qcal::cli
