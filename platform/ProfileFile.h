#pragma once

// An INI file with the semantics of the Windows profile functions: sections and keys
// matched without regard to case, order kept, a new key appended to its section, a new
// section to the end, values replaced in place, values read as at most 2047 characters.
//
// The file is read and indexed once, when the object is made; reads and writes then work on
// the text in memory at the cost of a hash look-up, and save() writes it back in one atomic
// step. Load, read or change as many keys as needed, save once.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
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

    // The lines of one section, its header first. The first block holds the lines before
    // the first header; it has no header and none of its keys can be read.
    struct Block {
        std::vector<std::string> lines;
        // Lower-case key -> its line; the first of keys spelt alike.
        std::unordered_map<std::string, std::size_t> keys;
        // The last line that holds a key or other text; a new key goes after it.
        std::size_t lastEntry = 0;
        // Some key stands in more than one line.
        bool duplicates = false;

        // Records lines[index], not a header, as a key or other entry.
        void note(std::size_t index, std::string_view line);
    };

    // The block of section, or npos.
    std::size_t findBlock(const std::string& section) const;
    // The line of key in block b, or npos.
    std::size_t findLine(std::size_t b, const std::string& key) const;

    std::string path_;
    std::vector<Block> blocks_;
    // Lower-case section name -> its block; the first of sections spelt alike.
    std::unordered_map<std::string, std::size_t> sections_;
    // The last key found: settings are mostly read and written in the order they stand in
    // the file, so the line after it is tried first.
    mutable std::size_t lastBlock_ = npos;
    mutable std::size_t lastLine_ = 0;
};

// Parses an integer the way the profile reader does; false when it is not a number.
bool ParseProfileInteger(const std::string& text, int& value);

}  // namespace qcal::platform
