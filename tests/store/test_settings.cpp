// Options and layers in setup.ini: defaults, value forms, exact file text, failures.

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include "platform/AtomicFile.h"
#include "platform/Sqlite.h"
#include "store/Colors.h"
#include "store/EventLists.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::StoreFixture;
using namespace Qt::StringLiterals;

namespace {

const char* const kDefaultOptionsText =
    "[Options]\n"
    "IsAlarmEnabled=1\n"
    "IsAgainDisplay=0\n"
    "AgainHowLong=10\n"
    "IsStartWhenWindow=0\n"
    "IsMinimize=0\n"
    "Isplaysound=0\n"
    "FilenameOfSound=play.wav\n"
    "IsArchiveAllAfterClose=0\n"
    "FontDisplayName=Arial\n"
    "FontDisplaySize=9\n"
    "scaleOfPrint=80\n"
    "PrintFontName=Arial\n"
    "PrintFontSize=8\n"
    "PrintColours=1\n"
    "FirstDayOfWeek=0\n"
    "TrayMessageShown=0\n"
    "ShowRemindersAs=2\n"
    "SyncMinutes=15\n"
    "\n"
    "[myFormat]\n"
    "myDate=0\n"
    "myTime=0\n"
    "\n"
    "[HotKey]\n"
    "myIndex=4\n"
    "myKey=25\n";

std::string ReadFile(const std::string& path) {
    std::string text;
    platform::ReadWholeFile(path, text);
    return text;
}

void WriteFile(const std::string& path, const std::string& text) {
    QVERIFY(platform::WriteFileAtomically(path, text));
}

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void defaultsWithoutFile() {
        StoreFixture f;
        f.dm->Options.IsAlarmEnabled = false;
        f.dm->Options.myKey = 3;
        f.dm->LoadOptions();
        QVERIFY(f.dm->Options == ROptions{});
        QCOMPARE(f.dm->Options.DateFormat, std::string("mm/dd/yyyy"));
        QCOMPARE(f.dm->Options.TimeFormat, std::string("hh:nn AM/PM"));
        f.dm->LoadLayers();
        QVERIFY(f.dm->Layers.empty());
        QVERIFY(f.errors.shown.empty());
    }

    void firstSaveWritesEveryKeyInOrder() {
        StoreFixture f;
        int hookCalls = 0;
        f.dm->OnOptionsSaved = [&] { ++hookCalls; };
        f.dm->LoadOptions();
        QVERIFY(f.dm->SaveOptions());
        QCOMPARE(ReadFile(f.dm->SetupIniPath()), std::string(kDefaultOptionsText));
        QCOMPARE(hookCalls, 1);
    }

    void layersWrittenFirstStayInFront() {
        StoreFixture f;
        f.dm->Layers = {
            {"Work", 0x000000FF, true}, {"Home", 0x000080FF, false}, {"Misc", 0x00FF0000, true}};
        QVERIFY(f.dm->SaveLayers());
        QVERIFY(f.dm->SaveOptions());
        const std::string expected =
            "[Color]\n"
            "Total=3\n"
            "LayerName0=Work\n"
            "LayColor0=clRed\n"
            "IsActived0=1\n"
            "LayerName1=Home\n"
            "LayColor1=$000080FF\n"
            "IsActived1=0\n"
            "LayerName2=Misc\n"
            "LayColor2=clBlue\n"
            "IsActived2=1\n"
            "\n" +
            std::string(kDefaultOptionsText);
        QCOMPARE(ReadFile(f.dm->SetupIniPath()), expected);
    }

    void savedOptionsReadBack() {
        StoreFixture f;
        ROptions& o = f.dm->Options;
        o.IsAlarmEnabled = false;
        o.IsAgainDisplay = true;
        o.AgainHowLong = 25;
        o.FilenameOfSound = "bell ring.wav";
        o.FontDisplayName = "DejaVu Sans";
        o.FontDisplaySize = 11;
        o.ForPrint = {120, "Liberation Serif", 10};
        o.DateFormat = "yy/mm/dd";
        o.TimeFormat = "hh:nn";
        o.myIndex = 1;
        o.myKey = 0;
        const ROptions saved = o;
        QVERIFY(f.dm->SaveOptions());
        o = ROptions{};
        f.dm->LoadOptions();
        QVERIFY(f.dm->Options == saved);
    }

