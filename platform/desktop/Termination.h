#pragma once

// The end of the process on request: a session manager or `kill` sends SIGTERM (a terminal
// SIGINT or SIGHUP). The program then leaves its event loop with status 0, as through Exit, so
// the database is closed and nothing is left half done.

namespace qcal::desktop {

// Call once, after the application object exists.
void QuitOnTermination();

}  // namespace qcal::desktop
