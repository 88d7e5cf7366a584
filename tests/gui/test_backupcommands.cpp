// The main window's backup, restore and compaction commands: what they ask, what they say,
// and in which state they leave the connection, the timers and the program.

#include <QAction>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <zip.h>

#include "session/AlarmScheduler.h"
#include "store/Backup.h"
#include "support/WindowFixture.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;

namespace {

const TDateTime kJan7 = EncodeDateTime(2027, 1, 7, 10, 0);

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void WriteAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// An archive of one setup.ini entry with the given comment (none when empty).
void MakeZip(const QString& path, const std::string& comment) {
    int code = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    QVERIFY(za);
    static const char kIni[] = "[Color]\nTotal=0\n";
    zip_source_t* src = zip_source_buffer(za, kIni, sizeof kIni - 1, 0);
    QVERIFY(zip_file_add(za, "setup.ini", src, 0) >= 0);
    if (!comment.empty())
        zip_set_archive_comment(za, comment.data(), zip_uint16_t(comment.size()));
    QVERIFY(zip_close(za) == 0);
}

}  // namespace

class TestBackupCommands : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { desktop::SetFileChooserForTesting({}); }

    void commands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");  // empty: none
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<bool>("changesFiles");

        const QString backupDone = QStringLiteral("Backup the data and setting succeeds!");
        const QString backupFails = QStringLiteral("Backup the data and setting fails!");
        const QString restoreDone = QStringLiteral(
            "Restore the data and setting succeeds\rPlease restart the system after closed!");
        const QString restoreFails = QStringLiteral(
            "Restore the data and setting fails\rPlease restart the system after closed!");
        const QString invalid = QStringLiteral("Invalid backup file");
        const QString compacted = QStringLiteral(
            "Database Successfully Compressed!\rYou must restart Quenlaris Calendar.");
        const QString compactFails =
            QStringLiteral("Compress database fail!\rYou must restart Quenlaris Calendar.");
        const int info = int(Kind::Information);
        const int error = int(Kind::Error);

        QTest::newRow("backup cancelled") << "backup"
                                          << "cancel" << QString() << 0 << false << false;
        QTest::newRow("backup") << "backup"
                                << "archive" << backupDone << info << false << false;
        QTest::newRow("backup to a missing folder")
            << "backup"
            << "missing folder" << backupFails << error << false << false;
        QTest::newRow("restore cancelled") << "restore"
                                           << "cancel" << QString() << 0 << false << false;
        QTest::newRow("restore of an archive without the marker")
            << "restore"
            << "no comment" << invalid << error << false << false;
        QTest::newRow("restore of a marker in other letter case")
            << "restore"
            << "case comment" << invalid << error << false << false;
        QTest::newRow("restore of a text file named .zip")
            << "restore"
            << "text" << restoreFails << error << false << false;
        QTest::newRow("restore whose database does not open")
            << "restore"
            << "junk database" << restoreFails << error << false << false;
        QTest::newRow("restore") << "restore"
                                 << "archive" << restoreDone << info << true << true;
        QTest::newRow("restore declined") << "restore"
                                          << "declined" << QString() << 0 << false << false;
        QTest::newRow("compaction") << "compact"
                                    << "" << compacted << info << true << true;
        QTest::newRow("compaction declined") << "compact"
                                             << "declined" << QString() << 0 << false << false;
        QTest::newRow("compaction that cannot move the database aside")
            << "compact"
            << "bak folder" << compactFails << error << false << false;
        QTest::newRow("compaction of a damaged database")
            << "compact"
            << "damaged" << compactFails << error << true << false;
    }
    void commands() {
        QFETCH(QString, command);
        QFETCH(QString, situation);
        QFETCH(QString, message);
        QFETCH(int, kind);
        QFETCH(bool, ends);
        QFETCH(bool, changesFiles);

        WindowFixture fx(kJan7);
        const QString folder = QString::fromStdString(fx.store.folder());
        const QString db = folder + QStringLiteral("/user.mdb");
        const QString ini = folder + QStringLiteral("/setup.ini");
        fx.Add(OnceEvent("Kept", kJan7));
        QTemporaryDir archives;
        QString chosen = archives.filePath(QStringLiteral("data.zip"));

        // Restore and compaction ask first; only "declined" says no.
        const bool declined = situation == QStringLiteral("declined");
        desktop::MessageBox::PresetAnswers({!declined});
        if ((situation == QStringLiteral("archive") || declined) &&
            command == QStringLiteral("restore")) {
            fx.store.dm->Disconnect();
            QVERIFY(WriteBackup(fx.store.folder(), chosen.toStdString()).ok);
            fx.store.dm->Connect();
            fx.Add(OnceEvent("Added after the backup", kJan7));
        } else if (situation == QStringLiteral("archive")) {
            chosen = archives.filePath(QStringLiteral("data"));  // gets the .zip extension
        } else if (situation == QStringLiteral("missing folder")) {
            chosen = archives.filePath(QStringLiteral("missing/data.zip"));
        } else if (situation == QStringLiteral("no comment")) {
            MakeZip(chosen, "");
        } else if (situation == QStringLiteral("case comment")) {
            MakeZip(chosen, "QUENLARISCALENDAR_BACKUP");
        } else if (situation == QStringLiteral("text")) {
            WriteAll(chosen, "quenlariscalendar_backup\n");
        } else if (situation == QStringLiteral("junk database")) {
            int code = 0;
            zip_t* za = zip_open(QFile::encodeName(chosen).constData(), ZIP_CREATE, &code);
            static const char kJunk[] = "this is not a database at all";
            zip_file_add(za, "user.mdb", zip_source_buffer(za, kJunk, sizeof kJunk - 1, 0), 0);
            zip_file_add(za, "setup.ini", zip_source_buffer(za, "[Color]", 7, 0), 0);
            zip_set_archive_comment(za, kBackupComment.data(), zip_uint16_t(kBackupComment.size()));
            QVERIFY(zip_close(za) == 0);
        } else if (situation == QStringLiteral("bak folder")) {
            QVERIFY(QDir(folder).mkpath(QStringLiteral("user_bak.mdb/inside")));
        }

        std::optional<desktop::FileRequest> asked;
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest& request) {
            asked = request;
            return situation == QStringLiteral("cancel") ? std::nullopt
                                                         : std::optional<QString>(chosen);
        });

        TFormMainCalendar& w = fx.Open();
        QTest::qWait(0);  // the first activation
        AlarmScheduler& timers = fx.shell->Session().Scheduler();
        timers.TimerEvery15.start(60000);
        const bool alarmsOn = Child<QToolButton>(w, "btnactive")->isChecked();
        QCOMPARE(timers.TimerEvery1.isActive(), alarmsOn);

        if (situation == QStringLiteral("damaged")) {
            fx.store.dm->Disconnect();
            WriteAll(db, QByteArray(8192, 'd'));
        }
        const QByteArray dbBefore = ReadAll(db);
        const QByteArray iniBefore = ReadAll(ini);
        const std::int64_t rowsBefore = situation == QStringLiteral("damaged") ? 0 : fx.Count();

        QSignalSpy exits(&w, &TFormMainCalendar::exitRequested);
        if (command == QStringLiteral("backup")) {
            QVERIFY(Child<QToolButton>(w, "btnbackup")->isEnabled());
            Child<QToolButton>(w, "btnbackup")->click();
        } else if (command == QStringLiteral("restore")) {
            QVERIFY(Child<QToolButton>(w, "btnrestore")->isEnabled());
            Child<QToolButton>(w, "btnrestore")->click();
        } else {
            QVERIFY(Child<QAction>(w, "CompactDatabase1")->isEnabled());
            Child<QAction>(w, "CompactDatabase1")->trigger();
        }

        if (command != QStringLiteral("compact")) {
            QVERIFY(asked.has_value());
            QCOMPARE(asked->save, command == QStringLiteral("backup"));
            QCOMPARE(asked->caption,
                     command == QStringLiteral("backup")
                         ? QStringLiteral("Backup the data and settings to ZIP file")
                         : QStringLiteral("Restore the data and settings from ZIP file"));
            QCOMPARE(asked->filter, QStringLiteral("ZIP file (*.zip)"));
        }
        auto shown = fx.Shown();
        // The question comes first wherever the archive passed its checks.
        const bool asks = command == QStringLiteral("compact") ||
                          (command == QStringLiteral("restore") &&
                           (declined || ends || situation == QStringLiteral("junk database")));
        if (asks) {
            QVERIFY(!shown.isEmpty());
            QCOMPARE(shown[0].kind, Kind::Warning);
            QVERIFY(shown[0].text.startsWith(command == QStringLiteral("restore")
                                                 ? QStringLiteral("Replace all events")
                                                 : QStringLiteral("Compact the database")));
            shown.removeFirst();
        }
        if (message.isEmpty()) {
            QVERIFY(shown.isEmpty());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, message);
            QCOMPARE(int(shown[0].kind), kind);
        }
        QCOMPARE(exits.count(), ends ? 1 : 0);

        if (ends) {
            // The program ends on the new files: no connection, no timer.
            QVERIFY(!fx.store.dm->Connected());
            QVERIFY(!timers.TimerEvery1.isActive());
            QVERIFY(!timers.TimerEvery15.isActive());
            QVERIFY(!timers.TimerFortdoay.isActive());
        } else if (situation != QStringLiteral("damaged")) {
            QVERIFY(fx.store.dm->Connected());
            QCOMPARE(timers.TimerEvery1.isActive(), alarmsOn);
            QVERIFY(timers.TimerEvery15.isActive());
            QVERIFY(timers.TimerFortdoay.isActive());
            QCOMPARE(fx.Count(), rowsBefore);
        }
        if (!changesFiles) {
            QCOMPARE(ReadAll(db), dbBefore);
            QCOMPARE(ReadAll(ini), iniBefore);
        }
        if (situation == QStringLiteral("archive") && command == QStringLiteral("backup")) {
            QVERIFY(QFile::exists(chosen + QStringLiteral(".zip")));
            QCOMPARE(InspectBackup((chosen + QStringLiteral(".zip")).toStdString()).status,
                     RestoreStatus::Done);
        }
        if (situation == QStringLiteral("archive") && command == QStringLiteral("restore")) {
            QVERIFY(fx.store.dm->Connect());
            QCOMPARE(fx.Count(), rowsBefore - 1);
        }
        if (command == QStringLiteral("compact") && situation.isEmpty()) {
            QVERIFY(!QFile::exists(folder + QStringLiteral("/user_bak.mdb")));
            QVERIFY(fx.store.dm->Connect());
            QCOMPARE(fx.Count(), rowsBefore);
        }
    }
};

QTEST_MAIN(TestBackupCommands)
#include "test_backupcommands.moc"
