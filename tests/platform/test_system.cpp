// Program folder, paths and the locale's separators.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/System.h"
#include "support/TestText.h"

namespace platform = qcal::platform;

using namespace qcal::test;

namespace {}  // namespace

class TestSystem : public QObject {
    Q_OBJECT

private slots:
    void programFolder() {
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
        QCOMPARE(QString::fromStdString(platform::ExecutablePath()), exe);
        QCOMPARE(QString::fromStdString(platform::ProgramFolder()), QFileInfo(exe).path());
    }

    void programFolderThroughLink() {
        // Started through a link in another folder, the program still finds its own folder.
        QTemporaryDir dir;
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
        const QString link = dir.filePath(Q("linked-program"));
        QVERIFY(QFile::link(exe, link));
        QProcess process;
        process.start(link, {Q("--print-program-folder")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), QFileInfo(exe).path());
    }

    void fileExists() {
        QTemporaryDir dir;
        const QString file = dir.filePath(Q("play.wav"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(platform::FileExists(Std(file)));
        QVERIFY(!platform::FileExists(Std(dir.path())));
        QVERIFY(!platform::FileExists(Std(dir.filePath(Q("missing.wav")))));
        QVERIFY(QFile::link(dir.filePath(Q("missing.wav")), dir.filePath(Q("dangling"))));
        QVERIFY(!platform::FileExists(Std(dir.filePath(Q("dangling")))));
    }

    void separatorOfFormat_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("separator");  // "?" for the fallback
        QTest::newRow("us date") << Q("%m/%d/%y") << Q("/");
        QTest::newRow("german date") << Q("%d.%m.%Y") << Q(".");
        QTest::newRow("iso date") << Q("%Y-%m-%d") << Q("-");
        QTest::newRow("%D") << Q("%D") << Q("/");
        QTest::newRow("%F") << Q("%F") << Q("-");
        QTest::newRow("flags and modifiers") << Q("%-d/%Om/%EY") << Q("/");
        QTest::newRow("time") << Q("%H:%M:%S") << Q(":");
        QTest::newRow("finnish time") << Q("%H.%M.%S") << Q(".");
        QTest::newRow("%T") << Q("%T") << Q(":");
        QTest::newRow("letters only") << Q("%Y年%m月%d日") << Q("?");
        QTest::newRow("blanks only") << Q("%e %B %Y") << Q("?");
        QTest::newRow("empty") << Q("") << Q("?");
        QTest::newRow("lone percent") << Q("%") << Q("?");
    }
    void separatorOfFormat() {
        QFETCH(QString, format);
        QFETCH(QString, separator);
        const char got = platform::SeparatorOfFormat(Std(format), '?');
        QCOMPARE(QString(QLatin1Char(got)), separator);
    }

    void currentLocale() {
        const bool had = qEnvironmentVariableIsSet("LC_ALL");
        const QByteArray saved = qgetenv("LC_ALL");
        qputenv("LC_ALL", "C.UTF-8");
        const platform::LocaleSeparators c = platform::CurrentLocaleSeparators();
        qputenv("LC_ALL", "xx_NOWHERE.UTF-8");  // not installed anywhere
        const platform::LocaleSeparators unknown = platform::CurrentLocaleSeparators();
        if (had) {
            qputenv("LC_ALL", saved);
        } else {
            qunsetenv("LC_ALL");
        }
        QCOMPARE(c.date, '/');
        QCOMPARE(c.time, ':');
        QCOMPARE(unknown.date, '/');
        QCOMPARE(unknown.time, ':');
    }
};

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--print-program-folder") == 0) {
        std::fputs(platform::ProgramFolder().c_str(), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSystem test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_system.moc"
