// Where the data lives: the choice of the data folder and its making from the delivered files,
// on real temporary folders.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "platform/DataFolder.h"
#include "support/TestText.h"
#include "support/Unwritable.h"

namespace platform = qcal::platform;
using namespace qcal::test;

namespace {

const QByteArray kUsersDatabase = "the user's own events";

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace

class TestDataFolder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        delivered_ = root_.filePath(Q("program/delivered"));
        QVERIFY(QDir().mkpath(delivered_ + Q("/music")));
        QVERIFY(QFile::copy(Q(QCAL_DELIVERED_DB), delivered_ + Q("/user.mdb")));
        QVERIFY(QFile::copy(Q(QCAL_DELIVERED_INI), delivered_ + Q("/setup.ini")));
        QVERIFY(QFile::copy(Q(QCAL_DELIVERED_SOUND), delivered_ + Q("/music/play.wav")));
    }

    // The rules in order, each on fresh folders: the result, and what making it ready leaves
    // there (a new folder gets the delivered files; a folder in use keeps the user's).
    void choiceAndMaking_data() {
        QTest::addColumn<bool>("given");
        QTest::addColumn<bool>("programHoldsData");
        QTest::addColumn<bool>("programWritable");
        QTest::addColumn<QString>("xdgDataHome");  // "-" unset, "@" a folder of the test
        QTest::addColumn<bool>("dataExists");      // the chosen folder holds the user's data
        QTest::addColumn<QString>("expected");     // given, program, xdg, home
        QTest::newRow("given folder wins over a portable program folder")
            << true << true << true << Q("@") << false << Q("given");
        QTest::newRow("given folder with the user's data")
            << true << false << true << Q("-") << true << Q("given");
        QTest::newRow("portable program folder")
            << false << true << true << Q("@") << true << Q("program");
        QTest::newRow("program folder that cannot be written")
            << false << true << false << Q("-") << false << Q("home");
        QTest::newRow("installed program, first start")
            << false << false << true << Q("-") << false << Q("home");
        QTest::newRow("installed program, data from before")
            << false << false << true << Q("-") << true << Q("home");
        QTest::newRow("XDG_DATA_HOME set") << false << false << true << Q("@") << false << Q("xdg");
        QTest::newRow("relative XDG_DATA_HOME is ignored")
            << false << false << true << Q("relative/data") << false << Q("home");
    }

    void choiceAndMaking() {
        QFETCH(bool, given);
        QFETCH(bool, programHoldsData);
        QFETCH(bool, programWritable);
        QFETCH(QString, xdgDataHome);
        QFETCH(bool, dataExists);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString program = dir.filePath(Q("program"));
        QVERIFY(QDir().mkpath(program));
        if (programHoldsData)
            Write(program + Q("/user.mdb"), kUsersDatabase);

        platform::DataFolderInputs in;
        in.programFolder = Std(program);
        in.home = Std(dir.filePath(Q("home")));
        if (given)
            in.given = Std(dir.filePath(Q("given")));
        if (xdgDataHome == Q("@"))
            in.xdgDataHome = Std(dir.filePath(Q("xdg")));
        else if (xdgDataHome != Q("-"))
            in.xdgDataHome = Std(xdgDataHome);
        const QMap<QString, QString> folders = {
            {Q("given"), dir.filePath(Q("given"))},
            {Q("program"), program},
            {Q("xdg"), dir.filePath(Q("xdg/quenlaris-calendar"))},
            {Q("home"), dir.filePath(Q("home/.local/share/quenlaris-calendar"))}};
        const QString want = folders.value(expected);
        if (dataExists && !programHoldsData) {
            Write(want + Q("/user.mdb"), kUsersDatabase);
            Write(want + Q("/setup.ini"), "[Color]\nTotal=0\n");
        }

        platform::DataFolderPlace place;
        {
            std::unique_ptr<Unwritable> guard;
            if (!programWritable)
                guard = std::make_unique<Unwritable>(dir.path(), program);
            place = platform::ChooseDataFolder(in);
        }
        QCOMPARE(Q(place.folder.c_str()), want);

        QCOMPARE(Q(platform::PrepareDataFolder(place.folder, Std(delivered_)).c_str()), QString());
        if (dataExists) {
            QCOMPARE(ReadFile(want + Q("/user.mdb")), kUsersDatabase);
            QCOMPARE(QFile::exists(want + Q("/music/play.wav")), false);
        } else {
            for (const char* name : {"user.mdb", "setup.ini", "music/play.wav"}) {
                const QString made = want + Q("/") + Q(name);
                QVERIFY2(ReadFile(made) == ReadFile(delivered_ + Q("/") + Q(name)), name);
                // The user's copy is the user's to change, whatever the delivered file's mode.
                QVERIFY2(QFileInfo(made).isWritable(), name);
            }
        }
        QCOMPARE(Q(platform::WriteProblem(place.folder).c_str()), QString());
    }

    // A folder that cannot be written is found out with its path, whether it exists with the
    // user's data or cannot even be made.
    void unwritable_data() {
        QTest::addColumn<bool>("exists");
        QTest::newRow("data folder that cannot be written") << true;
        QTest::newRow("data folder that cannot be made") << false;
    }

    void unwritable() {
        QFETCH(bool, exists);
        QTemporaryDir dir;
        const QString parent = dir.filePath(Q("share"));
        const QString folder = parent + Q("/quenlaris-calendar");
        QVERIFY(QDir().mkpath(exists ? folder : parent));
        if (exists)
            QVERIFY(QFile::copy(Q(QCAL_DELIVERED_DB), folder + Q("/user.mdb")));
        const Unwritable guard(dir.path(), exists ? folder : parent);
        const QString prepared =
            Q(platform::PrepareDataFolder(Std(folder), Std(delivered_)).c_str());
        const QString problem = Q(platform::WriteProblem(Std(folder)).c_str());
        if (exists) {
            QCOMPARE(prepared, QString());
            QVERIFY2(problem.startsWith(folder + Q(": ")), qPrintable(problem));
        } else {
            QVERIFY2(prepared.startsWith(folder + Q(": ")), qPrintable(prepared));
            QVERIFY(!QFile::exists(folder));
        }
    }

private:
    QTemporaryDir root_;
    QString delivered_;
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "test_datafolder.moc"
