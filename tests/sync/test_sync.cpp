// Two program folders kept in step through a real Radicale server: every kind of change made
// in one arrives in the other, both changing one event loses neither version, a third client
// is followed, runs killed at any moment neither lose nor double anything, changes made while
// the server is away arrive later, and a certificate is trusted only once accepted.

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <iostream>
#include <random>

#include "Radicale.h"
#include "platform/desktop/SingleInstance.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "store/EventLists.h"
#include "store/Occurrences.h"
#include "store/SyncState.h"
#include "support/StoreFixture.h"
#include "sync/CalDavSync.h"
#include "sync/SyncCommands.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const char* const kLayer = "Shared";
const TDateTime kDay = EncodeDate(2027, 3, 1);

class SilentSound final : public SoundPlayer {
public:
    void Play(const std::string&) override {}
};

// A secret store in memory; with available false it is the desktop without one.
struct MemoryStore {
    bool available = true;
    QMap<QString, QString> kept;
    sync::PasswordStore Store() {
        return {[this](const QString& account) {
                    SecretAnswer answer;
                    answer.storeAvailable = available;
                    if (available && kept.contains(account)) {
                        answer.password = kept.value(account);
                    }
                    if (!available) {
                        answer.problem = QStringLiteral("no Secret Service");
                    }
                    return answer;
                },
                [this](const QString& account, const QString& password, QString*) {
                    if (available) {
                        kept.insert(account, password);
                    }
                    return available;
                },
                [this](const QString& account) { kept.remove(account); }};
    }
};

// One program folder with its session and synchronisation.
struct Device {
    explicit Device(const QString& calendarUrl = {}, const QString& fingerprint = {})
        : session(*store.dm, sound), sync(session, secrets.Store()) {
        sync.SetChangeDelay(3600000);  // the tests start every run themselves
        if (!calendarUrl.isEmpty()) {
            bound = BindTo(QString::fromLatin1(kLayer), calendarUrl, kPassword, fingerprint);
        }
    }

    bool BindTo(const QString& layer, const QString& calendarUrl, const char* password,
                const QString& fingerprint = {}) {
        sync::Binding binding;
        binding.layer = layer;
        binding.calendarUrl = calendarUrl;
        binding.user = QString::fromLatin1(kUser);
        binding.acceptedFingerprint = fingerprint;
        return sync.Bind(binding, QString::fromLatin1(password));
    }

    // --add-calendar as the command line gives it.
    sync::CommandOutcome Add(const QString& url, const char* layer,
                             const QString& fingerprint = {}) {
        return sync::RunSyncRequest(
            sync, {sync::SyncRequest::Action::AddCalendar, url.toStdString(), layer, kUser,
                   kPassword, false, fingerprint.toStdString()});
    }

    // One run; its summary, or "" when it did not end.
    QString Sync(bool* ok = nullptr) {
        QSignalSpy finished(&sync, &sync::SyncService::syncFinished);
        sync.SyncNow();
        if (!finished.wait(60000)) {
            return {};
        }
        if (ok) {
            *ok = finished.first().at(0).toBool();
        }
        return finished.first().at(1).toString();
    }

    std::vector<tfield> Events() {
        std::vector<tfield> events;
        platform::Query q(store.dm->ADOConnection);
        q.setSql(std::string("select * from eventtable where layername='") + kLayer +
                 "' order by subject, seriesDay");
        for (q.open(); !q.eof(); q.next()) {
            TransferRow(TransferDirection::RowToRecord, events.emplace_back(), q, store.dm->Layers);
        }
        return events;
    }

    // The events as lines that two folders share: everything but the ids.
    QStringList Lines() {
        QStringList lines;
        for (const tfield& e : Events()) {
            QString series;
            if (e.seriesId != 0) {
                tfield s;
                tlist_of_event_orig(*store.dm).LoadEvent(e.seriesId, s);
                series = QString::fromStdString(s.subject);
            }
            lines << QStringLiteral("%1|%2-%3|%4-%5|r%6/%7|x%8|a%9|b%10|d%11|f%12|s%13@%14")
                         .arg(QString::fromStdString(e.subject))
                         .arg(DayOf(e.begindate) - DayOf(kDay))
                         .arg(DayOf(e.enddate) - DayOf(kDay))
                         .arg(qRound(e.beginTime * 1440))
                         .arg(qRound(e.endtime * 1440))
                         .arg(e.repeatType)
                         .arg(e.dayEvery0)
                         .arg(QString::fromStdString(ExceptDaysText(e.exceptDays)))
                         .arg(int(e.alert))
                         .arg(e.remindBefore)
                         .arg(int(e.allDay))
                         .arg(qRound64(e.lastFileTime * 1440))
                         .arg(series)
                         .arg(e.seriesDay ? e.seriesDay - DayOf(kDay) : 0);
        }
        lines.sort();
        return lines;
    }

