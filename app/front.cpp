// Quenlaris Calendar: the command the user types. It answers the command-line options without
// loading the desktop toolkit, so an agenda prints at once, and hands every other start to
// the desktop program beside it (the iCalendar commands too, which it answers before starting
// the desktop toolkit).

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "platform/System.h"

int main(int argc, char* argv[]) {
    // The iCalendar commands are the desktop program's: the front never loads the iCalendar
    // library.
    if (const auto status = qcal::cli::RunCommandLine(argc, argv, std::cout, std::cerr, nullptr))
        return *status;

    std::string desktop =
        qcal::platform::JoinPath(qcal::platform::ProgramFolder(), "quenlaris-calendar-desktop");
    std::vector<char*> args(argv, argv + argc);
    args[0] = desktop.data();
    args.push_back(nullptr);
    // The same process goes on as the desktop program, with the same arguments.
    ::execv(desktop.c_str(), args.data());
    std::cerr << "quenlaris-calendar: cannot start " << desktop << ": " << std::strerror(errno)
              << '\n';
    return 1;
}
