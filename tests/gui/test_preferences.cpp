// The preferences dialog: options in and out, the sound chooser, fonts, format and hot key
// lists, the login start entry written on OK, and the main window's Preferences command.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "platform/Autorun.h"
#include "platform/ProfileFile.h"
#include "session/CalendarSession.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/main/PreferencesDialog.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;

Q_DECLARE_METATYPE(qcal::ROptions)

namespace {

// 3 January 2027, 09:30.
const TDateTime kNow = EncodeDateTime(2027, 1, 3, 9, 30);

// Options where every field the dialog edits differs from the defaults.
ROptions Changed() {
    ROptions o;
    o.IsStartWhenWindow = true;
    o.IsMinimize = true;
    o.Isplaysound = true;
    o.FilenameOfSound = "bell.wav";
    o.IsArchiveAllAfterClose = true;
    o.FontDisplayName = "Courier New";
    o.FontDisplaySize = 14;
    o.ForPrint = {55, "Times New Roman", 11};
    o.DateFormat = "yy/mm/dd";
    o.TimeFormat = "hh:nn";
    o.myIndex = 2;
    o.myKey = 7;
    o.ShowRemindersAs = kRemindersAsNotifications;
    return o;
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A program folder with its music folder, a login start folder and recorded boxes.
struct Fixture {
    Fixture() : clock(kNow) {
        desktop::MessageBox::StartRecording();
        QDir(store.dir.path()).mkdir(Q("music"));
    }
    ~Fixture() {
        desktop::SetFileChooserForTesting({});
        desktop::SetFontPickerForTesting({});
        desktop::MessageBox::StopRecording();
    }
    std::unique_ptr<TFormPreferences> Open() {
        return std::make_unique<TFormPreferences>(
            *store.dm, platform::Autorun(Std(autostart.path())), "/opt/qc/quenlaris-calendar");
    }
    QString Music() const { return store.dir.path() + Q("/music/"); }
    QString EntryPath() const { return autostart.path() + Q("/quenlaris-calendar.desktop"); }

    clock::ScopedFakeClock clock;
    StoreFixture store;
    QTemporaryDir autostart;
    QTemporaryDir elsewhere;
};

}  // namespace

class TestPreferences : public QObject {
    Q_OBJECT
private slots:
    void controlsGiveBackWhatTheyWereFilledWith_data() {
        QTest::addColumn<ROptions>("options");
        QTest::newRow("defaults") << ROptions{};
        QTest::newRow("every option changed") << Changed();
    }
    void controlsGiveBackWhatTheyWereFilledWith() {
        QFETCH(ROptions, options);
        Fixture fx;
        // Fields the dialog does not edit pass through untouched.
        options.IsAlarmEnabled = false;
        options.AgainHowLong = 33;
        fx.store.dm->Options = options;
        auto dlg = fx.Open();
        ROptions taken;
        taken.IsAlarmEnabled = false;
        taken.AgainHowLong = 33;
        dlg->TakeControls(taken);
        QCOMPARE(taken, options);
    }

    void everyControlReachesItsOption() {
        Fixture fx;
        auto dlg = fx.Open();
        dlg->chStart->setChecked(true);
        dlg->chMin->setChecked(true);
        dlg->chplay->setChecked(true);
        dlg->chArchiveAll->setChecked(true);
        dlg->cbControl->setCurrentIndex(3);
        dlg->cbChar->setCurrentIndex(0);
        QCOMPARE(Items(dlg->cbRemindersAs),
                 QStringList({Q("window"), Q("desktop notification"), Q("both")}));
        dlg->cbRemindersAs->setCurrentIndex(0);
        dlg->chDate->setCurrentIndex(5);
        dlg->chTime->setCurrentIndex(1);
        dlg->spinscale->setValue(20);
        desktop::SetFontPickerForTesting([](const QFont&) {
            QFont f(Q("Liberation Mono"), 16, QFont::Bold, true);
            return std::optional<QFont>(f);
        });
        dlg->SpeedButton3->click();
        desktop::SetFontPickerForTesting(
            [](const QFont&) { return std::optional<QFont>(QFont(Q("DejaVu Sans"), 7)); });
        dlg->SpeedButton4->click();
        WriteFile(fx.Music() + Q("gong.wav"), "RIFF");
        desktop::SetFileChooserForTesting(
            [&](const desktop::FileRequest&) { return std::optional(fx.Music() + Q("gong.wav")); });
        dlg->btnsound->click();

        ROptions taken;
        dlg->TakeControls(taken);
        ROptions expected;
        expected.IsStartWhenWindow = true;
        expected.IsMinimize = true;
        expected.Isplaysound = true;
        expected.IsArchiveAllAfterClose = true;
        expected.myIndex = 3;
        expected.myKey = 0;
        expected.ShowRemindersAs = kRemindersInWindow;
        expected.DateFormat = "yy/mm/dd";
        expected.TimeFormat = "hh:nn";
        expected.ForPrint = {20, "DejaVu Sans", 7};
        // Only the name and the size of a chosen font are kept.
        expected.FontDisplayName = "Liberation Mono";
        expected.FontDisplaySize = 16;
        expected.FilenameOfSound = "gong.wav";
        QCOMPARE(taken, expected);
        QCOMPARE(dlg->EditSample->text(), Q("Liberation Mono, Size:16"));
        QVERIFY(!dlg->EditSample->font().bold());
        QCOMPARE(dlg->EFontOfPrint->text(), Q("DejaVu Sans, Size:7"));
    }

