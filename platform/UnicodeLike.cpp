#include "platform/UnicodeLike.h"

#include <dlfcn.h>
#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/uvernum.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qcal::platform {

namespace {

// Bytes that are not part of well-formed UTF-8 become units above the last code point, one
// per byte, so that they match only the same byte.
constexpr char32_t kBadByte = 0x110000;

// Decodes the character at s[i] and moves i past it. Overlong forms, surrogates, values above
// U+10FFFF and cut sequences are not characters: their first byte is taken alone.
char32_t Decode(const unsigned char* s, std::size_t n, std::size_t& i) {
    const unsigned char lead = s[i];
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07u;
        least = 0x10000;
    } else {
        ++i;
        return kBadByte + lead;
    }
    if (n - i < length) {
        ++i;
        return kBadByte + lead;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = s[i + k];
        if ((next & 0xC0u) != 0x80u) {
            ++i;
            return kBadByte + lead;
        }
        c = (c << 6) | (next & 0x3Fu);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kBadByte + lead;
    }
    i += length;
    return c;
}

constexpr char32_t AsciiFold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? char32_t(c - 'A' + 'a') : char32_t(c);
}

// The case folding of one character: one to three code points.
struct Folding {
    std::uint8_t count = 0;
    std::array<char32_t, 3> units{};
};

// ICU's case folding, loaded with the first text folded: a program that never compares texts
// (the command-line agenda) never loads the library. Without the library every character
// folds to itself, and only A-Z are found in either case.
using FoldCaseFunction = std::int32_t (*)(UChar*, std::int32_t, const UChar*, std::int32_t,
                                          std::uint32_t, UErrorCode*);
#define QCAL_NAME_TEXT(name) #name
#define QCAL_ICU_NAME(name) QCAL_NAME_TEXT(name)

FoldCaseFunction IcuFoldCase() {
    static const FoldCaseFunction fold = []() -> FoldCaseFunction {
        void* library = ::dlopen("libicuuc.so." U_ICU_VERSION_SHORT, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return nullptr;
        // The name as the headers give it, with the version the library's names carry.
        return reinterpret_cast<FoldCaseFunction>(::dlsym(library, QCAL_ICU_NAME(u_strFoldCase)));
    }();
    return fold;
}

Folding FoldWithIcu(char32_t c) {
    Folding folding;
    if (c == 0x130 || c == 0x131) {
        // İ and ı: see the header.
        folding.count = 1;
        folding.units[0] = U'i';
        return folding;
    }
    UChar source[2] = {0, 0};
    std::int32_t sourceLength = 0;
    UBool failed = false;
    U16_APPEND(source, sourceLength, 2, static_cast<UChar32>(c), failed);
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    const FoldCaseFunction foldCase = IcuFoldCase();
    const std::int32_t length =
        foldCase ? foldCase(folded, 8, source, sourceLength, U_FOLD_CASE_DEFAULT, &status) : 0;
    if (failed || U_FAILURE(status) || length <= 0 || length > 8) {
        folding.count = 1;
        folding.units[0] = c;
        return folding;
    }
    for (std::int32_t k = 0; k < length && folding.count < folding.units.size();) {
        UChar32 unit = 0;
        U16_NEXT(folded, k, length, unit);
        folding.units[folding.count++] = static_cast<char32_t>(unit);
    }
    return folding;
}

// The foldings of the Basic Multilingual Plane, worked out once: most characters fold to one
// code point, kept in the table itself; the few that fold to more point into a side list.
class FoldTable {
public:
    FoldTable() : table_(0x10000) {
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                table_[c] = c;  // never decoded
                continue;
            }
            const Folding folding = FoldWithIcu(c);
            if (folding.count == 1) {
                table_[c] = folding.units[0];
            } else {
                table_[c] = kLong | static_cast<std::uint32_t>(long_.size());
                long_.push_back(folding);
            }
        }
    }

    template <class Emit>
    void Fold(char32_t c, Emit&& emit) const {
        if (c < 0x80) {
            emit(AsciiFold(static_cast<unsigned char>(c)));
            return;
        }
        if (c >= kBadByte) {
            emit(c);
            return;
        }
        if (c >= 0x10000) {
            const Folding folding = FoldWithIcu(c);
            for (std::size_t k = 0; k < folding.count; ++k)
                emit(folding.units[k]);
            return;
        }
        const std::uint32_t entry = table_[c];
        if ((entry & kLong) == 0) {
            emit(static_cast<char32_t>(entry));
            return;
        }
        const Folding& folding = long_[entry & ~kLong];
        for (std::size_t k = 0; k < folding.count; ++k)
            emit(folding.units[k]);
    }

