// Replacing a file so that a failure never leaves it half-written.

#include <sys/resource.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/AtomicFile.h"
#include "support/TestText.h"

using qcal::platform::ReadWholeFile;
using qcal::platform::WriteFileAtomically;

using namespace qcal::test;

namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

}  // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT

private slots:
    void replaces_data() {
        QTest::addColumn<QByteArray>("old");  // null: no file before
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("new file") << QByteArray() << QByteArray("[A]\nk=v\n");
        QTest::newRow("longer") << QByteArray("short") << QByteArray(200000, 'L');
        QTest::newRow("shorter") << QByteArray(200000, 'L') << QByteArray("short");
        QTest::newRow("empty") << QByteArray("something") << QByteArray("");
        QTest::newRow("binary") << QByteArray() << QByteArray("a\0b\r\n\xff", 6);
    }
    void replaces() {
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("setup.ini"));
        if (!old.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        std::string error;
        QVERIFY2(WriteFileAtomically(Std(path), Std(content), &error), error.c_str());
        QCOMPARE(ReadFile(path), content);
        QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("setup.ini")});
        std::string read = "stale";
        QVERIFY(ReadWholeFile(Std(path), read));
        QCOMPARE(read, Std(content));
    }

    void permissions() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("setup.ini"));
        const mode_t saved = ::umask(022);
        QVERIFY(WriteFileAtomically(Std(path), "one"));
        QCOMPARE(ModeOf(path), mode_t(0644));  // a new file gets the usual bits
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        QVERIFY(WriteFileAtomically(Std(path), "two"));
        ::umask(saved);
        QCOMPARE(ModeOf(path), mode_t(0640));  // a replaced file keeps its own
        QCOMPARE(ReadFile(path), QByteArray("two"));
    }

    void writesThroughLink() {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.ini"));
        const QString link = dir.filePath(QStringLiteral("setup.ini"));
        QVERIFY(WriteFileAtomically(Std(real), "old"));
        QVERIFY(QFile::link(real, link));
        QVERIFY(WriteFileAtomically(Std(link), "new"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(ReadFile(real), QByteArray("new"));
    }

    void failures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");  // the target is a folder
        QTest::newRow("missing folder") << QStringLiteral("missing/setup.ini") << false;
        QTest::newRow("target is a folder") << QStringLiteral("setup.ini") << true;
        QTest::newRow("trailing slash") << QStringLiteral("setup.ini/") << false;
    }
    void failures() {
        QFETCH(QString, name);
        QFETCH(bool, folder);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (folder)
            QVERIFY(QDir().mkpath(path));
        const QStringList before = Entries(dir.path());
        std::string error;
        QVERIFY(!WriteFileAtomically(Std(path), "content", &error));
        QVERIFY(!error.empty());
        QCOMPARE(Entries(dir.path()), before);
        QVERIFY(!WriteFileAtomically(Std(path), "content"));  // no place for the reason: fine
    }

    // A file made read-only stays as it is, also for the superuser, who could rename over it.
    void readOnlyFileIsRefused_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("written");
        QTest::newRow("read-only") << 0444 << false;
        QTest::newRow("nobody may read or write") << 0 << false;
        QTest::newRow("writable by its owner") << 0644 << true;
    }
    void readOnlyFileIsRefused() {
        QFETCH(int, mode);
        QFETCH(bool, written);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("setup.ini"));
        QVERIFY(WriteFileAtomically(Std(path), "old"));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
        std::string error;
        QCOMPARE(WriteFileAtomically(Std(path), "new", &error), written);
        QCOMPARE(ModeOf(path), mode_t(mode));
        QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("setup.ini")});
        ::chmod(QFile::encodeName(path).constData(), 0644);
        QCOMPARE(ReadFile(path), written ? QByteArray("new") : QByteArray("old"));
        if (!written)
            QCOMPARE(QString::fromStdString(error), QString::fromUtf8(std::strerror(EACCES)));
    }

    void failedWriteKeepsOldFile() {
        // A full disk, simulated by a file size limit: the write fails half-way.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("setup.ini"));
        const QByteArray old = "[Options]\nIsAlarmEnabled=1\n";
        QVERIFY(WriteFileAtomically(Std(path), Std(old)));

        rlimit saved{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        rlimit small = saved;
        small.rlim_cur = 4096;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        std::string error;
        const bool ok = WriteFileAtomically(Std(path), std::string(100000, 'x'), &error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        QVERIFY(!ok);
        QCOMPARE(QString::fromStdString(error), QString::fromUtf8(std::strerror(EFBIG)));
        QCOMPARE(ReadFile(path), old);
        QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("setup.ini")});
    }

    void readFailures() {
        QTemporaryDir dir;
        std::string content = "kept";
        QVERIFY(!ReadWholeFile(Std(dir.filePath(QStringLiteral("missing"))), content));
        QVERIFY(!ReadWholeFile(Std(dir.path()), content));
        QCOMPARE(content, std::string("kept"));
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"
