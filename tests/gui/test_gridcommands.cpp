// Adding, editing and deleting events and layers from the main window, written through to
// a real user.mdb and setup.ini.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolButton>
#include <QtTest>

#include "platform/ProfileFile.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/editor/EventEditor.h"
#include "ui/main/LayerDialog.h"
#include "ui/main/OccurrenceQuestion.h"
#include "widgets/Convert.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;

namespace {

const arraylayinfo kLayers{{"Work", 0x000000FF, true}, {"Home", 0x0000FF00, true}};

}  // namespace

class TestGridCommands : public QObject {
    Q_OBJECT
private slots:
    void newEventPresets_data() {
        QTest::addColumn<TDateTime>("now");
        QTest::addColumn<TDateTime>("expectedEnd");
        QTest::newRow("an hour long") << EncodeDateTime(2027, 1, 7, 10, 15) << EncodeTime(11, 15);
        QTest::newRow("before midnight")
            << EncodeDateTime(2027, 1, 7, 23, 30) << EncodeTime(23, 30, 5);
        QTest::newRow("exactly an hour to midnight")
            << EncodeDateTime(2027, 1, 7, 23, 0) << EncodeTime(23, 0, 5);
    }
    void newEventPresets() {
        QFETCH(TDateTime, now);
        QFETCH(TDateTime, expectedEnd);
        WindowFixture fx(now, kLayers);
        fx.Open();
        Tlable_listbox& day = fx.CellOfDay(2027, 1, 20);
        day.Select();
        tfield preset;
        QString title, okText;
        fx.answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            preset = editor.EventRec;
            title = editor.windowTitle();
            okText = editor.btnOK->text();
            return int(QDialog::Rejected);
        };
        emit day.buttonDoubleClicked(day.Number());
        QCOMPARE(fx.dialogsShown, 1);
        QCOMPARE(title, Q("New Event"));
        QCOMPARE(okText, Q("&Add"));
        QCOMPARE(preset.layername, std::string("Work"));
        QVERIFY(preset.alert);
        QCOMPARE(preset.repeatType, int(kRepeatNone));
        QCOMPARE(preset.begindate, EncodeDate(2027, 1, 20));
        QCOMPARE(preset.enddate, EncodeDate(2027, 1, 20));
        QCOMPARE(preset.beginTime, now - DayOf(now));
        QVERIFY(std::abs(preset.endtime - expectedEnd) < 1e-9);
        QCOMPARE(preset.lastFileTime, 0.0);
        QCOMPARE(preset.yearMonth0, 0);
        QCOMPARE(preset.yearMonth1, 0);
        // Cancelled: nothing written.
        QCOMPARE(fx.Count(), 0);
    }

    void addWritesTheEventAndShowsIt() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Open();
        fx.CellOfDay(2027, 1, 20).Select();
        fx.answer = [](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            editor.EditSubject->setText(Q("Dentist"));
            editor.cbLayer->setCurrentIndex(1);
            editor.btnOK->click();
            return editor.result();
        };
        Child<QToolButton>(*fx.window, "btnAdd")->click();
        QCOMPARE(fx.Count("subject='Dentist' and layername='Home'"), 1);
        const Tlable_listbox& day = fx.CellOfDay(2027, 1, 20);
        QCOMPARE(fx.Rows(day), QStringList{Q("09:00 AM !Dentist")});
        QCOMPARE(fx.window->SelectedCell(), day.Number());
    }

    void addOfARepeatingEventMovesToItsFirstDay() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Open();
        fx.CellOfDay(2027, 1, 20).Select();
        fx.answer = [](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            editor.EditSubject->setText(Q("Gym"));
            editor.ListBoxType->setCurrentRow(kRepeatWeekly);
            editor.dtEndDate->setDate(QDate(2027, 6, 1));
            // Fridays only; the 20th is a Wednesday.
            for (QCheckBox* box : {editor.ch2_sun, editor.ch2_mon, editor.ch2_tue, editor.ch2_wed,
                                   editor.ch2_thu, editor.ch2_sat}) {
                box->setChecked(false);
            }
            editor.ch2_fri->setChecked(true);
            editor.btnOK->click();
            return editor.result();
        };
        Child<QToolButton>(*fx.window, "btnAdd")->click();
        QCOMPARE(fx.Count("subject='Gym' and weekSelected0='FFFFFTF'"), 1);
        QCOMPARE(fx.window->SelectedCell(), fx.CellOfDay(2027, 1, 22).Number());
        QCOMPARE(fx.CellOfDay(2027, 1, 29).list->count(), 1);
    }

    // A new event occurs on the day it was added on, whichever repeating kind is picked.
    void addedRepeatingEventOccursOnItsDay_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("stored");
        QTest::newRow("monthly") << int(kRepeatMonthly) << Q("monthType=0 and monthDay0=20");
        QTest::newRow("yearly") << int(kRepeatYearly)
                                << Q("yearType=0 and yearDay0=20 and yearMonth0=0");
    }
    void addedRepeatingEventOccursOnItsDay() {
        QFETCH(int, kind);
        QFETCH(QString, stored);
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Open();
        fx.CellOfDay(2027, 1, 20).Select();
        fx.answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            editor.EditSubject->setText(Q("Rent"));
            editor.ListBoxType->setCurrentRow(kind);
            editor.btnOK->click();
            return editor.result();
        };
        Child<QToolButton>(*fx.window, "btnAdd")->click();
        QCOMPARE(fx.Count(desktop::Std(Q("subject='Rent' and ") + stored)), 1);
        QCOMPARE(fx.window->SelectedCell(), fx.CellOfDay(2027, 1, 20).Number());
        QCOMPARE(fx.CellOfDay(2027, 1, 20).list->count(), 1);
    }

    void editMovesTheViewToTheEventsNewMonth() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        tfield review = OnceEvent("Review", EncodeDate(2027, 1, 12), EncodeTime(9, 0));
        review.endtime = EncodeTime(10, 0);
        const std::int64_t id = fx.Add(review);
        fx.Open();
        Tlable_listbox& day = fx.CellOfDay(2027, 1, 12);
        day.Select();
        QString title;
        fx.answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            title = editor.windowTitle() + QLatin1Char('|') + editor.btnOK->text();
            editor.dtBeginDate->setDate(QDate(2027, 3, 3));
            editor.btnOK->click();
            return editor.result();
        };
        emit day.listDoubleClicked(day.Number());
        QCOMPARE(fx.Shown().size(), 0);
        QCOMPARE(title, Q("Edit Event|&Save"));
        QCOMPARE(fx.Count("id=" + std::to_string(id) +
                          " and begindate=" + FormatNumber(EncodeDate(2027, 3, 3))),
                 1);
        QCOMPARE(Child<QListWidget>(*fx.window, "ListBoxMonth")->currentRow(), 2);
        QCOMPARE(fx.window->SelectedCell(), fx.CellOfDay(2027, 3, 3).Number());
        QCOMPARE(fx.window->SelectedEventId(), id);
    }

    void enterOpensTheSelectedLine_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter of the keypad") << int(Qt::Key_Enter);
    }
    void enterOpensTheSelectedLine() {
        QFETCH(int, key);
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Add(OnceEvent("First", EncodeDate(2027, 1, 12), EncodeTime(8, 0)));
        fx.Add(OnceEvent("Second", EncodeDate(2027, 1, 12), EncodeTime(9, 0)));
        fx.Open();
        Tlable_listbox& day = fx.CellOfDay(2027, 1, 12);
        day.Select();
        day.list->SetSelectedRow(1);
        QString opened;
        int topic = 0;
        fx.answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            opened = editor.windowTitle() + QLatin1Char('|') + editor.EditSubject->text();
            topic = editor.HelpTopic();
            return int(QDialog::Rejected);
        };
        QTest::keyClick(day.list, Qt::Key(key));
        QCOMPARE(fx.dialogsShown, 1);
        QCOMPARE(opened, Q("Edit Event|Second"));
        QCOMPARE(topic, 23);

        // Without a selected line Enter opens nothing.
        day.list->SetSelectedRow(-1);
        QTest::keyClick(day.list, Qt::Key(key));
        QCOMPARE(fx.dialogsShown, 1);
        QVERIFY(fx.Shown().isEmpty());
    }

    void newEventEditorHasItsHelpTopic() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Open();
        Tlable_listbox& day = fx.CellOfDay(2027, 1, 20);
        day.Select();
        int topic = 0;
        fx.answer = [&](QDialog& dialog) {
            topic = dynamic_cast<TmyFormNewOrEdit&>(dialog).HelpTopic();
            return int(QDialog::Rejected);
        };
        emit day.buttonDoubleClicked(day.Number());
        QCOMPARE(topic, 41);
    }

    // What happened to the event while its editor was open (an alarm window raised in the
    // meantime may archive or delete it).
    void editSaveAfterAChangeMeanwhile_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("rowsWithTheEdit");
        QTest::addColumn<bool>("archived");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("nothing") << QString() << 1 << false << QStringList();
        QTest::newRow("archived: the archive stays") << Q("archive") << 1 << true << QStringList();
        QTest::newRow("deleted: the user is told")
            << Q("delete") << 0 << false
            << QStringList{Q("The event was deleted while you were editing it; your changes "
                             "were not saved.")};
    }
    void editSaveAfterAChangeMeanwhile() {
        QFETCH(QString, meanwhile);
        QFETCH(int, rowsWithTheEdit);
        QFETCH(bool, archived);
        QFETCH(QStringList, shown);
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        tfield review = OnceEvent("Review", EncodeDate(2027, 1, 12), EncodeTime(9, 0));
        review.endtime = EncodeTime(10, 0);
        const std::int64_t id = fx.Add(review);
        fx.Open();
        fx.CellOfDay(2027, 1, 12).Select();
        fx.answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            editor.EditSubject->setText(Q("Changed"));
            const std::vector<std::int64_t> ids{id};
            if (meanwhile == Q("archive"))
                fx.list.FileEvents(ids, IdListBlanks::Before);
            if (meanwhile == Q("delete"))
                fx.list.DeleteEvents(ids, IdListBlanks::None);
            editor.btnOK->click();
            return editor.result();
        };
        Child<QToolButton>(*fx.window, "btnEdit")->click();
        QStringList texts;
        for (const auto& box : fx.Shown())
            texts << box.text;
        QCOMPARE(texts, shown);
        QCOMPARE(fx.Count("subject='Changed'"), rowsWithTheEdit);
        QCOMPARE(fx.Count("lastFileTime>=1"), archived ? 1 : 0);
    }

    void cancelledEditChangesNothing() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Add(OnceEvent("Review", EncodeDate(2027, 1, 12), EncodeTime(9, 0)));
        fx.Open();
        fx.CellOfDay(2027, 1, 12).Select();
        fx.answer = [](QDialog& dialog) {
            dynamic_cast<TmyFormNewOrEdit&>(dialog).EditSubject->setText(Q("Changed"));
            return int(QDialog::Rejected);
        };
        Child<QToolButton>(*fx.window, "btnEdit")->click();
        QCOMPARE(fx.dialogsShown, 1);
        QCOMPARE(fx.Count("subject='Review'"), 1);
    }

    void deleteAsksWithTheLineAndRemovesTheWholeEvent() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        tfield daily = DailyEvent("Meeting", EncodeDate(2027, 1, 4), EncodeDate(2027, 1, 29), 1,
                                  EncodeTime(9, 0));
        daily.alert = true;
        fx.Add(daily);
        fx.Open();
        Tlable_listbox& day = fx.CellOfDay(2027, 1, 12);
        day.Select();
        const QString question = Q("Are you sure to delete the event?\r'09:00 AM !Meeting'");

        desktop::MessageBox::PresetAnswers({false});
        Child<QToolButton>(*fx.window, "btnDel")->click();
        QCOMPARE(fx.Shown(), (QList<desktop::MessageBox::Shown>{{Kind::Warning, question}}));
        QCOMPARE(fx.Count(), 1);

        // The "." key in the list asks the same; Yes deletes the row for every day.
        desktop::MessageBox::PresetAnswers({true});
        QTest::keyClick(fx.CellOfDay(2027, 1, 12).list, '.');
        QCOMPARE(fx.Shown(), (QList<desktop::MessageBox::Shown>{{Kind::Warning, question}}));
        QCOMPARE(fx.Count(), 0);
        for (int d = 4; d <= 29; ++d)
            QCOMPARE(fx.CellOfDay(2027, 1, d).list->count(), 0);
    }

    // A repeating event's line asks whether the command means that day or the whole series.
    void oneOccurrenceOrTheSeries_data() {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<int>("scope");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("on12");
        QTest::addColumn<QString>("on13");
        QTest::newRow("delete one") << false << int(OccurrenceScope::Occurrence) << 1 << QString()
                                    << Q("09:00 AM !Meeting");
        QTest::newRow("delete, cancelled") << false << int(OccurrenceScope::Cancel) << 1
                                           << Q("09:00 AM !Meeting") << Q("09:00 AM !Meeting");
        QTest::newRow("edit one") << true << int(OccurrenceScope::Occurrence) << 2
                                  << Q("10:00 AM !Moved") << Q("09:00 AM !Meeting");
        QTest::newRow("edit the series") << true << int(OccurrenceScope::Series) << 1
                                         << Q("10:00 AM !Moved") << Q("10:00 AM !Moved");
    }
    void oneOccurrenceOrTheSeries() {
        QFETCH(bool, edit);
        QFETCH(int, scope);
        QFETCH(int, rows);
        QFETCH(QString, on12);
        QFETCH(QString, on13);
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        tfield daily = DailyEvent("Meeting", EncodeDate(2027, 1, 4), EncodeDate(2027, 1, 29), 1,
                                  EncodeTime(9, 0));
        daily.alert = true;
        fx.Add(daily);
        fx.Open();
        fx.CellOfDay(2027, 1, 12).Select();
        OccurrenceQuestion::StartRecording({OccurrenceScope(scope)});
        fx.answer = [](QDialog& dialog) {
            // The alarm window of the due meeting is closed as it comes.
            auto* editor = dynamic_cast<TmyFormNewOrEdit*>(&dialog);
            if (!editor)
                return int(QDialog::Rejected);
            editor->EditSubject->setText(Q("Moved"));
            editor->dtBeginTime->setTime(QTime(10, 0));
            editor->dtEndTime->setTime(QTime(11, 0));
            editor->btnOK->click();
            return editor->result();
        };
        Child<QToolButton>(*fx.window, edit ? "btnEdit" : "btnDel")->click();
        QCOMPARE(OccurrenceQuestion::TakeAsked().size(), 1);
        QCOMPARE(fx.Count(), std::int64_t(rows));
        const auto lines = [&](unsigned d) {
            const QStringList r = fx.Rows(fx.CellOfDay(2027, 1, d));
            return r.isEmpty() ? QString() : r.join(Q("|"));
        };
        QCOMPARE(lines(12), on12);
        QCOMPARE(lines(13), on13);

        // The whole series goes with the occurrences detached from it.
        OccurrenceQuestion::StartRecording({OccurrenceScope::Series});
        desktop::MessageBox::PresetAnswers({true});
        fx.CellOfDay(2027, 1, 13).Select();
        Child<QToolButton>(*fx.window, "btnDel")->click();
        QCOMPARE(fx.Count(), std::int64_t(0));
    }

    void renamingALayerCarriesItsEvents() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Add(OnceEvent("A", EncodeDate(2027, 1, 12), 0, "Work"));
        fx.Add(OnceEvent("B", EncodeDate(2027, 2, 12), 0, "Work"));
        fx.Add(OnceEvent("C", EncodeDate(2027, 1, 12), 0, "Home"));
        fx.Open();
        fx.answer = [](QDialog& dialog) {
            auto& layer = dynamic_cast<TmyFormLayer&>(dialog);
            layer.Edit1->setText(Q("  Job "));
            layer.btnOk->click();
            return layer.result();
        };
        Child<QToolButton>(*fx.window, "sedit")->click();
        QCOMPARE(fx.Count("layername='Job'"), 2);
        QCOMPARE(fx.Count("layername='Home'"), 1);
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->item(0)->text(), Q("Job"));
        // The events keep their colour and stay shown.
        const Tlable_listbox& day = fx.CellOfDay(2027, 1, 12);
        QCOMPARE(day.list->count(), 2);
        QCOMPARE(day.list->Background(0), QColor(255, 0, 0));
    }

    void failedRenameKeepsTheLayerWithItsEvents() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), {{"Bob", 0x000000FF, true}});
        fx.Add(OnceEvent("A", EncodeDate(2027, 1, 12), 0, "Bob"));
        // The database refuses the rename.
        fx.store.dm->ADOConnection.exec(
            "create trigger keep before update of layername on eventtable "
            "begin select raise(abort, 'layer names are fixed'); end");
        fx.Open();
        fx.answer = [](QDialog& dialog) {
            auto& layer = dynamic_cast<TmyFormLayer&>(dialog);
            layer.Edit1->setText(Q("Robert"));
            layer.btnOk->click();
            return layer.result();
        };
        Child<QToolButton>(*fx.window, "sedit")->click();
        QCOMPARE(fx.store.errors.shown, std::vector<std::string>{"layer names are fixed"});
        QCOMPARE(fx.store.dm->Layers.at(0).name, std::string("Bob"));
        const platform::ProfileFile ini(fx.store.file("setup.ini"));
        QCOMPARE(ini.readString("Color", "LayerName0", ""), std::string("Bob"));
        QCOMPARE(fx.Count("layername='Bob'"), 1);
        QCOMPARE(fx.CellOfDay(2027, 1, 12).list->count(), 1);
    }

    // Names from a hand-edited settings file are only data in the statements: the month
    // shows their events, deleting counts them, renaming carries them, and nothing else runs.
    void layerNamesWithQuotesFromTheSettingsFile() {
        const std::string hostile = "x'; DELETE FROM eventtable; --";
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0),
                         {{hostile, 0x000000FF, true}, {"Wo'rk", 0x0000FF00, true}});
        fx.Add(OnceEvent("A", EncodeDate(2027, 1, 12), EncodeTime(8, 0), hostile));
        fx.Add(OnceEvent("B", EncodeDate(2027, 1, 12), EncodeTime(9, 0), "Wo'rk"));
        fx.Open();
        QCOMPARE(fx.Rows(fx.CellOfDay(2027, 1, 12)),
                 (QStringList{Q("08:00 AM A"), Q("09:00 AM B")}));

        desktop::MessageBox::PresetAnswers({true, true});
        Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->setCurrentRow(0);
        Child<QToolButton>(*fx.window, "sdel")->click();
        Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->setCurrentRow(1);
        Child<QToolButton>(*fx.window, "sdel")->click();
        const QString inUse = Q("Some events using this layer,\ryou can not delete the layer!");
        QCOMPARE(fx.Shown(), (QList<desktop::MessageBox::Shown>{
                                 {Kind::Warning, Q("Do you want to delete the '") +
                                                     Q(hostile.c_str()) + Q("' layer?")},
                                 {Kind::Information, inUse},
                                 {Kind::Warning, Q("Do you want to delete the 'Wo'rk' layer?")},
                                 {Kind::Information, inUse}}));
        QCOMPARE(fx.store.dm->Layers.size(), std::size_t(2));

        Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->setCurrentRow(0);
        fx.answer = [](QDialog& dialog) {
            auto& layer = dynamic_cast<TmyFormLayer&>(dialog);
            layer.Edit1->setText(Q("Safe"));
            layer.btnOk->click();
            return layer.result();
        };
        Child<QToolButton>(*fx.window, "sedit")->click();
        QCOMPARE(fx.Count(), 2);
        QCOMPARE(fx.Count("layername='Safe'"), 1);
        QCOMPARE(fx.store.dm->Layers.at(0).name, std::string("Safe"));
        QCOMPARE(fx.CellOfDay(2027, 1, 12).list->count(), 2);
        QVERIFY(fx.store.errors.shown.empty());
    }

    // Row 4294967297 beside row 1: edit and delete reach the row chosen, not row 1.
    void editAndDeleteAnIdBeyondThirtyTwoBits() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        QCOMPARE(fx.Add(OnceEvent("Low", EncodeDate(2027, 1, 12), EncodeTime(9, 0))),
                 std::int64_t(1));
        const std::string day = FormatNumber(EncodeDate(2027, 1, 12));
        fx.store.dm->ADOConnection.exec(
            "insert into eventtable (id, subject, layername, begindate, enddate, beginTime, "
            "endtime, alert, repeatType, lastFileTime) values (4294967297, 'High', 'Work', " +
            day + ", " + day + ", 0.5, 0.6, 0, 0, 0)");
        fx.Open();
        Tlable_listbox& cell = fx.CellOfDay(2027, 1, 12);
        QCOMPARE(fx.Rows(cell), (QStringList{Q("09:00 AM Low"), Q("12:00 PM High")}));
        cell.Select();
        cell.list->SetSelectedRow(1);
        QCOMPARE(fx.window->SelectedEventId(), std::int64_t(4294967297));

        QString loaded;
        fx.answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            loaded = editor.EditSubject->text();
            editor.EditSubject->setText(Q("High, edited"));
            editor.btnOK->click();
            return editor.result();
        };
        Child<QToolButton>(*fx.window, "btnEdit")->click();
        QCOMPARE(loaded, Q("High"));
        QCOMPARE(fx.Count("id=4294967297 and subject='High, edited'"), 1);
        QCOMPARE(fx.Count("id=1 and subject='Low'"), 1);

        Tlable_listbox& again = fx.CellOfDay(2027, 1, 12);
        again.Select();
        again.list->SetSelectedRow(1);
        desktop::MessageBox::PresetAnswers({true});
        Child<QToolButton>(*fx.window, "btnDel")->click();
        QCOMPARE(fx.Count("id=4294967297"), 0);
        QCOMPARE(fx.Count("id=1"), 1);
    }

    void deletingALayerInUseIsRefused() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Add(OnceEvent("A", EncodeDate(2027, 5, 12), 0, "Work"));
        fx.Open();
        desktop::MessageBox::PresetAnswers({true});
        Child<QToolButton>(*fx.window, "sdel")->click();
        QCOMPARE(fx.Shown(),
                 (QList<desktop::MessageBox::Shown>{
                     {Kind::Warning, Q("Do you want to delete the 'Work' layer?")},
                     {Kind::Information,
                      Q("Some events using this layer,\ryou can not delete the layer!")}}));
        QCOMPARE(fx.store.dm->Layers.size(), std::size_t(2));
    }

    void deletingTheMiddleLayerKeepsTheOthersInOrder() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0),
                         {{"A", 1, true}, {"B", 2, true}, {"C", 3, false}});
        fx.Open();
        Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->setCurrentRow(1);
        desktop::MessageBox::PresetAnswers({true});
        Child<QToolButton>(*fx.window, "sdel")->click();
        const platform::ProfileFile ini(fx.store.file("setup.ini"));
        QCOMPARE(ini.readString("Color", "Total", ""), std::string("2"));
        QCOMPARE(ini.readString("Color", "LayerName1", ""), std::string("C"));
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->count(), 2);
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->currentRow(), 0);
    }

    void newLayerFromTheListAndFromTheEditor() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Open();
        fx.answer = [](QDialog& dialog) {
            auto& layer = dynamic_cast<TmyFormLayer&>(dialog);
            layer.btnOk->click();  // keeps the preset name
            return layer.result();
        };
        Child<QToolButton>(*fx.window, "snew")->click();
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->count(), 3);
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->item(2)->text(),
                 Q("Input a new name"));

        // The editor's new-layer button opens the same dialog; the list follows afterwards.
        fx.answer = [](QDialog& dialog) {
            if (auto* layer = qobject_cast<TmyFormLayer*>(&dialog)) {
                layer->Edit1->setText(Q("Travel"));
                layer->btnOk->click();
                return layer->result();
            }
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            editor.SpeedButton3->click();
            return int(QDialog::Rejected);
        };
        Child<QToolButton>(*fx.window, "btnAdd")->click();
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->count(), 4);
        QCOMPARE(Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")->item(3)->text(),
                 Q("Travel"));
    }

    void layerActionsOnAnEmptyList() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0));
        fx.Open();
        Child<QToolButton>(*fx.window, "sedit")->click();
        Child<QToolButton>(*fx.window, "sdel")->click();
        QCOMPARE(fx.Shown(), (QList<desktop::MessageBox::Shown>{
                                 {Kind::Information, Q("There is no layer to be edited")},
                                 {Kind::Information, Q("There is no layer to be deleted")}}));
    }

    void selectAndUnselectAllLayers() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Add(OnceEvent("A", EncodeDate(2027, 1, 12), 0, "Work"));
        fx.Open();
        Child<QToolButton>(*fx.window, "sunselectall")->click();
        QCOMPARE(fx.CellOfDay(2027, 1, 12).list->count(), 0);
        QVERIFY(!fx.store.dm->Layers[0].active && !fx.store.dm->Layers[1].active);
        Child<QToolButton>(*fx.window, "sselectall")->click();
        QCOMPARE(fx.CellOfDay(2027, 1, 12).list->count(), 1);
        const platform::ProfileFile ini(fx.store.file("setup.ini"));
        QCOMPARE(ini.readString("Color", "IsActived1", ""), std::string("1"));
    }

    // Each event command is one action: the toolbar, the cell menus and the cell's mouse and
    // keys all reach the same one.
    void eventCommandsAreOneActionEach() {
        WindowFixture fx(EncodeDateTime(2027, 1, 7, 9, 0), kLayers);
        fx.Add(OnceEvent("Dentist", EncodeDate(2027, 1, 20), EncodeTime(9, 0)));
        TFormMainCalendar& w = fx.Open();
        Tlable_listbox& day = fx.CellOfDay(2027, 1, 20);
        day.Select();
        QCOMPARE(Child<QToolButton>(w, "btnAdd")->defaultAction(),
                 Child<QAction>(w, "actNewEvent"));
        QCOMPARE(Child<QToolButton>(w, "btnEdit")->defaultAction(),
                 Child<QAction>(w, "actEditEvent"));
        QCOMPARE(Child<QToolButton>(w, "btnDel")->defaultAction(),
                 Child<QAction>(w, "actDeleteEvent"));
        QCOMPARE(Child<QMenu>(w, "pmForBtn")->actions(),
                 QList<QAction*>{Child<QAction>(w, "actNewEvent")});
        QCOMPARE(
            Child<QMenu>(w, "pmForlistbox")->actions(),
            (QList<QAction*>{Child<QAction>(w, "actNewEvent"), Child<QAction>(w, "actEditEvent"),
                             Child<QAction>(w, "actDeleteEvent")}));
        QCOMPARE(Child<QToolButton>(w, "btnAdd")->toolTip(), Q("New Event (Ctrl+N)"));
        QCOMPARE(Child<QToolButton>(w, "btnDel")->toolTip(), Q("Delete Events (Del)"));

        QSignalSpy added(Child<QAction>(w, "actNewEvent"), &QAction::triggered);
        QSignalSpy edited(Child<QAction>(w, "actEditEvent"), &QAction::triggered);
        QSignalSpy deleted(Child<QAction>(w, "actDeleteEvent"), &QAction::triggered);
        emit day.buttonDoubleClicked(day.Number());
        emit day.listDoubleClicked(day.Number());
        QCOMPARE(fx.dialogsShown, 2);
        desktop::MessageBox::PresetAnswers({false});
        QTest::keyClick(day.list, Qt::Key_Delete);
        QCOMPARE(added.count(), 1);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(deleted.count(), 1);
        QCOMPARE(fx.Count(), 1);  // the delete was not confirmed
    }
};

QTEST_MAIN(TestGridCommands)
#include "test_gridcommands.moc"
