// The command line with the iCalendar commands, for the desktop program and the tests. The
// command the user types runs it without them (see app/front.cpp).

#include "cli/CommandLine.h"
#include "cli/IcsCommands.h"

namespace qcal::cli {

namespace {

const IcsHandlers kIcsHandlers{ExportIcsCommand, ImportIcsCommand};

}  // namespace

std::optional<int> RunCommandLine(const std::vector<std::string>& args,
                                  const std::string& dataFolder, std::ostream& out,
                                  std::ostream& err) {
    return RunCommandLine(args, dataFolder, out, err, &kIcsHandlers);
}

std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    return RunCommandLine(argc, argv, out, err, &kIcsHandlers);
}

}  // namespace qcal::cli
