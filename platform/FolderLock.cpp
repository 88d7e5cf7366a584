#include "platform/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace qcal::platform {

FolderLock::FolderLock(const std::string& folder, Wait wait) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    const int how = wait == Wait::Block ? LOCK_EX : LOCK_EX | LOCK_NB;
    int rc;
    do
        rc = ::flock(fd, how);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace qcal::platform
