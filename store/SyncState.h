#pragma once

// What user.mdb keeps for the layers bound to calendars on a server: the bindings, the server's
// address and ETag of every event of a bound layer, the collection's sync token and the
// deletions not yet sent. The event table's triggers record every local change of a bound
// layer in the same transaction as the change itself, whoever writes it. No Qt.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Sqlite.h"
#include "store/DataModule.h"

namespace qcal::syncstate {

// Makes the tables and triggers a file lacks (a writing connection only).
void EnsureTables(platform::Database& db);
// The test "this row is a detached occurrence" on the row named row (new, old, a table).
std::string IsOccurrenceTest(const std::string& row);

struct BindingRow {
    std::string layer;
    std::string url;  // the calendar collection, ending in "/"
    std::string user;
    bool allowUnencrypted = false;
    std::string fingerprint;  // SHA-256 of an accepted certificate, hex
    std::string lastSync;     // ISO 8601 UTC, empty: never
    std::string lastStatus;
    std::string token;  // the collection's sync token; empty: fetch everything
};

// Every binding, in the order of their layers' names; none when the file has no table.
std::vector<BindingRow> LoadBindings(platform::Database& db);
std::optional<BindingRow> FindBinding(platform::Database& db, const std::string& layer);
// Adds or replaces the binding. A new binding marks every event of the layer for upload.
void SaveBinding(platform::Database& db, const BindingRow& row);
// Forgets the binding and what was known of its events on the server.
void DeleteBinding(platform::Database& db, const std::string& layer);
// A bound layer renamed: its binding and bookkeeping go with it (inside the rename's
// transaction, before the events are renamed).
void RenameLayer(platform::Database& db, const std::string& oldName, const std::string& newName);
void SetToken(platform::Database& db, const std::string& layer, const std::string& token);
void SetResult(platform::Database& db, const std::string& layer, const std::string& when,
               const std::string& status);

// One event of a bound layer (a series stands for its detached occurrences too).
struct Item {
    std::int64_t eventId = 0;
    std::string href;        // the resource's path on the server; empty: never sent
    std::string etag;        // empty: not known (sent, not confirmed)
    std::int64_t dirty = 0;  // local changes not yet sent (a count)
    bool localOnly = false;  // a conflict copy: never sent
    bool lossy = false;      // the server's copy holds more than the event
};
std::vector<Item> Items(platform::Database& db, const std::string& layer);
std::optional<Item> ItemOfEvent(platform::Database& db, std::int64_t eventId);
std::optional<Item> ItemOfHref(platform::Database& db, const std::string& layer,
                               const std::string& href);

struct Deletion {
    std::int64_t id = 0;
    std::string href;
    std::string etag;
};
std::vector<Deletion> Deletions(platform::Database& db, const std::string& layer);
void ForgetDeletion(platform::Database& db, std::int64_t id);
// Whether any change of a bound layer waits to be sent.
bool ChangesWaiting(platform::Database& db);

// Records that a resource is about to be sent to href (before the request, so that a run cut
// short finds it on the server afterwards).
void SetHref(platform::Database& db, std::int64_t eventId, const std::string& href);
// The server confirmed the state sent while the item had dirtyWhenSent changes: they are
// clean now unless more came meanwhile.
void Confirm(platform::Database& db, std::int64_t eventId, const std::string& etag,
             std::int64_t dirtyWhenSent);

// What became of one server resource in the layer.
struct Applied {
    enum class Kind {
        Unchanged,  // the layer already had it
        Stored,     // added or updated
        Conflict,   // the server's version replaced a local change kept as a conflict copy
        Skipped,    // nothing the program can keep (no event in it)
    };
    Kind kind = Kind::Unchanged;
    std::string subject;
    bool lossy = false;  // kept with changes (the details say which)
    std::vector<std::string> details;
};

// Stores the server's resource in the layer, in one transaction with its bookkeeping. A local
// change not yet sent of the same event loses against the server's version and is kept as a
// local event "(conflict) subject"; an event deleted here that was changed there comes back.
Applied ApplyServerResource(TDataMod& dm, const std::string& layer, const std::string& href,
                            const std::string& etag, const std::string& text);
// The same for several resources in one transaction: all of them or none (DbError).
struct ServerCopy {
    std::string href;
    std::string etag;
    std::string text;
};
std::vector<Applied> ApplyServerResources(TDataMod& dm, const std::string& layer,
                                          const std::vector<ServerCopy>& copies);
// The server no longer has href: its event goes, unless it was changed here since (then it is
// sent again as a new event). Answers whether an event was deleted.
bool ApplyServerDeletion(TDataMod& dm, const std::string& layer, const std::string& href);

// The resource of an item as the server is to keep it, and the UID it carries.
bool ResourceText(TDataMod& dm, std::int64_t eventId, std::string& text, std::string& uid);

}  // namespace qcal::syncstate