    void fontsShowNameAndSizeAndCancelKeepsThem() {
        Fixture fx;
        auto dlg = fx.Open();
        QCOMPARE(dlg->EditSample->text(), Q("Arial, Size:9"));
        QCOMPARE(dlg->EFontOfPrint->text(), Q("Arial, Size:8"));
        QFont offered;
        desktop::SetFontPickerForTesting([&](const QFont& initial) {
            offered = initial;
            return std::optional<QFont>();
        });
        dlg->SpeedButton4->click();
        QCOMPARE(offered.family(), Q("Arial"));
        QCOMPARE(offered.pointSize(), 8);
        QCOMPARE(dlg->EFontOfPrint->text(), Q("Arial, Size:8"));
    }

    void enabledStatesFollowTheirBoxes() {
        Fixture fx;
        fx.store.dm->Options = Changed();
        auto dlg = fx.Open();
        QVERIFY(dlg->chMin->isEnabled());
        QVERIFY(dlg->btnsound->isEnabled() && dlg->EditSound->isEnabled());
        dlg->chStart->setChecked(false);
        dlg->chplay->setChecked(false);
        // Disabled, but the check mark and the file name are still stored.
        QVERIFY(!dlg->chMin->isEnabled());
        QVERIFY(dlg->chMin->isChecked());
        QVERIFY(!dlg->btnsound->isEnabled() && !dlg->EditSound->isEnabled());
        ROptions taken;
        dlg->TakeControls(taken);
        QVERIFY(taken.IsMinimize);
        QCOMPARE(taken.FilenameOfSound, std::string("bell.wav"));
    }

    void chosenSoundGoesIntoTheMusicFolder_data() {
        QTest::addColumn<QString>("where");  // "outside", "inside", "cancel", "no music folder"
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QString>("shownSound");  // relative to the music folder, or "previous"
        QTest::addColumn<int>("boxKind");         // -1: no box
        QTest::newRow("from another folder")
            << Q("outside") << true << Q("bell.wav") << int(Kind::Information);
        QTest::newRow("from the music folder") << Q("inside") << false << Q("bell.wav") << -1;
        QTest::newRow("cancelled") << Q("cancel") << false << Q("previous") << -1;
        QTest::newRow("copy fails")
            << Q("no music folder") << false << Q("previous") << int(Kind::Error);
    }
    void chosenSoundGoesIntoTheMusicFolder() {
        QFETCH(QString, where);
        QFETCH(bool, copied);
        QFETCH(QString, shownSound);
        QFETCH(int, boxKind);
        Fixture fx;
        const QString source = where == Q("inside") ? fx.Music() + Q("bell.wav")
                                                    : fx.elsewhere.path() + Q("/bell.wav");
        WriteFile(source, "RIFF-bell");
        if (where == Q("no music folder"))
            QVERIFY(QDir(fx.Music()).removeRecursively());
        fx.store.dm->Options.Isplaysound = true;
        auto dlg = fx.Open();
        const QString previous = dlg->EditSound->text();
        QCOMPARE(previous, fx.Music() + Q("play.wav"));
        desktop::FileRequest asked;
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest& request) {
            asked = request;
            return where == Q("cancel") ? std::nullopt : std::optional(source);
        });
        dlg->btnsound->click();

