// The alarm window on a real user.mdb: archiving, editing, deleting and closing, with the
// clock pinned, message boxes answered and modal dialogs played by the test.

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <algorithm>

#include "alarm/AlarmWindow.h"
#include "platform/ProfileFile.h"
#include "session/CalendarSession.h"
#include "support/Child.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/editor/EventEditor.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;
using Shown = desktop::MessageBox::Shown;

Q_DECLARE_METATYPE(qcal::desktop::MessageBox::Shown)

namespace {

const TDateTime kNow = EncodeDateTime(2027, 1, 7, 10, 0);
const TDateTime kToday = EncodeDate(2027, 1, 7);
const arraylayinfo kLayers{{"Work", 0x000000FF, true}, {"Home", 0x0000FF00, true}};

class RecordingSound final : public SoundPlayer {
public:
    void Play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

tfield Due(const std::string& subject, int hour, int minute) {
    tfield e = OnceEvent(subject, kToday, EncodeTime(hour, minute));
    e.endtime = EncodeTime(hour + 1, minute);
    e.alert = true;
    e.content = subject + " content";
    e.mynote = subject + " note";
    return e;
}

// The alarm window alone, with the session that fills it and hooks that record.
class AlarmFixture {
public:
    AlarmFixture()
        : clock(kNow), list(*store.dm), session(*store.dm, sound), scheduler(session.Scheduler()) {
        desktop::MessageBox::StartRecording();
        desktop::SetModalHandlerForTesting(
            [this](QDialog& dialog) { return answer ? answer(dialog) : int(QDialog::Rejected); });
        store.dm->Layers = kLayers;
        store.dm->Options.Isplaysound = true;
        QObject::connect(&session, &CalendarSession::eventsChanged, [this] { ++monthRefreshes; });
        AlarmWindowHooks hooks;
        hooks.editEvent = [this](tfield& event) {
            topmostWhileEditing = window->IsTopmost();
            return edit ? edit(event) : false;
        };
        hooks.showHelp = [this](int topic) { helpTopics.push_back(topic); };
        window = std::make_unique<TFormAlarm>(session, std::move(hooks));
    }
    ~AlarmFixture() {
        window.reset();
        desktop::SetModalHandlerForTesting({});
        desktop::MessageBox::StopRecording();
    }

    // Adds the events, rebuilds the due list and shows the window as the session's alarms
    // do: the window stays open for the test to act on.
    std::vector<std::int64_t> Show(const std::vector<tfield>& events) {
        std::vector<std::int64_t> ids;
        for (const tfield& e : events)
            ids.push_back(Add(e));
        scheduler.Due().RebuildDue();
        window->FillAlarmList();
        window->ShowAlarm();
        return ids;
    }

    // A row written beside the session, which then reads the table again.
    std::int64_t Add(const tfield& e) {
        const std::int64_t id = list.AddEvent(e);
        session.ReloadEvents();
        return id;
    }

    QStringList Listed() {
        QStringList subjects;
        for (const tfield& e : scheduler.Due().dueEvents)
            subjects << QString::fromStdString(e.subject);
        return subjects;
    }

    double LastFileTime(std::int64_t id) {
        tfield e;
        return list.LoadEvent(id, e) ? e.lastFileTime : -1;
    }

    int Rows() const { return Child<QListWidget>(*window, "ListBoxEventActived")->count(); }
    QString Content() const { return Child<QPlainTextEdit>(*window, "MemoContent")->toPlainText(); }
    QString Note() const { return Child<QPlainTextEdit>(*window, "MemoNote")->toPlainText(); }

    void Select(const QList<int>& rows, int current) {
        QListWidget& l = *Child<QListWidget>(*window, "ListBoxEventActived");
        l.setCurrentRow(current, QItemSelectionModel::NoUpdate);
        l.clearSelection();
        for (int row : rows)
            l.item(row)->setSelected(true);
    }

