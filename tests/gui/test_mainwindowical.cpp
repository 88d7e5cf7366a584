// The iCalendar items of the main window's options menu.

#include <QAction>
#include <QMenu>
#include <QTest>

#include "platform/AtomicFile.h"
#include "support/WindowFixture.h"
#include "widgets/Dialogs.h"

using namespace qcal;
using qcal::test::Child;
using qcal::test::WindowFixture;

namespace {

const arraylayinfo kLayers = {{"Work", 0x000000FF, true}};

QAction* MenuItem(TFormMainCalendar& w, const QString& text) {
    for (QAction* action : Child<QMenu>(w, "PmFormenu")->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

}  // namespace

class TestMainWindowIcal : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { desktop::SetFileChooserForTesting({}); }

    void import_data() {
        QTest::addColumn<QByteArray>("file");  // empty: the file dialog is cancelled
        QTest::addColumn<QString>("shown");    // the box's text, "" for none
        QTest::addColumn<bool>("error");
        QTest::addColumn<QStringList>("cellRows");  // the rows of 10 December
        QTest::addColumn<int>("alarms");            // alarm windows come up
        const QByteArray trip =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:t1\r\nSUMMARY:Train\r\n"
            "CATEGORIES:Trips\r\nDTSTART:20261210T100000\r\nDTEND:20261210T110000\r\n"
            "END:VEVENT\r\nEND:VCALENDAR\r\n";
        const QByteArray overdue =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:o1\r\nSUMMARY:Call back\r\n"
            "DTSTART:20261207T100000\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:PT0S\r\n"
            "END:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        QTest::newRow("new layer and event")
            << trip << QStringLiteral("1 events imported, 0 changed (see details), 0 skipped")
            << false << QStringList{QStringLiteral("10:00 AM Train")} << 0;
        QTest::newRow("due alarm")
            << overdue << QStringLiteral("1 events imported, 0 changed (see details), 0 skipped")
            << false << QStringList() << 1;
        QTest::newRow("not iCalendar")
            << QByteArray("just text") << QStringLiteral("The file is not an iCalendar file.")
            << true << QStringList() << 0;
        QTest::newRow("cancelled") << QByteArray() << QString() << false << QStringList() << 0;
    }

    // The file's events reach the table, the layer list, the month and the alarms; the
    // summary is shown with its details.
    void import() {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        QFETCH(bool, error);
        QFETCH(QStringList, cellRows);
        QFETCH(int, alarms);
        WindowFixture fx(EncodeDateTime(2026, 12, 8, 9, 0), kLayers);
        TFormMainCalendar& w = fx.Open();
        fx.ShowMonth(2026, 12);
        fx.dialogsShown = 0;
        fx.Shown();
        const std::string path = fx.store.file("in.ics");
        if (!file.isEmpty()) {
            QVERIFY(platform::WriteFileAtomically(path, file.toStdString()));
        }
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest& request) {
            return file.isEmpty() || request.save
                       ? std::optional<QString>()
                       : std::optional<QString>(QString::fromStdString(path));
        });
        QAction* item = MenuItem(w, QStringLiteral("Import iCalendar..."));
        QVERIFY(item && item->isEnabled());
        item->trigger();
        const QList<desktop::MessageBox::Shown> boxes = fx.Shown();
        if (shown.isEmpty()) {
            QVERIFY(boxes.isEmpty());
            return;
        }
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].kind,
                 error ? desktop::MessageBox::Kind::Error : desktop::MessageBox::Kind::Information);
        QCOMPARE(boxes[0].text, shown);
        QCOMPARE(fx.shell->AlarmWindow().isVisible(), alarms == 1);
        if (!cellRows.isEmpty()) {
            QCOMPARE(fx.Rows(fx.CellOfDay(2026, 12, 10)), cellRows);
            QCOMPARE(Child<QListWidget>(w, "RxCheckListBoxLayer")->count(), 2);
            QCOMPARE(Child<QListWidget>(w, "RxCheckListBoxLayer")->item(1)->text(),
                     QStringLiteral("Trips"));
            QCOMPARE(desktop::MessageBox::TakeDetails(),
                     QStringList{QStringLiteral("New layer \"Trips\".\n")});
        }
    }

    void exportWritesTheChosenFile() {
        WindowFixture fx(EncodeDateTime(2026, 12, 8, 9, 0), kLayers);
        fx.Add(test::OnceEvent("Dentist", EncodeDate(2026, 12, 10), EncodeTime(9, 0)));
        TFormMainCalendar& w = fx.Open();
        fx.Shown();
        const QString path = QString::fromStdString(fx.store.file("out.ics"));
        desktop::FileRequest asked;
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest& request) {
            asked = request;
            return std::optional<QString>(path);
        });
        MenuItem(w, QStringLiteral("Export iCalendar..."))->trigger();
        QVERIFY(asked.save);
        QCOMPARE(
            fx.Shown(),
            (QList<desktop::MessageBox::Shown>{{desktop::MessageBox::Kind::Information,
                                                QStringLiteral("1 events exported to ") + path}}));
        std::string text;
        QVERIFY(platform::ReadWholeFile(path.toStdString(), text));
        QVERIFY(text.find("SUMMARY:Dentist") != std::string::npos);
    }

    // Choosing the program's own database in the save dialog writes nothing over it.
    void exportOverTheDatabaseIsRefused() {
        WindowFixture fx(EncodeDateTime(2026, 12, 8, 9, 0), kLayers);
        fx.Add(test::OnceEvent("Dentist", EncodeDate(2026, 12, 10), EncodeTime(9, 0)));
        TFormMainCalendar& w = fx.Open();
        fx.Shown();
        const std::string database = fx.store.file("user.mdb");
        std::string before;
        QVERIFY(platform::ReadWholeFile(database, before));
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest&) {
            return std::optional<QString>(QString::fromStdString(database));
        });
        MenuItem(w, QStringLiteral("Export iCalendar..."))->trigger();
        const auto shown = fx.Shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, desktop::MessageBox::Kind::Error);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("Will not write over ")));
        std::string after;
        QVERIFY(platform::ReadWholeFile(database, after));
        QVERIFY(after == before);
    }
};

QTEST_MAIN(TestMainWindowIcal)
#include "test_mainwindowical.moc"
