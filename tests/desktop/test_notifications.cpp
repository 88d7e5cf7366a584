// Reminders as desktop notifications against a real server (dunst) on a private session bus:
// what a notification carries, and what its actions change compared with the alarm window's
// own commands on a second program folder; without a server the window comes up.

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "alarm/AlarmWindow.h"
#include "alarm/DesktopNotifier.h"
#include "core/Clock.h"
#include "session/AlarmScheduler.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "support/Child.h"
#include "support/StoreFixture.h"
#include "support/TestText.h"
#include "widgets/Dialogs.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const TDateTime kToday = EncodeDate(2027, 1, 7);
const QString kServer = Q("org.freedesktop.Notifications");

class SilentSound final : public SoundPlayer {
    void Play(const std::string&) override {}
};

// Two due events on one program folder, with the session, the window and (with notify) a
// notifier, wired as the program wires them. windowsShown counts the window coming up.
class Reminders {
public:
    Reminders(std::int32_t as, bool notify)
        : list(*store.dm),
          session(*store.dm, sound),
          scheduler(session.Scheduler()),
          notifier(*store.dm) {
        store.dm->Options.ShowRemindersAs = as;
        window = std::make_unique<TFormAlarm>(session, AlarmWindowHooks{});
        QObject::connect(&session, &CalendarSession::alarmsRaised, [this] { ++windowsShown; });
        if (notify) {
            scheduler.SetNotifier(&notifier);
            window->FollowNotifications(notifier);
        }
        for (const char* subject : {"Dentist", "Standup"}) {
            tfield e = OnceEvent(subject, kToday, EncodeTime(subject[0] == 'D' ? 9 : 8, 0));
            e.alert = true;
            ids.push_back(list.AddEvent(e));
        }
        session.ReloadEvents();  // written beside the session, on its own connection
    }
    ~Reminders() {
        window.reset();
        scheduler.SetNotifier(nullptr);
    }

    // The archive times, the remind-again timer and setup.ini.
    QString State() {
        QString state;
        for (std::int64_t id : ids) {
            tfield e;
            list.LoadEvent(id, e);
            state += QString::number(e.lastFileTime, 'f', 9) + Q(" ");
        }
        QFile ini(QString::fromStdString(store.dm->SetupIniPath()));
        const bool armed = scheduler.TimerEvery15.isActive();
        state += QString::number(armed ? scheduler.TimerEvery15.interval() : 0);
        return state + (ini.open(QIODevice::ReadOnly) ? QString::fromUtf8(ini.readAll()) : Q(""));
    }

    clock::ScopedFakeClock clock{EncodeDateTime(2027, 1, 7, 10, 0)};
    StoreFixture store;
    tlist_of_event_orig list;
    SilentSound sound;
    CalendarSession session;
    AlarmScheduler& scheduler;
    DesktopNotifier notifier;
    std::unique_ptr<TFormAlarm> window;
    std::vector<std::int64_t> ids;  // Dentist, Standup
    int windowsShown = 0;
};

QDBusMessage Call(const char* interface, const char* method) {
    return QDBusMessage::createMethodCall(kServer, Q("/org/freedesktop/Notifications"),
                                          Q(interface), Q(method));
}

int Displayed() {
    QDBusMessage get = Call("org.freedesktop.DBus.Properties", "Get");
    get << Q("org.dunstproject.cmd0") << Q("displayedLength");
    const QList<QVariant> reply = QDBusConnection::sessionBus().call(get).arguments();
    return reply.isEmpty() ? -1 : reply.constFirst().value<QDBusVariant>().variant().toInt();
}

void CloseAll() {
    QDBusConnection::sessionBus().call(Call("org.dunstproject.cmd0", "NotificationCloseAll"));
}

}  // namespace

class TestNotifications : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QProcess dunst_;

    QString Path(const char* name) const { return dir_.filePath(Q(name)); }

    // Opens dunst's menu of actions, which the stand-in for dmenu keeps in a file, and has it
    // choose the line that holds pick. Returns the menu without the ids.
    QStringList Menu(const QString& pick) {
        QFile::remove(Path("menu"));
        QFile want(Path("pick"));
        want.open(QIODevice::WriteOnly);
        want.write(pick.toUtf8());
        want.close();
        QDBusConnection::sessionBus().send(Call("org.dunstproject.cmd0", "ContextMenuCall"));
        QFile menu(Path("menu"));
        if (!QTest::qWaitFor([&] { return menu.size() > 0; }, 5000))
            return {};
        QTest::qWait(200);
        menu.open(QIODevice::ReadOnly);
        QStringList lines = QString::fromUtf8(menu.readAll()).split(Q("\n"), Qt::SkipEmptyParts);
        for (QString& line : lines)
            line.truncate(line.indexOf(Q(" [")));
        lines.sort();
        return lines;
    }

