// The --export-ics and --import-ics commands: exit codes, messages and files.

#include <QTest>

#include <sstream>

#include "cli/IcsCommands.h"
#include "platform/AtomicFile.h"
#include "store/EventLists.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::OnceEvent;
using qcal::test::StoreFixture;

class TestIcsCommands : public QObject {
    Q_OBJECT

private slots:
    void commands_data() {
        QTest::addColumn<bool>("exporting");
        QTest::addColumn<bool>("withDatabase");
        QTest::addColumn<QString>("path");      // relative to the folder; "" none
        QTest::addColumn<QByteArray>("input");  // written to path first when not empty
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");  // on out for 0, on err for 2
        QTest::newRow("export") << true << true << QStringLiteral("out.ics") << QByteArray() << 0
                                << QStringLiteral("1 events written to ");
        QTest::newRow("export without FILE")
            << true << true << QString() << QByteArray() << 2
            << QStringLiteral("quenlaris-calendar: --export-ics needs a FILE\n");
        QTest::newRow("export into a missing folder")
            << true << true << QStringLiteral("no/such/out.ics") << QByteArray() << 2
            << QStringLiteral("quenlaris-calendar: Unable to write to ");
        QTest::newRow("export without a database")
            << true << false << QStringLiteral("out.ics") << QByteArray() << 2
            << QStringLiteral("quenlaris-calendar: cannot open ");
        QTest::newRow("export over the database")
            << true << true << QStringLiteral("user.mdb") << QByteArray() << 2
            << QStringLiteral("quenlaris-calendar: Will not write over ");
        QTest::newRow("export over the settings")
            << true << true << QStringLiteral("setup.ini") << QByteArray("[Options]\n") << 2
            << QStringLiteral("quenlaris-calendar: Will not write over ");
        QTest::newRow("import")
            << false << true << QStringLiteral("in.ics")
            << QByteArray(
                   "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\nSUMMARY:Lunch\r\n"
                   "DTSTART:20261210T120000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
            << 0 << QStringLiteral("1 events imported, 0 changed (see details), 0 skipped\n");
        QTest::newRow("import without FILE")
            << false << true << QString() << QByteArray() << 2
            << QStringLiteral("quenlaris-calendar: --import-ics needs a FILE\n");
        QTest::newRow("import of a missing file")
            << false << true << QStringLiteral("missing.ics") << QByteArray() << 2
            << QStringLiteral("quenlaris-calendar: Unable to read ");
        QTest::newRow("import of another kind of file")
            << false << true << QStringLiteral("in.ics") << QByteArray("hello\n") << 2
            << QStringLiteral("quenlaris-calendar: The file is not an iCalendar file.\n");
        QTest::newRow("import without a database")
            << false << false << QStringLiteral("in.ics") << QByteArray("hello\n") << 2
            << QStringLiteral("quenlaris-calendar: cannot open ");
    }

    void commands() {
        QFETCH(bool, exporting);
        QFETCH(bool, withDatabase);
        QFETCH(QString, path);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        StoreFixture f(withDatabase);
        if (withDatabase) {
            tlist_of_event_orig list(*f.dm);
            QVERIFY(list.AddEvent(OnceEvent("Dentist", EncodeDate(2026, 12, 8))) > 0);
        }
        f.dm.reset();
        const std::string file = path.isEmpty() ? std::string() : f.file(path.toUtf8().constData());
        if (!input.isEmpty()) {
            QVERIFY(platform::WriteFileAtomically(file, input.toStdString()));
        }
        std::ostringstream out;
        std::ostringstream err;
        const int code = exporting ? cli::ExportIcsCommand(f.folder(), file, out, err)
                                   : cli::ImportIcsCommand(f.folder(), file, out, err);
        QCOMPARE(code, exitCode);
        const std::string said = code == 0 ? out.str() : err.str();
        QVERIFY2(said.rfind(says.toStdString(), 0) == 0, said.c_str());
        if (code != 0) {
            // One line, and nothing on the other stream.
            QCOMPARE(std::count(said.begin(), said.end(), '\n'), std::ptrdiff_t(1));
            QVERIFY(out.str().empty());
        }
        if (withDatabase) {
            // Whatever the command did, the calendar is there.
            test::RecordingErrorReporter errors;
            TDataMod dm(f.folder(), errors);
            QVERIFY(dm.Connected());
            platform::Query q(dm.ADOConnection);
            q.setSql("select count(*) as n from eventtable where subject='Dentist'");
            q.open();
            QCOMPARE(q.asInteger("n"), std::int64_t(1));
        }
        if (exporting && code == 0) {
            std::string text;
            QVERIFY(platform::ReadWholeFile(file, text));
            QVERIFY(text.find("SUMMARY:Dentist") != std::string::npos);
        }
    }
};

QTEST_GUILESS_MAIN(TestIcsCommands)
#include "test_icscommands.moc"
