// The command line: the agenda and the pending alarms over a seeded program folder, the
// arguments, unreadable databases, and the front command run as its own process.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>

#include <sstream>

#include "cli/CommandLine.h"
#include "core/Clock.h"
#include "core/Rules.h"
#include "store/EventLists.h"
#include "support/StoreFixture.h"
#include "support/TestText.h"

using namespace qcal;
using qcal::test::Alarm;
using qcal::test::DailyEvent;
using qcal::test::OnceEvent;
using qcal::test::Q;
using qcal::test::ReadFile;
using qcal::test::StoreFixture;

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

TDateTime Day(int month, int day, int year = 2026) {
    return EncodeDate(year, unsigned(month), unsigned(day));
}

TDateTime At(int hour, int minute = 0) {
    return EncodeTime(hour, minute);
}

struct Run {
    std::optional<int> status;
    std::string out;
    std::string err;
};

Run RunIn(const std::string& folder, const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    Run r;
    r.status = cli::RunCommandLine(args, folder, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) {
        text += l + "\n";
    }
    return text;
}

// A week of events of every rule kind around 7 to 13 December 2026 (Monday to Sunday), in
// the layers Work and Home (checked) and Hidden (not checked).
void SeedWeek(StoreFixture& f) {
    f.dm->Layers = {
        {"Work", 0x00FF0000, true}, {"Home", 0x0000FF00, true}, {"Hidden", 0x000000FF, false}};
    QVERIFY(f.dm->SaveLayers());
    std::vector<tfield> events;
    events.push_back(Alarm(OnceEvent("Dentist", Day(12, 10), At(10), "Work")));
    events.push_back(DailyEvent("Run", Day(12, 1), Day(12, 31), 2, At(7, 30), "Home"));
    tfield standup = Alarm(DailyEvent("Stand-up", Day(12, 1), Day(12, 31), 1, At(9), "Work"));
    standup.dayType = kDayWorkday;
    events.push_back(standup);
    // Mondays and Thursdays of every second week, counted from the week of 23 November.
    tfield gym = Alarm(DailyEvent("Gym", Day(11, 23), Day(3, 31, 2027), 1, At(18), "Home"));
    gym.repeatType = kRepeatWeekly;
    gym.weekEvery0 = 2;
    gym.weekSelected0 = "FTFFTFF";
    events.push_back(gym);
    tfield rent = DailyEvent("Rent", Day(1, 10), Day(12, 31, 2027), 1, At(8), "Home");
    rent.repeatType = kRepeatMonthly;
    rent.monthType = kMonthDayN;
    rent.monthDay0 = 10;
    events.push_back(rent);
    tfield team = Alarm(DailyEvent("Team", Day(1, 1), Day(12, 31, 2027), 1, At(11), "Work"));
    team.repeatType = kRepeatMonthly;
    team.monthType = kMonthNth;
    team.monthspecial1 = kOrdinalSecond;
    team.monthDayorWeek1 = kKindTuesday;
    events.push_back(team);
    tfield birthday = DailyEvent("Birthday", Day(1, 1, 2000), Day(12, 31, 2099), 1, 0, "Home");
    birthday.repeatType = kRepeatYearly;
    birthday.yearType = kYearDate;
    birthday.yearMonth0 = 11;
    birthday.yearDay0 = 12;
    events.push_back(birthday);
    tfield advent =
        Alarm(DailyEvent("Advent", Day(1, 1, 2020), Day(12, 31, 2030), 1, At(16), "Home"));
    advent.repeatType = kRepeatYearly;
    advent.yearType = kYearNth;
    advent.yearspecial1 = kOrdinalSecond;
    advent.yearDayorWeek1 = kKindSunday;
    advent.yearMonth1 = 11;
    events.push_back(advent);
    events.push_back(OnceEvent("Before", Day(12, 6), At(23, 59), "Work"));
    events.push_back(OnceEvent("After", Day(12, 14), 0, "Work"));
    events.push_back(OnceEvent("Secret", Day(12, 9), At(12), "Hidden"));
    // setup.ini lacks its layer: the agenda adds it, checked, as the desktop program does.
    events.push_back(OnceEvent("Orphan", Day(12, 9), At(12), "Gone"));
    tfield trip = OnceEvent("Trip", Day(12, 11), At(6), "Work");
    trip.enddate = Day(12, 13);  // a one-time event shows on its begin day only
    events.push_back(trip);
    events.push_back(Alarm(OnceEvent("Multi\nline\tsubject", Day(12, 12), At(9), "Work")));
    events.push_back(OnceEvent("Tie B", Day(12, 13), At(10), "Work"));
    events.push_back(OnceEvent("Tie A", Day(12, 13), At(10), "Work"));
    events.push_back(DailyEvent("Ended", Day(11, 1), Day(12, 8), 1, At(20), "Work"));
    events.push_back(DailyEvent("Starts", Day(12, 12), Day(1, 31, 2027), 1, At(21), "Work"));
    tlist_of_event_orig list(*f.dm);
    for (const tfield& e : events) {
        QVERIFY(list.AddEvent(e) != 0);
    }
}

