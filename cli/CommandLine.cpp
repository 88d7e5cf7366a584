#include "cli/CommandLine.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ostream>
#include <string_view>

#include "app/Version.h"
#include "cli/Agenda.h"
#include "cli/IcsCommands.h"
#include "cli/Reporter.h"
#include "core/Clock.h"
#include "core/DateTime.h"
#include "platform/DataFolder.h"
#include "platform/Sqlite.h"
#include "platform/System.h"
#include "store/DataFolderRepair.h"
#include "store/DataModule.h"

namespace qcal::cli {

namespace {

// Options of the desktop toolkit, with one dash or two, that pass to the desktop program; the
// first group takes a value (as the next argument or after "=").
constexpr std::array<std::string_view, 17> kToolkitWithValue = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "title",         "name",   "visual",
    "im",          "qmljsdebugger"};
constexpr std::array<std::string_view, 6> kToolkitFlags = {"reverse", "widgetcount", "nograb",
                                                           "dograb",  "sync",        "testability"};
// Options the desktop program reads itself, with a value.
constexpr std::array<std::string_view, 2> kDesktopWithValue = {"export-ics", "import-ics"};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// "--days=3" is "--days" with the value "3".
struct Option {
    std::string_view name;  // without dashes
    std::optional<std::string_view> value;
    int dashes = 0;
};

Option Split(std::string_view arg) {
    Option o;
    while (o.dashes < 2 && o.dashes < int(arg.size()) && arg[std::size_t(o.dashes)] == '-') {
        ++o.dashes;
    }
    o.name = arg.substr(std::size_t(o.dashes));
    if (const std::size_t eq = o.name.find('='); eq != std::string_view::npos) {
        o.value = o.name.substr(eq + 1);
        o.name = o.name.substr(0, eq);
    }
    return o;
}

bool IsOwnOption(std::string_view arg) {
    if (arg == "-h") {
        return true;
    }
    const Option o = Split(arg);
    static constexpr std::array<std::string_view, 17> kOwn = {
        "agenda", "pending",    "help",           "version",           "from",
        "days",   "all-layers", "export-ics",     "import-ics",        "add-calendar",
        "layer",  "user",       "password-stdin", "allow-unencrypted", "accept-certificate",
        "sync",   "calendars"};
    return o.dashes == 2 && Contains(kOwn, o.name);
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// A SHA-256 fingerprint as 64 hexadecimal digits, pairs perhaps parted by colons (as openssl
// prints it): in lower case without colons, or nothing when it is none.
std::optional<std::string> Fingerprint(std::string_view text) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':' && i % 3 == 2) {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        digits += char(std::tolower(static_cast<unsigned char>(c)));
    }
    if (digits.size() != 64) {
        return std::nullopt;
    }
    return digits;
}

// YYYY-MM-DD, a real calendar date.
std::optional<int> ParseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) -> std::optional<int> {
        int value = 0;
        const char* begin = text.data() + at;
        const char* end = begin + length;
        if (std::any_of(begin, end, [](char c) { return c < '0' || c > '9'; })) {
            return std::nullopt;
        }
        std::from_chars(begin, end, value);
        return value;
    };
    const auto year = number(0, 4);
    const auto month = number(5, 2);
    const auto day = number(8, 2);
    if (!year || !month || !day || *year < 1 || *month < 1 || *month > 12 || *day < 1 ||
        unsigned(*day) > DaysInMonth(*year, unsigned(*month))) {
        return std::nullopt;
    }
    return DayNumber(*year, unsigned(*month), unsigned(*day));
}

std::optional<int> ParseDays(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kMaxAgendaDays) {
        return std::nullopt;
    }
    return value;
}

