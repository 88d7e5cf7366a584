#include "cli/RunningProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/InstanceAddress.h"

namespace qcal::cli {

namespace {

using namespace std::chrono_literals;

// How long a program that holds its lock may take to listen, or to answer a request.
constexpr auto kPatience = 5s;
constexpr auto kRetry = 200ms;

class Socket {
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Connect(const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (fd_ < 0 || path.size() >= sizeof address.sun_path) {
            return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        return ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    bool Send(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            sent += std::size_t(n);
        }
        return true;
    }

    // The next n bytes, or the next line without its "\n" (n < 0). False at the end of the
    // connection, or when nothing came within timeout (when given).
    bool Read(std::string& got, long long n, std::optional<std::chrono::milliseconds> timeout) {
        got.clear();
        for (;;) {
            if (n < 0) {
                if (const std::size_t eol = buffer_.find('\n'); eol != std::string::npos) {
                    got = buffer_.substr(0, eol);
                    buffer_.erase(0, eol + 1);
                    return true;
                }
            } else if (buffer_.size() >= std::size_t(n)) {
                got = buffer_.substr(0, std::size_t(n));
                buffer_.erase(0, std::size_t(n));
                return true;
            }
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, timeout ? int(timeout->count()) : -1);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return false;
            }
            char chunk[65536];
            const ssize_t r = ::recv(fd_, chunk, sizeof chunk, 0);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r <= 0) {
                return false;
            }
            buffer_.append(chunk, std::size_t(r));
        }
    }

private:
    int fd_;
    std::string buffer_;
};

enum class Outcome { NoProgram, Busy, Gone, Done };

Outcome TryOnce(const std::string& folder, const std::string& word, const std::string& text,
                int& status, std::ostream& out, std::ostream& err) {
    const std::string path = platform::InstanceSocketPath(folder);
    Socket socket;
    // A program that has just started holds its lock before it listens.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!socket.Connect(path)) {
        if (!ProgramRuns(folder) || std::chrono::steady_clock::now() > deadline) {
            return Outcome::NoProgram;
        }
        std::this_thread::sleep_for(kRetry);
    }
    std::string line;
    if (!socket.Send(word + " " + std::to_string(text.size()) + "\n") ||
        !socket.Read(line, -1, std::chrono::duration_cast<std::chrono::milliseconds>(kPatience))) {
        // A program that does not know the request: the command writes itself, as before.
        return Outcome::NoProgram;
    }
    if (line == "busy") {
        return Outcome::Busy;
    }
    if (line != "accepted") {
        return Outcome::NoProgram;
    }
    // The import takes as long as it takes; the program answers when it is done.
    if (!socket.Send(text) || !socket.Read(line, -1, std::nullopt)) {
        return Outcome::Gone;
    }
    std::istringstream header(line);
    std::string answer;
    long long outBytes = -1;
    long long errBytes = -1;
    header >> answer >> status >> outBytes >> errBytes;
    std::string outText;
    std::string errText;
    if (answer != "result" || !header || outBytes < 0 || errBytes < 0 ||
        !socket.Read(outText, outBytes, std::nullopt) ||
        !socket.Read(errText, errBytes, std::nullopt)) {
        return Outcome::Gone;
    }
    out << outText;
    err << errText;
    return Outcome::Done;
}

}  // namespace

bool ProgramRuns(const std::string& folder) {
    const std::string lock = platform::InstanceLockPath(folder);
    const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    // The program holds the lock exclusively: a shared lock is refused while it runs.
    const bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    return !free;
}

std::optional<int> ImportThroughRunningProgram(const std::string& folder, const std::string& text,
                                               std::ostream& out, std::ostream& err) {
    return CommandThroughRunningProgram(
        folder, "import-ics", text, out, err,
        "the running calendar ended before it reported the import; see whether the events are "
        "there before importing again");
}

std::optional<int> CommandThroughRunningProgram(const std::string& folder, const std::string& word,
                                                const std::string& text, std::ostream& out,
                                                std::ostream& err, const std::string& whenGone) {
    for (;;) {
        if (!ProgramRuns(folder)) {
            return std::nullopt;
        }
        int status = 2;
        switch (TryOnce(folder, word, text, status, out, err)) {
            case Outcome::NoProgram:
                return std::nullopt;
            case Outcome::Done:
                return status;
            case Outcome::Busy:
                // A backup, restore or compaction has the data: wait for it to end (a restore
                // or compaction ends the program, and the command then writes itself).
                std::this_thread::sleep_for(kRetry);
                break;
            case Outcome::Gone:
                // Whether its transaction was committed cannot be known here.
                err << "quenlaris-calendar: " << whenGone << "\n";
                return 2;
        }
    }
}

}  // namespace qcal::cli
