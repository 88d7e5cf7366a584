// What user.mdb records for a layer bound to a server calendar: every local change, whoever
// writes it, in the same transaction as the change; nothing for local layers; a rename keeps
// the binding and sends nothing away.

#include <QtTest>

#include <functional>

#include "store/EventLists.h"
#include "store/LayerEvents.h"
#include "store/SyncState.h"
#include "store/Transaction.h"
#include "support/StoreFixture.h"

using namespace qcal;
using namespace qcal::test;

namespace {

using Step = std::function<void(TDataMod&, std::int64_t sent, std::int64_t local)>;

// "dirty events / deletions" of the bound layer after the step.
QString Recorded(TDataMod& dm, const std::string& layer) {
    int dirty = 0;
    for (const syncstate::Item& item : syncstate::Items(dm.ADOConnection, layer)) {
        dirty += item.dirty > 0 && !item.localOnly ? 1 : 0;
    }
    return QStringLiteral("%1/%2").arg(dirty).arg(
        syncstate::Deletions(dm.ADOConnection, layer).size());
}

}  // namespace

Q_DECLARE_METATYPE(Step)

class TestSyncState : public QObject {
    Q_OBJECT
private slots:
    void changesRecorded_data() {
        QTest::addColumn<Step>("step");
        QTest::addColumn<QString>("bound");  // what the bound layer "Work" records
        QTest::addColumn<QString>("other");  // and a layer that is bound later, "Home"
        QTest::newRow("nothing") << Step([](TDataMod&, auto, auto) {}) << "0/0"
                                 << "0/0";
        QTest::newRow("added") << Step([](TDataMod& dm, auto, auto) {
            tlist_of_event_orig(dm).AddEvent(OnceEvent("new", 46000));
        }) << "1/0"
                               << "0/0";
        QTest::newRow("edited") << Step([](TDataMod& dm, std::int64_t sent, auto) {
            dm.ADOConnection.exec("update eventtable set subject='x' where id=" +
                                  std::to_string(sent));
        }) << "1/0"
                                << "0/0";
        QTest::newRow("deleted") << Step([](TDataMod& dm, std::int64_t sent, auto) {
            dm.ADOConnection.exec("delete from eventtable where id=" + std::to_string(sent));
        }) << "0/1"
                                 << "0/0";
        QTest::newRow("moved to a local layer") << Step([](TDataMod& dm, std::int64_t sent, auto) {
            dm.ADOConnection.exec("update eventtable set layername='Local' where id=" +
                                  std::to_string(sent));
        }) << "0/1"
                                                << "0/0";
        QTest::newRow("local layer changed") << Step([](TDataMod& dm, auto, std::int64_t local) {
            dm.ADOConnection.exec("delete from eventtable where id=" + std::to_string(local));
        }) << "0/0"
                                             << "0/0";
        QTest::newRow("rolled back") << Step([](TDataMod& dm, std::int64_t sent, auto) {
            Transaction transaction(dm.ADOConnection);
            dm.ADOConnection.exec("delete from eventtable where id=" + std::to_string(sent));
        }) << "0/0"
                                     << "0/0";
        // The binding goes with the layer's new name: the event is sent again with it, nothing
        // is deleted on the server.
        QTest::newRow("bound layer renamed")
            << Step([](TDataMod& dm, auto, auto) { RenameLayerInEvents(dm, "Work", "Office"); })
            << "1/0"
            << "0/0";
        QTest::newRow("local layer bound") << Step([](TDataMod& dm, auto, auto) {
            syncstate::SaveBinding(dm.ADOConnection,
                                   {"Local", "https://h/l/", "u", false, {}, {}, {}, {}});
        }) << "0/0"
                                           << "1/0";
    }
    void changesRecorded() {
        QFETCH(Step, step);
        QFETCH(QString, bound);
        QFETCH(QString, other);
        StoreFixture f;
        TDataMod& dm = *f.dm;
        syncstate::SaveBinding(dm.ADOConnection,
                               {"Work", "https://h/w/", "u", false, {}, {}, {}, {}});
        const std::int64_t sent = tlist_of_event_orig(dm).AddEvent(OnceEvent("sent", 46000));
        const std::int64_t local =
            tlist_of_event_orig(dm).AddEvent(OnceEvent("local", 46000, 0, "Local"));
        // The server has the bound event.
        syncstate::SetHref(dm.ADOConnection, sent, "/w/sent.ics");
        syncstate::Confirm(dm.ADOConnection, sent, "\"e1\"", 1);
        QCOMPARE(Recorded(dm, "Work"), QStringLiteral("0/0"));
        step(dm, sent, local);
        const bool renamed = syncstate::FindBinding(dm.ADOConnection, "Office").has_value();
        QCOMPARE(Recorded(dm, renamed ? "Office" : "Work"), bound);
        QCOMPARE(Recorded(dm, "Local"), other);
    }
};

QTEST_GUILESS_MAIN(TestSyncState)
#include "test_syncstate.moc"
