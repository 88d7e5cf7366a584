#pragma once

#include <string>

namespace qcal::platform {

// The folder of the running executable (symbolic links followed) with no trailing "/".
std::string ProgramFolder();
// Full path of the running executable.
std::string ExecutablePath();
// The command that starts the program as the user types it: the installed command
// <prefix>/bin/quenlaris-calendar when it leads to this program's launcher, else the launcher
// "quenlaris-calendar" in the program folder when it is there, else this executable.
std::string LauncherPath();
// Joins with "/".
std::string JoinPath(const std::string& folder, const std::string& name);
// $HOME, else the home folder of the user's account.
std::string HomeFolder();
bool FileExists(const std::string& path);

// The date and time separators of the user's locale (LC_TIME), "/" and ":" when unknown.
struct LocaleSeparators {
    char date = '/';
    char time = ':';
};
LocaleSeparators CurrentLocaleSeparators();
// The first punctuation character between the fields of a strftime-style format ("%d.%m.%Y"
// gives '.', "%T" gives ':'), or fallback when it has none.
char SeparatorOfFormat(const std::string& format, char fallback);

}  // namespace qcal::platform
