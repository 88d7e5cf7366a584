#pragma once

// The LIKE operator of every connection: case-insensitive for the letters of every script,
// not only for A-Z as the engine's own.
//
// like(pattern, text) and like(pattern, text, escape), as the engine's operator: "%" matches
// any run of characters, "_" exactly one character (one code point, however many bytes it
// takes), the escape character makes the next pattern character stand for itself. A NULL
// argument gives NULL. Characters are compared after Unicode case folding (ICU's full
// default folding), so "ÄRZTE" finds "ärzte", "ΣΊΣΥΦΟΣ" finds "σίσυφος" and "STRASSE" finds
// "straße" (ß folds to "ss"). A pattern character must match whole characters of the text:
// "_" never takes half of an "ß", nor does "%se" end inside one.
//
// Dotted İ and dotless ı both fold to i, so that Turkish text is found whichever way a user
// types it: "istanbul" finds "İstanbul" and "ırmak" finds "IRMAK", at the price of treating
// i and ı as the same letter.
//
// Text is not normalised: a letter written as base and combining mark does not match the same
// letter written precomposed. Bytes that are not valid UTF-8 count one character each and
// match only themselves.

#include <memory>
#include <string_view>

struct sqlite3;

namespace qcal::platform {

struct CompiledPattern;

// A pattern compiled once and matched against many texts, with the operator's meaning
// (no escape character).
class LikePattern {
public:
    explicit LikePattern(std::string_view pattern);
    ~LikePattern();
    LikePattern(LikePattern&&) noexcept;
    LikePattern& operator=(LikePattern&&) noexcept;
    bool Matches(std::string_view text) const;

private:
    std::unique_ptr<CompiledPattern> compiled_;
};

// Puts the function in place of the engine's like() on this connection. Answers the engine's
// result code.
int RegisterUnicodeLike(sqlite3* db);

}  // namespace qcal::platform
