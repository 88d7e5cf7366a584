// The windows of synchronisation against a stand-in engine: the preferences page "Calendars on
// a server", the status line and the questions of a run, and their place in the program.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "sync/SyncService.h"
#include "ui/main/PreferencesDialog.h"
#include "ui/main/ServerCalendarsPage.h"
#include "ui/main/SyncStatus.h"

using namespace qcal;
using namespace qcal::test;

namespace {

const TDateTime kNow = EncodeDateTime(2027, 1, 3, 9, 30);

// Keeps what the windows ask for; the test plays the engine's answers through its signals.
class FakeSync final : public sync::SyncService {
public:
    QList<sync::Binding> Bindings() const override { return bindings; }
    void Discover(const QString& server, const QString& user, const QString& password,
                  bool allowUnencrypted, const QString& fingerprint) override {
        discoveries << QStringList{server, user, password, fingerprint}.join(QLatin1Char('|'));
        allowed = allowUnencrypted;
    }
    bool Bind(const sync::Binding& binding, const QString& password) override {
        bound.append({binding, password});
        bindings.append(binding);
        emit bindingsChanged();
        return true;
    }
    void Unbind(const QString& layer) override { unbound << layer; }
    void SyncNow() override { ++runsAsked; }
    bool Running() const override { return running; }
    void SetSessionPassword(const QString& url, const QString& user,
                            const QString& password) override {
        sessionPasswords << url + Q(" ") + user + Q(" ") + password;
    }
    void Start() {
        running = true;
        emit syncStarted();
    }
    void Finish(bool ok, const QString& summary) {
        running = false;
        emit syncFinished(ok, summary);
    }

    QList<sync::Binding> bindings;
    QList<QPair<sync::Binding, QString>> bound;
    QStringList discoveries, unbound, sessionPasswords;
    int runsAsked = 0;
    bool running = false, allowed = false;
};

const QList<sync::ServerCalendar> kCalendars = {
    {Q("https://dav.example.org/cal/anna/work/"), Q("Work"), Q("#3366ffff")},
    {Q("https://dav.example.org/cal/anna/team%20cal/"), QString(), QString()},
    {Q("https://dav.example.org/cal/anna/b/"), Q("Bob's"), QString()},
};

sync::Binding Bound(const char* layer, const QDateTime& last = {}, const char* status = "") {
    sync::Binding b;
    b.layer = Q(layer);
    b.calendarUrl = Q("https://dav.example.org/cal/anna/") + Q(layer) + Q("/");
    b.user = Q("anna");
    b.lastSync = last;
    b.lastStatus = Q(status);
    return b;
}

// The page on its own, over a program folder with the layers Work and Home.
struct PageFixture {
    PageFixture() : clock(kNow) {
        desktop::MessageBox::StartRecording();
        store.dm->Layers = {{"Work", 0xFF, true}, {"Home", 0xFF00, true}};
    }
    ~PageFixture() { desktop::MessageBox::StopRecording(); }
    ServerCalendarsPage& Open() {
        page = std::make_unique<ServerCalendarsPage>(engine, *store.dm);
        return *page;
    }
    // Fills the account and finds the calendars.
    void Find(const char* server, bool unencrypted = false) {
        page->EditServer->setText(Q(server));
        page->EditUser->setText(Q("anna"));
        page->EditPassword->setText(Q("s3cret"));
        page->chUnencrypted->setChecked(unencrypted);
        page->btnDiscover->click();
    }

    clock::ScopedFakeClock clock;
    StoreFixture store;
    FakeSync engine;
    std::unique_ptr<ServerCalendarsPage> page;
};

}  // namespace

