#pragma once

// An INI file with the semantics of the Windows profile functions: sections and keys
// matched without regard to case, order kept, a new key appended to its section, a new
// section to the end, values replaced in place, values read as at most 2047 characters.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qcal::platform {

class ProfileFile {
public:
    // Reads path; a missing or unreadable file is an empty profile.
    explicit ProfileFile(std::string path);

    const std::string& path() const { return path_; }

    std::string readString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Decimal, or hexadecimal after "$" or "0x"/"0X"; anything else gives the default.
    int readInteger(const std::string& section, const std::string& key, int defaultValue) const;
    bool readBool(const std::string& section, const std::string& key, bool defaultValue) const {
        return readInteger(section, key, defaultValue ? 1 : 0) != 0;
    }
    bool hasKey(const std::string& section, const std::string& key) const;

    // Changes the text in memory; save() writes it. An existing key keeps its spelling and
    // its line and becomes "key=value"; a line break in the value is written as a blank.
    // A value that the reader would change (blanks at either end, or enclosed in a pair of
    // quotes) is written inside one more pair of double quotes, so it reads back as given.
    // Comments (";"), blank lines and unknown lines are kept as they are.
    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, int value);
    void writeBool(const std::string& section, const std::string& key, bool value) {
        writeInteger(section, key, value ? 1 : 0);
    }

    // Writes the whole file atomically. False (and the file untouched) on failure.
    bool save(std::string* error = nullptr) const;
    // The file text that save() writes.
    std::string text() const;

    static constexpr std::size_t kMaxValueLength = 2047;

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::string_view line(std::size_t i) const;
    std::size_t findSection(const std::string& section) const;  // header line or npos
    std::size_t sectionEnd(std::size_t header) const;           // next header or end
    std::size_t findKey(const std::string& section, const std::string& key) const;

    std::string path_;
    std::vector<std::string> lines_;
};

// Parses an integer the way the profile reader does; false when it is not a number.
bool ParseProfileInteger(const std::string& text, int& value);

}  // namespace qcal::platform
