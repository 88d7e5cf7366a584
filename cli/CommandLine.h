#pragma once

// The command-line options: the agenda, the pending alarms, help and version, and the
// iCalendar export and import. No window is opened; only --import-ics writes.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace qcal::cli {

inline constexpr int kMaxAgendaDays = 3660;  // ten years

struct CommandLine {
    enum class Action {
        Desktop,
        Agenda,
        Pending,
        Help,
        Version,
        ExportIcs,
        ImportIcs,
        AddCalendar,
        Sync,
        Calendars
    };
    Action action = Action::Desktop;
    std::optional<int> fromDay;  // none: today
    int days = 7;
    bool allLayers = false;
    std::string icsFile;  // --export-ics / --import-ics: the file ("-" standard output/input)
    // --add-calendar URL --layer NAME [--user USER] [--password-stdin] [--allow-unencrypted]
    // [--accept-certificate SHA256]
    std::string calendarUrl;
    std::string layer;
    std::string user;
    bool passwordStdin = false;
    bool allowUnencrypted = false;  // --allow-unencrypted: plain http to another machine
    std::string acceptCertificate;  // --accept-certificate: SHA-256, lower-case hex
    std::string dataDir;            // --data-dir: the data folder to use; empty when not given
    // The arguments without --data-dir: what the desktop program reads itself ("autorun").
    std::vector<std::string> desktopArgs;
};

// Reads the arguments (without the program name). Arguments that are no option of the command
// line (the "autorun" word, the toolkit's own options) leave the action Desktop: they are the
// desktop program's. Answers the one-line complaint when the arguments are wrong.
struct ParseResult {
    CommandLine line;
    std::string error;  // empty when the arguments are good
};
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The iCalendar commands. A program that is given none leaves them to the desktop program,
// so that it never loads the iCalendar library itself.
struct IcsHandlers {
    int (*exportIcs)(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err);
    int (*importIcs)(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err);
};

// Runs the command line over the data folder. No value when the desktop program is to
// start (or, without ics, for an iCalendar command); otherwise the exit status: 0 done, 2
// wrong arguments or an unreadable database (one line on err).
std::optional<int> RunCommandLine(const std::vector<std::string>& args,
                                  const std::string& dataFolder, std::ostream& out,
                                  std::ostream& err, const IcsHandlers* ics);
// The same for main(), over the data folder the arguments and the environment choose, made
// ready first when it is new.
std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err,
                                  const IcsHandlers* ics);
// Both with the iCalendar commands (CommandLineIcs.cpp).
std::optional<int> RunCommandLine(const std::vector<std::string>& args,
                                  const std::string& dataFolder, std::ostream& out,
                                  std::ostream& err);
std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);

// Whether the action is one of the synchronisation's (--add-calendar, --sync, --calendars):
// these are answered by the synchronisation program beside this one.
bool IsSyncAction(CommandLine::Action action);
// The synchronisation program in the program folder.
std::string SyncProgramPath();

// The text of --help.
std::string HelpText();

}  // namespace qcal::cli