const std::vector<std::string> kWeek = {
    "2026-12-07 07:30  Run  [Home]",
    "2026-12-07 09:00  Stand-up  [Work] !",
    "2026-12-07 18:00  Gym  [Home] !",
    "2026-12-07 20:00  Ended  [Work]",
    "2026-12-08 09:00  Stand-up  [Work] !",
    "2026-12-08 11:00  Team  [Work] !",
    "2026-12-08 20:00  Ended  [Work]",
    "2026-12-09 07:30  Run  [Home]",
    "2026-12-09 09:00  Stand-up  [Work] !",
    "2026-12-09 12:00  Orphan  [Gone]",
    "2026-12-10 08:00  Rent  [Home]",
    "2026-12-10 09:00  Stand-up  [Work] !",
    "2026-12-10 10:00  Dentist  [Work] !",
    "2026-12-10 18:00  Gym  [Home] !",
    "2026-12-11 06:00  Trip  [Work]",
    "2026-12-11 07:30  Run  [Home]",
    "2026-12-11 09:00  Stand-up  [Work] !",
    "2026-12-12 00:00  Birthday  [Home]",
    "2026-12-12 09:00  Multi line subject  [Work] !",
    "2026-12-12 21:00  Starts  [Work]",
    "2026-12-13 07:30  Run  [Home]",
    "2026-12-13 10:00  Tie B  [Work]",
    "2026-12-13 10:00  Tie A  [Work]",
    "2026-12-13 16:00  Advent  [Home] !",
    "2026-12-13 21:00  Starts  [Work]",
};

std::vector<std::string> WithAllLayers() {
    std::vector<std::string> week = kWeek;
    const auto at = week.begin() + 9;  // after the lines of 9 December
    week.insert(at, "2026-12-09 12:00  Secret  [Hidden]");
    return week;
}

// Every file of a folder with its contents.
std::map<QString, QByteArray> Snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QString& name :
         QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        files[name] = ReadFile(folder + QStringLiteral("/") + name);
    }
    return files;
}

