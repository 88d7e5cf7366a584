#pragma once

// One occurrence of a repeating event: taken out of its series, or detached from it as an
// event of its own that replaces it.

#include <cstdint>
#include <vector>

#include "core/Event.h"
#include "store/DataModule.h"

namespace qcal {

// The once event that replaces the occurrence of series on day, before the user edits it:
// the series' texts, times and alarm on that day. It is archived already when the series'
// alarm for that day was archived, so detaching never rings a second time.
tfield DetachedOccurrence(const tfield& series, int day);

// Takes day out of the series with this id (an exception day). False when the row is gone or
// the database failed (reported).
bool TakeOutOccurrence(TDataMod& dm, std::int64_t seriesId, int day);

// Stores occurrence (made by DetachedOccurrence, then edited) as a new event and takes its
// day out of its series, in one transaction. Answers the new id, 0 on a failure (reported).
std::int64_t StoreDetachedOccurrence(TDataMod& dm, const tfield& occurrence);

// The series with this id and the occurrences detached from it, for deleting them together.
std::vector<std::int64_t> SeriesWithDetached(TDataMod& dm, std::int64_t seriesId);

}  // namespace qcal