    // The options file as this program writes it survives a load and a save unchanged.
    void optionsTextKeptThroughLoadAndSave() {
        const std::string text =
            "[Options]\n"
            "IsAlarmEnabled=0\n"
            "IsAgainDisplay=1\n"
            "AgainHowLong=25\n"
            "IsStartWhenWindow=1\n"
            "IsMinimize=1\n"
            "Isplaysound=1\n"
            "FilenameOfSound=bell ring.wav\n"
            "IsArchiveAllAfterClose=1\n"
            "FontDisplayName=DejaVu Sans\n"
            "FontDisplaySize=11\n"
            "scaleOfPrint=120\n"
            "PrintFontName=Liberation Serif\n"
            "PrintFontSize=10\n"
            "PrintColours=0\n"
            "FirstDayOfWeek=1\n"
            "TrayMessageShown=1\n"
            "ShowRemindersAs=1\n"
            "SyncMinutes=30\n"
            "\n"
            "[myFormat]\n"
            "myDate=4\n"
            "myTime=1\n"
            "\n"
            "[HotKey]\n"
            "myIndex=1\n"
            "myKey=0\n";
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(), text);
        f.dm->LoadOptions();
        const ROptions expected{false,
                                true,
                                25,
                                true,
                                true,
                                true,
                                "bell ring.wav",
                                true,
                                "DejaVu Sans",
                                11,
                                {120, "Liberation Serif", 10, 0},
                                "yyyy/mm/dd",
                                "hh:nn",
                                1,
                                0,
                                1,
                                true,
                                kRemindersAsNotifications,
                                30};
        QVERIFY(f.dm->Options == expected);
        QVERIFY(f.dm->SaveOptions());
        QCOMPARE(ReadFile(f.dm->SetupIniPath()), text);
    }

    // Layer names and option texts come back exactly as they were saved.
    void textsReadBackAsSaved_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("double quotes") << "\"Team\""
                                       << "\"Team\"";
        QTest::newRow("single quotes") << "'Team'"
                                       << "'Team'";
        QTest::newRow("lone quote") << "\""
                                    << "\"";
        QTest::newRow("equals signs") << "a=b="
                                      << "a=b=";
        QTest::newRow("brackets") << "[Color]"
                                  << "[Color]";
        QTest::newRow("closing bracket") << "]"
                                         << "]";
        QTest::newRow("semicolon") << ";Team"
                                   << ";Team";
        QTest::newRow("blanks around") << "  Team  "
                                       << "  Team  ";
        QTest::newRow("line break") << "one\nTotal=0\n"
                                    << "one Total=0 ";
    }
    void textsReadBackAsSaved() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        StoreFixture f;
        f.dm->Layers = {{"First", 0x000000FF, true},
                        {text.toStdString(), 0x0000FF00, true},
                        {"Last", 0, false}};
        f.dm->Options.FilenameOfSound = text.toStdString();
        f.dm->Options.FontDisplayName = text.toStdString();
        f.dm->Options.ForPrint.PrintFontName = text.toStdString();
        QVERIFY(f.dm->SaveLayers());
        QVERIFY(f.dm->SaveOptions());

        arraylayinfo layers = f.dm->Layers;
        layers[1].name = expected.toStdString();
        ROptions options = f.dm->Options;
        options.FilenameOfSound = options.FontDisplayName = options.ForPrint.PrintFontName =
            expected.toStdString();
        f.dm->Layers.clear();
        f.dm->Options = ROptions{};
        f.dm->LoadLayers();
        f.dm->LoadOptions();
        QCOMPARE(QString::fromStdString(f.dm->Layers.at(1).name), expected);
        QVERIFY(f.dm->Layers == layers);
        QVERIFY(f.dm->Options == options);
    }

    // Hand-edited font sizes are brought into 6..72 points; none at all gives the default.
    void fontSizesClamped_data() {
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("cell");
        QTest::addColumn<int>("print");
        QTest::newRow("zero") << "0" << 9 << 8;
        QTest::newRow("negative") << "-5" << 9 << 8;
        QTest::newRow("too small") << "5" << 6 << 6;
        QTest::newRow("smallest") << "6" << 6 << 6;
        QTest::newRow("largest") << "72" << 72 << 72;
        QTest::newRow("too large") << "73" << 72 << 72;
        QTest::newRow("absurd") << "100000" << 72 << 72;
        QTest::newRow("not a number") << "big" << 9 << 8;
    }
    void fontSizesClamped() {
        QFETCH(QString, size);
        QFETCH(int, cell);
        QFETCH(int, print);
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(), "[Options]\nFontDisplaySize=" + size.toStdString() +
                                            "\nPrintFontSize=" + size.toStdString() + "\n");
        f.dm->LoadOptions();
        QCOMPARE(int(f.dm->Options.FontDisplaySize), cell);
        QCOMPARE(int(f.dm->Options.ForPrint.PrintFontSize), print);
    }

    void valueForms_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<int>("againHowLong");
        QTest::addColumn<int>("reminders");
        QTest::newRow("yes is not a number") << "IsAlarmEnabled=yes\n" << true << 10 << 2;
        QTest::newRow("hex zero is false") << "IsAlarmEnabled=0x0\n" << false << 10 << 2;
        QTest::newRow("dollar hex") << "AgainHowLong=$1E\n" << true << 30 << 2;
        QTest::newRow("keys ignore case") << "isalarmenabled=0\nAGAINHOWLONG=7\n"
                                          << false << 7 << 2;
        QTest::newRow("blanks around") << "  AgainHowLong = 12 \n" << true << 12 << 2;
        QTest::newRow("garbage integer") << "AgainHowLong=12abc\n" << true << 10 << 2;
        QTest::newRow("reminders in the window") << "ShowRemindersAs=0\n" << true << 10 << 0;
        QTest::newRow("reminders unknown") << "ShowRemindersAs=3\n" << true << 10 << 2;
        QTest::newRow("reminders negative") << "ShowRemindersAs=-1\n" << true << 10 << 2;
        QTest::newRow("sync every hour") << "SyncMinutes=60\n" << true << 10 << 2;
        QTest::newRow("sync zero") << "SyncMinutes=0\n" << true << 10 << 2;
        QTest::newRow("sync beyond a day") << "SyncMinutes=1441\n" << true << 10 << 2;
    }
    void valueForms() {
        QFETCH(QString, options);
        QFETCH(bool, alarm);
        QFETCH(int, againHowLong);
        QFETCH(int, reminders);
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(), "[options]\n" + options.toStdString());
        f.dm->LoadOptions();
        QCOMPARE(f.dm->Options.IsAlarmEnabled, alarm);
        QCOMPARE(f.dm->Options.AgainHowLong, againHowLong);
        QCOMPARE(int(f.dm->Options.ShowRemindersAs), reminders);
        const bool minutesGiven = options.startsWith(QStringLiteral("SyncMinutes=60"));
        QCOMPARE(int(f.dm->Options.SyncMinutes), minutesGiven ? 60 : kDefaultSyncMinutes);
    }

    void formatIndexes_data() {
        QTest::addColumn<int>("myDate");
        QTest::addColumn<int>("myTime");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("valid") << 4 << 1 << "yyyy/mm/dd"
                               << "hh:nn";
        QTest::newRow("last valid") << 5 << 0 << "yy/mm/dd"
                                    << "hh:nn AM/PM";
        QTest::newRow("too large") << 6 << 2 << "mm/dd/yyyy"
                                   << "hh:nn AM/PM";
        QTest::newRow("negative") << -1 << -5 << "mm/dd/yyyy"
                                  << "hh:nn AM/PM";
    }
    void formatIndexes() {
        QFETCH(int, myDate);
        QFETCH(int, myTime);
        QFETCH(QString, date);
        QFETCH(QString, time);
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(), "[myFormat]\nmyDate=" + std::to_string(myDate) +
                                            "\nmyTime=" + std::to_string(myTime) + "\n");
        f.dm->LoadOptions();
        QCOMPARE(QString::fromStdString(f.dm->Options.DateFormat), date);
        QCOMPARE(QString::fromStdString(f.dm->Options.TimeFormat), time);
    }

    void layersFromFile() {
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(),
                  "[Color]\nTotal=3\nLayerName0=Work\nLayColor0=CLRED\nIsActived0=1\n"
                  "LayColor2=$000080FF\nLayerName2=Sport\nIsActived2=1\n");
        f.dm->LoadLayers();
        const arraylayinfo expected{
            {"Work", 0x000000FF, true}, {"Layer1", 0x00FF0000, false}, {"Sport", 0x000080FF, true}};
        QVERIFY(f.dm->Layers == expected);
    }

    void hostileTotals_data() {
        QTest::addColumn<QString>("total");
        QTest::addColumn<int>("count");
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("not a number") << "many" << 0;
        QTest::newRow("huge") << "2000000000" << TDataMod::kMaxLayers;
        QTest::newRow("largest integer") << "2147483647" << TDataMod::kMaxLayers;
    }
    void hostileTotals() {
        QFETCH(QString, total);
        QFETCH(int, count);
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(), "[Color]\nTotal=" + total.toStdString() + "\n");
        f.dm->LoadLayers();
        QCOMPARE(int(f.dm->Layers.size()), count);
    }

    // A layer that events use but setup.ini lacks (lost, older, or cut short between the
    // events and the settings) comes back at the next load, checked and pure blue, and is
    // saved; a reader adds it for itself only.
    void layersOfEventsComeBack_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QStringList>("eventLayers");
        QTest::addColumn<bool>("reader");
        QTest::addColumn<QStringList>("layers");
        const QString work =
            u"[Color]\nTotal=1\nLayerName0=Work\nLayColor0=clRed\nIsActived0=0\n"_s;
        QTest::newRow("settings lost") << QString() << QStringList{u"Work"_s, u"Home"_s} << false
                                       << QStringList{u"Work"_s, u"Home"_s};
        QTest::newRow("rename cut short after the events")
            << work << QStringList{u"Job"_s, u"Job"_s} << false << QStringList{u"Work"_s, u"Job"_s};
        QTest::newRow("nothing missing")
            << work << QStringList{u"Work"_s} << false << QStringList{u"Work"_s};
        QTest::newRow("other letter case")
            << work << QStringList{u"work"_s} << false << QStringList{u"Work"_s, u"work"_s};
        QTest::newRow("reader") << work << QStringList{u"Job"_s} << true
                                << QStringList{u"Work"_s, u"Job"_s};
    }
    void layersOfEventsComeBack() {
        QFETCH(QString, ini);
        QFETCH(QStringList, eventLayers);
        QFETCH(bool, reader);
        QFETCH(QStringList, layers);
        StoreFixture f;
        if (!ini.isEmpty())
            WriteFile(f.dm->SetupIniPath(), ini.toStdString());
        for (const QString& layer : eventLayers) {
            f.dm->ADOConnection.exec(
                "insert into eventtable (subject,layername,begindate,enddate) values ('e'," +
                platform::SqlLiteral(layer.toStdString()) + ",46000,46000)");
        }
        const std::string before = ReadFile(f.dm->SetupIniPath());
        test::RecordingErrorReporter errors;
        TDataMod dm(f.folder(), errors,
                    reader ? platform::OpenMode::ReadOnly : platform::OpenMode::ReadWrite);
        dm.LoadLayers();
        QStringList names;
        for (const tlayinfo& l : dm.Layers)
            names << QString::fromStdString(l.name);
        QCOMPARE(names, layers);
        for (std::size_t i = ini.isEmpty() ? 0 : 1; i < dm.Layers.size(); ++i) {
            QVERIFY(dm.Layers[i].active);
            QCOMPARE(dm.Layers[i].color, kUnknownLayerColor);
        }
        QVERIFY(errors.shown.empty());
        const bool added = names.size() > (ini.isEmpty() ? 0 : 1);
        QCOMPARE(ReadFile(f.dm->SetupIniPath()) != before, added && !reader);
    }

    // Layers beyond the limit stay hidden, but the user is told, once.
    void layerLimitIsSaid() {
        StoreFixture f;
        std::string ini = "[Color]\nTotal=" + std::to_string(TDataMod::kMaxLayers) + "\n";
        WriteFile(f.dm->SetupIniPath(), ini);
        f.dm->ADOConnection.exec(
            "insert into eventtable (subject,layername,begindate,enddate) values "
            "('a','Layer0',46000,46000),('b','Extra1',46000,46000),('c','Extra2',46000,46000)");
        f.dm->LoadLayers();
        f.dm->LoadLayers();
        QCOMPARE(int(f.dm->Layers.size()), TDataMod::kMaxLayers);
        QCOMPARE(f.errors.shown.size(), std::size_t(1));
        QVERIFY2(f.errors.shown[0].find("The events of 2 more layers cannot be shown") == 0,
                 f.errors.shown[0].c_str());
    }

    // A NUL byte inside a name is named as the cause, and the name is read (and saved) up to it.
    void nulByteInLayerName() {
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(),
                  std::string("[Color]\nTotal=1\nLayerName0=Wo\0rk\nIsActived0=1\n", 40));
        f.dm->LoadLayers();
        QCOMPARE(f.dm->Layers.at(0).name, std::string("Wo"));
        QCOMPARE(f.errors.shown.size(), std::size_t(1));
        QVERIFY(f.errors.shown[0].find("layer 1") != std::string::npos);
        QVERIFY(f.errors.shown[0].find("NUL byte") != std::string::npos);
        QVERIFY(ReadFile(f.dm->SetupIniPath()).find("LayerName0=Wo\n") != std::string::npos);
        tArrayofField month;
        QVERIFY(LoadMonthEvents(*f.dm, 46000, 46030, month));
    }

    // Another program changed setup.ini after this one read it: what it changed stays, where
    // this program did not change the same thing.
    void anotherProgramsChangesAreKept() {
        StoreFixture f;
        const std::string path = f.dm->SetupIniPath();
        WriteFile(path,
                  "[Options]\nAgainHowLong=5\n[Color]\nTotal=1\nLayerName0=A\nIsActived0=1\n");
        f.dm->LoadOptions();
        f.dm->LoadLayers();
        // The other program: a layer of an import, a changed option.
        WriteFile(path,
                  "[Options]\nAgainHowLong=30\n[Color]\nTotal=2\nLayerName0=A\n"
                  "IsActived0=1\nLayerName1=Imported\nLayColor1=clRed\nIsActived1=1\n");
        f.dm->Layers[0].active = false;
        f.dm->Options.IsAgainDisplay = true;
        QVERIFY(f.dm->SaveLayers());
        QVERIFY(f.dm->SaveOptions());
        test::RecordingErrorReporter errors;
        TDataMod next(f.folder(), errors);
        next.LoadOptions();
        next.LoadLayers();
        QCOMPARE(next.Layers.size(), std::size_t(2));
        QCOMPARE(next.Layers[1].name, std::string("Imported"));
        QVERIFY(!next.Layers[0].active);
        QCOMPARE(next.Options.AgainHowLong, 30);
        QVERIFY(next.Options.IsAgainDisplay);
    }

    // While a backup, restore or compaction has the files, the saves write nothing.
    void releasedWritesNothing() {
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(), "[Color]\nTotal=0\n");
        f.dm->Release();
        f.dm->Layers = {{"A", 0, true}};
        QVERIFY(!f.dm->SaveLayers());
        QVERIFY(!f.dm->SaveOptions());
        QCOMPARE(ReadFile(f.dm->SetupIniPath()), std::string("[Color]\nTotal=0\n"));
        QVERIFY(f.errors.shown.empty());
    }

    void deletingLastLayerKeepsItsKeys() {
        StoreFixture f;
        f.dm->Layers = {{"A", 0, true}, {"B", 0x00FFFFFF, false}, {"C", 0x00808080, true}};
        QVERIFY(f.dm->SaveLayers());
        f.dm->Layers.pop_back();
        QVERIFY(f.dm->SaveLayers());
        const std::string text = ReadFile(f.dm->SetupIniPath());
        QVERIFY(text.find("Total=2\n") != std::string::npos);
        QVERIFY(text.find("LayerName2=C\nLayColor2=clGray\nIsActived2=1\n") != std::string::npos);
        f.dm->LoadLayers();
        QCOMPARE(int(f.dm->Layers.size()), 2);
        QCOMPARE(f.dm->Layers[1].color, TColor(0x00FFFFFF));
    }

    void otherSectionsSurviveSaves() {
        StoreFixture f;
        WriteFile(f.dm->SetupIniPath(), "; kept\n[Mine]\nx=1\n[Options]\nAgainHowLong=5\n");
        f.dm->LoadOptions();
        QVERIFY(f.dm->SaveOptions());
        const std::string text = ReadFile(f.dm->SetupIniPath());
        QVERIFY(text.rfind("; kept\n[Mine]\nx=1\n[Options]\nAgainHowLong=5\nIsAlarmEnabled=1\n",
                           0) == 0);
    }

    void unwritableFileIsReported() {
        StoreFixture f;
        // A folder in place of the file cannot be replaced by a file.
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("setup.ini")));
        int hookCalls = 0;
        f.dm->OnOptionsSaved = [&] { ++hookCalls; };
        QVERIFY(!f.dm->SaveOptions());
        QVERIFY(!f.dm->SaveLayers());
        const std::string expected = "Unable to write to " + f.dm->SetupIniPath();
        QCOMPARE(f.errors.shown, (std::vector<std::string>{expected, expected}));
        QCOMPARE(hookCalls, 1);
    }

    void readOnlyFileIsReportedAndKept() {
        StoreFixture f;
        const std::string path = f.dm->SetupIniPath();
        WriteFile(path, "[Color]\nTotal=0\n");
        QVERIFY(::chmod(path.c_str(), 0444) == 0);
        f.dm->Layers = {{"A", 0, true}};
        QVERIFY(!f.dm->SaveLayers());
        QVERIFY(!f.dm->SaveOptions());
        const std::string expected = "Unable to write to " + path;
        QCOMPARE(f.errors.shown, (std::vector<std::string>{expected, expected}));
        QCOMPARE(ReadFile(path), std::string("[Color]\nTotal=0\n"));
    }

    void colorTexts_data() {
        QTest::addColumn<uint>("color");
        QTest::addColumn<QString>("text");
        QTest::newRow("red") << 0x000000FFu << "clRed";
        QTest::newRow("blue") << 0x00FF0000u << "clBlue";
        QTest::newRow("navy") << 0x00800000u << "clNavy";
        QTest::newRow("orange") << 0x000080FFu << "$000080FF";
        QTest::newRow("system highlight") << 0x8000000Du << "clHighlight";
        QTest::newRow("info background") << 0x80000018u << "clInfoBk";
        QTest::newRow("none") << 0x1FFFFFFFu << "clNone";
    }
    void colorTexts() {
        QFETCH(uint, color);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ColorToString(color)), text);
        QCOMPARE(StringToColor(text.toStdString()).value_or(1), TColor(color));
        QCOMPARE(StringToColor(text.toUpper().toStdString()).value_or(1), TColor(color));
    }

    void colorFromNumbers() {
        QCOMPARE(StringToColor("255").value_or(1), TColor(255));
        QCOMPARE(StringToColor("$00FF00").value_or(1), TColor(0x0000FF00));
        QVERIFY(!StringToColor("sky blue").has_value());
    }

    void deliveredSettingsHoldOneActiveLayer() {
        StoreFixture f;
        const std::string delivered = ReadFile(QCAL_DELIVERED_INI);
        WriteFile(f.dm->SetupIniPath(), delivered);
        f.dm->LoadLayers();
        const arraylayinfo expected{{"Personal", 0x00808000, true}};
        QVERIFY(f.dm->Layers == expected);
        f.dm->LoadOptions();
        QVERIFY(f.dm->Options == ROptions{});
        // In the writer's own form: saving the layers back leaves the text as it was.
        QVERIFY(f.dm->SaveLayers());
        QCOMPARE(ReadFile(f.dm->SetupIniPath()), delivered);
    }
};

QTEST_APPLESS_MAIN(TestSettings)
#include "test_settings.moc"
