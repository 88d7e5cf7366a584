#pragma once

// Writing every event of the table to an iCalendar file.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Event.h"
#include "store/DataModule.h"

namespace qcal::ical {

// The side table that remembers the UID of every event that came from another calendar, so
// that importing a file again finds its events and exporting gives them their UID back.
inline constexpr const char* kUidTable = "icaluid";
// The archive time of an archived event, a local date-time ("20261208T093000").
inline constexpr const char* kArchivedProperty = "X-QUENLARIS-ARCHIVED";
// The begin date of a repeating event whose first occurrence (the DTSTART) lies later
// ("20260101"); an import from here gives the event its range back.
inline constexpr const char* kRangeBeginProperty = "X-QUENLARIS-RANGE-BEGIN";
// The moment (UTC) of the last acknowledged alarm, as other calendar programs keep it.
inline constexpr const char* kLastAckProperty = "X-MOZ-LASTACK";
// Starts the COMMENT that tells how an exported rule differs from the event's own rule; an
// import leaves such comments out of the note.
inline constexpr const char* kRuleCommentPrefix = "Quenlaris Calendar: ";

// The random value of this program folder that makes its UIDs its own, kept in setup.ini
// (section "ICalendar", key "UidKey"). Made and saved when create is set and there is none;
// empty when there is none (or it could not be saved).
std::string FolderUidKey(TDataMod& dm, bool create);

// "<id>-<key>@quenlaris-calendar", and the id back from such a UID when key matches.
std::string MakeUid(std::int64_t id, const std::string& key);
std::int64_t IdOfUid(const std::string& uid, const std::string& key);

// One event as a VEVENT (from "BEGIN:VEVENT" to "END:VEVENT", CRLF line ends); an empty uid
// gives MakeUid(event.id, key). stamp is the DTSTAMP, a moment in UTC.
std::string EventToVEvent(const tfield& event, const std::string& uid, const std::string& key,
                          TDateTime stamp);

struct ExportResult {
    bool ok = false;
    std::string error;                      // why nothing was written
    int events = 0;                         // VEVENTs written
    std::vector<std::string> approximated;  // "subject: why" for each rule written as the closest
};

// A whole VCALENDAR with every event of the table.
ExportResult ExportCalendarText(TDataMod& dm, std::string& text);
// One event with the occurrences detached from it as one VCALENDAR, as a calendar server
// keeps it; an archived event also carries its archive time as the last acknowledged alarm.
ExportResult ExportSeriesText(TDataMod& dm, std::int64_t id, std::string& text);
// Writes it to path in one atomic step. A path that is one of the program's own data files
// (TDataMod::OwnFileAt) is refused and nothing is written.
ExportResult ExportIcsFile(TDataMod& dm, const std::string& path);

}  // namespace qcal::ical
