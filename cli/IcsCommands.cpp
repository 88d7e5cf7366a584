#include "cli/IcsCommands.h"

#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>

#include "cli/RunningProgram.h"
#include "store/DataModule.h"
#include "store/IcalExport.h"
#include "store/IcalImport.h"

namespace qcal::cli {

namespace {

constexpr const char* kProgram = "quenlaris-calendar: ";

// Keeps the data module's reports for the one-line message.
class CollectingReporter final : public ErrorReporter {
public:
    void ShowError(const std::string& text) override {
        if (first.empty()) {
            first = text;
        }
    }
    std::string first;
};

// One line: carriage returns and line feeds inside a message become blanks.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

// The data module on the folder's database, or none (with the message written to err).
std::unique_ptr<TDataMod> OpenFolder(const std::string& folder, CollectingReporter& errors,
                                     std::ostream& err) {
    auto dm = std::make_unique<TDataMod>(folder, errors);
    if (!dm->Connected()) {
        err << kProgram << "cannot open " << folder << "/user.mdb"
            << (errors.first.empty() ? "" : ": " + OneLine(errors.first)) << "\n";
        return nullptr;
    }
    dm->LoadLayers();
    return dm;
}

bool HasPath(const std::string& option, const std::string& path, std::ostream& err) {
    if (path.empty()) {
        err << kProgram << option << " needs a FILE\n";
        return false;
    }
    return true;
}

}  // namespace

int ExportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err) {
    if (!HasPath("--export-ics", path, err)) {
        return 2;
    }
    CollectingReporter errors;
    const std::unique_ptr<TDataMod> dm = OpenFolder(folder, errors, err);
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
        err << kProgram << OneLine(result.error) << "\n";
        return 2;
    }
    // The report goes to err when the calendar itself goes to out.
    std::ostream& report = path == "-" ? err : out;
    if (path != "-") {
        report << result.events << " events written to " << path << "\n";
    }
    for (const std::string& line : result.approximated) {
        report << "closest rule: " << OneLine(line) << "\n";
    }
    return 0;
}

CommandReport ImportReport(const ical::ImportResult& result) {
    CommandReport report;
    if (!result.ok) {
        report.status = 2;
        report.err = kProgram + OneLine(result.error) + "\n";
        return report;
    }
    report.out = result.Summary() + "\n" + result.DetailText();
    return report;
}

int ImportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err) {
    if (!HasPath("--import-ics", path, err)) {
        return 2;
    }
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (std::string error; !ical::ReadIcsFile(path, text, error)) {
        err << kProgram << OneLine(error) << "\n";
        return 2;
    }
    // One process writes the data: the running program, when there is one.
    if (const std::optional<int> status = ImportThroughRunningProgram(folder, text, out, err)) {
        return *status;
    }
    CollectingReporter errors;
    const std::unique_ptr<TDataMod> dm = OpenFolder(folder, errors, err);
    if (!dm) {
        return 2;
    }
    const CommandReport report = ImportReport(ical::ImportCalendarText(*dm, text));
    out << report.out;
    err << report.err;
    return report.status;
}

}  // namespace qcal::cli