QProcessEnvironment WithoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(Q(name));
    }
    return env;
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void agenda_data() {
        QTest::addColumn<std::vector<std::string>>("args");
        QTest::addColumn<std::vector<std::string>>("expected");
        QTest::newRow("a week of checked layers")
            << std::vector<std::string>{"--agenda", "--from", "2026-12-07"} << kWeek;
        QTest::newRow("every layer")
            << std::vector<std::string>{"--from=2026-12-07", "--all-layers", "--agenda"}
            << WithAllLayers();
        QTest::newRow("the last day alone")
            << std::vector<std::string>{"--agenda", "--from=2026-12-13", "--days=1"}
            << std::vector<std::string>(kWeek.end() - 5, kWeek.end());
        QTest::newRow("the day after, and the next week's gym")
            << std::vector<std::string>{"--from", "2026-12-14", "--days", "8"}
            << std::vector<std::string>{
                   "2026-12-14 00:00  After  [Work]",      "2026-12-14 09:00  Stand-up  [Work] !",
                   "2026-12-14 21:00  Starts  [Work]",     "2026-12-15 07:30  Run  [Home]",
                   "2026-12-15 09:00  Stand-up  [Work] !", "2026-12-15 21:00  Starts  [Work]",
                   "2026-12-16 09:00  Stand-up  [Work] !", "2026-12-16 21:00  Starts  [Work]",
                   "2026-12-17 07:30  Run  [Home]",        "2026-12-17 09:00  Stand-up  [Work] !",
                   "2026-12-17 21:00  Starts  [Work]",     "2026-12-18 09:00  Stand-up  [Work] !",
                   "2026-12-18 21:00  Starts  [Work]",     "2026-12-19 07:30  Run  [Home]",
                   "2026-12-19 21:00  Starts  [Work]",     "2026-12-20 21:00  Starts  [Work]",
                   "2026-12-21 07:30  Run  [Home]",        "2026-12-21 09:00  Stand-up  [Work] !",
                   "2026-12-21 18:00  Gym  [Home] !",      "2026-12-21 21:00  Starts  [Work]",
               };
        QTest::newRow("a week without events")
            << std::vector<std::string>{"--agenda", "--from", "2025-06-02"}
            << std::vector<std::string>{};
    }
    void agenda() {
        QFETCH(std::vector<std::string>, args);
        QFETCH(std::vector<std::string>, expected);
        StoreFixture f;
        SeedWeek(f);
        const Run r = RunIn(f.folder(), args);
        QCOMPARE(r.err, std::string());
        QCOMPARE(r.status, std::optional<int>(0));
        QCOMPARE(QString::fromStdString(r.out), QString::fromStdString(Lines(expected)));
    }

    // Without --from the agenda starts today and shows seven days.
    void agendaStartsToday() {
        StoreFixture f;
        SeedWeek(f);
        clock::ScopedFakeClock fake(Day(12, 7) + At(23, 30));
        QCOMPARE(RunIn(f.folder(), {"--agenda"}).out, Lines(kWeek));
    }

    void pending_data() {
        QTest::addColumn<TDateTime>("now");
        QTest::addColumn<std::vector<std::string>>("expected");
        QTest::newRow("a second before the lead")
            << Day(12, 10) + EncodeTime(8, 58, 59)
            << std::vector<std::string>{"2026-12-08 22:00  Backlog  [Work] !"};
        // The rule is due a minute early, but the alarm window's due statement asks for the
        // moment itself to have come for a one-time event.
        QTest::newRow("at the lead") << Day(12, 10) + EncodeTime(8, 59)
                                     << std::vector<std::string>{
                                            "2026-12-08 22:00  Backlog  [Work] !",
                                            "2026-12-10 09:00  Pills  [Work] !",
                                        };
        QTest::newRow("at the moment") << Day(12, 10) + At(9)
                                       << std::vector<std::string>{
                                              "2026-12-08 22:00  Backlog  [Work] !",
                                              "2026-12-10 09:00  Dentist  [Work] !",
                                              "2026-12-10 09:00  Pills  [Work] !",
                                          };
        QTest::newRow("days later") << Day(12, 20) + At(6)
                                    << std::vector<std::string>{
                                           "2026-12-08 22:00  Backlog  [Work] !",
                                           "2026-12-10 09:00  Dentist  [Work] !",
                                           "2026-12-10 09:00  Pills  [Work] !",
                                           "2026-12-11 07:00  Done today  [Work] !",
                                       };
    }
    void pending() {
        QFETCH(TDateTime, now);
        QFETCH(std::vector<std::string>, expected);
        StoreFixture f;
        std::vector<tfield> events;
        events.push_back(Alarm(OnceEvent("Dentist", Day(12, 10), At(9))));
        events.push_back(OnceEvent("Quiet", Day(12, 10), At(8)));  // no alarm
        tfield pills = Alarm(DailyEvent("Pills", Day(12, 1), Day(12, 31), 1, At(9)));
        pills.lastFileTime = Day(12, 9) + At(20);
        events.push_back(pills);
        tfield backlog = Alarm(DailyEvent("Backlog", Day(12, 1), Day(12, 31), 1, At(22)));
        backlog.lastFileTime = Day(12, 7) + At(23);
        events.push_back(backlog);
        tfield filed = Alarm(OnceEvent("Filed", Day(12, 9), At(10)));
        filed.lastFileTime = Day(12, 9) + At(10, 5);
        events.push_back(filed);
        tfield doneToday = Alarm(DailyEvent("Done today", Day(12, 1), Day(12, 31), 1, At(7)));
        doneToday.lastFileTime = Day(12, 10) + At(7, 10);
        events.push_back(doneToday);
        tlist_of_event_orig list(*f.dm);
        for (const tfield& e : events) {
            QVERIFY(list.AddEvent(e) != 0);
        }

        clock::ScopedFakeClock fake(now);
        const Run r = RunIn(f.folder(), {"--pending"});
        QCOMPARE(r.err, std::string());
        QCOMPARE(r.status, std::optional<int>(0));
        QCOMPARE(QString::fromStdString(r.out), QString::fromStdString(Lines(expected)));
        // The events the alarm window would list: an alarm, a moment that has come and the
        // rule's due test.
        for (const tfield& e : events) {
            const bool listed = r.out.find("  " + e.subject + "  ") != std::string::npos;
            QCOMPARE(listed, e.alert && e.begindate + e.beginTime <= now && tsatisfy(e).IsDue(now));
        }
    }

    void arguments_data() {
        QTest::addColumn<std::vector<std::string>>("args");
        QTest::addColumn<std::string>("message");  // empty: the desktop program starts
        using Args = std::vector<std::string>;
        QTest::newRow("none") << Args{} << std::string();
        QTest::newRow("autorun") << Args{"autorun"} << std::string();
        QTest::newRow("toolkit options")
            << Args{"-platform", "offscreen", "--style=fusion", "-reverse", "autorun"}
            << std::string();
        QTest::newRow("misspelt") << Args{"--agnda"}
                                  << std::string("unrecognized option '--agnda' (see --help)");
        QTest::newRow("unknown dash option")
            << Args{"-x"} << std::string("unrecognized option '-x' (see --help)");
        QTest::newRow("unknown with agenda")
            << Args{"--agenda", "--weeks", "2"}
            << std::string("unrecognized option '--weeks' (see --help)");
        QTest::newRow("word with agenda")
            << Args{"--agenda", "autorun"}
            << std::string("unexpected argument 'autorun' (see --help)");
        QTest::newRow("no days") << Args{"--days", "0"}
                                 << std::string(
                                        "invalid number of days '0' for --days (1 to 3660)");
        QTest::newRow("too many days")
            << Args{"--agenda", "--days=3661"}
            << std::string("invalid number of days '3661' for --days (1 to 3660)");
        QTest::newRow("days not a number")
            << Args{"--days", "7x"}
            << std::string("invalid number of days '7x' for --days (1 to 3660)");
        QTest::newRow("no such day")
            << Args{"--from", "2026-02-29"}
            << std::string("invalid date '2026-02-29' for --from (YYYY-MM-DD)");
        QTest::newRow("short year")
            << Args{"--from=26-12-01"}
            << std::string("invalid date '26-12-01' for --from (YYYY-MM-DD)");
        QTest::newRow("from without a value")
            << Args{"--agenda", "--from"} << std::string("option '--from' requires an argument");
        QTest::newRow("value for a flag")
            << Args{"--agenda=yes"} << std::string("option '--agenda' takes no value");
        QTest::newRow("agenda and pending")
            << Args{"--agenda", "--pending"}
            << std::string("option '--pending' cannot be combined with '--agenda'");
        QTest::newRow("pending with a period")
            << Args{"--pending", "--days", "3"}
            << std::string("option '--pending' cannot be combined with '--days'");
        QTest::newRow("past the last year")
            << Args{"--from", "9999-12-30", "--days", "3"}
            << std::string("the agenda would end after the year 9999");
        QTest::newRow("export without a file")
            << Args{"--export-ics"} << std::string("option '--export-ics' requires an argument");
        QTest::newRow("export and import")
            << Args{"--export-ics=a.ics", "--import-ics", "b.ics"}
            << std::string("only one of '--export-ics' and '--import-ics' may be given, once");
        QTest::newRow("import with the agenda")
            << Args{"--import-ics", "b.ics", "--agenda"}
            << std::string("option '--import-ics' cannot be combined with '--agenda'");
        QTest::newRow("data folder for the desktop")
            << Args{"--data-dir", "/data", "autorun"} << std::string();
        QTest::newRow("data folder without a value")
            << Args{"autorun", "--data-dir"}
            << std::string("option '--data-dir' requires an argument");
        QTest::newRow("data folder twice") << Args{"--data-dir=a", "--agenda", "--data-dir", "b"}
                                           << std::string("option '--data-dir' may be given once");
        QTest::newRow("calendar without a layer")
            << Args{"--add-calendar", "https://h/c/", "--user", "u"}
            << std::string("option '--add-calendar' requires '--layer NAME'");
        QTest::newRow("layer without a calendar")
            << Args{"--sync", "--layer", "Home"}
            << std::string("option '--layer' goes with '--add-calendar' only");
        QTest::newRow("password alone") << Args{"--password-stdin"}
                                        << std::string(
                                               "option '--password-stdin' goes with "
                                               "'--add-calendar' only");
        QTest::newRow("sync and calendars")
            << Args{"--sync", "--calendars"}
            << std::string(
                   "only one of '--add-calendar', '--sync' and '--calendars' may be "
                   "given, once");
        QTest::newRow("sync with the agenda")
            << Args{"--sync", "--days", "3"}
            << std::string("option '--sync' cannot be combined with '--days'");
        QTest::newRow("sync with a value")
            << Args{"--sync=now"} << std::string("option '--sync' takes no value");
        QTest::newRow("unencrypted alone")
            << Args{"--allow-unencrypted"}
            << std::string("option '--allow-unencrypted' goes with '--add-calendar' only");
        QTest::newRow("certificate with sync")
            << Args{"--sync", "--accept-certificate", std::string(64, 'a')}
            << std::string("option '--accept-certificate' goes with '--add-calendar' only");
        QTest::newRow("fingerprint too short")
            << Args{"--add-calendar=https://h/c/", "--layer=L", "--accept-certificate=ab:cd"}
            << std::string(
                   "invalid fingerprint 'ab:cd' for --accept-certificate (the 64 hexadecimal "
                   "digits of SHA-256)");
    }

    // The synchronisation's options as the synchronisation program reads them.
    void syncOptions() {
        const cli::ParseResult parsed =
            cli::ParseCommandLine({"--add-calendar=https://h/c/", "--layer", "Home", "--user=u",
                                   "--password-stdin", "--data-dir", "/d", "--allow-unencrypted",
                                   "--accept-certificate", "AB:" + std::string(62, 'C')});
        QCOMPARE(parsed.error, std::string());
        QCOMPARE(parsed.line.action, cli::CommandLine::Action::AddCalendar);
        QCOMPARE(parsed.line.calendarUrl, std::string("https://h/c/"));
        QCOMPARE(parsed.line.layer, std::string("Home"));
        QCOMPARE(parsed.line.user, std::string("u"));
        QVERIFY(parsed.line.passwordStdin);
        QVERIFY(parsed.line.allowUnencrypted);
        QCOMPARE(parsed.line.acceptCertificate, "ab" + std::string(62, 'c'));
        // The toolkit's own one-dash -sync still goes to the desktop program.
        QCOMPARE(cli::ParseCommandLine({"-sync"}).line.action, cli::CommandLine::Action::Desktop);
    }
    void arguments() {
        QFETCH(std::vector<std::string>, args);
        QFETCH(std::string, message);
        StoreFixture f;
        const Run r = RunIn(f.folder(), args);
        QCOMPARE(r.out, std::string());
        if (message.empty()) {
            QCOMPARE(r.status, std::optional<int>());
            QCOMPARE(r.err, std::string());
        } else {
            QCOMPARE(r.status, std::optional<int>(2));
            QCOMPARE(r.err, "quenlaris-calendar: " + message + "\n");
        }
    }

    // The desktop program gets its own words without --data-dir: "autorun" stays first.
    void dataDirLeavesTheDesktopArguments() {
        const cli::CommandLine line =
            cli::ParseCommandLine({"--data-dir", "/data", "autorun", "-platform", "offscreen"})
                .line;
        QCOMPARE(line.dataDir, std::string("/data"));
        QCOMPARE(line.desktopArgs, (std::vector<std::string>{"autorun", "-platform", "offscreen"}));
    }

    // --help names every option; help and version end at once, whatever else is given.
    void helpAndVersion() {
        StoreFixture f;
        for (const auto& args :
             {std::vector<std::string>{"--help"}, std::vector<std::string>{"--agenda", "-h"}}) {
            const Run r = RunIn(f.folder(), args);
            QCOMPARE(r.status, std::optional<int>(0));
            QVERIFY(r.out.starts_with("Usage: quenlaris-calendar [OPTION]...\n"));
            for (const char* option :
                 {"--agenda", "--from=DATE", "--days=N", "--all-layers", "--pending",
                  "--export-ics=FILE", "--import-ics=FILE", "--add-calendar=URL", "--sync",
                  "--allow-unencrypted", "--accept-certificate=SHA256", "--calendars", "-h, --help",
                  "--version"}) {
                QVERIFY2(r.out.find(option) != std::string::npos, option);
            }
        }
        const Run v = RunIn(f.folder(), {"--version"});
        QCOMPARE(v.status, std::optional<int>(0));
        // The version the about box shows, too.
        QCOMPARE(v.out, std::string("quenlaris-calendar 1.01 (Build 17)\n"));
    }

    // The iCalendar options reach their commands: a week exported and imported into an empty
    // folder reads the same there.
    void icsOptionsRunTheirCommands() {
        StoreFixture from;
        SeedWeek(from);
        StoreFixture to;
        const std::string file = from.folder() + "/out.ics";
        const Run e = RunIn(from.folder(), {"--export-ics", file});
        QCOMPARE(e.status, std::optional<int>(0));
        const Run i = RunIn(to.folder(), {"--import-ics=" + file});
        QCOMPARE(i.status, std::optional<int>(0));
        const std::vector<std::string> week = {"--from=2026-12-07", "--days=7", "--all-layers"};
        const Run expected = RunIn(from.folder(), week);
        const Run imported = RunIn(to.folder(), week);
        QVERIFY(!expected.out.empty());
        QCOMPARE(imported.out, expected.out);
    }

    void unreadableDatabase_data() {
        QTest::addColumn<QByteArray>("contents");  // "-" none, "/" a folder
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray("-") << Q("--agenda")
                                 << Q("unable to open database file");
        QTest::newRow("missing, pending")
            << QByteArray("-") << Q("--pending") << Q("unable to open database file");
        QTest::newRow("a folder") << QByteArray("/") << Q("--agenda") << Q("disk I/O error");
        QTest::newRow("not a database") << QByteArray("BEGIN:VCALENDAR\r\n").repeated(400)
                                        << Q("--agenda") << Q("file is not a database");
        QTest::newRow("no event table")
            << QByteArray() << Q("--agenda") << Q("no such table: eventtable");
        QTest::newRow("no event table, pending")
            << QByteArray() << Q("--pending") << Q("no such table: eventtable");
    }
    void unreadableDatabase() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, option);
        QFETCH(QString, reason);
        StoreFixture f(false);
        f.dm.reset();
        const QString path = f.dir.filePath(Q("user.mdb"));
        if (contents == "/") {
            QVERIFY(QDir(f.dir.path()).mkdir(Q("user.mdb")));
        } else if (contents != "-") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        const auto before = Snapshot(f.dir.path());
        const Run r = RunIn(f.folder(), {option.toStdString()});
        QCOMPARE(r.status, std::optional<int>(2));
        QCOMPARE(r.out, std::string());
        QCOMPARE(QString::fromStdString(r.err),
                 Q("quenlaris-calendar: cannot read ") + path + Q(": ") + reason + Q("\n"));
        QCOMPARE(Snapshot(f.dir.path()), before);  // nothing created, nothing changed
    }

    // The database and the settings are read only: byte for byte the same afterwards, and no
    // journal or other file appears beside them.
    void leavesTheFolderUnchanged() {
        StoreFixture f;
        SeedWeek(f);
        f.dm.reset();
        const auto before = Snapshot(f.dir.path());
        QVERIFY(before.contains(Q("user.mdb")) && before.contains(Q("setup.ini")));
        for (const auto& args :
             {std::vector<std::string>{"--agenda", "--from", "2026-12-07", "--days", "3660"},
              std::vector<std::string>{"--agenda", "--all-layers"},
              std::vector<std::string>{"--pending"}}) {
            QCOMPARE(RunIn(f.folder(), args).status, std::optional<int>(0));
            QCOMPARE(Snapshot(f.dir.path()), before);
        }
    }

    // While the desktop program holds a write transaction open the agenda still reads the
    // database, as it was before that transaction.
    void readsWhileAnotherProgramWrites() {
        StoreFixture f;
        SeedWeek(f);
        f.dm->ADOConnection.exec("BEGIN IMMEDIATE");
        tlist_of_event_orig list(*f.dm);
        QVERIFY(list.AddEvent(OnceEvent("Uncommitted", Day(12, 10), At(12))) != 0);
        const std::vector<std::string> args = {"--agenda", "--from", "2026-12-07"};
        Run r = RunIn(f.folder(), args);
        QCOMPARE(r.status, std::optional<int>(0));
        QCOMPARE(r.out, Lines(kWeek));
        f.dm->ADOConnection.exec("COMMIT");
        r = RunIn(f.folder(), args);
        QVERIFY(r.out.find("2026-12-10 12:00  Uncommitted  [Work]\n") != std::string::npos);
    }

    // The command the user types, as its own process with no display: it prints without the
    // desktop toolkit, and hands every other start, with its arguments, to the desktop program.
    void frontCommandWithoutDisplay() {
        StoreFixture f;
        SeedWeek(f);
        f.dm.reset();
        const QString front = f.dir.filePath(Q("quenlaris-calendar"));
        QVERIFY(QFile::copy(Q(QCAL_FRONT_EXE), front));
        // A stand-in for the desktop program that tells what it was given.
        const QString desktop = f.dir.filePath(Q("quenlaris-calendar-desktop"));
        {
            QFile script(desktop);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\necho \"desktop $*\"\n");
        }
        QFile::setPermissions(desktop, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const auto run = [&](const QString& program, const QStringList& args) {
            QProcess p;
            p.setProcessEnvironment(WithoutDisplay());
            p.start(program, args);
            p.waitForFinished(60000);
            return std::tuple(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                              QString::fromUtf8(p.readAllStandardError()));
        };
        auto [status, out, err] =
            run(front, {Q("--agenda"), Q("--from"), Q("2026-12-13"), Q("--days"), Q("1")});
        QCOMPARE(err, QString());
        QCOMPARE(status, 0);
        QCOMPARE(out.toStdString(), Lines({kWeek.end() - 5, kWeek.end()}));
        std::tie(status, out, err) = run(front, {Q("--days"), Q("0")});
        QCOMPARE(status, 2);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        std::tie(status, out, err) = run(front, {Q("autorun")});
        QCOMPARE(status, 0);
        QCOMPARE(out, Q("desktop autorun\n"));

        // --data-dir chooses the folder, which --help names; a new one is made from the
        // delivered files.
        const QString data = f.dir.filePath(Q("data"));
        std::tie(status, out, err) = run(Q(QCAL_FRONT_EXE), {Q("--data-dir"), data, Q("--help")});
        QVERIFY2(out.endsWith(Q("\nData folder in use: ") + data + Q("\n")), qPrintable(out));
        std::tie(status, out, err) =
            run(Q(QCAL_FRONT_EXE), {Q("--data-dir=") + data, Q("--agenda")});
        QCOMPARE(err, QString());
        QCOMPARE(status, 0);
        QCOMPARE(out, QString());
        QVERIFY(QFile::exists(data + Q("/user.mdb")));
        std::tie(status, out, err) = run(front, {Q("--data-dir"), data, Q("autorun")});
        QCOMPARE(out, Q("desktop --data-dir ") + data + Q(" autorun\n"));

        // The desktop program answers the same options before its toolkit starts.
        std::tie(status, out, err) = run(Q(QCAL_DESKTOP_EXE), {Q("--help")});
        QCOMPARE(status, 0);
        QVERIFY(out.startsWith(Q("Usage: quenlaris-calendar")));

        const QString ldd = QStandardPaths::findExecutable(Q("ldd"));
        if (ldd.isEmpty()) {
            QSKIP("no ldd to list the libraries of the front command");
        }
        std::tie(status, out, err) = run(ldd, {front});
        QCOMPARE(status, 0);
        QVERIFY2(!out.contains(Q("libQt")), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