    clock::ScopedFakeClock clock;
    StoreFixture store;
    tlist_of_event_orig list;
    RecordingSound sound;
    CalendarSession session;
    AlarmScheduler& scheduler;
    std::unique_ptr<TFormAlarm> window;
    std::function<int(QDialog&)> answer;
    std::function<bool(tfield&)> edit;
    int monthRefreshes = 0;
    bool topmostWhileEditing = true;
    std::vector<int> helpTopics;
};

const std::vector<tfield> kThree{Due("A", 9, 0), Due("B", 9, 10), Due("C", 9, 20)};

}  // namespace

class TestAlarmWindow : public QObject {
    Q_OBJECT
private slots:
    void windowAsDesigned() {
        AlarmFixture fx;
        fx.Show({});
        TFormAlarm& w = *fx.window;
        QCOMPARE(w.windowTitle(), Q("Quenlaris Calendar Reminder -  Pending Events"));
        QCOMPARE(w.size(), QSize(574, 446));
        QCOMPARE(Child<QSpinBox>(w, "RxSpinRemindAgain")->minimum(), 5);
        QCOMPARE(Child<QSpinBox>(w, "RxSpinRemindAgain")->maximum(), 5000);
        QVERIFY(Child<QPushButton>(w, "btnclose")->isDefault());
        QStringList sections;
        int spanned = 0;
        for (int i = 0; i < Child<QHeaderView>(w, "HeaderControl1")->count(); ++i) {
            sections << Child<QHeaderView>(w, "HeaderControl1")
                            ->model()
                            ->headerData(i, Qt::Horizontal)
                            .toString();
            spanned += Child<QHeaderView>(w, "HeaderControl1")->sectionSize(i);
        }
        QCOMPARE(sections,
                 (QStringList{Q("Begin Time"), Q("Subject"), Q("End Time"), Q("Repeat Type")}));
        QCOMPARE(spanned, Child<QHeaderView>(w, "HeaderControl1")->width());
        QStringList menu;
        for (QAction* action : Child<QMenu>(w, "PopupMenu1")->actions())
            menu << action->text();
        QCOMPARE(menu, (QStringList{Q("Archive &Current Event"), Q("Archive Se&lected Events"),
                                    Q("Archive All Events"), QString(), Q("&Edit   Event"),
                                    Q("&Delete Events"), QString(), Q("&Select All")}));
        Child<QPushButton>(w, "SpeedButton4")->click();
        QCOMPARE(fx.helpTopics, std::vector<int>{25});
    }

