// The application shell of the main window: the tray hint and menu, the hot key taken from the
// options, closing and minimising to the tray or the task bar, the exit and the session end.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include "platform/desktop/HotKey.h"
#include "platform/desktop/Shell.h"
#include "support/WindowFixture.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;
using desktop::GlobalHotKey;
using desktop::HotKeyChoice;

namespace {

const TDateTime kJan7 = EncodeDateTime(2027, 1, 7, 10, 0);
const arraylayinfo kWork{{"Work", 0x000000FF, true}};
const QString kNothingPending = QStringLiteral("There are no pending events to be displayed!");

QStringList Captions(const QMenu& menu) {
    QStringList captions;
    for (const QAction* action : menu.actions())
        captions << action->text();
    return captions;
}

// The pretend desktop of one test: whether it has a tray host and lets keys be grabbed.
struct PretendDesktop {
    PretendDesktop(bool tray, bool hotKey) {
        desktop::SetTrayAvailableForTesting(tray);
        GlobalHotKey::SetAvailableForTesting(hotKey);
    }
    ~PretendDesktop() {
        desktop::SetTrayAvailableForTesting(std::nullopt);
        GlobalHotKey::SetAvailableForTesting(std::nullopt);
    }
};

}  // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void hotKeyFromOptions_data() {
        QTest::addColumn<int>("myIndex");
        QTest::addColumn<int>("myKey");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("letter");
        QTest::newRow("defaults") << 4 << 25 << "Ctrl+Shift+Z" << 4 << 25;
        QTest::newRow("above the last row and letter") << 7 << 40 << "Ctrl+Shift+Z" << 4 << 25;
        QTest::newRow("negative values") << -3 << -1 << "Alt+A" << 0 << 0;
        QTest::newRow("Alt") << 0 << 0 << "Alt+A" << 0 << 0;
        QTest::newRow("Ctrl") << 1 << 2 << "Ctrl+C" << 1 << 2;
        QTest::newRow("Shift") << 2 << 24 << "Shift+Y" << 2 << 24;
        QTest::newRow("Ctrl+Alt") << 3 << 12 << "Ctrl+Alt+M" << 3 << 12;
    }
    // The key the options choose is the one registered and the one the hint and the tray menu
    // name.
    void hotKeyFromOptions() {
        QFETCH(int, myIndex);
        QFETCH(int, myKey);
        QFETCH(QString, text);
        QFETCH(int, row);
        QFETCH(int, letter);
        PretendDesktop desk(true, true);
        WindowFixture fx(kJan7, kWork);
        fx.store.dm->Options.myIndex = myIndex;
        fx.store.dm->Options.myKey = myKey;
        fx.store.dm->SaveOptions();
        fx.Open();

        QCOMPARE(fx.shell->Tray().HotKey().Registered(), std::optional(HotKeyChoice{row, letter}));
        QCOMPARE(desktop::HotKeyFromOptions(myIndex, myKey).Text(), text);
        QCOMPARE(Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")->toolTip(),
                 QStringLiteral("Quenlaris Calendar \n") + text +
                     QStringLiteral(" to show pending events"));
        QCOMPARE(
            Captions(*Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")->contextMenu()),
            QStringList({QStringLiteral("&Show Pending Events   ") + text, QString(),
                         QStringLiteral("&Restore Quenlaris Calendar"), QStringLiteral("E&xit")}));
        QCOMPARE(Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")->contextMenu(),
                 Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")->contextMenu());
        QVERIFY(!Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")->icon().isNull());
    }

    // Saving the options re-registers the key: the new one works at once, the old one is
    // released.
    void hotKeyChangesWithoutRestart() {
        PretendDesktop desk(true, true);
        WindowFixture fx(kJan7, kWork);
        fx.Open();
        fx.store.dm->Options.myIndex = 1;
        fx.store.dm->Options.myKey = 7;
        fx.shell->Tray().ApplyHotKey(false);
        QCOMPARE(fx.shell->Tray().HotKey().Registered(), std::nullopt);
        fx.shell->Tray().ApplyHotKey(true);
        QCOMPARE(fx.shell->Tray().HotKey().Registered(), std::optional(HotKeyChoice{1, 7}));
        QCOMPARE(Child<QAction>(fx.shell->Tray(), "ShowPendingEvents1")->text(),
                 QStringLiteral("&Show Pending Events   Ctrl+H"));
        QCOMPARE(Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")->toolTip(),
                 QStringLiteral("Quenlaris Calendar \nCtrl+H to show pending events"));
    }

    // A desktop without global keys (Wayland, offscreen): nothing registered, and the hint says
    // so instead of naming a key that does nothing.
    void noHotKeyOnThisDesktop() {
        PretendDesktop desk(true, false);
        WindowFixture fx(kJan7, kWork);
        fx.Open();
        QCOMPARE(fx.shell->Tray().HotKey().Registered(), std::nullopt);
        QCOMPARE(Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")->toolTip(),
                 QStringLiteral("Quenlaris Calendar \nNo global hot key on this desktop"));
        QCOMPARE(Child<QAction>(fx.shell->Tray(), "ShowPendingEvents1")->text(),
                 QStringLiteral("&Show Pending Events"));
    }

    // The real offscreen platform has no X display: asking for the key must neither crash nor
    // claim a grab.
    void offscreenHasNoGrab() {
        GlobalHotKey key;
        QVERIFY(!key.Available());
        key.Register(HotKeyChoice{});
        QCOMPARE(key.Registered(), std::nullopt);
        key.Unregister();
    }

    void closeAndMinimise_data() {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("byClose");
        QTest::newRow("close box, tray") << true << true;
        QTest::newRow("minimise, tray") << true << false;
        QTest::newRow("close box, no tray") << false << true;
        QTest::newRow("minimise, no tray") << false << false;
    }
    // The close box and minimising never end the program: with a tray the window hides behind
    // the tray icon, without one it stays minimised on the task bar where it can be reached.
    // Either way the Date page comes to the front, and restoring brings the window back.
    void closeAndMinimise() {
        QFETCH(bool, tray);
        QFETCH(bool, byClose);
        PretendDesktop desk(tray, true);
        WindowFixture fx(kJan7, kWork);
        TFormMainCalendar& w = fx.Open();
        QSignalSpy exits(&w, &TFormMainCalendar::exitRequested);
        Child<QTabWidget>(w, "PageControl1")->setTabEnabled(1, true);
        Child<QTabWidget>(w, "PageControl1")->setCurrentIndex(1);

        if (byClose) {
            QVERIFY(!w.close());
        } else {
            w.showMinimized();
        }
        QTRY_COMPARE(w.isVisible(), !tray);
        QCOMPARE(w.InTray(), tray);
        if (!tray)
            QVERIFY(w.isMinimized());
        QCOMPARE(Child<QTabWidget>(w, "PageControl1")->currentIndex(), 0);
        QCOMPARE(exits.count(), 0);
        QVERIFY(fx.Shown().isEmpty());

        if (tray) {
            emit Child<QSystemTrayIcon>(fx.shell->Tray(), "RxTrayIcon1")
                ->activated(QSystemTrayIcon::DoubleClick);
        } else {
            Child<QAction>(fx.shell->Tray(), "PmTrayRestore")->trigger();
        }
        QVERIFY(w.isVisible());
        QVERIFY(!w.isMinimized());
        QVERIFY(!w.InTray());

        // Only the first close box into the tray says that the program keeps running there,
        // in this run or any later one.
        QCOMPARE(w.TrayMessagesShown(), tray && byClose ? 1 : 0);
        w.close();
        QCOMPARE(w.TrayMessagesShown(), tray && byClose ? 1 : int(tray));
        fx.Close();
        TFormMainCalendar& again = fx.Open();
        again.close();
        QCOMPARE(again.TrayMessagesShown(), 0);
    }

    // A later start brings the window back from the tray, and the dialog open in it on top.
    void laterStartBringsWindowAndDialogForward() {
        PretendDesktop desk(true, true);
        WindowFixture fx(kJan7, kWork);
        TFormMainCalendar& w = fx.Open();
        QDialog dialog(&w);
        dialog.setModal(true);
        dialog.show();
        QVERIFY(!w.close());
        QVERIFY(w.InTray());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);

        w.BringToFront();
        QVERIFY(w.isVisible());
        QVERIFY(!w.InTray());
        QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    }

    void exitEndsTheProgram_data() {
        QTest::addColumn<bool>("fromTray");
        QTest::newRow("toolbar Exit") << false;
        QTest::newRow("tray menu Exit") << true;
    }
    // Exit releases the hot key and asks the program to end; the window then lets itself be
    // closed.
    void exitEndsTheProgram() {
        QFETCH(bool, fromTray);
        PretendDesktop desk(true, true);
        WindowFixture fx(kJan7, kWork);
        TFormMainCalendar& w = fx.Open();
        QSignalSpy exits(&w, &TFormMainCalendar::exitRequested);
        if (fromTray) {
            Child<QAction>(fx.shell->Tray(), "Exit1")->trigger();
        } else {
            Child<QToolButton>(w, "btnExit")->click();
        }
        QCOMPARE(exits.count(), 1);
        QCOMPARE(fx.shell->Tray().HotKey().Registered(), std::nullopt);
        QVERIFY(w.close());
    }

    // The end of the session is answered without the close request's trip to the tray, so the
    // session manager may end the program.
    void sessionEndLetsTheWindowClose() {
        PretendDesktop desk(true, true);
        WindowFixture fx(kJan7, kWork);
        TFormMainCalendar& w = fx.Open();
        w.SessionEnding();
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
        QVERIFY(!w.InTray());
    }

    void showPending_data() {
        QTest::addColumn<int>("source");  // 0 toolbar, 1 tray menu, 2 hot key
        QTest::newRow("toolbar button") << 0;
        QTest::newRow("tray menu") << 1;
        QTest::newRow("hot key") << 2;
    }
    // Every way of asking for the pending events says so when there are none.
    void showPending() {
        QFETCH(int, source);
        PretendDesktop desk(true, true);
        WindowFixture fx(kJan7, kWork);
        TFormMainCalendar& w = fx.Open();
        QTest::qWait(0);
        fx.Shown();
        switch (source) {
            case 0:
                Child<QToolButton>(w, "btnpending")->click();
                break;
            case 1:
                Child<QAction>(fx.shell->Tray(), "ShowPendingEvents1")->trigger();
                break;
            default:
                emit fx.shell->Tray().HotKey().pressed();
                break;
        }
        QCOMPARE(fx.Shown(),
                 (QList<desktop::MessageBox::Shown>{{Kind::Information, kNothingPending}}));
        QVERIFY(Child<QToolButton>(w, "btnpending")->isEnabled());
    }

    // Visit Website opens the product's page with the desktop's handler.
    void visitWebsite() {
        WindowFixture fx(kJan7, kWork);
        TFormMainCalendar& w = fx.Open();
        QList<QUrl> opened;
        desktop::SetUrlOpenerForTesting([&](const QUrl& url) { opened << url; });
        QVERIFY(Child<QAction>(w, "VisitsWebsite1") != nullptr);
        QVERIFY(Child<QAction>(w, "VisitsWebsite1")->isEnabled());
        Child<QAction>(w, "VisitsWebsite1")->trigger();
        desktop::OpenSupportMail();
        desktop::SetUrlOpenerForTesting({});
        QCOMPARE(opened, (QList<QUrl>{QUrl(QString::fromLatin1(desktop::kWebsiteAddress)),
                                      QUrl(QStringLiteral("mailto:") +
                                           QString::fromLatin1(desktop::kSupportMailAddress))}));
        QVERIFY(opened.first().isValid());
        QCOMPARE(opened.first().scheme(), QStringLiteral("https"));
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
