// The data module: connecting, display texts, id lists.

#include <unistd.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QTest>

#include "core/Clock.h"
#include "store/DueList.h"
#include "store/EventLists.h"
#include "support/StoreFixture.h"
#include "support/TestText.h"
#include "support/Unwritable.h"

using namespace qcal;
using qcal::test::RecordingErrorReporter;
using qcal::test::StoreFixture;
using namespace Qt::StringLiterals;

class TestDataMod : public QObject {
    Q_OBJECT

private slots:
    void connectsToTheProgramFolder() {
        StoreFixture f;
        QVERIFY(f.dm->Connected());
        QVERIFY(f.errors.shown.empty());
        QCOMPARE(f.dm->ConnectionString(), f.file("user.mdb"));
        QCOMPARE(f.dm->DateFormats,
                 (std::vector<std::string>{"mm/dd/yyyy", "mm/dd/yy", "dd/mm/yyyy", "dd/mm/yy",
                                           "yyyy/mm/dd", "yy/mm/dd"}));
        QCOMPARE(f.dm->TimeFormats, (std::vector<std::string>{"hh:nn AM/PM", "hh:nn"}));
    }

    void reconnectKeepsTheConnection() {
        StoreFixture f;
        const std::string before = f.dm->ConnectionString();
        f.dm->ADOQuery.setSql("select * from eventtable");
        f.dm->ADOQuery.open();
        f.dm->Disconnect();
        QVERIFY(!f.dm->Connected());
        QVERIFY(!f.dm->ADOQuery.active());
        QVERIFY(f.dm->Connect());
        QCOMPARE(f.dm->ConnectionString(), before);
        QVERIFY(f.dm->Reconnect());
        QCOMPARE(f.dm->ConnectionString(), before);
    }

    void missingDatabaseIsAnErrorNotANewFile() {
        StoreFixture f(false);
        QVERIFY(!f.dm->Connected());
        QCOMPARE(int(f.errors.shown.size()), 1);
        QVERIFY(!f.errors.shown[0].empty());
        QVERIFY(!QFile::exists(QString::fromStdString(f.file("user.mdb"))));
    }

    // Files from before the date index get it when they are opened; a file the index cannot be
    // added to still connects and reports nothing.
    void connectAddsTheDateIndex_data() {
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<bool>("indexed");
        QTest::newRow("delivered file") << QString() << true;
        QTest::newRow("file without the index")
            << QStringLiteral("drop index eventtable_begin") << true;
        QTest::newRow("file without the event table")
            << QStringLiteral("drop table eventtable") << false;
    }

    void connectAddsTheDateIndex() {
        QFETCH(QString, prepare);
        QFETCH(bool, indexed);
        StoreFixture f;
        if (!prepare.isEmpty()) {
            f.dm->ADOConnection.exec(prepare.toStdString());
            QVERIFY(f.dm->Reconnect());
        }
        QVERIFY(f.errors.shown.empty());
        platform::Query q(f.dm->ADOConnection);
        q.setSql(
            "select count(*) as n from sqlite_master where type='index' and "
            "name='eventtable_begin' and tbl_name='eventtable'");
        q.open();
        QCOMPARE(q.asInteger("n"), indexed ? 1 : 0);
    }

