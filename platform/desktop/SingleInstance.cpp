#include "platform/desktop/SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/InstanceAddress.h"

namespace qcal::desktop {
namespace {

// What a later start sends, and the first's answer.
constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";
constexpr char kImportRequest[] = "import-ics ";
constexpr char kSyncRequest[] = "sync-command ";
// Far above the largest iCalendar file an import reads.
constexpr qint64 kMaxImportBytes = qint64(1) << 30;

// How long a later start waits for the first to answer: the first may still be starting up.
constexpr int kPatienceMs = 5000;

int OpenNoFollow(const QString& path, int flags, mode_t mode) {
    const QByteArray name = QFile::encodeName(path);
    return ::open(name.constData(), flags | O_CLOEXEC | O_NOFOLLOW, mode);
}

}  // namespace

QString RuntimeFolder() {
    return QFile::decodeName(QByteArray::fromStdString(platform::RuntimeFolder()));
}

QString InstanceServerName(const QString& programFolder) {
    return QFile::decodeName(QByteArray::fromStdString(
        platform::InstanceSocketPath(QFile::encodeName(programFolder).toStdString())));
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), name_(std::move(serverName)) {}

SingleInstance::~SingleInstance() {
    if (server_)
        server_->close();
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

SingleInstance::Start SingleInstance::Claim() {
    lockFd_ = OpenNoFollow(name_ + QStringLiteral(".lock"), O_RDWR | O_CREAT, 0600);
    if (lockFd_ < 0) {
        // No lock to decide by (an unwritable runtime folder): whoever answers on the socket
        // is the first.
        if (AskFirst(300))
            return Start::Second;
        QLocalServer::removeServer(name_);
        Listen();
        return Start::First;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
        // Nobody else holds the lock, so a socket left behind belongs to a run that ended.
        QLocalServer::removeServer(name_);
        Listen();
        return Start::First;
    }
    ::close(lockFd_);
    lockFd_ = -1;
    // The first runs. Even when it does not answer in time, starting a second copy beside it
    // would let the two overwrite each other's settings, so this start ends either way.
    AskFirst(kPatienceMs);
    return Start::Second;
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
    return true;
}

void SingleInstance::SetImportHandler(std::function<bool()> ready,
                                      std::function<CommandAnswer(const QByteArray&)> run) {
    importReady_ = std::move(ready);
    importRun_ = std::move(run);
}

void SingleInstance::SetSyncHandler(std::function<CommandAnswer(const QByteArray&)> run) {
    syncRun_ = std::move(run);
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The size of the import text still to come (-1: none), and what came of it.
        auto expected = std::make_shared<qint64>(-1);
        auto text = std::make_shared<QByteArray>();
        auto sync = std::make_shared<bool>(false);  // the request is a synchronisation command
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, expected, text, sync] {
            const QPointer<QLocalSocket> alive(socket);
            while (alive) {
                if (*expected >= 0) {
                    text->append(socket->read(*expected - text->size()));
                    if (text->size() < *expected)
                        return;
                    *expected = -1;
                    const QByteArray request = std::exchange(*text, QByteArray());
                    // The import may run nested event loops (a message box): the connection
                    // may be gone when it returns.
                    const CommandAnswer answer = *sync ? syncRun_(request) : importRun_(request);
                    if (!alive)
                        return;
                    socket->write(QByteArrayLiteral("result ") + QByteArray::number(answer.status) +
                                  ' ' + QByteArray::number(answer.out.size()) + ' ' +
                                  QByteArray::number(answer.err.size()) + '\n' + answer.out +
                                  answer.err);
                    socket->flush();
                    continue;
                }
                if (!socket->canReadLine())
                    return;
                const QByteArray line = socket->readLine();
                if (line == QByteArray(kShowRequest)) {
                    socket->write(kShowAnswer);
                    socket->flush();
                    emit activationRequested();
                    continue;
                }
                *sync = line.startsWith(kSyncRequest) && syncRun_;
                if (!*sync && (!line.startsWith(kImportRequest) || !importRun_))
                    continue;
                bool number = false;
                const qint64 size = line.mid(*sync ? qsizetype(sizeof kSyncRequest) - 1
                                                   : qsizetype(sizeof kImportRequest) - 1)
                                        .trimmed()
                                        .toLongLong(&number);
                if (!number || size < 0 || size > kMaxImportBytes) {
                    socket->abort();
                    return;
                }
                if (importReady_ && !importReady_()) {
                    socket->write("busy\n");
                    socket->flush();
                    continue;
                }
                socket->write("accepted\n");
                socket->flush();
                *expected = size;
            }
        });
    }
}

bool SingleInstance::AskFirst(int patienceMs) const {
    const QDeadlineTimer deadline(patienceMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(name_);
        if (socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 1))))
            break;
        if (deadline.hasExpired())
            return false;
        // The first has its lock but is not listening yet.
        QThread::msleep(50);
    }
    socket.write(kShowRequest);
    socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 100)));
    // The answer means the request was read; without it the first still gets the request as
    // long as it was written.
    socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 100)));
    socket.disconnectFromServer();
    return true;
}

ProcessMarker::ProcessMarker() {
    const QString path = Path();
    fd_ = OpenNoFollow(path, O_RDWR | O_CREAT, 0644);
    if (fd_ < 0)
        fd_ = OpenNoFollow(path, O_RDONLY, 0);
    if (fd_ >= 0)
        ::flock(fd_, LOCK_SH | LOCK_NB);
}

ProcessMarker::~ProcessMarker() {
    if (fd_ >= 0)
        ::close(fd_);
}

QString ProcessMarker::Path() {
    return RuntimeFolder() + QStringLiteral("/onlyforquenlariscalendar");
}

}  // namespace qcal::desktop
