#pragma once

// Help requests. Every window asks for help by a context number; the help window shows the
// page of that number from the program folder's help/ folder (help/<context>.html).

#include <functional>

class QWidget;

namespace qcal::desktop {

// Opens the help window at the page of context. Without a handler set, the program's own
// help window over the program folder's help/ folder answers.
void ShowHelp(int context, QWidget* parent = nullptr);

// The help window registers itself here; tests replace it to see which topics were asked for.
// An empty handler restores the help window.
using HelpHandler = std::function<void(int context, QWidget* parent)>;
void SetHelpHandler(HelpHandler handler);

// F1 anywhere in window (unless a control takes the key itself) asks for the help of the
// context that context() answers at that moment.
void InstallHelpKey(QWidget* window, std::function<int()> context);

}  // namespace qcal::desktop
