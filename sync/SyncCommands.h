#pragma once

// The synchronisation's commands of the command line: bind a layer to a server calendar, run
// one synchronisation, list the bindings. Made by the desktop program while it runs (handed
// over on its connection), else by a program of their own on the data folder.

#include <QByteArray>

#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace qcal::sync {

class CalDavSync;

struct SyncRequest {
    enum class Action { AddCalendar, Sync, Calendars };
    Action action = Action::Sync;
    std::string calendarUrl;
    std::string layer;
    std::string user;
    std::string password;  // --password-stdin; never printed
    bool allowUnencrypted = false;
    std::string fingerprint;  // of a certificate accepted with --accept-certificate
};

// What a command prints and its exit status (0, or 2 with one line on err).
struct CommandOutcome {
    int status = 0;
    std::string out;
    std::string err;
};

// The request as it travels to the running program, and back.
QByteArray EncodeRequest(const SyncRequest& request);
std::optional<SyncRequest> DecodeRequest(const QByteArray& text);

// Runs the request with this synchronisation; a run waits (in a local event loop) for its end.
CommandOutcome RunSyncRequest(CalDavSync& sync, const SyncRequest& request);

// The command on the data folder: handed to the desktop program when it runs there, else made
// here. The exit status.
int SyncCommand(const SyncRequest& request, const std::string& folder, std::ostream& out,
                std::ostream& err);

}  // namespace qcal::sync
