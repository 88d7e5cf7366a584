#pragma once

// Help requests. Every window asks for help by a context number; the help window shows the
// page of that number from the program folder's help/ folder (help/<context>.html).

#include <functional>

class QWidget;

namespace qcal::desktop {

void ShowHelp(int context, QWidget* parent = nullptr);

// The help window registers itself here; tests replace it to see which topics were asked for.
using HelpHandler = std::function<void(int context, QWidget* parent)>;
void SetHelpHandler(HelpHandler handler);

}  // namespace qcal::desktop