private:
    static constexpr std::uint32_t kLong = 0x80000000u;
    std::vector<std::uint32_t> table_;
    std::vector<Folding> long_;
};

const FoldTable& Folds() {
    static const FoldTable table;
    return table;
}

// A pattern split at its "%" signs. Each segment is a row of items: a folded code point, or
// "_" for any one character.
struct Item {
    char32_t unit = 0;
    bool anyChar = false;
    // Set on a code point after which the text must be at the start of a character: before a
    // "_", a "%" or the end of the pattern.
    bool atCharEnd = false;
};
using Segment = std::vector<Item>;

}  // namespace

struct CompiledPattern {
    // What the pattern was compiled from, to tell whether a kept one still applies.
    std::string source;
    std::string escape;
    bool hasEscape = false;

    bool matchesNothing = false;  // ends in the escape character
    std::vector<Segment> segments{Segment{}};
};

namespace {

std::unique_ptr<CompiledPattern> Compile(std::string_view pattern, std::optional<char32_t> escape) {
    auto compiled = std::make_unique<CompiledPattern>();
    const auto* s = reinterpret_cast<const unsigned char*>(pattern.data());
    const std::size_t n = pattern.size();
    const FoldTable& folds = Folds();
    std::size_t i = 0;
    while (i < n) {
        char32_t c = Decode(s, n, i);
        if (escape && c == *escape) {
            if (i >= n) {
                compiled->matchesNothing = true;
                return compiled;
            }
            c = Decode(s, n, i);
        } else if (c == U'%') {
            compiled->segments.emplace_back();
            continue;
        } else if (c == U'_') {
            compiled->segments.back().push_back(Item{0, true, false});
            continue;
        }
        folds.Fold(c, [&](char32_t unit) { compiled->segments.back().push_back(Item{unit}); });
    }
    for (Segment& segment : compiled->segments) {
        for (std::size_t k = 0; k < segment.size(); ++k) {
            segment[k].atCharEnd =
                !segment[k].anyChar && (k + 1 == segment.size() || segment[k + 1].anyChar);
        }
    }
    return compiled;
}

// Text that is all ASCII: every byte is a character and its own folded unit.
struct AsciiText {
    static constexpr bool kUnitIsChar = true;
    const unsigned char* bytes;
    std::size_t length;

    std::size_t size() const { return length; }
    char32_t unit(std::size_t i) const { return AsciiFold(bytes[i]); }
    bool charStart(std::size_t) const { return true; }
    std::size_t nextChar(std::size_t i) const { return i + 1; }
};

// Any other text, folded: the units of every character in order, each marked whether it
// starts a character.
struct FoldedText {
    static constexpr bool kUnitIsChar = false;
    const char32_t* units;
    const unsigned char* starts;
    std::size_t length;

