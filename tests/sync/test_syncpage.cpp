// The preferences page and the status line against the real synchronisation and a real
// Radicale server: the account's calendar is found (after the certificate question over
// HTTPS), bound to a new layer named and coloured after it, and synchronised on request.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "Radicale.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "support/StoreFixture.h"
#include "sync/CalDavSync.h"
#include "ui/main/ServerCalendarsPage.h"
#include "ui/main/SyncStatus.h"
#include "widgets/MessageBox.h"

using namespace qcal;
using namespace qcal::test;

namespace {

class SilentSound final : public SoundPlayer {
public:
    void Play(const std::string&) override {}
};

}  // namespace

class TestSyncPage : public QObject {
    Q_OBJECT
private slots:
    void bindsAndSynchronisesThroughThePage_data() {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain HTTP on the loopback address") << false;
        QTest::newRow("HTTPS with a certificate accepted once") << true;
    }
    void bindsAndSynchronisesThroughThePage() {
        QFETCH(bool, tls);
        Radicale server(tls);
        QVERIFY(server.Start());
        QCOMPARE(server.MakeCalendar(QStringLiteral("work"), QStringLiteral("Work"),
                                     QStringLiteral("#FF8800FF")),
                 201);
        StoreFixture store;
        SilentSound sound;
        CalendarSession session(*store.dm, sound);
        QMap<QString, QString> kept;
        sync::CalDavSync engine(
            session, {[&kept](const QString& account) {
                          SecretAnswer answer{true, {}, {}};
                          if (kept.contains(account))
                              answer.password = kept.value(account);
                          return answer;
                      },
                      [&kept](const QString& account, const QString& password, QString*) {
                          kept.insert(account, password);
                          return true;
                      },
                      [&kept](const QString& account) { kept.remove(account); }});
        desktop::MessageBox::StartRecording();
        desktop::MessageBox::PresetAnswers({true});

        ServerCalendarsPage page(engine, *store.dm);
        page.EditServer->setText(server.Base());
        page.EditUser->setText(QString::fromLatin1(kUser));
        page.EditPassword->setText(QString::fromLatin1(kPassword));
        page.btnDiscover->click();
        QTRY_COMPARE_WITH_TIMEOUT(page.ListCalendars->count(), 1, 30000);
        QCOMPARE(page.ListCalendars->item(0)->text(), QStringLiteral("Work"));
        const auto shown = desktop::MessageBox::TakeShown();
        QCOMPARE(shown.size(), tls ? 1 : 0);  // the certificate question, and no failure
        page.btnBind->click();
        QVERIFY(desktop::MessageBox::TakeShown().isEmpty());

        const QList<sync::Binding> bindings = engine.Bindings();
        QCOMPARE(bindings.size(), 1);
        QCOMPARE(bindings[0].layer, QStringLiteral("Work"));
        QCOMPARE(bindings[0].calendarUrl, server.CalendarUrl(QStringLiteral("work")));
        QCOMPARE(bindings[0].acceptedFingerprint.toLower(), server.Fingerprint());
        QCOMPARE(store.dm->Layers.back().name, std::string("Work"));
        QCOMPARE(store.dm->Layers.back().color, TColor(0x0088FF));
        QCOMPARE(kept.values(), QStringList{QString::fromLatin1(kPassword)});
        QCOMPARE(page.TreeBindings->topLevelItemCount(), 1);

        QWidget window;
        SyncStatus status(engine, *store.dm, &window);
        status.SyncNowAction()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(status.LineText().startsWith(QStringLiteral("Last synchronised")),
                                 30000);
        QVERIFY(page.TreeBindings->topLevelItem(0)->text(2) != QStringLiteral("never"));
        desktop::MessageBox::StopRecording();
    }
};

QTEST_MAIN(TestSyncPage)
#include "test_syncpage.moc"
