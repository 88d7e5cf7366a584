// Renaming a layer in the events and counting them, with names taken from setup.ini.

#include <sys/stat.h>

#include <QTest>

#include "platform/AtomicFile.h"
#include "store/EventLists.h"
#include "store/LayerEvents.h"
#include "support/StoreFixture.h"

using namespace qcal;
using qcal::test::OnceEvent;
using qcal::test::StoreFixture;

namespace {

const TDateTime kDay = EncodeDate(2027, 1, 12);

std::int64_t CountWhere(StoreFixture& f, const std::string& where) {
    platform::Query q(f.dm->ADOConnection);
    q.setSql("select count(*) as n from eventtable where " + where);
    q.open();
    return q.asInteger("n");
}

// A hand-edited setup.ini with the layer name and a plain one; two events in the first
// layer, one in the other.
void Prepare(StoreFixture& f, const std::string& name) {
    QVERIFY(platform::WriteFileAtomically(f.dm->SetupIniPath(),
                                          "[Color]\nTotal=2\nLayerName0=" + name +
                                              "\nLayColor0=clRed\nIsActived0=1\n"
                                              "LayerName1=Home\nLayColor1=clLime\nIsActived1=1\n"));
    f.dm->LoadLayers();
    QCOMPARE(f.dm->Layers.size(), std::size_t(2));
    QCOMPARE(f.dm->Layers[0].name, name);
    tlist_of_event_orig list(*f.dm);
    list.AddEvent(OnceEvent("a", kDay, 0, name));
    list.AddEvent(OnceEvent("b", kDay + 40, 0, name));
    list.AddEvent(OnceEvent("c", kDay, 0, "Home"));
}

}  // namespace

class TestLayerEvents : public QObject {
    Q_OBJECT

private slots:
    void statementsAsWritten() {
        QCOMPARE(LayerRenameStatement("Work", "Job"),
                 std::string("update eventtable set layername='Job' where layername='Work'"));
        QCOMPARE(LayerCountStatement("Work"),
                 std::string("SELECT count(*) AS total FROM eventtable WHERE layername='Work'"));
        QCOMPARE(LayerRenameStatement("Wo'rk", "Job"),
                 std::string("update eventtable set layername='Job' where layername='Wo''rk'"));
    }

    void hostileNamesFromTheSettingsFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("Work");
        QTest::newRow("quote inside") << QStringLiteral("Wo'rk");
        QTest::newRow("statement after it") << QStringLiteral("x'; DELETE FROM eventtable; --");
        QTest::newRow("always true") << QStringLiteral("x' or '1'='1");
        QTest::newRow("two quotes") << QStringLiteral("a''b");
        QTest::newRow("comment") << QStringLiteral("--");
    }
    // Counting, loading the month and renaming touch that layer's events and nothing else.
    void hostileNamesFromTheSettingsFile() {
        QFETCH(QString, name);
        const std::string layer = name.toStdString();
        StoreFixture f;
        Prepare(f, layer);

        QCOMPARE(CountLayerEvents(*f.dm, layer), std::optional<std::int64_t>(2));
        QCOMPARE(CountLayerEvents(*f.dm, "nobody"), std::optional<std::int64_t>(0));

        tArrayofField month;
        QVERIFY(LoadMonthEvents(*f.dm, EncodeDate(2027, 1, 1), EncodeDate(2027, 1, 31), month));
        QCOMPARE(month.size(), std::size_t(2));
        f.dm->Layers[1].active = false;
        QVERIFY(LoadMonthEvents(*f.dm, EncodeDate(2027, 1, 1), EncodeDate(2027, 1, 31), month));
        QCOMPARE(month.size(), std::size_t(1));
        QCOMPARE(month[0].layername, layer);
        QCOMPARE(month[0].layerColor, TColor(0x000000FF));

        QVERIFY(RenameLayerInEvents(*f.dm, layer, "Renamed"));
        QCOMPARE(CountWhere(f, "1=1"), std::int64_t(3));
        QCOMPARE(CountWhere(f, "layername='Renamed'"), std::int64_t(2));
        QCOMPARE(CountWhere(f, "layername='Home'"), std::int64_t(1));
        // And back again: a name with quotes is written as it is.
        QVERIFY(RenameLayerInEvents(*f.dm, "Renamed", layer));
        QCOMPARE(CountLayerEvents(*f.dm, layer), std::optional<std::int64_t>(2));
        QVERIFY(f.errors.shown.empty());
    }

    // A rename moves the events first, then the settings; when either step fails both keep
    // the old name, so the events stay under a layer of the table.
    void renameLayer_data() {
        QTest::addColumn<QString>("failing");  // "", "settings" or "database"
        QTest::newRow("done") << QString();
        QTest::newRow("settings file read-only") << QStringLiteral("settings");
        QTest::newRow("database refuses") << QStringLiteral("database");
    }
    void renameLayer() {
        QFETCH(QString, failing);
        StoreFixture f;
        Prepare(f, "Work");
        const std::string path = f.dm->SetupIniPath();
        if (failing == QStringLiteral("settings"))
            QVERIFY(::chmod(path.c_str(), 0444) == 0);
        if (failing == QStringLiteral("database"))
            f.dm->ADOConnection.exec(
                "create trigger keep before update of layername on eventtable "
                "begin select raise(abort, 'layer names are fixed'); end");
        const bool done = failing.isEmpty();
        QCOMPARE(RenameLayer(*f.dm, 0, tlayinfo{"Job", 0x00FF00, false}), done);
        QCOMPARE(f.errors.shown.size(), std::size_t(done ? 0 : 1));
        const std::string name = done ? "Job" : "Work";
        QCOMPARE(f.dm->Layers[0].name, name);
        QCOMPARE(CountLayerEvents(*f.dm, name), std::optional<std::int64_t>(2));
        f.dm->LoadLayers();
        QCOMPARE(f.dm->Layers.size(), std::size_t(2));
        QCOMPARE(f.dm->Layers[0],
                 done ? (tlayinfo{"Job", 0x00FF00, false}) : (tlayinfo{"Work", 0x0000FF, true}));
    }

    void failuresAreReportedAndChangeNothing() {
        StoreFixture f;
        Prepare(f, "Work");
        // The database refuses every change of a layer name.
        f.dm->ADOConnection.exec(
            "create trigger keep before update of layername on eventtable "
            "begin select raise(abort, 'layer names are fixed'); end");
        QVERIFY(!RenameLayerInEvents(*f.dm, "Work", "Job"));
        QCOMPARE(f.errors.shown, std::vector<std::string>{"layer names are fixed"});
        QCOMPARE(CountLayerEvents(*f.dm, "Work"), std::optional<std::int64_t>(2));

        f.dm->Disconnect();
        QVERIFY(!CountLayerEvents(*f.dm, "Work").has_value());
        QVERIFY(!RenameLayerInEvents(*f.dm, "Work", "Job"));
        QCOMPARE(f.errors.shown.size(), std::size_t(3));
    }
};

QTEST_APPLESS_MAIN(TestLayerEvents)
#include "test_layerevents.moc"
