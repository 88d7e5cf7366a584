#pragma once

// The agenda and the pending alarms as plain text lines, for the command line.

#include <iosfwd>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "store/DataModule.h"

namespace qcal {
class CalendarMemory;
}

namespace qcal::cli {

// One occurrence of an event: the day it falls on and the event's texts.
struct AgendaLine {
    int day = 0;
    TDateTime time = 0;  // the event's begin time of day
    std::string subject;
    std::string layer;
    bool alert = false;
    bool allDay = false;  // shown as "--:--" and before the timed events of its day
    bool operator==(const AgendaLine&) const = default;
};

// "2026-12-10 10:00  Dentist  [Work] !": the day, the begin time (24 hours), the subject, the
// layer, and "!" when the event has an alarm. Line breaks, tabs and other control characters
// in the texts become blanks, so that every occurrence stays on one line.
std::string FormatLine(const AgendaLine& line);
// The same, appended to out.
void AppendLine(std::string& out, const AgendaLine& line);

// The occurrences of the days firstDay .. firstDay + days - 1, ordered by day, then by begin
// time, then as the month view lists them. Like the month view, only events of the active
// layers count unless allLayers is set. Throws platform::DbError.
std::vector<AgendaLine> AgendaLines(TDataMod& dm, int firstDay, int days, bool allLayers);

// The same lines from the calendar in memory, with the layer table layers.
std::vector<AgendaLine> AgendaLines(const CalendarMemory& memory, const arraylayinfo& layers,
                                    int firstDay, int days, bool allLayers);

// Writes the lines of AgendaLines to out, one a line. Throws platform::DbError.
void WriteAgenda(TDataMod& dm, int firstDay, int days, bool allLayers, std::ostream& out);

// The alarms due now, by the alarm window's due test, each on the day of the occurrence that
// made it due, in the same order as the agenda. False when the database failed (reported
// through the data module).
bool PendingLines(TDataMod& dm, std::vector<AgendaLine>& lines);

}  // namespace qcal::cli