    // A file from before the columns added later (29 columns) opens as it always did: written
    // to, it gains them with the values that mean "as before"; read only, its rows read with
    // those values. Its events and its due list are the same either way.
    void olderFileOpensAsBefore_data() {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-write: the columns are added") << false;
        QTest::newRow("read-only: read as the defaults") << true;
    }
    void olderFileOpensAsBefore() {
        QFETCH(bool, readOnly);
        const TDateTime day = EncodeDate(2027, 1, 8);
        const clock::ScopedFakeClock now(day + EncodeTime(10, 0));
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        tfield missed = test::Alarm(test::DailyEvent("daily", day - 10, day + 30, 1, 0.375));
        missed.lastFileTime = day - 3 + 0.4;
        for (const tfield& e : {test::Alarm(test::OnceEvent("due", day, EncodeTime(9, 0))),
                                test::Alarm(test::OnceEvent("later", day, EncodeTime(11, 0))),
                                missed, test::OnceEvent("quiet", day - 1, EncodeTime(9, 0))}) {
            QVERIFY(list.AddEvent(e) > 0);
        }
        const auto read = [](TDataMod& dm) {
            tArrayofField events;
            platform::Query q(dm.ADOConnection);
            q.setSql("select * from eventtable order by id");
            for (q.open(); !q.eof(); q.next()) {
                TransferRow(TransferDirection::RowToRecord, events.emplace_back(), q, dm.Layers);
            }
            return events;
        };
        const auto due = [](TDataMod& dm) {
            tlist_of_event_for_timer timer(dm);
            if (!timer.RebuildDue()) {
                return std::vector<std::string>{"failed"};
            }
            std::vector<std::string> subjects = test::Subjects(timer.dueEvents);
            std::sort(subjects.begin(), subjects.end());
            return subjects;
        };
        const tArrayofField events = read(*f.dm);
        const std::vector<std::string> dueBefore = due(*f.dm);
        QCOMPARE(dueBefore, (std::vector<std::string>{"daily", "due"}));
        // A file from before the later columns had no synchronisation triggers either.
        for (const char* trigger : {"syncitem_insert", "syncitem_update", "syncitem_delete"}) {
            f.dm->ADOConnection.exec(std::string("drop trigger ") + trigger);
        }
        for (const char* column : EventColumns::ExtraColumnNames()) {
            f.dm->ADOConnection.exec(std::string("alter table eventtable drop column ") + column);
        }
        f.dm.reset();

        TDataMod dm(f.folder(), f.errors,
                    readOnly ? platform::OpenMode::ReadOnly : platform::OpenMode::ReadWrite);
        QVERIFY(dm.Connected());
        QVERIFY(f.errors.shown.empty());
        QCOMPARE(dm.HasLaterColumns(), !readOnly);
        platform::Query q(dm.ADOConnection);
        q.setSql("select * from eventtable where id=0");
        q.open();
        QCOMPARE(q.fieldCount(), readOnly ? 29 : 36);
        q.close();
        QCOMPARE(read(dm), events);
        QCOMPARE(due(dm), dueBefore);
    }