class TestSyncWindows : public QObject {
    Q_OBJECT
private slots:
    // A found calendar binds to a new layer named after it (never to a local layer of the same
    // name by accident) or to the layer chosen, with the account of the fields.
    void pageBindsFoundCalendars_data() {
        QTest::addColumn<int>("calendar");
        QTest::addColumn<QString>("layerChoice");
        QTest::addColumn<QString>("layer");
        QTest::newRow("name taken by a local layer") << 0 << QString() << Q("Work (2)");
        QTest::newRow("no name: the address's last step") << 1 << QString() << Q("team cal");
        QTest::newRow("existing layer chosen") << 0 << Q("Home") << Q("Home");
        QTest::newRow("straight quote") << 2 << QString() << Q("Bob\u2019s");
    }
    void pageBindsFoundCalendars() {
        QFETCH(int, calendar);
        QFETCH(QString, layerChoice);
        QFETCH(QString, layer);
        PageFixture fx;
        ServerCalendarsPage& page = fx.Open();
        QVERIFY(!page.btnBind->isEnabled());
        fx.Find("dav.example.org", true);
        QCOMPARE(fx.engine.discoveries, QStringList{Q("https://dav.example.org|anna|s3cret|")});
        QVERIFY(fx.engine.allowed);
        emit fx.engine.discovered(kCalendars);
        QCOMPARE(page.ListCalendars->count(), 3);
        QCOMPARE(page.ListCalendars->item(0)->icon().isNull(), false);

        page.ListCalendars->setCurrentRow(calendar);
        if (!layerChoice.isEmpty())
            page.cbLayer->setCurrentText(layerChoice);
        page.btnBind->click();
        QCOMPARE(fx.engine.bound.size(), 1);
        const sync::Binding& b = fx.engine.bound[0].first;
        QCOMPARE(b.layer, layer);
        QCOMPARE(b.calendarUrl, kCalendars[calendar].url);
        QCOMPARE(b.user, Q("anna"));
        QVERIFY(b.allowUnencrypted);
        QCOMPARE(fx.engine.bound[0].second, Q("s3cret"));
        // The bound layer leaves the choice and joins the bindings.
        QCOMPARE(page.TreeBindings->topLevelItemCount(), 1);
        QCOMPARE(page.cbLayer->findText(layer), -1);
        QVERIFY(desktop::MessageBox::TakeShown().isEmpty());
    }

    // The bindings with their last synchronisation; unbinding asks first.
    void pageListsAndUnbinds() {
        PageFixture fx;
        fx.engine.bindings = {Bound("Work", QDateTime(QDate(2027, 1, 2), QTime(8, 5)), "3 events"),
                              Bound("Home")};
        ServerCalendarsPage& page = fx.Open();
        QCOMPARE(page.EditServer->text(), Q("https://dav.example.org"));
        QCOMPARE(page.TreeBindings->topLevelItem(0)->text(2), Q("01/02/2027 08:05 AM"));
        QCOMPARE(page.TreeBindings->topLevelItem(0)->text(3), Q("3 events"));
        QCOMPARE(page.TreeBindings->topLevelItem(1)->text(2), Q("never"));
        QCOMPARE(page.cbLayer->count(), 1);  // both layers are bound

        page.TreeBindings->setCurrentItem(page.TreeBindings->topLevelItem(1));
        desktop::MessageBox::PresetAnswers({false, true});
        page.btnUnbind->click();
        QVERIFY(fx.engine.unbound.isEmpty());
        page.btnUnbind->click();
        QCOMPARE(fx.engine.unbound, QStringList{Q("Home")});
    }

