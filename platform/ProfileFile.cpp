#include "platform/ProfileFile.h"

#include <cstdint>
#include <string_view>
#include <utility>

#include "core/Ascii.h"
#include "platform/AtomicFile.h"

namespace qcal::platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Blank, tab, carriage return, vertical tab, form feed.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    std::size_t first = 0;
    std::size_t end = s.size();
    while (first < end && IsBlank(s[first]))
        ++first;
    while (end > first && IsBlank(s[end - 1]))
        --end;
    return s.substr(first, end - first);
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

// What the writer puts after "key=": line breaks become blanks, so that a value can never
// end its line and start another (a key or a section of its own), and a value that the
// reader would change gets one more pair of double quotes around it.
std::string EncodeValue(const std::string& value) {
    std::string out = value;
    for (char& c : out) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    const bool blankAtEnd = !out.empty() && (IsBlank(out.front()) || IsBlank(out.back()));
    const bool quoted =
        out.size() >= 2 && (out.front() == '"' || out.front() == '\'') && out.back() == out.front();
    if (blankAtEnd || quoted)
        return '"' + out + '"';
    return out;
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
    blocks_.emplace_back();  // the lines before the first section
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
        std::string_view view(content.data() + start, stop - start);
        // A file saved by an editor that marks UTF-8 still has its first section.
        if (start == 0 && view.substr(0, kUtf8Bom.size()) == kUtf8Bom)
            view.remove_prefix(kUtf8Bom.size());
        std::string_view name;
        if (ParseSection(view, name)) {
            sections_.emplace(AsciiLower(std::string(name)), blocks_.size());
            blocks_.emplace_back();
        }
        blocks_.back().lines.emplace_back(content, start, stop - start);
        start = end + 1;
    }
    for (std::size_t b = 1; b < blocks_.size(); ++b) {
        Block& block = blocks_[b];
        block.keys.reserve(block.lines.size());
        for (std::size_t i = 1; i < block.lines.size(); ++i)
            block.note(i, block.lines[i]);
    }
}

void ProfileFile::Block::note(std::size_t index, std::string_view line) {
    std::string_view key;
    std::string_view value;
    if (ParseKey(line, key, value)) {
        duplicates = !keys.emplace(AsciiLower(std::string(key)), index).second || duplicates;
        lastEntry = index;
    } else if (IsEntry(line)) {
        lastEntry = index;
    }
}

std::size_t ProfileFile::findBlock(const std::string& section) const {
    const auto it = sections_.find(AsciiLower(std::string(Trim(section))));
    return it == sections_.end() ? npos : it->second;
}

std::size_t ProfileFile::findLine(std::size_t b, const std::string& key) const {
    const Block& block = blocks_[b];
    const std::string_view wanted = Trim(key);
    std::size_t found = npos;
    std::string_view k;
    std::string_view v;
    // With every key in one line only, a line that holds the key is the line of the key.
    if (b == lastBlock_ && !block.duplicates && lastLine_ + 1 < block.lines.size() &&
        ParseKey(block.lines[lastLine_ + 1], k, v) && EqualsIgnoringAsciiCase(k, wanted)) {
        found = lastLine_ + 1;
    } else {
        const auto it = block.keys.find(AsciiLower(std::string(wanted)));
        if (it == block.keys.end())
            return npos;
        found = it->second;
    }
    lastBlock_ = b;
    lastLine_ = found;
    return found;
}

std::string ProfileFile::readString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
    const std::size_t b = findBlock(section);
    const std::size_t i = b == npos ? npos : findLine(b, key);
    if (i == npos)
        return defaultValue;
    std::string_view k;
    std::string_view value;
    ParseKey(blocks_[b].lines[i], k, value);
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
    const std::size_t b = findBlock(section);
    return b != npos && findLine(b, key) != npos;
}

void ProfileFile::writeString(const std::string& section, const std::string& key,
                              const std::string& value) {
    const std::string encoded = EncodeValue(value);
    std::size_t b = findBlock(section);
    if (b == npos) {
        // A new section goes to the end, after a blank line.
        std::vector<std::string>& last = blocks_.back().lines;
        if (!last.empty() && !Trim(last.back()).empty())
            last.emplace_back();
        std::string header = "[" + section + "]";
        std::string_view name;
        ParseSection(header, name);
        b = blocks_.size();
        sections_.emplace(AsciiLower(std::string(name)), b);
        blocks_.emplace_back();
        blocks_.back().lines.push_back(std::move(header));
    }
    Block& block = blocks_[b];

    const std::size_t existing = findLine(b, key);
    if (existing != npos) {
        // Replaced in place; the key keeps the spelling it has in the file.
        std::string& line = block.lines[existing];
        std::string_view k;
        std::string_view v;
        ParseKey(line, k, v);
        line = std::string(k) + "=" + encoded;
        return;
    }

    // After the last entry of the section, so blank lines and a comment that leads the
    // next section stay where they are. Only such lines move down: the keys keep their lines.
    const std::size_t at = block.lastEntry + 1;
    block.lines.insert(block.lines.begin() + static_cast<std::ptrdiff_t>(at), key + "=" + encoded);
    block.note(at, block.lines[at]);
    lastBlock_ = b;
    lastLine_ = at;
}

void ProfileFile::writeInteger(const std::string& section, const std::string& key, int value) {
    writeString(section, key, std::to_string(value));
}

bool ProfileFile::save(std::string* error) const {
    return WriteFileAtomically(path_, text(), error);
}

std::string ProfileFile::text() const {
    std::size_t size = 0;
    for (const Block& block : blocks_) {
        for (const std::string& l : block.lines)
            size += l.size() + 1;
    }
    std::string out;
    out.reserve(size);
    for (const Block& block : blocks_) {
        for (const std::string& l : block.lines) {
            out += l;
            out += '\n';
        }
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
