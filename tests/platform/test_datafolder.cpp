// Where the data lives: the data folder chosen and made ready, on real temporary folders.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include "platform/DataFolder.h"
#include "support/TestText.h"
#include "support/Unwritable.h"

namespace platform = qcal::platform;
using namespace qcal::test;

class TestDataFolder : public QObject {
    Q_OBJECT

private slots:
    // setup: "given" --data-dir; "portable" the program folder holds user.mdb, "ro-program" and
    // cannot be written; "xdg" XDG_DATA_HOME set, "relative" to a relative folder; "data" the
    // chosen folder holds the user's data, "ro-data" and cannot be written; "ro-home" the
    // folder cannot be made. expected: the folder chosen; problem: whether making it ready fails
    // (else whether writing it is refused), the message naming it.
    void choice_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("problem");
        QTest::newRow("given wins") << Q("given portable xdg") << Q("given") << Q("");
        QTest::newRow("given with data") << Q("given data") << Q("given") << Q("");
        QTest::newRow("portable") << Q("portable xdg data") << Q("program") << Q("");
        QTest::newRow("ro program") << Q("portable ro-program") << Q("home") << Q("");
        QTest::newRow("first start") << Q("") << Q("home") << Q("");
        QTest::newRow("data from before") << Q("data") << Q("home") << Q("");
        QTest::newRow("XDG_DATA_HOME") << Q("xdg") << Q("xdg") << Q("");
        QTest::newRow("relative XDG_DATA_HOME") << Q("relative") << Q("home") << Q("");
        QTest::newRow("ro data folder") << Q("data ro-data") << Q("home") << Q("write");
        QTest::newRow("ro home") << Q("ro-home") << Q("home") << Q("make");
    }

    void choice() {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        QFETCH(QString, problem);
        const QStringList flags = setup.split(QLatin1Char(' '));
        QTemporaryDir dir;
        const auto path = [&](const char* name) { return dir.filePath(Q(name)); };
        const QString delivered = path("program/delivered");
        QVERIFY(QDir().mkpath(delivered + Q("/music")) && QDir().mkpath(path("home")));
        QVERIFY(QFile::copy(Q(QCAL_DELIVERED_DB), delivered + Q("/user.mdb")));
        QVERIFY(QFile::copy(Q(QCAL_DELIVERED_INI), delivered + Q("/setup.ini")));
        QVERIFY(QFile::copy(Q(QCAL_DELIVERED_SOUND), delivered + Q("/music/play.wav")));
        const QString want = expected == Q("home")    ? path("home/.local/share/quenlaris-calendar")
                             : expected == Q("xdg")   ? path("xdg/quenlaris-calendar")
                             : expected == Q("given") ? path("given")
                                                      : path("program");
        const QByteArray mine = "the user's own events";
        for (const QString& folder : {flags.contains(Q("portable")) ? path("program") : QString(),
                                      flags.contains(Q("data")) ? want : QString()}) {
            QFile f(folder + Q("/user.mdb"));
            QVERIFY(folder.isEmpty() || (QDir().mkpath(folder) && f.open(QIODevice::WriteOnly) &&
                                         f.write(mine) == mine.size()));
        }
        platform::DataFolderInputs in{flags.contains(Q("given")) ? Std(path("given")) : "",
                                      Std(path("program")), "", Std(path("home"))};
        in.xdgDataHome = flags.contains(Q("xdg"))        ? Std(path("xdg"))
                         : flags.contains(Q("relative")) ? "relative/data"
                                                         : "";
        const QString guarded = flags.contains(Q("ro-program")) ? path("program")
                                : flags.contains(Q("ro-data"))  ? want
                                : flags.contains(Q("ro-home"))  ? path("home")
                                                                : QString();
        std::optional<Unwritable> guard;
        if (!guarded.isEmpty())
            guard.emplace(dir.path(), guarded);
        const platform::DataFolderPlace place = platform::ChooseDataFolder(in);
        if (flags.contains(Q("ro-program")))
            guard.reset();
        const QString made = Q(platform::PrepareDataFolder(place.folder, Std(delivered)).c_str());
        const QString refused = Q(platform::WriteProblem(place.folder).c_str());
        guard.reset();

        QCOMPARE(Q(place.folder.c_str()), want);
        if (problem == Q("make")) {
            QVERIFY2(made.startsWith(path("home/.local: ")), qPrintable(made));
            return;
        }
        QCOMPARE(made, QString());
        QVERIFY2(problem == Q("write") ? refused.startsWith(want + Q(": ")) : refused.isEmpty(),
                 qPrintable(refused));
        // The user's data is kept as it is; a new folder gets writable copies of the delivered
        // files.
        const bool kept = flags.contains(Q("data")) || expected == Q("program");
        QCOMPARE(ReadFile(want + Q("/user.mdb")) == mine, kept);
        QCOMPARE(QFile::exists(want + Q("/music/play.wav")), !kept);
        for (const char* name : {"user.mdb", "setup.ini", "music/play.wav"}) {
            const QString copy = want + Q("/") + Q(name);
            QVERIFY2(kept || (ReadFile(copy) == ReadFile(delivered + Q("/") + Q(name)) &&
                              QFileInfo(copy).isWritable()),
                     name);
        }
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "test_datafolder.moc"