int CannotRead(const Reporter& report, const TDataMod& dm, const std::string& reason) {
    return report.Fail("cannot read " + dm.ConnectionString() + ": " + reason);
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& allArgs) {
    ParseResult result;
    CommandLine& line = result.line;
    // --data-dir goes with every action, the desktop program's too: it is taken out first.
    std::vector<std::string>& args = line.desktopArgs;
    bool dataDirGiven = false;
    for (std::size_t i = 0; i < allArgs.size(); ++i) {
        const Option o = Split(allArgs[i]);
        if (o.dashes != 2 || o.name != "data-dir") {
            args.push_back(allArgs[i]);
            continue;
        }
        if (!o.value && i + 1 == allArgs.size()) {
            result.error = "option '--data-dir' requires an argument";
            return result;
        }
        line.dataDir = o.value ? std::string(*o.value) : allArgs[++i];
        if (line.dataDir.empty() || dataDirGiven) {
            result.error = dataDirGiven ? "option '--data-dir' may be given once"
                                        : "option '--data-dir' requires a folder name";
            return result;
        }
        dataDirGiven = true;
    }
    const bool own = std::any_of(args.begin(), args.end(), IsOwnOption);
    if (!own) {
        // Everything is the desktop program's, but an option nobody knows is refused here
        // rather than passed over in silence.
        for (std::size_t i = 0; i < args.size(); ++i) {
            const Option o = Split(args[i]);
            if (o.dashes == 0) {
                continue;
            }
            const bool toolkitValue = Contains(kToolkitWithValue, o.name);
            const bool desktopValue = o.dashes == 2 && Contains(kDesktopWithValue, o.name);
            if ((toolkitValue || desktopValue) && !o.value) {
                ++i;  // the value follows
                continue;
            }
            if (toolkitValue || desktopValue || Contains(kToolkitFlags, o.name)) {
                continue;
            }
            result.error = "unrecognized option " + Quoted(args[i]) + " (see --help)";
            return result;
        }
        return result;
    }

    bool agenda = false;
    bool pending = false;
    bool help = false;
    bool version = false;
    std::string agendaOnly;    // the first option that belongs to the agenda alone
    std::string icsOption;     // --export-ics or --import-ics, when given
    std::string syncOption;    // --add-calendar, --sync or --calendars, when given
    std::string calendarOnly;  // the first option that belongs to --add-calendar alone
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const Option o = Split(arg);
        if (arg == "-h" || (o.dashes == 2 && o.name == "help" && !o.value)) {
            help = true;
            continue;
        }
        if (o.dashes != 2) {
            result.error = (o.dashes == 0 ? "unexpected argument " : "unrecognized option ") +
                           Quoted(arg) + " (see --help)";
            return result;
        }
        const bool takesValue = o.name == "from" || o.name == "days" || o.name == "export-ics" ||
                                o.name == "import-ics" || o.name == "add-calendar" ||
                                o.name == "layer" || o.name == "user" ||
                                o.name == "accept-certificate";
        if (!takesValue && o.value) {
            if (IsOwnOption("--" + std::string(o.name))) {
                result.error = "option '--" + std::string(o.name) + "' takes no value";
            } else {
                result.error = "unrecognized option " + Quoted(arg) + " (see --help)";
            }
            return result;
        }
        std::string_view value;
        if (takesValue) {
            if (o.value) {
                value = *o.value;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                result.error = "option '--" + std::string(o.name) + "' requires an argument";
                return result;
            }
        }
        if (o.name == "agenda") {
            agenda = true;
        } else if (o.name == "add-calendar" || o.name == "sync" || o.name == "calendars") {
            if (!syncOption.empty()) {
                result.error =
                    "only one of '--add-calendar', '--sync' and '--calendars' may be "
                    "given, once";
                return result;
            }
            syncOption = "--" + std::string(o.name);
            line.calendarUrl = std::string(value);
            if (o.name == "add-calendar" && value.empty()) {
                result.error = "option '--add-calendar' requires the calendar's address";
                return result;
            }
        } else if (o.name == "layer" || o.name == "user" || o.name == "password-stdin" ||
                   o.name == "allow-unencrypted" || o.name == "accept-certificate") {
            if (o.name == "layer" && value.empty()) {
                result.error = "option '--layer' requires a layer name";
                return result;
            }
            if (o.name == "layer") {
                line.layer = std::string(value);
            } else if (o.name == "user") {
                line.user = std::string(value);
            } else if (o.name == "allow-unencrypted") {
                line.allowUnencrypted = true;
            } else if (o.name == "accept-certificate") {
                const auto fingerprint = Fingerprint(value);
                if (!fingerprint) {
                    result.error = "invalid fingerprint " + Quoted(value) +
                                   " for --accept-certificate (the 64 hexadecimal digits of "
                                   "SHA-256)";
                    return result;
                }
                line.acceptCertificate = *fingerprint;
            } else {
                line.passwordStdin = true;
            }
            calendarOnly = calendarOnly.empty() ? "--" + std::string(o.name) : calendarOnly;
        } else if (o.name == "export-ics" || o.name == "import-ics") {
            if (!icsOption.empty() || value.empty()) {
                result.error = value.empty()
                                   ? "option '--" + std::string(o.name) + "' requires a file name"
                                   : "only one of '--export-ics' and '--import-ics' "
                                     "may be given, once";
                return result;
            }
            icsOption = "--" + std::string(o.name);
            line.icsFile = std::string(value);
        } else if (o.name == "pending") {
            pending = true;
        } else if (o.name == "version") {
            version = true;
        } else if (o.name == "all-layers") {
            line.allLayers = true;
            agendaOnly = agendaOnly.empty() ? "--all-layers" : agendaOnly;
        } else if (o.name == "from") {
            line.fromDay = ParseDate(value);
            if (!line.fromDay) {
                result.error = "invalid date " + Quoted(value) + " for --from (YYYY-MM-DD)";
                return result;
            }
            agendaOnly = agendaOnly.empty() ? "--from" : agendaOnly;
        } else if (o.name == "days") {
            const auto days = ParseDays(value);
            if (!days) {
                result.error = "invalid number of days " + Quoted(value) + " for --days (1 to " +
                               std::to_string(kMaxAgendaDays) + ")";
                return result;
            }
            line.days = *days;
            agendaOnly = agendaOnly.empty() ? "--days" : agendaOnly;
        } else {
            result.error = "unrecognized option " + Quoted(arg) + " (see --help)";
            return result;
        }
    }
    if (help) {
        line.action = CommandLine::Action::Help;
        return result;
    }
    if (version) {
        line.action = CommandLine::Action::Version;
        return result;
    }
    if (!syncOption.empty() || !calendarOnly.empty()) {
        const std::string other = !icsOption.empty() ? icsOption
                                  : pending          ? std::string("--pending")
                                  : agenda           ? std::string("--agenda")
                                                     : agendaOnly;
        if (!calendarOnly.empty() && syncOption != "--add-calendar") {
            result.error = "option '" + calendarOnly + "' goes with '--add-calendar' only";
        } else if (!other.empty()) {
            result.error =
                "option " + Quoted(syncOption) + " cannot be combined with '" + other + "'";
        }
        if (result.error.empty() && syncOption == "--add-calendar" && line.layer.empty()) {
            result.error = "option '--add-calendar' requires '--layer NAME'";
        }
        if (!result.error.empty()) {
            return result;
        }
        line.action = syncOption == "--add-calendar" ? CommandLine::Action::AddCalendar
                      : syncOption == "--sync"       ? CommandLine::Action::Sync
                                                     : CommandLine::Action::Calendars;
        return result;
    }
    if (!icsOption.empty()) {
        if (pending || agenda || !agendaOnly.empty()) {
            result.error = "option " + Quoted(icsOption) + " cannot be combined with '" +
                           (pending  ? std::string("--pending")
                            : agenda ? std::string("--agenda")
                                     : agendaOnly) +
                           "'";
            return result;
        }
        line.action = icsOption == "--export-ics" ? CommandLine::Action::ExportIcs
                                                  : CommandLine::Action::ImportIcs;
        return result;
    }
    if (pending && (agenda || !agendaOnly.empty())) {
        result.error = "option '--pending' cannot be combined with '" +
                       (agenda ? std::string("--agenda") : agendaOnly) + "'";
        return result;
    }
    line.action = pending ? CommandLine::Action::Pending : CommandLine::Action::Agenda;
    if (line.fromDay && *line.fromDay + line.days - 1 > kMaxDayNumber) {
        result.error = "the agenda would end after the year 9999";
    }
    return result;
}

