#pragma once

#include <string>

namespace qcal {

// Where the data layer reports failures; the desktop shows them in an error box.
// Inside a text a carriage return stands for a line break.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void ShowError(const std::string& text) = 0;
};

// Writes errors to standard error; used where no window is available.
class StderrErrorReporter final : public ErrorReporter {
public:
    void ShowError(const std::string& text) override;
};

}  // namespace qcal
