#pragma once

// The command line's side of the running desktop program's connection: a command that writes
// the data is handed to the program that has them open, so that one process writes them.
//
// The conversation, over the program's per-user socket (platform/InstanceAddress.h):
//   "import-ics <N>\n"           asks to import N bytes of iCalendar text (or
//   "sync-command <N>\n"         to run a synchronisation command described in N bytes)
//   "busy\n"                     the program's data are away (a backup, restore or compaction):
//                                ask again later
//   "accepted\n" <N bytes>       the program takes the text
//   "result <S> <O> <E>\n" <O bytes> <E bytes>
//                                the exit status S and what the command prints on standard
//                                output (O bytes) and standard error (E bytes)

#include <optional>
#include <ostream>
#include <string>

namespace qcal::cli {

// Whether the desktop program runs on folder (it holds its instance lock).
bool ProgramRuns(const std::string& folder);

// Hands the import of text to the desktop program running on folder and prints its report.
// While the program's data are away it waits. No value when no program runs (or it does not
// take the request): the caller writes itself. Otherwise the command's exit status.
std::optional<int> ImportThroughRunningProgram(const std::string& folder, const std::string& text,
                                               std::ostream& out, std::ostream& err);

// The same conversation for another command ("sync-command": the synchronisation's), whose
// request text the program reads; whenGone is told when the program ends before it answered.
std::optional<int> CommandThroughRunningProgram(const std::string& folder, const std::string& word,
                                                const std::string& text, std::ostream& out,
                                                std::ostream& err, const std::string& whenGone);

}  // namespace qcal::cli