bool IsSyncAction(CommandLine::Action action) {
    return action == CommandLine::Action::AddCalendar || action == CommandLine::Action::Sync ||
           action == CommandLine::Action::Calendars;
}

std::string SyncProgramPath() {
    return platform::JoinPath(platform::ProgramFolder(), "quenlaris-calendar-sync");
}

std::string HelpText() {
    return R"(Usage: quenlaris-calendar [OPTION]...
Show the events of Quenlaris Calendar on the command line.
Without an option, start the desktop calendar.

      --agenda        print the events of the coming days, one line per
                        occurrence, in order of date and time
      --from=DATE     begin the agenda on DATE (YYYY-MM-DD) instead of today
      --days=N        show N days (1 to 3660; default 7: today and 6 more)
      --all-layers    include the events of layers that are not checked
      --pending       print the alarms that are due now
      --export-ics=FILE  write every event to the iCalendar file FILE
                        ("-": standard output)
      --import-ics=FILE  add the events of the iCalendar file FILE ("-": standard
                        input); events imported before are matched by their UID
      --data-dir=DIR  keep the events, options and sounds in the folder DIR
                        (made when missing) instead of the data folder below
      --add-calendar=URL --layer=NAME [--user=USER] [--password-stdin]
                      bind the layer NAME (made when missing) to the calendar at
                        URL on a CalDAV server; the password is read from
                        standard input and kept in the desktop's secret store
      --allow-unencrypted  with --add-calendar: allow plain http to another
                        machine (the password then travels unencrypted)
      --accept-certificate=SHA256  with --add-calendar: trust the server's
                        certificate with this SHA-256 fingerprint (a
                        self-signed one); a refused certificate's is printed
      --sync          synchronise every bound layer once and print one line
      --calendars     list the bound layers and their last synchronisation
  -h, --help          display this help and exit
      --version       output version information and exit

--from, --days and --all-layers imply --agenda.

Each line reads
  2026-12-10 10:00  Dentist  [Work] !
with the date, the begin time (24 hours), the subject, the layer and, when
the event has an alarm, "!". An event shows on each day its rule has it occur;
a one-time event shows on its begin date only. Events of an unchecked layer
show only with --all-layers. --pending lists every alarm that the alarm window
would show now, on the day of the occurrence that made it due.

The events are read from user.mdb and setup.ini in the data folder: the folder
given with --data-dir; else the program's folder when it holds user.mdb and
may be written (a portable copy); else $XDG_DATA_HOME/quenlaris-calendar
(~/.local/share/quenlaris-calendar), made at the first start. The agenda and
--pending only read them, so they work while the desktop calendar runs.
--import-ics adds the events in one transaction; while the desktop calendar
runs, it makes the import itself and shows the events at once.

--sync suits a systemd timer or cron; while the desktop calendar runs, the
synchronisation commands are made by it.

Exit status:
 0  if OK,
 2  if an argument is wrong, the calendar cannot be read or a synchronisation
    failed.
)";
}

