#include "platform/System.h"

#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace qcal::platform {

std::string ExecutablePath() {
    std::vector<char> buffer(512);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

std::string ParentFolder(const std::string& folder) {
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return folder.substr(0, slash);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

std::string LauncherPath() {
    const std::string folder = ProgramFolder();
    const std::string launcher = JoinPath(folder, "quenlaris-calendar");
    if (::access(launcher.c_str(), X_OK) != 0)
        return ExecutablePath();
    // An install keeps the program in <prefix>/lib/quenlaris-calendar and the command the user
    // types in <prefix>/bin, a link to the launcher: that command is the one to name.
    const std::string command =
        JoinPath(JoinPath(ParentFolder(ParentFolder(folder)), "bin"), "quenlaris-calendar");
    if (SameFile(command, launcher))
        return command;
    return launcher;
}

std::string ProgramFolder() {
    const std::string exe = ExecutablePath();
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return exe.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

char SeparatorOfFormat(const std::string& format, char fallback) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%') {
            // Skip the conversion with its flags, width and E/O modifier.
            std::size_t k = i + 1;
            while (k < format.size() &&
                   std::string_view("_-0^#").find(format[k]) != std::string_view::npos) {
                ++k;
            }
            while (k < format.size() && format[k] >= '0' && format[k] <= '9')
                ++k;
            if (k < format.size() && (format[k] == 'E' || format[k] == 'O'))
                ++k;
            if (k >= format.size())
                break;
            switch (format[k]) {
                case 'D':
                    return '/';  // %m/%d/%y
                case 'F':
                    return '-';  // %Y-%m-%d
                case 'T':
                case 'R':
                case 'r':
                    return ':';  // %H:%M:%S, %H:%M, %I:%M:%S %p
                default:
                    break;
            }
            i = k;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        const bool punctuation = u > 0x20 && u < 0x7F && !(c >= '0' && c <= '9') &&
                                 !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z');
        if (punctuation)
            return c;
    }
    return fallback;
}

LocaleSeparators CurrentLocaleSeparators() {
    LocaleSeparators result;
    locale_t locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0))
        return result;
    result.date = SeparatorOfFormat(::nl_langinfo_l(D_FMT, locale), result.date);
    result.time = SeparatorOfFormat(::nl_langinfo_l(T_FMT, locale), result.time);
    ::freelocale(locale);
    return result;
}

}  // namespace qcal::platform
