// Runs the command line on a given program folder: the expansion test imports, exports and
// prints agendas with it in folders of its own.

#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: ics_tool FOLDER OPTION...\n";
        return 2;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    return qcal::cli::RunCommandLine(args, argv[1], std::cout, std::cerr).value_or(0);
}
