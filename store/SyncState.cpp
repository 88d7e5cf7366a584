#include "store/SyncState.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/Rules.h"
#include "store/EventLists.h"
#include "store/IcalExport.h"
#include "store/IcalImport.h"
#include "store/Transaction.h"

namespace qcal::syncstate {

namespace {

using platform::SqlLiteral;

bool HasTable(platform::Database& db, const char* name) {
    platform::Query q(db);
    q.setSql(std::string("select name from sqlite_master where type='table' and name=") +
             SqlLiteral(name));
    q.open();
    return !q.eof();
}

BindingRow ReadBinding(const platform::Query& q) {
    BindingRow row;
    row.layer = q.asString("layer");
    row.url = q.asString("url");
    row.user = q.asString("user");
    row.allowUnencrypted = q.asBool("allowUnencrypted");
    row.fingerprint = q.asString("fingerprint");
    row.lastSync = q.asString("lastSync");
    row.lastStatus = q.asString("lastStatus");
    row.token = q.asString("token");
    return row;
}

Item ReadItem(const platform::Query& q) {
    Item item;
    item.eventId = q.asInteger("eventId");
    item.href = q.asString("href");
    item.etag = q.asString("etag");
    item.dirty = q.asInteger("dirty");
    item.localOnly = q.asBool("localOnly");
    item.lossy = q.asBool("lossy");
    return item;
}

// A resource read as the layer would keep it: the series first, then its occurrences by day.
struct Resource {
    bool ok = false;
    std::string uid;
    tfield series;
    std::vector<tfield> occurrences;  // seriesDay set
    std::set<int> cancelled;
    std::vector<std::string> changes;
};

Resource ReadResource(std::string_view text, const std::string& layer) {
    Resource r;
    ical::ParsedCalendar parsed = ical::ParseCalendar(text, layer);
    if (!parsed.ok) {
        return r;
    }
    for (ical::ImportedEvent& item : parsed.events) {
        if (item.recurrenceDay == 0 && !r.ok) {
            r.ok = true;
            r.uid = item.uid;
            r.series = item.event;
            for (std::string& change : item.changes) {
                r.changes.push_back(std::move(change));
            }
        }
    }
    if (!r.ok) {
        return r;
    }
    r.series.layername = layer;
    std::set<int> days;
    for (ical::ImportedEvent& item : parsed.events) {
        if (item.recurrenceDay == 0 || item.uid != r.uid ||
            !days.insert(item.recurrenceDay).second) {
            continue;
        }
        if (r.series.repeatType != kRepeatNone && tsatisfy(r.series).OccursOn(item.recurrenceDay)) {
            r.series.exceptDays.push_back(item.recurrenceDay);
        }
        if (item.cancelled) {
            r.cancelled.insert(item.recurrenceDay);
            continue;
        }
        item.event.layername = layer;
        item.event.seriesDay = item.recurrenceDay;
        r.occurrences.push_back(item.event);
        for (std::string& change : item.changes) {
            r.changes.push_back(std::move(change));
        }
    }
    std::sort(r.series.exceptDays.begin(), r.series.exceptDays.end());
    r.series.exceptDays.erase(std::unique(r.series.exceptDays.begin(), r.series.exceptDays.end()),
                              r.series.exceptDays.end());
    r.changes.insert(r.changes.end(), parsed.details.begin(), parsed.details.end());
    return r;
}

// The parts two copies of an event must share to be the same event.
tfield Comparable(tfield e) {
    e.id = 0;
    e.seriesId = 0;
    e.layerColor = 0;
    return e;
}

bool SameContent(const Resource& a, const Resource& b) {
    if (!a.ok || !b.ok || Comparable(a.series) != Comparable(b.series) ||
        a.occurrences.size() != b.occurrences.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.occurrences.size(); ++i) {
        if (Comparable(a.occurrences[i]) != Comparable(b.occurrences[i])) {
            return false;
        }
    }
    return true;
}

class Writer {
public:
    explicit Writer(TDataMod& dm) : dm_(dm), q_(dm.ADOConnection) {}