    std::size_t size() const { return length; }
    char32_t unit(std::size_t i) const { return units[i]; }
    bool charStart(std::size_t i) const { return i == length || starts[i] != 0; }
    std::size_t nextChar(std::size_t i) const {
        ++i;
        while (i < length && starts[i] == 0)
            ++i;
        return i;
    }
};

// Matches segment at the character that starts at pos; on success end is where it stops,
// always at the start of a character (or the end of the text).
template <class Text>
bool MatchAt(const Segment& segment, const Text& text, std::size_t pos, std::size_t& end) {
    const std::size_t n = text.size();
    std::size_t i = pos;
    for (const Item& item : segment) {
        if (i >= n)
            return false;
        if (item.anyChar) {
            i = text.nextChar(i);
            continue;
        }
        if (text.unit(i) != item.unit)
            return false;
        ++i;
        if (item.atCharEnd && !text.charStart(i))
            return false;
    }
    end = i;
    return true;
}

// Where a segment may start, the match ends: moving the start to a later character never moves
// the end to an earlier one. So taking each segment between two "%" at its first place and the
// last one at the only place that ends the text finds a match whenever there is one, with no
// going back: the work is at most the text's length times the pattern's.
template <class Text>
bool Match(const CompiledPattern& pattern, const Text& text) {
    if (pattern.matchesNothing)
        return false;
    const std::vector<Segment>& segments = pattern.segments;
    const std::size_t n = text.size();
    std::size_t pos = 0;
    if (!MatchAt(segments.front(), text, 0, pos))
        return false;
    if (segments.size() == 1)
        return pos == n;
    for (std::size_t k = 1; k + 1 < segments.size(); ++k) {
        const Segment& segment = segments[k];
        if (segment.empty())
            continue;
        bool found = false;
        for (std::size_t start = pos; start < n; start = text.nextChar(start)) {
            if (MatchAt(segment, text, start, pos)) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    const Segment& last = segments.back();
    if (last.empty())
        return true;
    if constexpr (Text::kUnitIsChar) {
        if (n < last.size() || n - last.size() < pos)
            return false;
        std::size_t end = 0;
        return MatchAt(last, text, n - last.size(), end);
    } else {
        std::size_t end = 0;
        for (std::size_t start = pos; start < n; start = text.nextChar(start)) {
            if (MatchAt(last, text, start, end) && end == n)
                return true;
        }
        return false;
    }
}

bool IsAscii(const unsigned char* s, std::size_t n) {
    unsigned char any = 0;
    for (std::size_t i = 0; i < n; ++i)
        any |= s[i];
    return any < 0x80;
}

bool MatchText(const CompiledPattern& pattern, const unsigned char* s, std::size_t n) {
    if (IsAscii(s, n))
        return Match(pattern, AsciiText{s, n});
    // Reused from call to call: a search runs this for every row.
    thread_local std::vector<char32_t> units;
    thread_local std::vector<unsigned char> starts;
    units.clear();
    starts.clear();
    const FoldTable& folds = Folds();
    std::size_t i = 0;
    while (i < n) {
        bool first = true;
        folds.Fold(Decode(s, n, i), [&](char32_t unit) {
            units.push_back(unit);
            starts.push_back(first ? 1 : 0);
            first = false;
        });
    }
    return Match(pattern, FoldedText{units.data(), starts.data(), units.size()});
}

void DeletePattern(void* p) {
    delete static_cast<CompiledPattern*>(p);
}

void LikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    for (int k = 0; k < argc; ++k) {
        if (sqlite3_value_type(argv[k]) == SQLITE_NULL)
            return;  // NULL
    }
    const unsigned char* patternText = sqlite3_value_text(argv[0]);
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    const unsigned char* text = sqlite3_value_text(argv[1]);
    const int textBytes = sqlite3_value_bytes(argv[1]);
    if (!patternText || !text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (patternBytes >
        sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    const std::string_view pattern(reinterpret_cast<const char*>(patternText),
                                   static_cast<std::size_t>(patternBytes));

    std::optional<char32_t> escape;
    std::string_view escapeText;
    if (argc == 3) {
        const unsigned char* e = sqlite3_value_text(argv[2]);
        const int eBytes = sqlite3_value_bytes(argv[2]);
        if (!e) {
            sqlite3_result_error_nomem(context);
            return;
        }
        const auto length = static_cast<std::size_t>(eBytes);
        std::size_t i = 0;
        if (length > 0)
            escape = Decode(e, length, i);
        if (length == 0 || i != length) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escapeText = std::string_view(reinterpret_cast<const char*>(e), length);
    }

    // The pattern is compiled once per statement: the engine keeps it with the statement while
    // the argument stays the same constant.
    const auto* kept = static_cast<const CompiledPattern*>(sqlite3_get_auxdata(context, 0));
    std::unique_ptr<CompiledPattern> fresh;
    if (!kept || kept->source != pattern || kept->hasEscape != escape.has_value() ||
        kept->escape != escapeText) {
        fresh = Compile(pattern, escape);
        fresh->source = pattern;
        fresh->escape = escapeText;
        fresh->hasEscape = escape.has_value();
        kept = fresh.get();
    }
    const bool matched = MatchText(*kept, text, static_cast<std::size_t>(textBytes));
    sqlite3_result_int(context, matched ? 1 : 0);
    // The engine may free a kept pattern at once, so this comes last.
    if (fresh)
        sqlite3_set_auxdata(context, 0, fresh.release(), DeletePattern);
}

}  // namespace

LikePattern::LikePattern(std::string_view pattern) : compiled_(Compile(pattern, std::nullopt)) {}
LikePattern::~LikePattern() = default;
LikePattern::LikePattern(LikePattern&&) noexcept = default;
LikePattern& LikePattern::operator=(LikePattern&&) noexcept = default;

bool LikePattern::Matches(std::string_view text) const {
    return MatchText(*compiled_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

int RegisterUnicodeLike(sqlite3* db) {
    // The fold table is built by the first comparison, not here: most connections compare no
    // texts at all.
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(db, "like", 2, flags, nullptr, LikeFunction, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function_v2(db, "like", 3, flags, nullptr, LikeFunction, nullptr,
                                        nullptr, nullptr);
    }
    return rc;
}

}  // namespace qcal::platform