std::optional<int> RunCommandLine(const std::vector<std::string>& args,
                                  const std::string& dataFolder, std::ostream& out,
                                  std::ostream& err, const IcsHandlers* ics) {
    Reporter report(err);
    const ParseResult parsed = ParseCommandLine(args);
    if (!parsed.error.empty()) {
        return report.Fail(parsed.error);
    }
    const CommandLine& line = parsed.line;
    switch (line.action) {
        case CommandLine::Action::Desktop:
            return std::nullopt;
        case CommandLine::Action::Help:
            out << HelpText() << "\nData folder in use: " << dataFolder << '\n';
            return 0;
        case CommandLine::Action::Version:
            out << kProgram << ' ' << kVersionText << '\n';
            return 0;
        case CommandLine::Action::ExportIcs:
            if (ics == nullptr)
                return std::nullopt;
            return ics->exportIcs(dataFolder, line.icsFile, out, err);
        case CommandLine::Action::ImportIcs:
            if (ics == nullptr)
                return std::nullopt;
            return ics->importIcs(dataFolder, line.icsFile, out, err);
        case CommandLine::Action::AddCalendar:
        case CommandLine::Action::Sync:
        case CommandLine::Action::Calendars:
            return report.Fail("the synchronisation is made by " + SyncProgramPath());
        case CommandLine::Action::Agenda:
        case CommandLine::Action::Pending:
            break;
    }

    TDataMod dm(dataFolder, report, platform::OpenMode::ReadOnly);
    if (!dm.Connected()) {
        return CannotRead(report, dm, report.First());
    }
    dm.LoadLayers();
    // What the layer table could not hold as it stands (a damaged name, the layer limit) is
    // said, and the events are listed all the same.
    if (!report.First().empty()) {
        report.Fail(report.First());
        report.Clear();
    }
    if (line.action == CommandLine::Action::Agenda) {
        const int first = line.fromDay.value_or(clock::Today());
        const int days = std::min(line.days, kMaxDayNumber - first + 1);
        try {
            WriteAgenda(dm, first, days, line.allLayers, out);
        } catch (const platform::DbError& error) {
            return CannotRead(report, dm, error.what());
        }
    } else {
        std::vector<AgendaLine> lines;
        if (!PendingLines(dm, lines)) {
            return CannotRead(report, dm, report.First());
        }
        std::string text;
        for (const AgendaLine& l : lines) {
            AppendLine(text, l);
            text += '\n';
        }
        out << text;
    }
    out.flush();
    if (!out) {
        return report.Fail("cannot write the output");
    }
    return 0;
}

