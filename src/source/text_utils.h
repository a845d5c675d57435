#pragma once

#include "platform/ascii_text.h" // LowerAscii, ContainsIgnoringAsciiCase

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tickscope {

// Single-byte text helpers. Lower-casing changes only A-Z; nothing is ever re-encoded.

// Removes the given characters from both ends.
std::string_view Trim(std::string_view text, std::string_view characters = " ");

// Replaces every occurrence of `from` (non-empty) by `to`, scanning left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

// Number readers, one per rule; use the one that matches where the text comes from.
//
// ParseInteger: a number in a file or an answer that the original reads with the
// language's Val(): leading blanks and tabs are skipped, then an optional sign and decimal
// digits, or "$" and hexadecimal digits, or "%" and binary digits; reading stops at the
// first other character and no digits give 0. Values beyond 64 bits wrap like the two's
// complement arithmetic of the original.
std::int64_t ParseInteger(std::string_view text);

// ParseInteger narrowed to 32 bits (low 32 bits, as a 32-bit variable would keep them).
std::int32_t ParseInteger32(std::string_view text);

// An index inside a key such as "LineOfCode.<N>.Code": plain decimal without sign or
// leading zeros, at most 9 digits, as the writer produces indexes; -1 for anything else
// (such keys are never looked up).
std::int64_t ParseKeyIndex(std::string_view digits);

// A number typed on a command line: an optional "-" and decimal digits, nothing else, within
// 32 bits; nothing for any other text.
std::optional<std::int32_t> ParseDecimalInt32(std::string_view text);

} // namespace tickscope
