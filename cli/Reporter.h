#pragma once

// How a command-line run reports: the data layer's failures are collected (the first one
// counts), and every message goes to the error stream on one line after the program's name.

#include <ostream>
#include <string>
#include <string_view>

#include "store/ErrorReporter.h"

namespace qcal::cli {

inline constexpr std::string_view kProgram = "quenlaris-calendar";

class Reporter final : public ErrorReporter {
public:
    explicit Reporter(std::ostream& err) : err_(err) {}

    // The data layer's report; only the first one is kept.
    void ShowError(const std::string& text) override;
    // The first report, "unknown error" for an empty one; empty when there was none.
    const std::string& First() const { return first_; }
    // Forgets the first report once it has been said, so that a later failure names its own.
    void Clear() {
        first_.clear();
        reported_ = false;
    }

    // Writes "quenlaris-calendar: " and the message on one line; returns the exit status 2.
    int Fail(const std::string& message) const;
    // The message on one line: its line breaks become blanks, trailing blanks go.
    static std::string OneLine(std::string text);

private:
    std::ostream& err_;
    std::string first_;
    bool reported_ = false;
};

}  // namespace qcal::cli
