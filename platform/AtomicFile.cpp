#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>

namespace qcal::platform {

namespace {

void SetError(std::string* error, int code) {
    if (error)
        *error = std::strerror(code);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A settings file kept as a link to elsewhere is replaced where it really lives, so the link
// survives the rename.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string out = real;
    std::free(real);
    return out;
}

// Creates a new, empty file next to target with the permission bits the target has (or the
// default ones under the umask for a new file). Returns the descriptor or -1 with errno set.
int CreateTemporary(const std::string& folder, const std::string& name, mode_t mode,
                    std::string& tempPath) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::minstd_rand random(device() ^ static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'X');
        for (char& c : suffix)
            c = kLetters[pick(random)];
        tempPath = folder + "/." + name + "." + suffix;
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Whether the existing file may be written. The rename would replace even a file the user
// made read-only, so this is asked first. The superuser may write anything, so for it the
// mode bits alone tell whether the file was meant to be written.
bool MayReplace(const std::string& path, const struct stat& st) {
    if (::geteuid() == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& content, std::string* error) {
    const std::string target = ResolveLink(path);
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) {
        SetError(error, EISDIR);
        return false;
    }

    mode_t mode = 0666;  // narrowed by the umask when the file is created
    bool keepMode = false;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            SetError(error, EISDIR);
            return false;
        }
        if (!MayReplace(target, st)) {
            SetError(error, EACCES);
            return false;
        }
        mode = st.st_mode & 07777;
        keepMode = true;
    }

    std::string tempPath;
    const int fd = CreateTemporary(folder == "/" ? "" : folder, name, mode, tempPath);
    if (fd < 0) {
        SetError(error, errno);
        return false;
    }
    // The umask applies to the mode given to open(); an existing file keeps its exact bits.
    bool ok = !keepMode || ::fchmod(fd, mode) == 0;
    ok = ok && WriteAll(fd, content.data(), content.size());
    ok = ok && ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(tempPath.c_str(), target.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(tempPath.c_str());
        SetError(error, code);
        return false;
    }
    // Make the rename itself durable. Some file systems cannot sync a folder; the new file is
    // in place either way.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    content = std::move(data);
    return true;
}

}  // namespace qcal::platform