std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err,
                                  const IcsHandlers* ics) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    // The folder is looked up only when it is needed: the desktop program finds it itself.
    const Reporter report(err);
    const ParseResult parsed = ParseCommandLine(args);
    const CommandLine::Action action = parsed.line.action;
    if (!parsed.error.empty()) {
        return report.Fail(parsed.error);
    }
    const bool icsCommand =
        action == CommandLine::Action::ExportIcs || action == CommandLine::Action::ImportIcs;
    if (action == CommandLine::Action::Desktop || (icsCommand && ics == nullptr)) {
        return std::nullopt;
    }
    if (IsSyncAction(action)) {
        // The synchronisation needs the network part of the toolkit: its own program, in this
        // process, with the same arguments.
        const std::string program = SyncProgramPath();
        std::vector<char*> programArgs(argv, argv + argc);
        programArgs[0] = const_cast<char*>(program.c_str());
        programArgs.push_back(nullptr);
        ::execv(program.c_str(), programArgs.data());
        return report.Fail("cannot start " + program + ": " + std::strerror(errno));
    }
    const platform::DataFolderPlace place = platform::ChooseDataFolder(parsed.line.dataDir);
    if (action != CommandLine::Action::Help && action != CommandLine::Action::Version) {
        // A restore or compaction cut short is settled before a missing user.mdb is replaced.
        RepairDataFolder(place.folder);
        const std::string problem = platform::PrepareDataFolder(
            place.folder, platform::DeliveredFolder(platform::ProgramFolder()));
        if (!problem.empty()) {
            return report.Fail("cannot make the data folder " + problem);
        }
    }
    return RunCommandLine(args, place.folder, out, err, ics);
}

}  // namespace qcal::cli
