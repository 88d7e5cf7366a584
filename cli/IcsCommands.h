#pragma once

// The iCalendar commands of the command line: no window, no Qt.

#include <ostream>
#include <string>

namespace qcal::cli {

// --export-ics FILE: writes every event of the program folder's database to FILE ("-" for
// standard output). --import-ics FILE: adds the events of FILE ("-" for standard input) and
// prints the summary and its details. Both answer 0 when done, and 2 with a one-line message
// on err for a missing FILE, a database that cannot be opened, or a file that cannot be
// read or written (nothing is changed then).
int ExportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err);
int ImportIcsCommand(const std::string& folder, const std::string& path, std::ostream& out,
                     std::ostream& err);

}  // namespace qcal::cli
