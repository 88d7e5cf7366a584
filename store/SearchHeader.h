#pragma once

// The widths of the search result list's header sections, kept in setup.ini so that a user's
// column widths survive a restart.

#include <array>
#include <string>

namespace qcal {

inline constexpr int kSearchSectionCount = 5;
using SearchSectionWidths = std::array<int, kSearchSectionCount>;

// "Begin Time", "Subject", "End Time", "last Archive", "Repeat Type" as first laid out. The
// subject takes whatever the others leave of the list's width.
inline constexpr SearchSectionWidths kSearchSectionDefaults{120, 50, 120, 120, 170};
inline constexpr int kSearchSubjectSection = 1;
// Widths outside this range are not taken from the file.
inline constexpr int kMinSearchSectionWidth = 8;
inline constexpr int kMaxSearchSectionWidth = 4000;

// The widths stored in the settings file at iniPath; a missing or unusable value gives its
// default. The subject's width is never stored.
SearchSectionWidths LoadSearchSectionWidths(const std::string& iniPath);
// Writes every width but the subject's; false when the file cannot be written.
bool SaveSearchSectionWidths(const std::string& iniPath, const SearchSectionWidths& widths);

}  // namespace qcal
