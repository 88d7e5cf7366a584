#include "store/LayerEvents.h"

#include "platform/Sqlite.h"

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
        dm.ADOConnection.exec(LayerRenameStatement(oldName, newName));
        return true;
    } catch (const platform::DbError& error) {
        dm.Errors().ShowError(error.what());
        return false;
    }
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
