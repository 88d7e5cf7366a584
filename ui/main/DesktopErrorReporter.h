#pragma once

#include "store/ErrorReporter.h"

namespace qcal {

// Shows the data layer's failures in an error box.
class DesktopErrorReporter final : public ErrorReporter {
public:
    void ShowError(const std::string& text) override;
};

}  // namespace qcal
