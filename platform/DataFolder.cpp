#include "platform/DataFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/System.h"

namespace qcal::platform {

namespace {

constexpr const char* kDatabase = "user.mdb";

// Access for the effective user, as opening the files will be.
bool Writable(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

std::string Reason(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

// mkdir -p; new folders get 0700, as is usual under the XDG base folders.
std::string MakeFolders(const std::string& folder) {
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        const std::string part = folder.substr(0, pos);
        if (part.empty() || ::mkdir(part.c_str(), 0700) == 0 || errno == EEXIST)
            continue;
        return Reason(part, errno);
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return Reason(folder, errno);
    if (!S_ISDIR(st.st_mode))
        return Reason(folder, ENOTDIR);
    return {};
}

std::string CopyIfMissing(const std::string& delivered, const std::string& folder,
                          const std::string& name) {
    const std::string target = JoinPath(folder, name);
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0)
        return {};
    const std::string source = JoinPath(delivered, name);
    std::string content;
    if (!ReadWholeFile(source, content))
        return Reason(source, errno != 0 ? errno : EIO);
    std::string error;
    if (!WriteFileAtomically(target, content, &error))
        return target + ": " + error;
    return {};
}

}  // namespace

DataFolderPlace ChooseDataFolder(const DataFolderInputs& in) {
    if (!in.given.empty())
        return {in.given, DataFolderKind::Given};
    if (FileExists(JoinPath(in.programFolder, kDatabase)) && Writable(in.programFolder))
        return {in.programFolder, DataFolderKind::Portable};
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    const std::string base = !in.xdgDataHome.empty() && in.xdgDataHome.front() == '/'
                                 ? in.xdgDataHome
                                 : JoinPath(JoinPath(in.home, ".local"), "share");
    return {JoinPath(base, "quenlaris-calendar"), DataFolderKind::PerUser};
}

DataFolderPlace ChooseDataFolder(const std::string& given) {
    DataFolderInputs in;
    if (!given.empty()) {
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(given, ec).lexically_normal();
        if (ec)
            path = given;
        in.given = path.string();
        while (in.given.size() > 1 && in.given.back() == '/')
            in.given.pop_back();
    }
    in.programFolder = ProgramFolder();
    if (const char* xdg = std::getenv("XDG_DATA_HOME"))
        in.xdgDataHome = xdg;
    in.home = HomeFolder();
    return ChooseDataFolder(in);
}

std::string DeliveredFolder(const std::string& programFolder) {
    return JoinPath(programFolder, "delivered");
}

std::string PrepareDataFolder(const std::string& folder, const std::string& delivered) {
    if (std::string problem = MakeFolders(folder); !problem.empty())
        return problem;
    if (FileExists(JoinPath(folder, kDatabase)))
        return {};
    if (std::string problem = MakeFolders(JoinPath(folder, "music")); !problem.empty())
        return problem;
    for (const char* name : {"setup.ini", "music/play.wav", kDatabase}) {
        if (std::string problem = CopyIfMissing(delivered, folder, name); !problem.empty())
            return problem;
    }
    return {};
}

std::string WriteProblem(const std::string& folder) {
    // A file made and removed again: the rollback journal, settings and restores need it.
    std::string probe = JoinPath(folder, ".write-test-XXXXXX");
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return Reason(folder, errno);
    ::close(fd);
    ::unlink(probe.c_str());
    const std::string database = JoinPath(folder, kDatabase);
    const int db = ::open(database.c_str(), O_RDWR | O_CLOEXEC);
    if (db < 0)
        return errno == ENOENT ? std::string() : Reason(database, errno);
    ::close(db);
    return {};
}

}  // namespace qcal::platform