private slots:
    void cleanupTestCase() {
        dunst_.terminate();
        dunst_.waitForFinished(5000);
    }

    // Runs before the server is started.
    void withoutServerTheWindowComesUp() {
        for (std::int32_t as : {kRemindersAsNotifications, kRemindersBoth}) {
            Reminders r(as, true);
            r.scheduler.RefreshAlarms();
            QVERIFY(r.notifier.OnScreen().empty());
            QCOMPARE(r.windowsShown, 1);
        }
    }

    void startServer() {
        QFile rc(Path("dunstrc"));
        QVERIFY(rc.open(QIODevice::WriteOnly));
        rc.write("[global]\n    dmenu = /bin/sh " QCAL_DUNST_PICK "\n");
        rc.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(Q("QCAL_PICK_FILE"), Path("pick"));
        env.insert(Q("QCAL_MENU_FILE"), Path("menu"));
        dunst_.setProcessEnvironment(env);
        dunst_.start(Q("dunst"), {Q("-conf"), Path("dunstrc")});
        QVERIFY2(dunst_.waitForStarted(), "dunst is not installed");
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered(kServer), 10000);
    }

    void notificationCarriesSubjectAndActions_data() {
        QTest::addColumn<int>("as");
        QTest::addColumn<int>("windows");
        QTest::newRow("notifications only") << int(kRemindersAsNotifications) << 0;
        QTest::newRow("both") << int(kRemindersBoth) << 1;
        QTest::newRow("window only") << int(kRemindersInWindow) << 1;
    }
    void notificationCarriesSubjectAndActions() {
        QFETCH(int, as);
        QFETCH(int, windows);
        Reminders r(as, true);
        r.store.dm->Options.AgainHowLong = 15;
        r.scheduler.RefreshAlarms();
        QCOMPARE(r.windowsShown, windows);
        if (as == kRemindersInWindow) {
            QVERIFY(r.notifier.OnScreen().empty());
            return;
        }
        QTRY_COMPARE(Displayed(), 2);
        QCOMPARE(
            Menu(Q("pick nothing")),
            QStringList({Q("#Archive (Dentist)"), Q("#Archive (Standup)"), Q("#Open (Dentist)"),
                         Q("#Open (Standup)"), Q("#Remind again in 15 minutes (Dentist)"),
                         Q("#Remind again in 15 minutes (Standup)")}));
        // Raised once while on the screen; closed ones change nothing and come back when the
        // remind-again time comes.
        r.scheduler.ShowAlarms();
        QTest::qWait(200);
        QCOMPARE(Displayed(), 2);
        const QString before = r.State();
        CloseAll();
        QTRY_VERIFY(r.notifier.OnScreen().empty());
        QCOMPARE(r.State(), before);
        QCOMPARE(r.scheduler.Due().dueEvents.size(), std::size_t(2));
        r.scheduler.TimerEvery15Timer();
        QTRY_COMPARE(Displayed(), 2);
        CloseAll();
    }

    // The action on Dentist's notification leaves its folder as the window's command leaves
    // another ("Open" only shows the window).
    void actionsDoWhatTheWindowDoes_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("windows");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("Archive") << Q("Archive") << 0 << QStringList{Q("Standup")};
        QTest::newRow("Remind again")
            << Q("Remind again in 10 minutes") << 0 << QStringList{Q("Standup"), Q("Dentist")};
        QTest::newRow("Open") << Q("Open") << 1 << QStringList{Q("Standup"), Q("Dentist")};
    }
    void actionsDoWhatTheWindowDoes() {
        QFETCH(QString, action);
        QFETCH(int, windows);
        Reminders byWindow(kRemindersAsNotifications, false);
        byWindow.scheduler.Due().RebuildDue();
        byWindow.window->FillAlarmList();
        byWindow.window->ShowAlarm();
        TFormAlarm& w = *byWindow.window;
        if (action == Q("Archive")) {
            Child<QListWidget>(w, "ListBoxEventActived")
                ->setCurrentRow(1);  // Dentist, after Standup
            Child<QPushButton>(w, "btnFileSingle")->click();
        } else if (action != Q("Open")) {
            Child<QCheckBox>(w, "chRemindAgain")->setChecked(true);
            Child<QPushButton>(w, "btnclose")->click();
        }

        Reminders byNotification(kRemindersAsNotifications, true);
        byNotification.scheduler.RefreshAlarms();
        QTRY_COMPARE(Displayed(), 2);
        Menu(Q("#") + action + Q(" (Dentist)"));
        // The chosen notification goes; Standup's stays until it is dealt with.
        QTRY_COMPARE(byNotification.notifier.OnScreen(), std::vector{byNotification.ids[1]});
        QCOMPARE(byNotification.windowsShown, windows);
        if (action == Q("Open")) {
            // The window that came up stays until it is closed, as the other one does.
            QVERIFY(byNotification.window->isVisible());
            byNotification.window->close();
            byWindow.window->close();
        }
        QCOMPARE(byNotification.State(), byWindow.State());
        QCOMPARE(byNotification.scheduler.Due().dueEvents.size(),
                 std::size_t(action == Q("Archive") ? 1 : 2));
        CloseAll();
    }
};

QTEST_MAIN(TestNotifications)
#include "test_notifications.moc"
