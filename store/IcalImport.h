#pragma once

// Reading the events of an iCalendar file into the table.

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Event.h"
#include "store/DataModule.h"

namespace qcal::ical {

// Files larger than this are refused before they are read.
inline constexpr std::size_t kMaxFileSize = 256u * 1024 * 1024;
// Deeper nesting of BEGIN/END blocks than this is refused (a calendar needs three).
inline constexpr int kMaxNesting = 8;
// Longer texts are cut (at a character boundary): a subject, and a content or note.
inline constexpr std::size_t kMaxSubjectBytes = 1000;
inline constexpr std::size_t kMaxTextBytes = 1024 * 1024;

// One VEVENT as it will be stored.
struct ImportedEvent {
    tfield event;  // id 0
    std::string uid;
    std::vector<std::string> changes;  // how the stored event differs from the file's
    // An override of one occurrence of the series with the same UID (RECURRENCE-ID): the
    // local day of the occurrence it replaces; cancelled when it only takes it out.
    int recurrenceDay = 0;
    bool cancelled = false;
    // A series whose start (DTSTART) falls on a day its rule does not give: the local day of
    // that first occurrence, which is stored as a one-time event detached from the series.
    int startDay = 0;
};

struct ParsedCalendar {
    bool ok = false;
    std::string error;  // why the text cannot be read at all
    std::vector<ImportedEvent> events;
    int skipped = 0;
    std::vector<std::string> details;     // one line for each skipped VEVENT
    std::set<std::string> skippedSeries;  // the UIDs of the skipped events (not overrides)
};

// Reads the VEVENTs of an iCalendar text. Events without a layer get defaultLayer.
ParsedCalendar ParseCalendar(std::string_view text, const std::string& defaultLayer);

struct ImportResult {
    bool ok = false;  // false: nothing was added or changed; error says why
    std::string error;
    int imported = 0;   // events added, or updated because the file has them under their UID
    int changed = 0;    // of the imported, those kept with a change (see details)
    int unchanged = 0;  // already in the calendar as the file has them
    int skipped = 0;    // not stored: not readable, or not events
    std::vector<std::string> details;
    std::vector<std::string> newLayers;  // layers made for the file's categories
    // "N events imported, M changed (see details), K skipped", with ", U unchanged" before
    // the skipped when some were already in the calendar
    std::string Summary() const;
    // The details, one a line.
    std::string DetailText() const;
};

// Stores the events of a text in one transaction: all of them, or none when the database
// fails part-way. Events found by UID (exported from this folder, or imported before) are
// updated instead of added. Missing layers are added to the layer table and saved.
ImportResult ImportCalendarText(TDataMod& dm, std::string_view text);
ImportResult ImportIcsFile(TDataMod& dm, const std::string& path);
// The text of an iCalendar file, refused when it cannot be read or is larger than
// kMaxFileSize; false with the message in error.
bool ReadIcsFile(const std::string& path, std::string& text, std::string& error);

}  // namespace qcal::ical
