#include "store/ErrorReporter.h"

#include <cstdio>

namespace qcal {

void StderrErrorReporter::ShowError(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        if (c == '\r') {
            c = '\n';
        }
    }
    std::fprintf(stderr, "Error: %s\n", shown.c_str());
}

}  // namespace qcal
