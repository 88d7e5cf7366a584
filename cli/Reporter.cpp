#include "cli/Reporter.h"

#include <algorithm>

namespace qcal::cli {

void Reporter::ShowError(const std::string& text) {
    if (!reported_) {
        reported_ = true;
        first_ = text.empty() ? std::string("unknown error") : text;
    }
}

int Reporter::Fail(const std::string& message) const {
    err_ << kProgram << ": " << OneLine(message) << '\n';
    return 2;
}

std::string Reporter::OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace qcal::cli
