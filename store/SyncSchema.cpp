// The tables of the synchronisation and the triggers that record every change of an event of a
// bound layer in the same transaction as the change. Kept apart from the rest of the
// synchronisation state, so that opening the database does not bring in the iCalendar code.

#include "store/SyncState.h"
#include "store/Transaction.h"

namespace qcal::syncstate {

// A detached occurrence travels inside its series' resource.
std::string IsOccurrenceTest(const std::string& row) {
    std::string text = "(%1.seriesId<>0 AND %1.repeatType=0)";
    for (std::size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1")) {
        text.replace(at, 2, row);
    }
    return text;
}

namespace {

const std::string& Schema() {
    static const std::string kBound =
        " EXISTS (SELECT 1 FROM syncbinding WHERE layer=new.layername)";
    static const std::vector<std::string> statements = {
        "CREATE TABLE IF NOT EXISTS syncbinding (layer TEXT PRIMARY KEY, url TEXT NOT NULL, "
        "user TEXT NOT NULL DEFAULT '', allowUnencrypted INTEGER NOT NULL DEFAULT 0, "
        "fingerprint TEXT NOT NULL DEFAULT '', lastSync TEXT NOT NULL DEFAULT '', "
        "lastStatus TEXT NOT NULL DEFAULT '', token TEXT NOT NULL DEFAULT '')",
        "CREATE TABLE IF NOT EXISTS syncitem (eventId INTEGER PRIMARY KEY, layer TEXT NOT NULL, "
        "href TEXT NOT NULL DEFAULT '', etag TEXT NOT NULL DEFAULT '', "
        "dirty INTEGER NOT NULL DEFAULT 0, localOnly INTEGER NOT NULL DEFAULT 0, "
        "lossy INTEGER NOT NULL DEFAULT 0)",
        "CREATE INDEX IF NOT EXISTS syncitem_href ON syncitem (layer, href)",
        "CREATE TABLE IF NOT EXISTS syncdeleted (id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "layer TEXT NOT NULL, href TEXT NOT NULL, etag TEXT NOT NULL DEFAULT '')",
        "CREATE TRIGGER IF NOT EXISTS syncitem_insert AFTER INSERT ON eventtable BEGIN "
        "UPDATE syncitem SET dirty=dirty+1 WHERE " +
            IsOccurrenceTest("new") +
            " AND eventId=new.seriesId; "
            "INSERT OR IGNORE INTO syncitem (eventId, layer, dirty) SELECT new.id, "
            "new.layername, 1 WHERE NOT " +
            IsOccurrenceTest("new") + " AND" + kBound + "; END",
        "CREATE TRIGGER IF NOT EXISTS syncitem_update AFTER UPDATE ON eventtable BEGIN "
        "UPDATE syncitem SET dirty=dirty+1 WHERE " +
            IsOccurrenceTest("new") +
            " AND eventId=new.seriesId; "
            "INSERT INTO syncdeleted (layer, href, etag) SELECT layer, href, etag FROM syncitem "
            "WHERE eventId=old.id AND layer<>new.layername AND href<>'' AND localOnly=0; "
            "DELETE FROM syncitem WHERE eventId=old.id AND layer<>new.layername; "
            "UPDATE syncitem SET dirty=dirty+1 WHERE eventId=new.id; "
            "INSERT OR IGNORE INTO syncitem (eventId, layer, dirty) SELECT new.id, "
            "new.layername, 1 WHERE NOT " +
            IsOccurrenceTest("new") + " AND" + kBound + "; END",
        "CREATE TRIGGER IF NOT EXISTS syncitem_delete AFTER DELETE ON eventtable BEGIN "
        "UPDATE syncitem SET dirty=dirty+1 WHERE " +
            IsOccurrenceTest("old") +
            " AND eventId=old.seriesId; "
            "INSERT INTO syncdeleted (layer, href, etag) SELECT layer, href, etag FROM syncitem "
            "WHERE eventId=old.id AND href<>'' AND localOnly=0; "
            "DELETE FROM syncitem WHERE eventId=old.id; END",
    };
    static const std::string joined = [] {
        std::string all;
        for (const std::string& s : statements) {
            all += s + "\n;\n";
        }
        return all;
    }();
    return joined;
}

std::vector<std::string> SchemaStatements() {
    std::vector<std::string> out;
    const std::string& all = Schema();
    std::size_t begin = 0;
    for (std::size_t at = all.find("\n;\n"); at != std::string::npos;
         at = all.find("\n;\n", begin)) {
        out.push_back(all.substr(begin, at - begin));
        begin = at + 3;
    }
    return out;
}

}  // namespace

void EnsureTables(platform::Database& db) {
    Transaction transaction(db);
    for (const std::string& statement : SchemaStatements()) {
        db.exec(statement);
    }
    transaction.commit();
}

}  // namespace qcal::syncstate
