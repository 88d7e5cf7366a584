#include "platform/desktop/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace qcal::desktop {
namespace {

// What a later start sends, and the first's answer.
constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";

// How long a later start waits for the first to answer: the first may still be starting up.
constexpr int kPatienceMs = 5000;

int OpenNoFollow(const QString& path, int flags, mode_t mode) {
    const QByteArray name = QFile::encodeName(path);
    return ::open(name.constData(), flags | O_CLOEXEC | O_NOFOLLOW, mode);
}

}  // namespace

QString RuntimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime);
    return QDir::cleanPath(QDir::tempPath());
}

QString InstanceServerName(const QString& programFolder) {
    QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(QDir(programFolder).absolutePath());
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return RuntimeFolder() + QStringLiteral("/quenlaris-calendar-%1-%2")
                                 .arg(::getuid())
                                 .arg(QString::fromLatin1(hash));
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

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() != QByteArray(kShowRequest))
                    continue;
                socket->write(kShowAnswer);
                socket->flush();
                emit activationRequested();
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