        QCOMPARE(asked.caption, Q("Select WAV sound file"));
        QVERIFY(!asked.save);
        QVERIFY(asked.filter.contains(Q("*.wav")));
        QCOMPARE(dlg->EditSound->text(),
                 shownSound == Q("previous") ? previous : fx.Music() + shownSound);
        const auto shown = desktop::MessageBox::TakeShown();
        if (boxKind < 0) {
            QVERIFY(shown.isEmpty());
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(int(shown[0].kind), boxKind);
            if (boxKind == int(Kind::Information)) {
                QCOMPARE(shown[0].text, Q("The WAV file has been copied to '") + fx.Music() +
                                            Q("' successfully!"));
            } else {
                // The error names the file and the reason.
                QVERIFY(shown[0].text.contains(source));
                QVERIFY(shown[0].text.contains(Q("does not exist")));
            }
        }
        if (copied) {
            QCOMPARE(ReadFile(fx.Music() + Q("bell.wav")), QByteArray("RIFF-bell"));
            // Nothing but the sound: no temporary file is left behind.
            QCOMPARE(QDir(fx.Music()).entryList(QDir::Files), QStringList{Q("bell.wav")});
        }
        if (where == Q("inside"))
            QCOMPARE(QDir(fx.Music()).entryList(QDir::Files), QStringList{Q("bell.wav")});
        ROptions taken;
        dlg->TakeControls(taken);
        QCOMPARE(Q(taken.FilenameOfSound.c_str()),
                 shownSound == Q("previous") ? Q("play.wav") : shownSound);
    }

    void copiedSoundReplacesOneOfTheSameName() {
        Fixture fx;
        WriteFile(fx.Music() + Q("bell.wav"), "old");
        WriteFile(fx.elsewhere.path() + Q("/bell.wav"), "new");
        fx.store.dm->Options.Isplaysound = true;
        auto dlg = fx.Open();
        desktop::SetFileChooserForTesting([&](const desktop::FileRequest&) {
            return std::optional(fx.elsewhere.path() + Q("/bell.wav"));
        });
        dlg->btnsound->click();
        QCOMPARE(ReadFile(fx.Music() + Q("bell.wav")), QByteArray("new"));
    }

    void formatListsShowSamples() {
        Fixture fx;
        fx.store.dm->Options.DateFormat = "dd/mm/yy";
        fx.store.dm->Options.TimeFormat = "hh:nn";
        auto dlg = fx.Open();
        // Each line is what the format writes, and in words which part is which.
        QCOMPARE(Items(dlg->chDate), (QStringList{
                                         Q("01/03/2027   (month/day/year)"),
                                         Q("01/03/27   (month/day/year)"),
                                         Q("03/01/2027   (day/month/year)"),
                                         Q("03/01/27   (day/month/year)"),
                                         Q("2027/01/03   (year/month/day)"),
                                         Q("27/01/03   (year/month/day)"),
                                     }));
        QCOMPARE(Items(dlg->chTime), (QStringList{
                                         Q("09:30 AM   (12-hour clock)"),
                                         Q("09:30   (24-hour clock)"),
                                     }));
        QCOMPARE(dlg->chDate->currentIndex(), 3);
        QCOMPARE(dlg->chTime->currentIndex(), 1);
    }

    void hotKeyLists_data() {
        QTest::addColumn<int>("myIndex");
        QTest::addColumn<int>("myKey");
        QTest::addColumn<QString>("modifier");
        QTest::addColumn<QString>("letter");
        QTest::newRow("defaults") << 4 << 25 << Q("CTRL+SHIFT") << Q("Z");
        QTest::newRow("above the lists") << 7 << 40 << Q("CTRL+SHIFT") << Q("Z");
        QTest::newRow("below the lists") << -1 << -5 << Q("ALT") << Q("A");
        QTest::newRow("ctrl+alt+m") << 3 << 12 << Q("CTRL+ALT") << Q("M");
    }
    void hotKeyLists() {
        QFETCH(int, myIndex);
        QFETCH(int, myKey);
        QFETCH(QString, modifier);
        QFETCH(QString, letter);
        Fixture fx;
        fx.store.dm->Options.myIndex = myIndex;
        fx.store.dm->Options.myKey = myKey;
        auto dlg = fx.Open();
        QCOMPARE(Items(dlg->cbControl),
                 (QStringList{Q("ALT"), Q("CTRL"), Q("SHIFT"), Q("CTRL+ALT"), Q("CTRL+SHIFT")}));
        QCOMPARE(dlg->cbChar->count(), 26);
        QCOMPARE(dlg->cbControl->currentText(), modifier);
        QCOMPARE(dlg->cbChar->currentText(), letter);
        // What the lists show is what is stored: never an index outside them.
        ROptions taken;
        dlg->TakeControls(taken);
        QCOMPARE(taken.myIndex, dlg->cbControl->findText(modifier));
        QCOMPARE(taken.myKey, letter.at(0).unicode() - 'A');
    }

    void okWritesOrDeletesTheLoginEntry_data() {
        QTest::addColumn<bool>("start");
        QTest::addColumn<bool>("entryBefore");
        QTest::newRow("written") << true << false;
        QTest::newRow("written again") << true << true;
        QTest::newRow("deleted") << false << true;
        QTest::newRow("absent stays absent") << false << false;
    }
    void okWritesOrDeletesTheLoginEntry() {
        QFETCH(bool, start);
        QFETCH(bool, entryBefore);
        Fixture fx;
        if (entryBefore)
            WriteFile(fx.EntryPath(), "[Desktop Entry]\n");
        auto dlg = fx.Open();
        dlg->chStart->setChecked(start);
        dlg->cbChar->setCurrentIndex(1);
        dlg->SpeedButton1->click();

        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QVERIFY(desktop::MessageBox::TakeShown().isEmpty());
        QCOMPARE(fx.store.dm->Options.IsStartWhenWindow, start);
        QCOMPARE(fx.store.dm->Options.myKey, 1);
        QCOMPARE(QFile::exists(fx.EntryPath()), start);
        if (start) {
            const QString entry = QString::fromUtf8(ReadFile(fx.EntryPath()));
            QVERIFY2(entry.contains(Q("\nExec=\"/opt/qc/quenlaris-calendar\" autorun\n")),
                     qPrintable(entry));
            QVERIFY(entry.startsWith(Q("[Desktop Entry]\n")));
            QCOMPARE(QDir(fx.autostart.path()).entryList(QDir::Files).size(), 1);
        }
    }

    void unwritableLoginEntryKeepsTheDialogOpen() {
        Fixture fx;
        // The login start folder lies under a plain file, so it can never be made.
        WriteFile(fx.elsewhere.path() + Q("/file"), "x");
        const ROptions before = fx.store.dm->Options;
        TFormPreferences dlg(*fx.store.dm,
                             platform::Autorun(Std(fx.elsewhere.path() + Q("/file/autostart"))),
                             "/opt/qc/quenlaris-calendar");
        dlg.show();
        dlg.chStart->setChecked(true);
        dlg.chArchiveAll->setChecked(true);
        dlg.SpeedButton1->click();
        QCOMPARE(desktop::MessageBox::TakeShown(),
                 (QList<desktop::MessageBox::Shown>{
                     {Kind::Error, Q("Failed to set data for 'Quenlaris Calendar'")}}));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        // Cancelled afterwards, nothing of the dialog reaches the options.
        dlg.SpeedButton2->click();
        QCOMPARE(fx.store.dm->Options, before);
    }

    void mainWindowSavesAndAppliesOnOk() {
        WindowFixture fx(kNow);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        TFormMainCalendar& w = fx.Open();
        fx.answer = [](QDialog& dialog) {
            auto& dlg = dynamic_cast<TFormPreferences&>(dialog);
            dlg.chStart->setChecked(true);
            dlg.chTime->setCurrentIndex(1);
            desktop::SetFontPickerForTesting(
                [](const QFont&) { return std::optional<QFont>(QFont(Q("DejaVu Sans"), 13)); });
            dlg.SpeedButton3->click();
            desktop::SetFontPickerForTesting({});
            dlg.SpeedButton1->click();
            return dlg.result();
        };
        int saves = 0;
        QObject::connect(&fx.shell->Session(), &CalendarSession::optionsChanged, [&] { ++saves; });
        Child<QAction>(w, "Preferences1")->trigger();
        qunsetenv("XDG_CONFIG_HOME");

        QCOMPARE(fx.dialogsShown, 1);
        QCOMPARE(saves, 1);
        platform::ProfileFile ini(fx.store.dm->SetupIniPath());
        QCOMPARE(ini.readString("Options", "FontDisplayName", ""), std::string("DejaVu Sans"));
        QCOMPARE(ini.readBool("Options", "IsStartWhenWindow", false), true);
        QCOMPARE(w.Cell(1).list->font().family(), Q("DejaVu Sans"));
        QCOMPARE(w.Cell(1).list->font().pointSize(), 13);
        QVERIFY(QFile::exists(config.path() + Q("/autostart/quenlaris-calendar.desktop")));
    }

    void mainWindowCancelChangesNothing() {
        WindowFixture fx(kNow);
        TFormMainCalendar& w = fx.Open();
        const QByteArray ini = ReadFile(Q(fx.store.dm->SetupIniPath().c_str()));
        const ROptions before = fx.store.dm->Options;
        fx.answer = [](QDialog& dialog) {
            auto& dlg = dynamic_cast<TFormPreferences&>(dialog);
            dlg.chArchiveAll->setChecked(true);
            dlg.cbControl->setCurrentIndex(0);
            dlg.SpeedButton2->click();
            return dlg.result();
        };
        Child<QAction>(w, "Preferences1")->trigger();
        QCOMPARE(fx.dialogsShown, 1);
        QCOMPARE(fx.store.dm->Options, before);
        QCOMPARE(ReadFile(Q(fx.store.dm->SetupIniPath().c_str())), ini);
    }
};

QTEST_MAIN(TestPreferences)
#include "test_preferences.moc"