    // The status line through a run, and the questions of a run, put once it has ended: a
    // password is asked once and given to the engine for the present program only, then a
    // run follows; a certificate accepted binds again with its fingerprint and no password.
    void statusLineAndRunQuestions() {
        PageFixture fx;
        fx.engine.bindings = {Bound("Work", QDateTime(QDate(2027, 1, 2), QTime(8, 5)))};
        QWidget window;
        SyncStatus status(fx.engine, *fx.store.dm, &window);
        int asked = 0;
        desktop::SetModalHandlerForTesting([&](QDialog& dialog) {
            ++asked;
            dialog.findChild<QLineEdit*>(Q("EditPassword"))->setText(Q("typed"));
            return int(QDialog::Accepted);
        });
        const QString url = fx.engine.bindings[0].calendarUrl;
        QStringList lines;
        fx.engine.Start();
        lines << status.LineText();
        emit fx.engine.syncProgress(120, 5000);
        lines << status.LineText();
        emit fx.engine.passwordNeeded(url, Q("anna"));
        emit fx.engine.passwordNeeded(url, Q("anna"));
        QCOMPARE(asked, 0);
        fx.engine.Finish(false, Q("server unreachable"));
        lines << status.LineText();
        QCoreApplication::processEvents();
        QCOMPARE(lines, QStringList({Q("Synchronising..."), Q("Synchronising: 120 of 5000 events"),
                                     Q("Last synchronised: 01/02/2027 08:05 AM. Synchronisation "
                                       "failed: server unreachable")}));
        QCOMPARE(asked, 1);
        QCOMPARE(fx.engine.sessionPasswords, QStringList{url + Q(" anna typed")});
        QCOMPARE(fx.engine.runsAsked, 1);

        // The run that follows (or a later one) does not ask again.
        fx.engine.Start();
        emit fx.engine.passwordNeeded(url, Q("anna"));
        fx.engine.Finish(true, Q("1 event received"));
        QCoreApplication::processEvents();
        QCOMPARE(asked, 1);
        QCOMPARE(fx.engine.runsAsked, 1);
        QCOMPARE(status.LineText(), Q("Last synchronised: 01/02/2027 08:05 AM (1 event received)"));

        desktop::MessageBox::PresetAnswers({true});
        fx.engine.Start();
        emit fx.engine.certificateNotTrusted(url, Q("ab01"), Q("expired"));
        emit fx.engine.certificateNotTrusted(Q("https://other.example.org/"), Q("cd"), Q("x"));
        fx.engine.Finish(false, Q("certificate"));
        QCoreApplication::processEvents();
        desktop::SetModalHandlerForTesting({});
        QCOMPARE(desktop::MessageBox::TakeShown().size(), 1);
        QCOMPARE(fx.engine.bound.size(), 1);
        QCOMPARE(fx.engine.bound[0].first.acceptedFingerprint, Q("ab01"));
        QCOMPARE(fx.engine.bound[0].second, QString());
        QCOMPARE(fx.engine.runsAsked, 2);
    }

    // In the program: the command in the options menu and the tray's menu and on its key, the
    // page in the preferences, and its interval saved on OK.
    void programOffersSynchronisation() {
        QTemporaryDir config;  // OK writes (or removes) the login start entry there
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        WindowFixture fx(kNow, {{"Work", 0xFF, true}});
        FakeSync engine;
        fx.sync = &engine;
        TFormMainCalendar& w = fx.Open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QAction* action = fx.shell->Sync()->SyncNowAction();
        QVERIFY(Child<QMenu>(w, "PmFormenu")->actions().contains(action));
        QVERIFY(Child<QMenu>(w, "PmTray")->actions().contains(action));
        QTest::keySequence(&w, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
        QCOMPARE(engine.runsAsked, 1);
        QCOMPARE(fx.shell->Sync()->LineText(), Q("No layer is synchronised with a server."));

        fx.answer = [](QDialog& dialog) {
            auto* pages = dialog.findChild<QTabWidget*>(Q("PageControl1"));
            const int at = pages->count() - 1;
            if (pages->tabText(at) != Q("Calendars on a server"))
                return int(QDialog::Rejected);
            pages->widget(at)->findChild<QSpinBox*>(Q("spinMinutes"))->setValue(30);
            for (auto* button : dialog.findChildren<QPushButton*>())
                if (button->text() == Q("&OK"))
                    button->click();
            return dialog.result();
        };
        w.findChild<QAction*>(Q("Preferences1"))->trigger();
        QCOMPARE(fx.store.dm->Options.SyncMinutes, 30);
    }
};

QTEST_MAIN(TestSyncWindows)
#include "test_syncwindows.moc"
