#pragma once

// The iCalendar commands of the command line: no window, no Qt.

#include <ostream>
#include <string>

#include "store/IcalImport.h"

namespace qcal::cli {

// --export-ics FILE: writes every event of the program folder's database to FILE ("-" for
// standard output). --import-ics FILE: adds the events of FILE ("-" for standard input) and
// prints the summary and its details. Both answer 0 when done, and 2 with a one-line message
// on err for a missing FILE, a database that cannot be opened, or a file that cannot be
// read or written (nothing is changed then).
int ExportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err);
// While the desktop program runs on folder, the import is handed to it (it imports, shows
// the events and prints the same report).
int ImportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err);

// What --import-ics prints for an import, and its exit status: the summary and the details on
// out and 0, or the one-line failure on err and 2.
struct CommandReport {
    int status = 0;
    std::string out;
    std::string err;
};
CommandReport ImportReport(const ical::ImportResult& result);

}  // namespace qcal::cli
