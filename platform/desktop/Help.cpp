#include "platform/desktop/Help.h"

namespace qcal::desktop {
namespace {

HelpHandler& helpHandler() {
    static HelpHandler handler;
    return handler;
}

}  // namespace

void ShowHelp(int context, QWidget* parent) {
    if (helpHandler())
        helpHandler()(context, parent);
}

void SetHelpHandler(HelpHandler handler) {
    helpHandler() = std::move(handler);
}

}  // namespace qcal::desktop