    bool Load(std::int64_t id, tfield& e) {
        q_.setSql("select * from eventtable where id=" + std::to_string(id));
        q_.open();
        const bool found = !q_.eof();
        if (found) {
            TransferRow(TransferDirection::RowToRecord, e, q_, dm_.Layers);
        }
        q_.close();
        return found;
    }
    std::vector<tfield> Occurrences(std::int64_t id) {
        std::vector<tfield> out;
        q_.setSql("select * from eventtable where seriesId=" + std::to_string(id) +
                  " and repeatType=0 order by seriesDay");
        for (q_.open(); !q_.eof(); q_.next()) {
            TransferRow(TransferDirection::RowToRecord, out.emplace_back(), q_, dm_.Layers);
        }
        q_.close();
        return out;
    }
    std::int64_t Add(tfield& e) {
        q_.setSql("select * from eventtable where id=0");
        q_.open();
        q_.append();
        TransferRow(TransferDirection::RecordToRow, e, q_, dm_.Layers);
        q_.post();
        q_.close();
        e.id = dm_.ADOConnection.lastInsertRowId();
        return e.id;
    }
    void Update(tfield& e) {
        q_.setSql("select * from eventtable where id=" + std::to_string(e.id));
        q_.open();
        if (q_.eof()) {
            throw platform::DbError("the event is gone");
        }
        q_.edit();
        TransferRow(TransferDirection::RecordToRow, e, q_, dm_.Layers);
        q_.post();
        q_.close();
    }
    // The series with id and its occurrences as the resource has them.
    void Store(Resource& r, std::int64_t id) {
        if (id == 0) {
            Add(r.series);
        } else {
            tfield stored;
            Load(id, stored);
            r.series.id = id;
            // An archive is never undone by a copy that has not seen it.
            r.series.lastFileTime = std::max(r.series.lastFileTime, stored.lastFileTime);
            Update(r.series);
        }
        std::map<int, tfield> existing;
        for (tfield& o : Occurrences(r.series.id)) {
            existing[o.seriesDay] = o;
        }
        for (tfield& o : r.occurrences) {
            o.seriesId = r.series.id;
            if (const auto it = existing.find(o.seriesDay); it != existing.end()) {
                o.id = it->second.id;
                o.lastFileTime = std::max(o.lastFileTime, it->second.lastFileTime);
                Update(o);
                existing.erase(it);
            } else {
                Add(o);
            }
        }
        for (const auto& [day, o] : existing) {
            dm_.ADOConnection.exec("delete from eventtable where id=" + std::to_string(o.id));
        }
    }

private:
    TDataMod& dm_;
    platform::Query q_;
};

// The local copy of the item as a resource.
Resource LocalResource(TDataMod& dm, std::int64_t id, const std::string& layer) {
    std::string text;
    std::string uid;
    if (!ResourceText(dm, id, text, uid)) {
        return {};
    }
    return ReadResource(text, layer);
}

void RecordUid(platform::Database& db, const std::string& uid, std::int64_t id,
               const std::string& key) {
    if (uid.empty() || ical::IdOfUid(uid, key) == id) {
        return;
    }
    db.exec(std::string("create table if not exists ") + ical::kUidTable +
            " (uid TEXT PRIMARY KEY, eventid INTEGER NOT NULL)");
    db.exec(std::string("insert or replace into ") + ical::kUidTable + " (uid,eventid) values (" +
            SqlLiteral(uid) + "," + std::to_string(id) + ")");
}

// The event of the layer that has this UID and was never confirmed by the server.
std::int64_t UnsentEventOfUid(platform::Database& db, const std::string& layer,
                              const std::string& uid, const std::string& key) {
    if (uid.empty()) {
        return 0;
    }
    std::int64_t id = ical::IdOfUid(uid, key);
    platform::Query q(db);
    if (id == 0 && HasTable(db, ical::kUidTable)) {
        q.setSql(std::string("select eventid from ") + ical::kUidTable +
                 " where uid=" + SqlLiteral(uid));
        q.open();
        id = q.eof() ? 0 : q.asInteger("eventid");
        q.close();
    }
    if (id == 0) {
        return 0;
    }
    const std::optional<Item> item = ItemOfEvent(db, id);
    q.setSql("select layername from eventtable where id=" + std::to_string(id));
    q.open();
    const bool inLayer = !q.eof() && q.asString("layername") == layer;
    return inLayer && item && item->etag.empty() && !item->localOnly ? id : 0;
}

void Finish(platform::Database& db, std::int64_t id, const std::string& layer,
            const std::string& href, const std::string& etag, bool lossy) {
    db.exec(
        "insert or replace into syncitem (eventId, layer, href, etag, dirty, localOnly, lossy) "
        "values (" +
        std::to_string(id) + "," + SqlLiteral(layer) + "," + SqlLiteral(href) + "," +
        SqlLiteral(etag) + ",0,0," + (lossy ? "1" : "0") + ")");
}

}  // namespace

std::vector<BindingRow> LoadBindings(platform::Database& db) {
    std::vector<BindingRow> rows;
    if (!HasTable(db, "syncbinding")) {
        return rows;
    }
    platform::Query q(db);
    q.setSql("select * from syncbinding order by layer");
    for (q.open(); !q.eof(); q.next()) {
        rows.push_back(ReadBinding(q));
    }
    return rows;
}

std::optional<BindingRow> FindBinding(platform::Database& db, const std::string& layer) {
    for (BindingRow& row : LoadBindings(db)) {
        if (row.layer == layer) {
            return std::move(row);
        }
    }
    return std::nullopt;
}

void SaveBinding(platform::Database& db, const BindingRow& row) {
    Transaction transaction(db);
    const bool known = FindBinding(db, row.layer).has_value();
    db.exec(
        "insert or replace into syncbinding (layer, url, user, allowUnencrypted, fingerprint, "
        "lastSync, lastStatus, token) values (" +
        SqlLiteral(row.layer) + "," + SqlLiteral(row.url) + "," + SqlLiteral(row.user) + "," +
        (row.allowUnencrypted ? "1" : "0") + "," + SqlLiteral(row.fingerprint) + "," +
        SqlLiteral(row.lastSync) + "," + SqlLiteral(row.lastStatus) + "," + SqlLiteral(row.token) +
        ")");
    if (!known) {
        db.exec(
            "insert or ignore into syncitem (eventId, layer, dirty) select id, layername, 1 "
            "from eventtable where layername=" +
            SqlLiteral(row.layer) + " and not " + IsOccurrenceTest("eventtable"));
    }
    transaction.commit();
}

void DeleteBinding(platform::Database& db, const std::string& layer) {
    Transaction transaction(db);
    for (const char* table : {"syncbinding", "syncitem", "syncdeleted"}) {
        db.exec(std::string("delete from ") + table + " where layer=" + SqlLiteral(layer));
    }
    transaction.commit();
}

void RenameLayer(platform::Database& db, const std::string& oldName, const std::string& newName) {
    if (oldName == newName || !HasTable(db, "syncbinding")) {
        return;
    }
    for (const char* table : {"syncbinding", "syncitem", "syncdeleted"}) {
        db.exec(std::string("update ") + table + " set layer=" + SqlLiteral(newName) +
                " where layer=" + SqlLiteral(oldName));
    }
}

void SetToken(platform::Database& db, const std::string& layer, const std::string& token) {
    db.exec("update syncbinding set token=" + SqlLiteral(token) +
            " where layer=" + SqlLiteral(layer));
}

void SetResult(platform::Database& db, const std::string& layer, const std::string& when,
               const std::string& status) {
    db.exec("update syncbinding set lastStatus=" + SqlLiteral(status) +
            (when.empty() ? std::string() : ", lastSync=" + SqlLiteral(when)) +
            " where layer=" + SqlLiteral(layer));
}

std::vector<Item> Items(platform::Database& db, const std::string& layer) {
    std::vector<Item> items;
    platform::Query q(db);
    q.setSql("select * from syncitem where layer=" + SqlLiteral(layer) + " order by eventId");
    for (q.open(); !q.eof(); q.next()) {
        items.push_back(ReadItem(q));
    }
    return items;
}

std::optional<Item> ItemOfEvent(platform::Database& db, std::int64_t id) {
    platform::Query q(db);
    q.setSql("select * from syncitem where eventId=" + std::to_string(id));
    q.open();
    if (q.eof()) {
        return std::nullopt;
    }
    return ReadItem(q);
}

std::optional<Item> ItemOfHref(platform::Database& db, const std::string& layer,
                               const std::string& href) {
    platform::Query q(db);
    q.setSql("select * from syncitem where layer=" + SqlLiteral(layer) +
             " and href=" + SqlLiteral(href));
    q.open();
    if (q.eof()) {
        return std::nullopt;
    }
    return ReadItem(q);
}

std::vector<Deletion> Deletions(platform::Database& db, const std::string& layer) {
    std::vector<Deletion> out;
    platform::Query q(db);
    q.setSql("select * from syncdeleted where layer=" + SqlLiteral(layer) + " order by id");
    for (q.open(); !q.eof(); q.next()) {
        out.push_back({q.asInteger("id"), q.asString("href"), q.asString("etag")});
    }
    return out;
}

void ForgetDeletion(platform::Database& db, std::int64_t id) {
    db.exec("delete from syncdeleted where id=" + std::to_string(id));
}

bool ChangesWaiting(platform::Database& db) {
    if (!HasTable(db, "syncitem")) {
        return false;
    }
    platform::Query q(db);
    q.setSql(
        "select (select count(*) from syncitem where dirty>0 and localOnly=0) + "
        "(select count(*) from syncdeleted) as waiting");
    q.open();
    return q.asInteger("waiting") > 0;
}

void SetHref(platform::Database& db, std::int64_t eventId, const std::string& href) {
    db.exec("update syncitem set href=" + SqlLiteral(href) +
            ", etag='' where eventId=" + std::to_string(eventId));
}

void Confirm(platform::Database& db, std::int64_t eventId, const std::string& etag,
             std::int64_t dirtyWhenSent) {
    db.exec("update syncitem set etag=" + SqlLiteral(etag) +
            ", dirty=case when dirty=" + std::to_string(dirtyWhenSent) +
            " then 0 else dirty end, lossy=0 where eventId=" + std::to_string(eventId));
}

bool ResourceText(TDataMod& dm, std::int64_t eventId, std::string& text, std::string& uid) {
    const ical::ExportResult result = ical::ExportSeriesText(dm, eventId, text);
    if (!result.ok || result.events == 0) {
        return false;
    }
    const std::size_t at = text.find("\r\nUID:");
    if (at == std::string::npos) {
        return false;
    }
    // A long UID is folded over several lines.
    std::size_t end = text.find("\r\n", at + 6);
    uid = text.substr(at + 6, end - at - 6);
    while (end != std::string::npos && end + 2 < text.size() &&
           (text[end + 2] == ' ' || text[end + 2] == '\t')) {
        const std::size_t next = text.find("\r\n", end + 3);
        uid += text.substr(end + 3, next - end - 3);
        end = next;
    }
    return true;
}

namespace {

Applied ApplyOne(TDataMod& dm, const std::string& key, const std::string& layer,
                 const std::string& href, const std::string& etag, const std::string& text) {
    Applied applied;
    Resource server = ReadResource(text, layer);
    if (!server.ok) {
        applied.kind = Applied::Kind::Skipped;
        applied.details.push_back("Skipped " + href + ": it holds no event this calendar keeps.");
        return applied;
    }
    applied.subject = server.series.subject;
    applied.lossy = !server.changes.empty();
    for (const std::string& change : server.changes) {
        applied.details.push_back("Changed \"" + server.series.subject + "\": " + change + ".");
    }
    platform::Database& db = dm.ADOConnection;
    Writer writer(dm);
    std::optional<Item> item = ItemOfHref(db, layer, href);
    if (!item) {
        // Deleted here meanwhile: the same version is still to be deleted; another version
        // was changed there and comes back.
        for (const Deletion& deletion : Deletions(db, layer)) {
            if (deletion.href != href) {
                continue;
            }
            if (deletion.etag == etag && !etag.empty()) {
                applied.kind = Applied::Kind::Unchanged;
                return applied;
            }
            ForgetDeletion(db, deletion.id);
        }
        if (const std::int64_t id = UnsentEventOfUid(db, layer, server.uid, key); id != 0) {
            item = ItemOfEvent(db, id);
        }
    }
    std::int64_t id = item ? item->eventId : 0;
    bool keepDirty = false;
    if (item) {
        if (item->href == href && !etag.empty() && item->etag == etag) {
            applied.kind = Applied::Kind::Unchanged;
            return applied;
        }
        if (item->dirty > 0) {
            const Resource local = LocalResource(dm, id, layer);
            if (SameContent(local, server)) {
                // Sent before, not confirmed: nothing to do but to note the ETag.
                Finish(db, id, layer, href, etag, applied.lossy);
                RecordUid(db, server.uid, id, key);
                applied.kind = Applied::Kind::Unchanged;
                return applied;
            }
            if (item->etag.empty()) {
                // The server has what this program sent before it was changed again here:
                // the change goes on top of it.
                keepDirty = true;
            } else if (local.ok) {
                // Both changed: the server's version wins, the local one stays beside it.
                tfield copy;
                writer.Load(id, copy);
                const std::vector<tfield> occurrences = writer.Occurrences(id);
                copy.id = 0;
                copy.subject = "(conflict) " + copy.subject;
                const std::int64_t copyId = writer.Add(copy);
                for (tfield o : occurrences) {
                    o.id = 0;
                    o.seriesId = copyId;
                    writer.Add(o);
                }
                db.exec("update syncitem set localOnly=1, href='', etag='' where eventId=" +
                        std::to_string(copyId));
                applied.kind = Applied::Kind::Conflict;
            }
        }
    }
    writer.Store(server, id);
    id = server.series.id;
    Finish(db, id, layer, href, etag, applied.lossy);
    if (keepDirty) {
        db.exec("update syncitem set dirty=1 where eventId=" + std::to_string(id));
    }
    RecordUid(db, server.uid, id, key);
    // Occurrences deleted above were the server's to drop.
    db.exec("delete from syncdeleted where layer=" + SqlLiteral(layer) +
            " and href=" + SqlLiteral(href));
    if (applied.kind != Applied::Kind::Conflict) {
        applied.kind = Applied::Kind::Stored;
    }
    return applied;
}

}  // namespace

std::vector<Applied> ApplyServerResources(TDataMod& dm, const std::string& layer,
                                          const std::vector<ServerCopy>& copies) {
    std::vector<Applied> out;
    const std::string key = ical::FolderUidKey(dm, true);
    Transaction transaction(dm.ADOConnection);
    for (const ServerCopy& copy : copies) {
        out.push_back(ApplyOne(dm, key, layer, copy.href, copy.etag, copy.text));
    }
    transaction.commit();
    return out;
}

Applied ApplyServerResource(TDataMod& dm, const std::string& layer, const std::string& href,
                            const std::string& etag, const std::string& text) {
    return ApplyServerResources(dm, layer, {{href, etag, text}}).front();
}

bool ApplyServerDeletion(TDataMod& dm, const std::string& layer, const std::string& href) {
    platform::Database& db = dm.ADOConnection;
    Transaction transaction(db);
    const std::optional<Item> item = ItemOfHref(db, layer, href);
    bool deleted = false;
    if (item && item->dirty > 0) {
        // Changed here: it goes back to the server as a new event.
        db.exec("update syncitem set href='', etag='' where eventId=" +
                std::to_string(item->eventId));
    } else if (item) {
        const std::string id = std::to_string(item->eventId);
        db.exec("delete from eventtable where id=" + id + " or (seriesId=" + id +
                " and repeatType=0)");
        db.exec("delete from syncitem where eventId=" + id);
        deleted = true;
    }
    db.exec("delete from syncdeleted where layer=" + SqlLiteral(layer) +
            " and href=" + SqlLiteral(href));
    transaction.commit();
    return deleted;
}

}  // namespace qcal::syncstate
