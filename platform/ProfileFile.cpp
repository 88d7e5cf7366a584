#include "platform/ProfileFile.h"

#include <cstdint>
#include <string_view>
#include <utility>

#include "core/Ascii.h"
#include "platform/AtomicFile.h"

namespace qcal::platform {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// "[name]" with anything after the last "]" ignored; the name trimmed.
bool ParseSection(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return false;
    const std::size_t close = line.rfind(']');
    if (close == std::string_view::npos)
        return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

// A line that belongs to the keys of a section: not blank, not a comment, not a header.
bool IsEntry(std::string_view line) {
    line = Trim(line);
    std::string_view name;
    return !line.empty() && line.front() != ';' && !ParseSection(line, name);
}

// "key=value", both trimmed; the key is everything before the first "=".
bool ParseKey(std::string_view line, std::string_view& key, std::string_view& value) {
    if (!IsEntry(line))
        return false;
    line = Trim(line);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

// Cuts to at most max characters without splitting a UTF-8 sequence.
std::string CutCharacters(std::string_view s, std::size_t max) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == max)
                return std::string(s.substr(0, i));
            ++count;
        }
    }
    return std::string(s);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
    std::string content;
    if (!ReadWholeFile(path_, content))
        return;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::size_t stop = end;
        if (stop > start && content[stop - 1] == '\r')
            --stop;
        lines_.push_back(content.substr(start, stop - start));
        start = end + 1;
    }
}

std::string_view ProfileFile::line(std::size_t i) const {
    std::string_view s = lines_[i];
    // A file saved by an editor that marks UTF-8 still has its first section.
    if (i == 0 && s.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        s.remove_prefix(kUtf8Bom.size());
    return s;
}

std::size_t ProfileFile::findSection(const std::string& section) const {
    const std::string_view wanted = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (ParseSection(line(i), name) && EqualsIgnoringAsciiCase(name, wanted))
            return i;
    }
    return npos;
}

std::size_t ProfileFile::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    std::string_view name;
    while (i < lines_.size() && !ParseSection(line(i), name))
        ++i;
    return i;
}

std::size_t ProfileFile::findKey(const std::string& section, const std::string& key) const {
    const std::size_t header = findSection(section);
    if (header == npos)
        return npos;
    const std::string_view wanted = Trim(key);
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view k;
        std::string_view v;
        if (ParseKey(line(i), k, v) && EqualsIgnoringAsciiCase(k, wanted))
            return i;
    }
    return npos;
}

std::string ProfileFile::readString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
    const std::size_t i = findKey(section, key);
    if (i == npos)
        return defaultValue;
    std::string_view k;
    std::string_view value;
    ParseKey(line(i), k, value);
    // A value in matching quotes is read without them, as the system profile reader does.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return CutCharacters(value, kMaxValueLength);
}

int ProfileFile::readInteger(const std::string& section, const std::string& key,
                             int defaultValue) const {
    int value = 0;
    return ParseProfileInteger(readString(section, key, std::string()), value) ? value
                                                                               : defaultValue;
}

bool ProfileFile::hasKey(const std::string& section, const std::string& key) const {
    return findKey(section, key) != npos;
}

void ProfileFile::writeString(const std::string& section, const std::string& key,
                              const std::string& value) {
    // A line break would end the value and start a line of its own (possibly another key).
    std::string safe = value;
    for (char& c : safe) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }

    const std::size_t header = findSection(section);
    if (header == npos) {
        if (!lines_.empty() && !Trim(lines_.back()).empty())
            lines_.emplace_back();
        lines_.push_back("[" + section + "]");
        lines_.push_back(key + "=" + safe);
        return;
    }
    const std::size_t end = sectionEnd(header);
    const std::string_view wanted = Trim(key);
    std::size_t lastEntry = header;
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view k;
        std::string_view v;
        if (ParseKey(line(i), k, v) && EqualsIgnoringAsciiCase(k, wanted)) {
            // Replaced in place; the key keeps the spelling it has in the file.
            lines_[i] = std::string(k) + "=" + safe;
            return;
        }
        if (IsEntry(line(i)))
            lastEntry = i;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1), key + "=" + safe);
}

void ProfileFile::writeInteger(const std::string& section, const std::string& key, int value) {
    writeString(section, key, std::to_string(value));
}

bool ProfileFile::save(std::string* error) const {
    return WriteFileAtomically(path_, text(), error);
}

std::string ProfileFile::text() const {
    std::string out;
    for (const std::string& l : lines_) {
        out += l;
        out += '\n';
    }
    return out;
}

bool ParseProfileInteger(const std::string& text, int& value) {
    const std::string_view s = Trim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        i += 1;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size())
        return false;

    std::uint64_t magnitude = 0;
    // Hexadecimal covers the 32 bits ($FFFFFFFF is -1); decimal the signed range.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < s.size(); ++i) {
        int digit = hex ? HexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (digit < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    value = static_cast<int>(static_cast<std::int32_t>(bits));
    return true;
}

}  // namespace qcal::platform
