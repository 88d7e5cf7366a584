#pragma once

// A plain, literal version of the occurrence tests: one day at a time, the month table built
// afresh for every day tested. Slow on purpose; the rules of core/ must answer the same.
// Faulty rule fields (interval below 1, mask not seven long, codes outside their tables,
// unusable dates, unknown kind) mean "never occurs, never due", as in core/.

#include "core/Event.h"

namespace reference {

bool OccursOn(const qcal::tfield& e, qcal::TDateTime day);
bool OccursBetween(const qcal::tfield& e, qcal::TDateTime start, qcal::TDateTime end);
qcal::TDateTime DayToShow(const qcal::tfield& e, qcal::TDateTime day);
bool IsDue(const qcal::tfield& e);

}  // namespace reference