    std::int64_t IdOf(const std::string& subject) {
        for (const tfield& e : Events()) {
            if (e.subject == subject) {
                return e.id;
            }
        }
        return 0;
    }

    void Edit(const std::string& subject, const std::function<void(tfield&)>& change) {
        tfield e;
        session.LoadEvent(IdOf(subject), e);
        change(e);
        session.SaveEditedEvent(e);
    }
    void Delete(const std::string& subject) {
        const std::int64_t id = IdOf(subject);
        session.DeleteEvents(std::span(&id, 1), IdListBlanks::Around);
    }

    StoreFixture store;
    SilentSound sound;
    CalendarSession session;
    MemoryStore secrets;
    sync::CalDavSync sync;
    bool bound = false;
};

tfield Once(const std::string& subject, int day, int hour = 10) {
    tfield e = OnceEvent(subject, kDay + day, EncodeTime(hour, 0), kLayer);
    e.endtime = EncodeTime(hour + 1, 30);
    return e;
}

// A daily series over ten days with a lead time, one day taken out and one detached.
void AddSeries(Device& d) {
    tfield e = Once("standup", 0, 9);
    e.repeatType = kRepeatDaily;
    e.dayType = kDayEveryN;
    e.dayEvery0 = 1;
    e.enddate = kDay + 9;
    e.alert = true;
    e.remindBefore = 15;
    const std::int64_t id = d.session.AddEvent(e);
    d.session.TakeOutOccurrence(id, DayOf(kDay) + 3);
    tfield series;
    d.session.LoadEvent(id, series);
    tfield moved = DetachedOccurrence(series, DayOf(kDay) + 5);
    moved.subject = "standup (moved)";
    moved.beginTime = EncodeTime(14, 0);
    moved.endtime = EncodeTime(14, 30);
    d.session.StoreDetachedOccurrence(moved);
}

bool ThirdClient(const QString& url, const QStringList& args) {
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedChannels);
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(QCAL_THIRD_CLIENT), url, QString::fromLatin1(kUser),
                             QString::fromLatin1(kPassword)} +
                     args);
    return python.waitForFinished(60000) && python.exitCode() == 0;
}

using Change = std::function<void(Device&)>;

// The one line of a command that failed (exit status 2), or "".
QString Refusal(const sync::CommandOutcome& outcome) {
    const QString err = QString::fromStdString(outcome.err);
    return outcome.status == 2 && err.count(QLatin1Char('\n')) == 1 ? err : QString();
}

}  // namespace

Q_DECLARE_METATYPE(Change)

