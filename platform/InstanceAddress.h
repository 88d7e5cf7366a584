#pragma once

// Where the running program of a data folder listens for later starts and for the
// command line: a per-user socket path, the same from the desktop program and the Qt-free
// command line.

#include <string>

namespace qcal::platform {

// The folder for the per-user socket and lock files: $XDG_RUNTIME_DIR when it is a folder,
// else $TMPDIR, else /tmp (without a trailing "/").
std::string RuntimeFolder();

// "<RuntimeFolder()>/quenlaris-calendar-<uid>-<16 hex digits of the folder>": the folder is
// taken with its symbolic links resolved, so every spelling of it gives the same socket.
std::string InstanceSocketPath(const std::string& folder);

// The lock that the running program holds (exclusively) for its whole life.
std::string InstanceLockPath(const std::string& folder);

}  // namespace qcal::platform
