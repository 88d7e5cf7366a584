#pragma once

// What the layer actions ask of the event table: rename a layer in every event, count the
// events of a layer. Failures are reported through the data module and answered, never thrown.

#include <cstdint>
#include <optional>
#include <string>

#include "store/DataModule.h"

namespace qcal {

// "update eventtable set layername='new' where layername='old'"
std::string LayerRenameStatement(const std::string& oldName, const std::string& newName);
// "SELECT count(*) AS total FROM eventtable WHERE layername='name'"
std::string LayerCountStatement(const std::string& name);

// Gives every event of the layer oldName the name newName. False when the statement failed;
// the events then keep their layer.
bool RenameLayerInEvents(TDataMod& dm, const std::string& oldName, const std::string& newName);

// The layer at index renamed to entry.name, with entry's colour and check mark: the events
// first, in one transaction, then the settings file. An interruption between the two leaves
// the events under the new name, which the next LoadLayers adds back to the table, so they
// are never hidden. False when either step failed (reported); events and table are then as
// they were.
bool RenameLayer(TDataMod& dm, std::size_t index, const tlayinfo& entry);

// The number of events of the layer, or nothing when they could not be counted.
std::optional<std::int64_t> CountLayerEvents(TDataMod& dm, const std::string& name);

}  // namespace qcal
