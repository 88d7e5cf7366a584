#pragma once

#include <string>

namespace qcal::platform {

// Replaces path with content: writes a temporary file in the same folder, flushes it to
// disk and renames it over path. On failure the old file is untouched, the temporary file
// is removed and false is returned (with the reason in *error when given). An existing file
// that is not writable (read-only by its mode) is refused and left as it is.
bool WriteFileAtomically(const std::string& path, const std::string& content,
                         std::string* error = nullptr);

// Whole file as bytes; nullopt-like: returns false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace qcal::platform