    // A data folder that cannot be written is said once, at the start, with its path and the
    // reason; then every change is refused with the same words, and nothing is written.
    void unwritableFolderRefusesChanges() {
        StoreFixture f;
        f.dm.reset();
        QVERIFY(QFile::copy(QStringLiteral(QCAL_DELIVERED_INI),
                            QString::fromStdString(f.file("setup.ini"))));
        QFile::setPermissions(
            QString::fromStdString(f.file("user.mdb")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        const QByteArray before = test::ReadFile(f.dir.path() + QStringLiteral("/user.mdb"));
        const test::Unwritable guard(f.dir.path(), f.dir.path());
        TDataMod dm(f.folder(), f.errors);
        QVERIFY2(dm.Connected(), f.errors.shown.front().c_str());
        QCOMPARE(int(f.errors.shown.size()), 1);
        const std::string refusal = f.errors.shown[0];
        QVERIFY2(refusal.find(f.folder() + ": ") != std::string::npos, refusal.c_str());
        dm.LoadLayers();
        QVERIFY(dm.SaveLayers());  // what the file holds already: no change to refuse
        dm.Options.IsAlarmEnabled = !dm.Options.IsAlarmEnabled;
        QVERIFY(!dm.SaveOptions());
        QCOMPARE(tlist_of_event_orig(dm).AddEvent(test::OnceEvent("Lost", 46000)), 0);
        QCOMPARE(f.errors.shown, std::vector<std::string>(3, refusal));
        QCOMPARE(test::ReadFile(f.dir.path() + QStringLiteral("/user.mdb")), before);
    }

    void brokenDatabaseIsAnError() {
        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("user.mdb")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        RecordingErrorReporter errors;
        TDataMod dm(dir.path().toStdString(), errors);
        QVERIFY(!dm.Connected());
        QCOMPARE(int(errors.shown.size()), 1);
    }

    // The program's own files, by any name that reaches them, against files that only look
    // alike.
    void ownFiles_data() {
        QTest::addColumn<QString>("path");  // in the folder
        QTest::addColumn<QString>("own");   // the file it is, or empty
        QTest::newRow("database") << u"user.mdb"_s << u"user.mdb"_s;
        QTest::newRow("settings") << u"setup.ini"_s << u"setup.ini"_s;
        QTest::newRow("sound in a subfolder")
            << u"music/bells/ring.wav"_s << u"music/bells/ring.wav"_s;
        QTest::newRow("hard link to the database") << u"copy.mdb"_s << u"user.mdb"_s;
        QTest::newRow("symbolic link to the settings") << u"link.ics"_s << u"setup.ini"_s;
        QTest::newRow("spelt with dot steps") << u"music/../user.mdb"_s << u"user.mdb"_s;
        QTest::newRow("a copy of the database") << u"backup.mdb"_s << QString();
        QTest::newRow("new file") << u"calendar.ics"_s << QString();
    }
    void ownFiles() {
        QFETCH(QString, path);
        QFETCH(QString, own);
        StoreFixture f;
        const QDir dir(f.dir.path());
        QVERIFY(dir.mkpath(u"music/bells"_s));
        QFile(dir.filePath(u"setup.ini"_s)).open(QIODevice::WriteOnly);
        QFile(dir.filePath(u"music/bells/ring.wav"_s)).open(QIODevice::WriteOnly);
        QVERIFY(::link(f.file("user.mdb").c_str(), f.file("copy.mdb").c_str()) == 0);
        QVERIFY(QFile::link(dir.filePath(u"setup.ini"_s), dir.filePath(u"link.ics"_s)));
        QVERIFY(QFile::copy(dir.filePath(u"user.mdb"_s), dir.filePath(u"backup.mdb"_s)));
        const std::string found = f.dm->OwnFileAt(f.file(path.toUtf8().constData()));
        QCOMPARE(
            QString::fromStdString(found),
            own.isEmpty() ? QString() : QString::fromStdString(f.file(own.toUtf8().constData())));
    }

    void displayTexts_data() {
        QTest::addColumn<int>("repeatType");
        QTest::addColumn<int>("variant");
        QTest::addColumn<QString>("weekSelected");
        QTest::addColumn<QString>("repeatText");
        QTest::newRow("once") << 0 << 0 << ""
                              << "None:    Only occurs once";
        QTest::newRow("daily every 3") << 1 << 0 << ""
                                       << "Daily:     Every 3 days";
        QTest::newRow("workdays") << 1 << 1 << ""
                                  << "Daily:     Every workday";
        QTest::newRow("weekly mon fri") << 2 << 0 << "FTFFFTF"
                                        << "Weekly: Every 2 week on Mon Fri";
        QTest::newRow("weekly sun sat") << 2 << 0 << "TFFFFFT"
                                        << "Weekly: Every 2 week on Sun Sat";
        QTest::newRow("weekly short mask") << 2 << 0 << "TTTTTT"
                                           << "Weekly: Every 2 week on";
        QTest::newRow("weekly lower case") << 2 << 0 << "tTFFFFF"
                                           << "Weekly: Every 2 week on Mon";
        QTest::newRow("weekly other type") << 2 << 1 << "TTTTTTT"
                                           << "";
        QTest::newRow("monthly day") << 3 << 0 << ""
                                     << "Monthly:Day 15 every 2 month";
        QTest::newRow("monthly last friday") << 3 << 1 << ""
                                             << "Monthly:Last Friday every 1 month";
        QTest::newRow("yearly date") << 4 << 0 << ""
                                     << "Yearly:   Every 25 of December";
        QTest::newRow("yearly second sunday") << 4 << 1 << ""
                                              << "Yearly:   Every Second Sunday in May";
        QTest::newRow("unknown kind") << 5 << 0 << ""
                                      << "";
        QTest::newRow("negative kind") << -1 << 0 << ""
                                       << "";
    }
    void displayTexts() {
        QFETCH(int, repeatType);
        QFETCH(int, variant);
        QFETCH(QString, weekSelected);
        QFETCH(QString, repeatText);
        StoreFixture f;
        tfield e;
        e.repeatType = repeatType;
        e.dayType = variant;
        e.dayEvery0 = 3;
        e.weekType = variant;
        e.weekEvery0 = 2;
        e.weekSelected0 = weekSelected.toStdString();
        e.monthType = variant;
        e.monthDay0 = 15;
        e.monthEvery0 = 2;
        e.monthspecial1 = 4;
        e.monthDayorWeek1 = 7;
        e.monthEvery1 = 1;
        e.yearType = variant;
        e.yearDay0 = 25;
        e.yearMonth0 = 11;
        e.yearspecial1 = 1;
        e.yearDayorWeek1 = 2;
        e.yearMonth1 = 4;
        QCOMPARE(QString::fromStdString(f.dm->MakeDisplayTexts(e).RepeatText), repeatText);
    }

    void codesOutsideTheTablesShowNothing() {
        StoreFixture f;
        tfield e;
        e.repeatType = kRepeatMonthly;
        e.monthType = 1;
        e.monthspecial1 = 9;
        e.monthDayorWeek1 = -2;
        e.monthEvery1 = 1;
        QCOMPARE(f.dm->MakeDisplayTexts(e).RepeatText, std::string("Monthly:  every 1 month"));
        e.repeatType = kRepeatYearly;
        e.yearType = 0;
        e.yearDay0 = 3;
        e.yearMonth0 = 12;
        QCOMPARE(f.dm->MakeDisplayTexts(e).RepeatText, std::string("Yearly:   Every 3 of "));
    }

    void dateAndAlarmTexts() {
        StoreFixture f;
        tfield e;
        e.subject = "Call";
        e.alert = true;
        e.begindate = EncodeDate(2027, 1, 3);
        e.beginTime = EncodeTime(0, 15);
        e.enddate = EncodeDate(2027, 2, 14);
        e.endtime = EncodeTime(13, 5);
        e.lastFileTime = 1.0;
        TFieldForDisplay t = f.dm->MakeDisplayTexts(e);
        QCOMPARE(t.SubjectText, std::string("!Call"));
        QCOMPARE(t.AlertText, std::string("On"));
        QCOMPARE(t.BeginText, std::string("01/03/2027 12:15 AM"));
        QCOMPARE(t.EndText, std::string("02/14/2027 01:05 PM"));
        QCOMPARE(t.ArchiveText, std::string("None"));

        e.alert = false;
        e.lastFileTime = EncodeDateTime(2027, 1, 3, 9, 30);
        f.dm->Options.DateFormat = "yyyy/mm/dd";
        f.dm->Options.TimeFormat = "hh:nn";
        f.dm->Separators = {'-', '.'};
        t = f.dm->MakeDisplayTexts(e);
        QCOMPARE(t.SubjectText, std::string("Call"));
        QCOMPARE(t.AlertText, std::string("Off"));
        QCOMPARE(t.BeginText, std::string("2027-01-03 00.15"));
        QCOMPARE(t.ArchiveText, std::string("2027-01-03 09.30"));
        e.lastFileTime = 1.0000001;
        QCOMPARE(f.dm->MakeDisplayTexts(e).ArchiveText, std::string("1899-12-31 00.00"));
    }

    void selectedIdList_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("none") << QList<int>{} << "" << 0;
        QTest::newRow("one") << QList<int>{0} << " (7) " << 1;
        QTest::newRow("three in row order") << QList<int>{3, 1, 2} << " (12,15,40) " << 3;
        QTest::newRow("rows outside the list are ignored") << QList<int>{-1, 1, 9} << " (12) " << 1;
        QTest::newRow("repeated row counts once") << QList<int>{2, 2} << " (15) " << 1;
    }
    void selectedIdList() {
        QFETCH(QList<int>, rows);
        QFETCH(QString, text);
        QFETCH(int, count);
        tArrayofField events(4);
        events[0].id = 7;
        events[1].id = 12;
        events[2].id = 15;
        events[3].id = 40;
        const SelectedIds ids =
            TDataMod::SelectedIdList(std::vector<int>(rows.begin(), rows.end()), events);
        QCOMPARE(QString::fromStdString(ids.text), text);
        QCOMPARE(ids.count, count);
    }
};

QTEST_APPLESS_MAIN(TestDataMod)
#include "test_datamod.moc"
