#include "platform/Autorun.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/System.h"

namespace qcal::platform {

namespace {

std::string DefaultAutostartFolder() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as XDG readers do.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return JoinPath(config, "autostart");
    return JoinPath(JoinPath(HomeFolder(), ".config"), "autostart");
}

// mkdir -p; new folders get 0700, as is usual for XDG configuration folders.
bool MakeFolders(const std::string& folder, std::string* error) {
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        const std::string part = folder.substr(0, pos);
        if (part.empty())
            continue;
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            if (error)
                *error = std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error)
            *error = std::strerror(ENOTDIR);
        return false;
    }
    return true;
}

// One argument of the Exec value. It is unescaped twice by its readers: first as a desktop
// entry string ("\\" "\n" ...), then as a quoted argument ("\"" "\`" "\$" "\\"); "%" starts a
// field code and is doubled.
std::string ExecArgument(const std::string& text) {
    std::string argument = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            argument += '\\';
        argument += c;
    }
    argument += '"';
    std::string exec;
    for (char c : argument) {
        switch (c) {
            case '\\':
                exec += "\\\\";
                break;
            case '\n':
                exec += "\\n";
                break;
            case '\r':
                exec += "\\r";
                break;
            case '\t':
                exec += "\\t";
                break;
            case '%':
                exec += "%%";
                break;
            default:
                exec += c;
        }
    }
    return exec;
}

}  // namespace

Autorun::Autorun(std::string autostartDir, std::string dataFolder)
    : dir_(autostartDir.empty() ? DefaultAutostartFolder() : std::move(autostartDir)),
      dataFolder_(std::move(dataFolder)) {}

std::string Autorun::entryPath() const {
    return JoinPath(dir_, "quenlaris-calendar.desktop");
}

bool Autorun::write(const std::string& executablePath, std::string* error) const {
    if (!MakeFolders(dir_, error))
        return false;
    return WriteFileAtomically(entryPath(), EntryText(executablePath, dataFolder_), error);
}

bool Autorun::remove(std::string* error) const {
    if (::unlink(entryPath().c_str()) == 0 || errno == ENOENT)
        return true;
    if (error)
        *error = std::strerror(errno);
    return false;
}

bool Autorun::exists() const {
    return FileExists(entryPath());
}

std::string Autorun::EntryText(const std::string& executablePath, const std::string& dataFolder) {
    std::string exec = ExecArgument(executablePath) + " autorun";
    if (!dataFolder.empty()) {
        exec += " --data-dir " + ExecArgument(dataFolder);
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quenlaris Calendar\n"
           "Exec=" +
           exec +
           "\n"
           "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace qcal::platform