class TestSync : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(server.Start());
        QCOMPARE(server.MakeCalendar(QStringLiteral("shared"), QStringLiteral("Shared"),
                                     QStringLiteral("#3366ccff")),
                 201);
        QCOMPARE(server.MakeCalendar(QStringLiteral("tasks"), {}, {}, "VTODO"), 201);
    }

    // --add-calendar binds only an address the server confirms as a calendar of events.
    void addCalendarRefused_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("why");
        QTest::newRow("the account's principal")
            << server.CalendarUrl({}).chopped(1) << QStringLiteral("(a principal), not a calendar");
        QTest::newRow("the server's root")
            << server.Base() << QStringLiteral("a folder (of calendars, perhaps), not a calendar");
        QTest::newRow("a calendar of to-dos")
            << server.CalendarUrl(QStringLiteral("tasks")) << QStringLiteral("holds no events");
        QTest::newRow("nothing there, the password in the address")
            << server.CalendarUrl(QStringLiteral("nothing"))
                   .replace(QStringLiteral("://"), QStringLiteral("://alice:s3cret@"))
            << QStringLiteral("HTTP 404");
    }
    void addCalendarRefused() {
        QFETCH(QString, address);
        QFETCH(QString, why);
        Device d;
        const QString err = Refusal(d.Add(address, "Refused"));
        QVERIFY2(err.contains(why) && !err.contains(QStringLiteral("s3cret")), qPrintable(err));
        QVERIFY(d.sync.Bindings().isEmpty());
    }

    void discovery() {
        Device d;
        QSignalSpy found(&d.sync, &sync::SyncService::discovered);
        d.sync.Discover(server.Base(), QString::fromLatin1(kUser), QString::fromLatin1(kPassword),
                        false, {});
        QVERIFY(found.wait(20000));
        const auto calendars = found.first().at(0).value<QList<sync::ServerCalendar>>();
        QCOMPARE(calendars.size(), 1);
        QCOMPARE(calendars.first().url, server.CalendarUrl());
        QCOMPARE(calendars.first().name, QStringLiteral("Shared"));
        QCOMPARE(calendars.first().colour, QStringLiteral("#3366cc"));
        // A wrong password is told once, without the password in it.
        QSignalSpy failed(&d.sync, &sync::SyncService::failed);
        d.sync.Discover(server.Base(), QString::fromLatin1(kUser), QStringLiteral("wrong pw"),
                        false, {});
        QVERIFY(failed.wait(20000));
        QVERIFY(!failed.first().at(0).toString().contains(QStringLiteral("wrong pw")));
        // Plain HTTP to another machine is refused before anything is sent.
        QVERIFY(!d.sync.Bind({QStringLiteral("Far"),
                              QStringLiteral("http://192.0.2.1/cal/"),
                              QStringLiteral("u"),
                              false,
                              {},
                              {},
                              {}},
                             QStringLiteral("p")));
    }

    // A change made in one folder arrives in the other after both synchronised.
    void changesTravel_data() {
        QTest::addColumn<int>("from");  // 0: A, 1: B
        QTest::addColumn<Change>("change");
        // How the other folder asks for the changes: 0 with its sync token; 1 with a token the
        // server refuses (then by comparing ETags); 2 by ETags alone, as without sync-collection.
        QTest::addColumn<int>("how");
        QTest::newRow("added in A") << 0 << Change([](Device& d) {
            d.session.AddEvent(Once("dentist", 1));
            d.session.AddEvent(Once("lunch \"with\" quotes, commas; and ümlauts", 2, 12));
        }) << 0;
        QTest::newRow("edited in B") << 1 << Change([](Device& d) {
            d.Edit("dentist", [](tfield& e) {
                e.subject = "dentist (moved)";
                e.begindate = e.enddate = kDay + 4;
                e.content = "bring the card";
            });
        }) << 0;
        QTest::newRow("series with exceptions and lead time") << 0 << Change(AddSeries) << 0;
        QTest::newRow("all-day event from B") << 1 << Change([](Device& d) {
            tfield e = Once("holiday", 7);
            e.allDay = true;
            e.beginTime = 0;
            e.endtime = EncodeTime(23, 59);
            d.session.AddEvent(e);
        }) << 0;
        QTest::newRow("alarm archived in A") << 0 << Change([](Device& d) {
            const std::int64_t id = d.IdOf("standup");
            d.session.ArchiveEvents(std::span(&id, 1), IdListBlanks::Around, false);
        }) << 0;
        QTest::newRow("deleted in A")
            << 0 << Change([](Device& d) { d.Delete("dentist (moved)"); }) << 0;
        QTest::newRow("added in A, B by ETags") << 0 << Change([](Device& d) {
            d.session.AddEvent(Once("by etags", 3));
            d.session.AddEvent(Once("token refused", 4));
        }) << 2;
        QTest::newRow("edited in A, B with a refused token") << 0 << Change([](Device& d) {
            d.Edit("token refused", [](tfield& e) { e.content = "edited"; });
        }) << 1;
        QTest::newRow("edited in B, A by ETags") << 1 << Change([](Device& d) {
            d.Edit("by etags", [](tfield& e) { e.begindate = e.enddate = kDay + 5; });
        }) << 2;
        QTest::newRow("deleted in A, B by ETags")
            << 0 << Change([](Device& d) { d.Delete("by etags"); }) << 2;
    }

    void changesTravel() {
        QFETCH(int, from);
        QFETCH(Change, change);
        QFETCH(int, how);
        Device& source = from == 0 ? a : b;
        Device& target = from == 0 ? b : a;
        change(source);
        bool ok = false;
        const QString summary = source.Sync(&ok);
        QVERIFY2(ok, qPrintable(summary));
        platform::Database& targetDb = target.store.dm->ADOConnection;
        if (how == 1) {
            syncstate::SetToken(targetDb, kLayer, "http://radicale.org/ns/sync/0123456789abcdef");
        }
        target.sync.SetSyncCollection(how != 2);
        const QString received = target.Sync(&ok);
        target.sync.SetSyncCollection(true);
        QVERIFY2(received.contains(QStringLiteral("received")) && ok, qPrintable(received));
        // A refused token is replaced by a fresh one.
        QVERIFY(how != 1 || !syncstate::FindBinding(targetDb, kLayer)->token.ends_with("cdef"));
        QCOMPARE(target.Lines(), source.Lines());
        // Nothing is left to send, and the next runs change nothing.
        QVERIFY(!syncstate::ChangesWaiting(source.store.dm->ADOConnection));
        source.Sync();
        QCOMPARE(target.Lines(), source.Lines());
        // One resource for each event, a series holding its detached occurrences.
        const std::vector<tfield> events = source.Events();
        QCOMPARE(server.Resources().size(),
                 qsizetype(std::count_if(events.begin(), events.end(), [](const tfield& e) {
                     return e.seriesId == 0 || e.repeatType != kRepeatNone;
                 })));
    }

    // Both folders change the same event before either synchronised.
    void conflicts_data() {
        QTest::addColumn<bool>("deleteInA");
        QTest::newRow("edited on both") << false;
        QTest::newRow("deleted in A, edited in B") << true;
    }
    void conflicts() {
        QFETCH(bool, deleteInA);
        const std::string subject = deleteInA ? "contested delete" : "contested";
        a.session.AddEvent(Once(subject, 6));
        a.Sync();
        b.Sync();
        if (deleteInA) {
            a.Delete(subject);
        } else {
            a.Edit(subject, [](tfield& e) { e.content = "A's version"; });
        }
        b.Edit(subject, [](tfield& e) { e.content = "B's version"; });
        bool ok = false;
        QVERIFY2(!a.Sync(&ok).isEmpty() && ok, "A's run failed");
        const QString summary = b.Sync(&ok);
        QVERIFY2(ok, qPrintable(summary));
        a.Sync();
        const auto contents = [&](Device& d) {
            QStringList found;
            for (const tfield& e : d.Events()) {
                if (e.subject == subject || e.subject == "(conflict) " + subject) {
                    found << QString::fromStdString(e.subject + ": " + e.content);
                }
            }
            found.sort();
            return found;
        };
        const QString name = QString::fromStdString(subject);
        if (deleteInA) {
            // The edit there wins over the delete here: the edited event stays everywhere.
            QCOMPARE(contents(a), QStringList{name + QStringLiteral(": B's version")});
            QCOMPARE(contents(b), contents(a));
        } else {
            // A came first and wins; B keeps its own version beside it.
            QVERIFY2(summary.contains(QStringLiteral("conflict")), qPrintable(summary));
            QCOMPARE(contents(a), QStringList{name + QStringLiteral(": A's version")});
            QCOMPARE(contents(b), (QStringList{QStringLiteral("(conflict) ") + name +
                                                   QStringLiteral(": B's version"),
                                               name + QStringLiteral(": A's version")}));
            // The user keeps what was worth keeping and deletes the copy: it was never on
            // the server, so nothing goes there.
            b.Delete("(conflict) " + subject);
            QVERIFY(!syncstate::ChangesWaiting(b.store.dm->ADOConnection));
        }
        QCOMPARE(b.Lines(), a.Lines());
    }

    // The event changes on the server after A fetched and before A sends its own change: the
    // server answers 412, its version wins and A's is kept beside it (a delete loses to the
    // edit there).
    void changedThereDuringTheRun_data() {
        QTest::addColumn<bool>("deleteInA");
        QTest::newRow("edited in A") << false;
        QTest::newRow("deleted in A") << true;
    }
    void changedThereDuringTheRun() {
        QFETCH(bool, deleteInA);
        const std::string subject = deleteInA ? "raced delete" : "raced edit";
        const QString there = QString::fromStdString(subject) + QStringLiteral(" there");
        a.session.AddEvent(Once(subject, 8));
        a.Sync();
        deleteInA ? a.Delete(subject)
                  : a.Edit(subject, [](tfield& e) { e.content = "A's version"; });
        b.session.AddEvent(Once(deleteInA ? "nudge 1" : "nudge 2", 9));  // for A to fetch first
        b.Sync();
        bool edited = false;
        connect(&a.sync, &sync::SyncService::syncProgress, this, [&](int done, int total) {
            if (done == total && !edited) {
                edited =
                    ThirdClient(server.CalendarUrl(),
                                {QStringLiteral("edit"), QString::fromStdString(subject), there});
            }
        });
        bool ok = false;
        QVERIFY(!a.Sync(&ok).isEmpty() && ok && edited);
        a.sync.disconnect(this);
        QString found;  // in the order of their subjects
        for (const tfield& e : a.Events()) {
            if (e.subject.find(subject) != std::string::npos) {
                found += QString::fromStdString(e.subject + ": " + e.content + "|");
            }
        }
        const QString kept =
            deleteInA ? QString() : QStringLiteral("(conflict) raced edit: A's version|");
        QCOMPARE(found, kept + there + QStringLiteral(": |"));
        if (!deleteInA) {
            a.Delete("(conflict) " + subject);  // never on the server
        }
        b.Sync();
        QCOMPARE(b.Lines(), a.Lines());
    }

    // Another CalDAV client adds, edits and deletes; the program follows.
    void thirdClient() {
        const QString url = server.CalendarUrl();
        const QList<QStringList> steps{
            {QStringLiteral("add")},
            {QStringLiteral("edit"), QStringLiteral("from python"), QStringLiteral("renamed")},
            {QStringLiteral("delete"), QStringLiteral("renamed")}};
        const QList<int> expected{1, 1, 0};
        for (qsizetype i = 0; i < steps.size(); ++i) {
            QVERIFY(ThirdClient(url, steps[i]));
            bool ok = false;
            a.Sync(&ok);
            QVERIFY(ok);
            const auto events = a.Events();
            const int count = int(std::count_if(events.begin(), events.end(), [](const tfield& e) {
                return e.subject == "from python" || e.subject == "renamed";
            }));
            QCOMPARE(count, expected[i]);
            if (i == 1) {
                QVERIFY(a.IdOf("renamed") != 0);
            }
        }
    }

    // Runs killed at random moments, then one run to the end: nothing doubled, nothing lost.
    void killedRuns() {
        const std::size_t before = a.Events().size();
        for (int i = 0; i < 40; ++i) {
            a.session.AddEvent(Once("batch " + std::to_string(i), i % 20, 8 + i % 10));
        }
        a.Edit("holiday", [](tfield& e) { e.content = "changed before the kills"; });
        std::mt19937 random(23);
        for (int round = 0; round < 6; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--sync-child"), QString::fromStdString(a.store.folder())});
            QVERIFY(child.waitForStarted());
            child.write(QByteArray(kPassword) + '\n');
            child.waitForBytesWritten();
            QTest::qWait(int(random() % 400));
            // QProcess::kill is SIGKILL here, and does nothing once the run has ended
            // (processId() is 0 then, and kill(0) would hit the whole process group).
            child.kill();
            child.waitForFinished();
        }
        // The killed runs wrote the same file behind this connection's back.
        a.store.dm->Reconnect();
        bool ok = false;
        QVERIFY2(!a.Sync(&ok).isEmpty() && ok, "the last run failed");
        b.Sync(&ok);
        QVERIFY(ok);
        QCOMPARE(b.Lines(), a.Lines());
        QStringList lines = a.Lines();
        lines.removeDuplicates();
        QCOMPARE(lines.size(), a.Lines().size());
        QCOMPARE(a.Events().size(), before + 40);
    }

    // The server away: changes wait, are told once, and arrive when it is back.
    void serverAway() {
        server.Stop();
        a.session.AddEvent(Once("while offline", 9));
        a.Edit("holiday", [](tfield& e) { e.content = "changed offline"; });
        bool ok = true;
        const QString summary = a.Sync(&ok);
        QVERIFY(!ok);
        QVERIFY2(summary.contains(QStringLiteral("cannot be reached")), qPrintable(summary));
        QCOMPARE(summary.count(QStringLiteral("cannot be reached")), 1);
        QVERIFY(syncstate::ChangesWaiting(a.store.dm->ADOConnection));
        QVERIFY(server.Start());
        a.Sync(&ok);
        QVERIFY(ok);
        b.Sync(&ok);
        QVERIFY(ok);
        QCOMPARE(b.Lines(), a.Lines());
    }

    // A run that meets one kind of failure for many requests and calendars names it once;
    // different kinds are each named once, in the summary and in every layer's status.
    void failuresOncePerKind_data() {
        QTest::addColumn<Change>("setup");  // of a folder with two layers bound
        QTest::addColumn<QStringList>("told");
        QTest::newRow("changes refused on two calendars, two calendars unreachable")
            << Change([](Device& d) {
                   for (const char* layer : {"one", "one", "two", "two"}) {
                       tfield e = OnceEvent("too big", kDay, EncodeTime(9, 0), layer);
                       e.content = std::string(5000, 'x');  // more than the server takes
                       d.session.AddEvent(e);
                   }
                   d.BindTo(QStringLiteral("far"), QStringLiteral("http://127.0.0.1:1/a/"),
                            kPassword);
                   d.BindTo(QStringLiteral("farther"), QStringLiteral("http://127.0.0.1:1/b/"),
                            kPassword);
               })
            << QStringList{
                   QStringLiteral("refused the change of \"too big\" (HTTP 413) and 3 more"),
                   QStringLiteral("cannot be reached")};
        QTest::newRow("the local database")
            << Change([](Device& d) { d.store.dm->ADOConnection.exec("PRAGMA query_only=ON"); })
            << QStringList{QStringLiteral("could not be written")};
    }
    void failuresOncePerKind() {
        QFETCH(Change, setup);
        QFETCH(QStringList, told);
        Radicale small(false,
                       {QStringLiteral("--server-max-content-length"), QStringLiteral("3000")});
        QVERIFY(small.Start());
        Device d;
        for (const QString& name : {QStringLiteral("one"), QStringLiteral("two")}) {
            QCOMPARE(small.MakeCalendar(name, name, {}), 201);
            QVERIFY(d.BindTo(name, small.CalendarUrl(name), kPassword));
        }
        setup(d);
        bool ok = true;
        const QString summary = d.Sync(&ok);
        QVERIFY(!ok);
        QCOMPARE(summary.count(QStringLiteral("; ")), told.size() - 1);
        for (const QString& text : told) {
            QVERIFY2(summary.count(text) == 1, qPrintable(summary));
        }
        for (const sync::Binding& binding : d.sync.Bindings()) {
            QVERIFY(binding.lastStatus.count(QStringLiteral("; ")) < told.size());
        }
    }

    // While the desktop program runs on a folder, the command line's --sync and --calendars are
    // made by it (the conversation on its socket), not beside it.
    void handedToTheRunningProgram() {
        desktop::SingleInstance instance(
            desktop::InstanceServerName(QString::fromStdString(a.store.folder())));
        QCOMPARE(instance.Claim(), desktop::SingleInstance::Start::First);
        int handed = 0;
        instance.SetSyncHandler([this, &handed](const QByteArray& text) {
            ++handed;
            const auto request = sync::DecodeRequest(text);
            const sync::CommandOutcome outcome = sync::RunSyncRequest(a.sync, *request);
            return desktop::SingleInstance::CommandAnswer{outcome.status,
                                                          QByteArray::fromStdString(outcome.out),
                                                          QByteArray::fromStdString(outcome.err)};
        });
        a.session.AddEvent(Once("handed over", 8));
        const auto command = [&](const QString& option) {
            QProcess program;
            QSignalSpy finished(&program, &QProcess::finished);
            program.start(
                QStringLiteral(QCAL_SYNC_PROGRAM),
                {QStringLiteral("--data-dir"), QString::fromStdString(a.store.folder()), option});
            finished.wait(60000);
            return QString::fromUtf8(program.readAllStandardOutput() +
                                     program.readAllStandardError());
        };
        const QString synced = command(QStringLiteral("--sync"));
        QVERIFY2(synced.contains(QStringLiteral("1 sent")), qPrintable(synced));
        QVERIFY(
            command(QStringLiteral("--calendars")).contains(QStringLiteral("UTC: Synchronised")));
        QCOMPARE(handed, 2);
        b.Sync();
        QCOMPARE(b.Lines(), a.Lines());
    }

    // Without a secret store the password is asked for; given for the run, it is used.
    void noSecretStore() {
        Device c;
        c.secrets.available = false;
        sync::Binding binding{QString::fromLatin1(kLayer),
                              server.CalendarUrl(),
                              QString::fromLatin1(kUser),
                              false,
                              {},
                              {},
                              {}};
        QVERIFY(c.sync.Bind(binding, {}));
        QSignalSpy asked(&c.sync, &sync::SyncService::passwordNeeded);
        bool ok = true;
        c.Sync(&ok);
        QVERIFY(!ok);
        QCOMPARE(asked.size(), 1);
        c.sync.SetSessionPassword(server.CalendarUrl(), QString::fromLatin1(kUser),
                                  QString::fromLatin1(kPassword));
        c.Sync(&ok);
        QVERIFY(ok);
        QCOMPARE(c.Lines(), a.Lines());
    }

    // Over HTTPS with a certificate no authority signed: refused until its fingerprint is
    // accepted.
    void https() {
        Radicale secure(true);
        QVERIFY(secure.Start());
        QVERIFY(!secure.Fingerprint().isEmpty());
        QCOMPARE(secure.MakeCalendar(QStringLiteral("shared"), QStringLiteral("Secure"),
                                     QStringLiteral("#00ff00")),
                 201);
        // From the command line: refused with the fingerprint to pass, then bound with it; plain
        // http to another machine refused without --allow-unencrypted.
        Device cli;
        QVERIFY(Refusal(cli.Add(secure.CalendarUrl(), "Secure"))
                    .contains(QStringLiteral("--accept-certificate ") + secure.Fingerprint()));
        QCOMPARE(cli.Add(secure.CalendarUrl(), "Secure", secure.Fingerprint()).status, 0);
        QCOMPARE(cli.Add(secure.CalendarUrl(), "Secure").status, 0);  // bound again: still trusted
        QVERIFY(Refusal(cli.Add(QStringLiteral("http://192.0.2.1/c/"), "Far"))
                    .contains(QStringLiteral("give --allow-unencrypted")));
        QCOMPARE(cli.sync.Bindings().size(), 1);

        Device c(secure.CalendarUrl());
        QVERIFY(c.bound);
        c.session.AddEvent(Once("secure", 1));
        QSignalSpy untrusted(&c.sync, &sync::SyncService::certificateNotTrusted);
        bool ok = true;
        c.Sync(&ok);
        QVERIFY(!ok);
        QCOMPARE(untrusted.size(), 1);
        QCOMPARE(untrusted.first().at(1).toString(), secure.Fingerprint());
        QVERIFY(secure.Resources().isEmpty());
        QVERIFY(c.sync.AcceptCertificate(secure.CalendarUrl(), secure.Fingerprint()));
        c.Sync(&ok);
        QVERIFY(ok);
        QCOMPARE(secure.Resources().size(), 1);
    }

private:
    Radicale server;
    Device a{server.CalendarUrl()};
    Device b{server.CalendarUrl()};
};

// The child of killedRuns: one run over the folder given, the password on standard input.
int SyncChild(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    RecordingErrorReporter errors;
    TDataMod dm(argv[2], errors);
    dm.LoadLayers();
    SilentSound sound;
    CalendarSession session(dm, sound);
    std::string password;
    std::getline(std::cin, password);
    sync::CalDavSync sync(session, {});
    for (const sync::Binding& b : sync.Bindings()) {
        sync.SetSessionPassword(b.calendarUrl, b.user, QString::fromStdString(password));
    }
    QObject::connect(&sync, &sync::SyncService::syncFinished, &app, [&app] { app.quit(); });
    sync.SyncNow();
    return app.exec();
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--sync-child") {
        return SyncChild(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestSync test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_sync.moc"
