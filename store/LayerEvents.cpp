#include "store/LayerEvents.h"

#include "platform/Sqlite.h"
#include "store/SyncState.h"
#include "store/Transaction.h"

namespace qcal {

std::string LayerRenameStatement(const std::string& oldName, const std::string& newName) {
    return "update eventtable set layername=" + platform::SqlLiteral(newName) +
           " where layername=" + platform::SqlLiteral(oldName);
}

std::string LayerCountStatement(const std::string& name) {
    return "SELECT count(*) AS total FROM eventtable WHERE layername=" + platform::SqlLiteral(name);
}

bool RenameLayerInEvents(TDataMod& dm, const std::string& oldName, const std::string& newName) {
    try {
        Transaction transaction(dm.ADOConnection);
        // A bound layer stays bound under its new name; its events stay on the server.
        syncstate::RenameLayer(dm.ADOConnection, oldName, newName);
        dm.ADOConnection.exec(LayerRenameStatement(oldName, newName));
        transaction.commit();
        return true;
    } catch (const platform::DbError& error) {
        dm.Errors().ShowError(error.what());
        return false;
    }
}

bool RenameLayer(TDataMod& dm, std::size_t index, const tlayinfo& entry) {
    if (index >= dm.Layers.size()) {
        return false;
    }
    const arraylayinfo before = dm.Layers;
    const std::string oldName = before[index].name;
    if (!RenameLayerInEvents(dm, oldName, entry.name)) {
        return false;
    }
    dm.Layers[index] = entry;
    if (dm.SaveLayers()) {
        return true;
    }
    // The file keeps the old name: so do the events. No other event has the new name, since
    // every name of an event is a layer and layer names are unique.
    dm.Layers = before;
    if (oldName != entry.name) {
        RenameLayerInEvents(dm, entry.name, oldName);
    }
    return false;
}

std::optional<std::int64_t> CountLayerEvents(TDataMod& dm, const std::string& name) {
    platform::Query query(dm.ADOConnection);
    query.setSql(LayerCountStatement(name));
    try {
        query.open();
        return query.asInteger("total");
    } catch (const platform::DbError& error) {
        dm.Errors().ShowError(error.what());
        return std::nullopt;
    }
}

}  // namespace qcal
