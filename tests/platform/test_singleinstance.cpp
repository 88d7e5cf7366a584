// One running program per user and program folder: the names, the first and later starts,
// a lock and socket left behind by a crash, and the process marker.

#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>

#include "cli/RunningProgram.h"

#include "platform/desktop/SingleInstance.h"

using qcal::desktop::InstanceServerName;
using qcal::desktop::ProcessMarker;
using qcal::desktop::SingleInstance;

namespace {

// A later start in a thread of its own, so that this thread's event loop can answer it.
class LaterStart {
public:
    explicit LaterStart(const QString& name)
        : thread_(QThread::create([this, name] {
              SingleInstance later(name);
              result_ = int(later.Claim());
          })) {
        thread_->start();
    }
    ~LaterStart() { thread_->wait(); }
    bool Done() const { return thread_->isFinished(); }
    int Result() const { return result_; }

private:
    std::atomic<int> result_{-1};
    std::unique_ptr<QThread> thread_;
};

bool ExclusivelyLockable(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return locked;
}

// What a crashed run leaves: a socket file that nobody listens on.
void LeaveDeadSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(path));
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void init() {
        runtime_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_->path()));
    }

    void namesPerProgramFolder() {
        QTemporaryDir a, b;
        const QString nameA = InstanceServerName(a.path());
        QVERIFY(nameA.startsWith(runtime_->path() + QStringLiteral("/quenlaris-calendar-")));
        QVERIFY(nameA.contains(QStringLiteral("-%1-").arg(::getuid())));
        QCOMPARE(InstanceServerName(a.path() + QStringLiteral("/")), nameA);
        QCOMPARE(InstanceServerName(a.path() + QStringLiteral("/./")), nameA);
        QVERIFY(InstanceServerName(b.path()) != nameA);
        // A socket path must fit the address structure.
        QVERIFY(QFile::encodeName(nameA).size() < qsizetype(sizeof(sockaddr_un::sun_path)));
    }

    void staleState_data() {
        QTest::addColumn<bool>("staleLock");
        QTest::addColumn<bool>("staleSocket");
        QTest::newRow("nothing left") << false << false;
        QTest::newRow("lock file left") << true << false;
        QTest::newRow("lock file and socket left") << true << true;
        QTest::newRow("socket left") << false << true;
    }
    // Whatever a crashed run left behind, the next start is the first; a start after it is
    // the second, ends, and has the first come forward.
    void staleState() {
        QFETCH(bool, staleLock);
        QFETCH(bool, staleSocket);
        QTemporaryDir folder;
        const QString name = InstanceServerName(folder.path());
        if (staleLock) {
            QFile lock(name + QStringLiteral(".lock"));
            QVERIFY(lock.open(QIODevice::WriteOnly));
        }
        if (staleSocket)
            LeaveDeadSocket(name);

        SingleInstance first(name);
        QSignalSpy asked(&first, &SingleInstance::activationRequested);
        QCOMPARE(first.Claim(), SingleInstance::Start::First);
        QVERIFY(!ExclusivelyLockable(name + QStringLiteral(".lock")));

        {
            LaterStart later(name);
            QTRY_VERIFY(later.Done());
            QCOMPARE(later.Result(), int(SingleInstance::Start::Second));
        }
        QTRY_COMPARE(asked.count(), 1);
        // The later start leaves the first's files as they were.
        QCOMPARE(QDir(runtime_->path()).entryList(QDir::Files | QDir::System).size(), 2);
    }

    // The command line's import goes to the running program, which answers with the exit
    // status and the report; while its data are away the command waits.
    void importHandedToTheRunningProgram_data() {
        QTest::addColumn<int>("busyAnswers");  // "busy" before the program takes it
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("imported") << 0 << 0
                                  << QByteArray(
                                         "1 events imported, 0 changed (see details), "
                                         "0 skipped\nNew layer \"Sport\".\n")
                                  << QByteArray();
        QTest::newRow("refused file") << 0 << 2 << QByteArray()
                                      << QByteArray(
                                             "quenlaris-calendar: The file is not an "
                                             "iCalendar file.\n");
        QTest::newRow("backup under way")
            << 3 << 0 << QByteArray("0 events imported\n") << QByteArray();
    }
    void importHandedToTheRunningProgram() {
        QFETCH(int, busyAnswers);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QTemporaryDir folder;
        const std::string path = folder.path().toStdString();
        SingleInstance first(InstanceServerName(folder.path()));
        QCOMPARE(first.Claim(), SingleInstance::Start::First);
        QVERIFY(qcal::cli::ProgramRuns(path));
        int asked = 0;
        QByteArray received;
        first.SetImportHandler([&] { return ++asked > busyAnswers; },
                               [&](const QByteArray& text) {
                                   received = text;
                                   return SingleInstance::CommandAnswer{status, out, err};
                               });
        const std::string text = "BEGIN:VCALENDAR\r\n" + std::string(200000, 'x') + "\r\n";
        std::ostringstream said;
        std::ostringstream complained;
        std::optional<int> got;
        std::unique_ptr<QThread> command(QThread::create(
            [&] { got = qcal::cli::ImportThroughRunningProgram(path, text, said, complained); }));
        command->start();
        QTRY_VERIFY_WITH_TIMEOUT(command->isFinished(), 20000);
        QCOMPARE(got, std::optional<int>(status));
        QCOMPARE(received, QByteArray::fromStdString(text));
        QCOMPARE(asked, busyAnswers + 1);
        QCOMPARE(QByteArray::fromStdString(said.str()), out);
        QCOMPARE(QByteArray::fromStdString(complained.str()), err);
    }

    // Without a running program the command writes itself.
    void importWithoutRunningProgram() {
        QTemporaryDir folder;
        const std::string path = folder.path().toStdString();
        QVERIFY(!qcal::cli::ProgramRuns(path));
        {
            SingleInstance ended(InstanceServerName(folder.path()));
            QCOMPARE(ended.Claim(), SingleInstance::Start::First);
        }
        std::ostringstream out;
        std::ostringstream err;
        QVERIFY(!qcal::cli::ImportThroughRunningProgram(path, "x", out, err).has_value());
        QVERIFY(out.str().empty() && err.str().empty());
    }

    // Once the first has ended, the next start takes its place.
    void firstEndsThenNextIsFirst() {
        QTemporaryDir folder;
        const QString name = InstanceServerName(folder.path());
        {
            SingleInstance first(name);
            QCOMPARE(first.Claim(), SingleInstance::Start::First);
        }
        QVERIFY(ExclusivelyLockable(name + QStringLiteral(".lock")));
        SingleInstance next(name);
        QCOMPARE(next.Claim(), SingleInstance::Start::First);
    }

    // Two program folders run side by side.
    void otherFolderIsNoSecondStart() {
        QTemporaryDir a, b;
        SingleInstance first(InstanceServerName(a.path()));
        QCOMPARE(first.Claim(), SingleInstance::Start::First);
        SingleInstance other(InstanceServerName(b.path()));
        QCOMPARE(other.Claim(), SingleInstance::Start::First);
    }

    // The marker is held (shared) while the process lives, by any number of programs, and a
    // marker left by a crash stands in nobody's way.
    void processMarker() {
        QCOMPARE(ProcessMarker::Path(),
                 runtime_->path() + QStringLiteral("/onlyforquenlariscalendar"));
        {
            QFile left(ProcessMarker::Path());
            QVERIFY(left.open(QIODevice::WriteOnly));
        }
        {
            ProcessMarker one;
            ProcessMarker two;
            QVERIFY(one.Held());
            QVERIFY(two.Held());
            QVERIFY(!ExclusivelyLockable(ProcessMarker::Path()));
        }
        QVERIFY(ExclusivelyLockable(ProcessMarker::Path()));
    }

    // Without XDG_RUNTIME_DIR the files go to the temp folder.
    void tempFolderWithoutRuntimeFolder() {
        qunsetenv("XDG_RUNTIME_DIR");
        QVERIFY(InstanceServerName(QStringLiteral("/opt/x"))
                    .startsWith(QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/")));
        QCOMPARE(ProcessMarker::Path(),
                 QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/onlyforquenlariscalendar"));
    }

private:
    std::unique_ptr<QTemporaryDir> runtime_;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
