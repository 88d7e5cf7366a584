#pragma once

// The keys of the main window's commands. Where the desktop has a standard key for a command
// (QKeySequence's standard keys), that one is used, so the keys follow the desktop.

#include <QKeySequence>
#include <QList>
#include <QString>

namespace qcal {

enum class Command {
    NewEvent,
    EditEvent,
    DeleteEvent,
    SearchPage,
    Print,
    Preview,
    Preferences,
    ShowPending,
    Exit,
    PreviousMonth,
    NextMonth,
    Today,
    Help,
    SyncNow,
};

// Every command with keys, in the order the README lists them.
inline constexpr Command kCommandsWithKeys[] = {
    Command::NewEvent, Command::EditEvent,     Command::DeleteEvent, Command::SearchPage,
    Command::Print,    Command::Preview,       Command::Preferences, Command::ShowPending,
    Command::Exit,     Command::PreviousMonth, Command::NextMonth,   Command::Today,
    Command::Help,     Command::SyncNow,
};

// The keys of a command, the first one the one menus show.
QList<QKeySequence> KeysOf(Command command);

// A hint followed by the command's first key in brackets: "New Event (Ctrl+N)".
QString HintWithKey(const QString& hint, Command command);

// Days the selected day moves for an arrow key (left, right one day, up, down one week); 0
// for any other key.
int DaysMovedByKey(int key);

}  // namespace qcal