    // Rows 0 and 2 selected, row 1 current, then one of the archive commands.
    void archiveCommands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("archived");
        QTest::newRow("Archive: the current row only") << Q("btnFileSingle") << QStringList{Q("B")};
        QTest::newRow("menu: current") << Q("FileCurrentEvent1") << QStringList{Q("B")};
        QTest::newRow("menu: selected") << Q("FileSelectedEvents1") << QStringList{Q("A"), Q("C")};
        QTest::newRow("Archive All") << Q("btnFileAll") << QStringList{Q("A"), Q("B"), Q("C")};
        QTest::newRow("menu: all") << Q("FileAllEvents1") << QStringList{Q("A"), Q("B"), Q("C")};
    }
    void archiveCommands() {
        QFETCH(QString, command);
        QFETCH(QStringList, archived);
        AlarmFixture fx;
        const auto ids = fx.Show(kThree);
        fx.Select({0, 2}, 1);
        fx.sound.played.clear();
        TFormAlarm& w = *fx.window;
        const std::map<QString, std::function<void()>> commands{
            {Q("btnFileSingle"), [&] { Child<QPushButton>(w, "btnFileSingle")->click(); }},
            {Q("btnFileAll"), [&] { Child<QPushButton>(w, "btnFileAll")->click(); }},
            {Q("FileCurrentEvent1"), [&] { Child<QAction>(w, "FileCurrentEvent1")->trigger(); }},
            {Q("FileSelectedEvents1"),
             [&] { Child<QAction>(w, "FileSelectedEvents1")->trigger(); }},
            {Q("FileAllEvents1"), [&] { Child<QAction>(w, "FileAllEvents1")->trigger(); }},
        };
        commands.at(command)();

        QStringList left{Q("A"), Q("B"), Q("C")};
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const QString subject = left[int(i)];
            QCOMPARE(fx.LastFileTime(ids[i]), archived.contains(subject) ? kNow : 0.0);
        }
        left.removeIf([&](const QString& s) { return archived.contains(s); });
        QCOMPARE(fx.Listed(), left);
        QCOMPARE(fx.Rows(), int(left.size()));
        QCOMPARE(fx.monthRefreshes, 1);
        // Shown again: the sound, and the first remaining row with its texts.
        QCOMPARE(fx.sound.played.size(), std::size_t(1));
        QCOMPARE(fx.sound.played.front(), fx.store.folder() + "/music/play.wav");
        if (left.isEmpty()) {
            QCOMPARE(fx.Content(), QString());
            QCOMPARE(fx.Note(), QString());
        } else {
            QCOMPARE(Child<QListWidget>(w, "ListBoxEventActived")->currentRow(), 0);
            QCOMPARE(Child<QListWidget>(w, "ListBoxEventActived")->selectedItems().size(), 1);
            QCOMPARE(fx.Content(), left.front() + Q(" content"));
            QCOMPARE(fx.Note(), left.front() + Q(" note"));
        }
        QVERIFY(w.isVisible());
        QVERIFY(fx.store.dm->IsAlarmShowing);
    }

    void archiveWithNothingToArchiveDoesNothing() {
        AlarmFixture fx;
        const auto ids = fx.Show(kThree);
        Child<QListWidget>(*fx.window, "ListBoxEventActived")->clearSelection();
        Child<QAction>(*fx.window, "FileSelectedEvents1")->trigger();
        QCOMPARE(fx.Rows(), 3);
        QCOMPARE(fx.monthRefreshes, 0);
        QCOMPARE(fx.LastFileTime(ids[0]), 0.0);
    }

    // The user's edit, and what happened to the event while the editor was open.
    void editSavesAndShowsTheEventAgain_data() {
        QTest::addColumn<bool>("intoTheFuture");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<QList<Shown>>("shown");
        const QList<Shown> none;
        QTest::newRow("subject changed: listed and selected again")
            << false << QString() << QStringList{Q("A"), Q("B!"), Q("C")} << 1 << none;
        QTest::newRow("once-only moved into the future: gone from the list")
            << true << QString() << QStringList{Q("A"), Q("C")} << -1 << none;
        QTest::newRow("archived meanwhile: the archive stays")
            << false << Q("archive") << QStringList{Q("A"), Q("C")} << -1 << none;
        QTest::newRow("deleted meanwhile: the user is told")
            << false << Q("delete") << QStringList{Q("A"), Q("C")} << -1
            << QList<Shown>{{Kind::Information, Q("The event was deleted while you were editing "
                                                  "it; your changes were not saved.")}};
    }
    void editSavesAndShowsTheEventAgain() {
        QFETCH(bool, intoTheFuture);
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, listed);
        QFETCH(int, selectedRow);
        QFETCH(QList<Shown>, shown);
        AlarmFixture fx;
        const auto ids = fx.Show(kThree);
        fx.Select({1}, 1);
        const std::int64_t id = ids[1];
        fx.edit = [&](tfield& event) {
            if (event.id != id)
                return false;
            event.subject += "!";
            if (intoTheFuture)
                event.begindate = event.enddate = kToday + 3;
            if (meanwhile == Q("archive"))
                fx.list.FileEvents(std::vector<std::int64_t>{id}, IdListBlanks::Before);
            if (meanwhile == Q("delete"))
                fx.list.DeleteEvents(std::vector<std::int64_t>{id}, IdListBlanks::None);
            return true;
        };
        fx.window->ListBoxEventActivedDblClick();

        QCOMPARE(desktop::MessageBox::TakeShown(), shown);
        QCOMPARE(fx.Listed(), listed);
        QVERIFY(!fx.topmostWhileEditing);
        QVERIFY(fx.window->IsTopmost());
        QListWidget& l = *Child<QListWidget>(*fx.window, "ListBoxEventActived");
        if (selectedRow < 0) {
            // Row 0 stays selected and the memos stay empty.
            QCOMPARE(l.selectedItems(), QList<QListWidgetItem*>{l.item(0)});
            QCOMPARE(fx.Content(), QString());
        } else {
            QCOMPARE(l.currentRow(), selectedRow);
            QCOMPARE(l.selectedItems(), QList<QListWidgetItem*>{l.item(selectedRow)});
            QCOMPARE(fx.Content(), Q("B content"));
        }
        if (meanwhile == Q("archive"))
            QCOMPARE(fx.LastFileTime(id), kNow);
        if (meanwhile.isEmpty())
            QCOMPARE(fx.LastFileTime(id), 0.0);
    }

    void editCancelledWritesNothing() {
        AlarmFixture fx;
        const auto ids = fx.Show(kThree);
        fx.edit = [](tfield& event) {
            event.subject = "changed";
            return false;
        };
        fx.window->ListBoxEventActivedDblClick();
        tfield stored;
        QVERIFY(fx.list.LoadEvent(ids[0], stored));
        QCOMPARE(stored.subject, std::string("A"));
        QCOMPARE(fx.monthRefreshes, 0);
    }

    void deleteAsksWithTheCount_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QList<Shown>>("shown");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("two, yes") << QList<int>{0, 2} << true
                                  << QList<Shown>{{Kind::Warning,
                                                   Q("Are you sure to delete the 2 event?")}}
                                  << QStringList{Q("B")};
        QTest::newRow("two, no") << QList<int>{0, 2} << false
                                 << QList<Shown>{{Kind::Warning,
                                                  Q("Are you sure to delete the 2 event?")}}
                                 << QStringList{Q("A"), Q("B"), Q("C")};
        QTest::newRow("none") << QList<int>{} << true
                              << QList<Shown>{{Kind::Information,
                                               Q("There is no event to be delete!")}}
                              << QStringList{Q("A"), Q("B"), Q("C")};
    }
    void deleteAsksWithTheCount() {
        QFETCH(QList<int>, selected);
        QFETCH(bool, yes);
        QFETCH(QList<Shown>, shown);
        QFETCH(QStringList, listed);
        AlarmFixture fx;
        fx.Show(kThree);
        fx.Select(selected, 1);
        desktop::MessageBox::PresetAnswers({yes});
        Child<QAction>(*fx.window, "DeleteEvents1")->trigger();
        QCOMPARE(desktop::MessageBox::TakeShown(), shown);
        QCOMPARE(fx.Listed(), listed);
        QCOMPARE(fx.Rows(), int(listed.size()));
        std::int64_t count = 0;
        fx.list.OpenStatement("select * from eventtable");
        while (!fx.list.query.eof()) {
            ++count;
            fx.list.query.next();
        }
        fx.list.query.close();
        QCOMPARE(count, std::int64_t(listed.size()));
        QVERIFY(fx.window->IsTopmost());
    }

    void popupMenuOpensOnlyOverRows_data() {
        QTest::addColumn<bool>("withRows");
        QTest::newRow("empty list") << false;
        QTest::newRow("with rows") << true;
    }
    void popupMenuOpensOnlyOverRows() {
        QFETCH(bool, withRows);
        AlarmFixture fx;
        fx.Show(withRows ? kThree : std::vector<tfield>{});
        QWidget* viewport = Child<QListWidget>(*fx.window, "ListBoxEventActived")->viewport();
        const QPoint at(10, 5);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &click);
        QCOMPARE(Child<QMenu>(*fx.window, "PopupMenu1")->isVisible(), withRows);
        Child<QMenu>(*fx.window, "PopupMenu1")->hide();
    }

    // Shown by Show Pending without waiting for it; closed by the user: the options are
    // stored, the remind-again timer armed only when both switches are on.
    void closeStoresTheOptionsAndArmsTheReminder_data() {
        QTest::addColumn<bool>("remind");
        QTest::addColumn<bool>("alarmsOn");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<bool>("armed");
        QTest::newRow("remind, alarms on") << true << true << 7 << true;
        QTest::newRow("remind, alarms off") << true << false << 7 << false;
        QTest::newRow("no remind, alarms on") << false << true << 7 << false;
        QTest::newRow("the spin box's least") << true << true << 5 << true;
    }
    void closeStoresTheOptionsAndArmsTheReminder() {
        QFETCH(bool, remind);
        QFETCH(bool, alarmsOn);
        QFETCH(int, minutes);
        QFETCH(bool, armed);
        AlarmFixture fx;
        fx.Add(Due("A", 9, 0));
        fx.store.dm->Options.IsAlarmEnabled = alarmsOn;
        fx.scheduler.TimerEvery15.start(1000);
        fx.session.ShowPending(false);
        TFormAlarm& w = *fx.window;
        QVERIFY(w.isVisible());
        QVERIFY(fx.store.dm->IsAlarmShowing);
        QVERIFY(!fx.scheduler.TimerEvery15.isActive());
        Child<QCheckBox>(w, "chRemindAgain")->setChecked(remind);
        Child<QSpinBox>(w, "RxSpinRemindAgain")->setValue(minutes);
        Child<QPushButton>(w, "btnclose")->click();
        QVERIFY(!fx.store.dm->IsAlarmShowing);
        QVERIFY(!fx.window->isVisible());
        QVERIFY(!fx.window->IsTopmost());
        QCOMPARE(fx.scheduler.TimerEvery15.isActive(), armed);
        if (armed)
            QCOMPARE(fx.scheduler.TimerEvery15.interval(), minutes * 60'000);
        platform::ProfileFile ini(fx.store.dm->SetupIniPath());
        QCOMPARE(ini.readInteger("Options", "AgainHowLong", 0), minutes);
        QCOMPARE(ini.readBool("Options", "IsAgainDisplay", !remind), remind);
        // Nothing was archived.
        QCOMPARE(fx.Listed(), QStringList{Q("A")});
    }

    // A hand-edited setup.ini: the timer armed from such a value waits a minute rather than
    // firing at once, and the window shows the minutes the timer uses, keeping them on close.
    void remindAgainFromAHandEditedValue_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("interval");
        QTest::newRow("zero") << 0 << 60'000;
        QTest::newRow("negative") << -3 << 60'000;
        QTest::newRow("below the box's least") << 2 << 2 * 60'000;
        QTest::newRow("ordinary") << 12 << 12 * 60'000;
    }
    void remindAgainFromAHandEditedValue() {
        QFETCH(int, stored);
        QFETCH(int, interval);
        AlarmFixture fx;
        fx.store.dm->Options.IsAgainDisplay = true;
        fx.store.dm->Options.AgainHowLong = stored;
        fx.scheduler.ArmRemindAgain();
        QVERIFY(fx.scheduler.TimerEvery15.isActive());
        QCOMPARE(fx.scheduler.TimerEvery15.interval(), interval);
        fx.Show(kThree);
        QCOMPARE(Child<QSpinBox>(*fx.window, "RxSpinRemindAgain")->value(), interval / 60'000);
        Child<QPushButton>(*fx.window, "btnclose")->click();
        QCOMPARE(fx.scheduler.TimerEvery15.interval(), interval);
    }

    void closeWithArchiveAllArchivesSilently() {
        AlarmFixture fx;
        std::vector<std::int64_t> ids;
        for (const tfield& e : kThree)
            ids.push_back(fx.Add(e));
        fx.session.ShowPending(false);
        TFormAlarm& w = *fx.window;
        QVERIFY(w.isVisible());
        Child<QCheckBox>(w, "chArchiveAll")->setChecked(true);
        // Only the current row selected: the close still archives every row.
        fx.Select({1}, 1);
        Child<QPushButton>(w, "btnclose")->click();
        QCOMPARE(fx.sound.played.size(), std::size_t(1));  // the showing, not the archive
        for (std::int64_t id : ids)
            QCOMPARE(fx.LastFileTime(id), kNow);
        QCOMPARE(fx.Listed(), QStringList());
        QVERIFY(!fx.store.dm->IsAlarmShowing);
        QVERIFY(!fx.window->isVisible());
        QVERIFY(fx.store.dm->Options.IsArchiveAllAfterClose);
        QVERIFY(desktop::MessageBox::TakeShown().isEmpty());
    }

    // A row is drawn on its layer colour, its text in the contrasting ink.
    void rowsAreDrawnOnTheLayerColour() {
        AlarmFixture fx;
        tfield home = Due("Home event", 9, 0);
        home.layername = "Home";
        fx.Show({home});
        QListWidget& l = *Child<QListWidget>(*fx.window, "ListBoxEventActived");
        l.clearSelection();
        const QImage image = l.viewport()->grab().toImage();
        const QRect row = l.visualItemRect(l.item(0));
        QCOMPARE(row.height(), 17);
        int layerPixels = 0, inkPixels = 0;
        for (int x = row.left(); x <= row.right(); ++x) {
            for (int y = row.top(); y <= row.bottom(); ++y) {
                const QColor c = image.pixelColor(x, y);
                layerPixels += c == QColor(0, 255, 0);
                inkPixels += c == QColor(Qt::black);
            }
        }
        QVERIFY(layerPixels > row.width() * row.height() / 2);
        QVERIFY(inkPixels > 0);
    }

    // Through the main window: the editor runs as "Edit Event" above the alarm window.
    void mainWindowRunsTheEditorForTheAlarmWindow() {
        WindowFixture fx(kNow, kLayers);
        const std::int64_t id = fx.Add(Due("Call", 9, 0));
        fx.Open();
        TFormAlarm& alarm = fx.shell->AlarmWindow();
        fx.shell->Session().ShowPending(false);
        QVERIFY(alarm.isVisible());
        QString seen;
        bool aboveTheAlarmWindow = false;
        fx.answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            seen = editor.windowTitle() + QLatin1Char('|') + editor.btnOK->text() +
                   QLatin1Char('|') + editor.EditSubject->text();
            aboveTheAlarmWindow = editor.parentWidget() == &alarm;
            editor.dtBeginDate->setDate(QDate(2027, 1, 9));
            editor.dtEndDate->setDate(QDate(2027, 1, 9));
            editor.btnOK->click();
            return editor.result();
        };
        alarm.ListBoxEventActivedDblClick();
        QCOMPARE(seen, Q("Edit Event|&Save|Call"));
        QVERIFY(aboveTheAlarmWindow);
        QCOMPARE(fx.Count("id=" + std::to_string(id) +
                          " and begindate=" + FormatNumber(EncodeDate(2027, 1, 9))),
                 1);
        QCOMPARE(Child<QListWidget>(alarm, "ListBoxEventActived")->count(), 0);
        QCOMPARE(Child<QPlainTextEdit>(alarm, "MemoContent")->toPlainText(), QString());
        Child<QPushButton>(alarm, "btnclose")->click();
    }
};

QTEST_MAIN(TestAlarmWindow)
#include "test_alarmwindow.moc"
