#pragma once

#include <string>
#include <string_view>

namespace tickscope {

// The six line scanning operations. They work on one line of single-byte text at a time,
// never fail, and use 1-based positions with 0 for "not found". MaskLine, TokenizeLine and
// FindKeyword each keep a one-entry memo (per thread) of their last input, so asking about
// the same line several times in a row scans it only once. CommentPosition keeps none: its
// scan costs no more than comparing the line with a memo.

inline constexpr char kTokenSeparator = '\x01';

// Position of the ";" that starts the comment (outside literals), 0 when there is none.
int CommentPosition(std::string_view line);

// The line without its comment, untrimmed.
std::string StripComment(std::string_view line);

// A copy of the same length in which literal contents become their quote character and
// the comment becomes ";" characters.
std::string MaskLine(std::string_view line);

// MaskLine without the copy: the reference stays valid until the next MaskLine or
// MaskLineCached call on the same thread.
const std::string& MaskLineCached(std::string_view line);

// True when the masked line holds ":".
bool HasStatementColon(std::string_view line);

// The line with separators (space, ":", ";", "(", ")", tab) and the comment turned into
// single kTokenSeparator characters.
std::string TokenizeLine(std::string_view line);

// Field `index` (1-based) of a tokenized line; empty when absent.
std::string TokenField(std::string_view tokenized, int index);

// The lower-cased masked line that FindKeyword searches (its memo): the reference stays
// valid until the next FindKeyword or LowerMaskedLineCached call on the same thread.
const std::string& LowerMaskedLineCached(std::string_view line);

// Position of `keyword` (lower case) as a whole word outside literals and the comment.
// When the keyword stands several times, the first matching rule wins: a whole-line or
// line-start match, then a line-end match, then the inner separator pairs in fixed order.
int FindKeyword(std::string_view line, std::string_view keyword);

// FindKeyword's separators, shared with KeywordSet: the character after a keyword at the
// start of the line, the one before a keyword at its end, and the rank of the pair around
// a keyword inside it (the inner rule's order), -1 when the pair is none.
// (Inline: KeywordSet asks at every candidate word.)
inline bool IsKeywordSeparatorAfter(char c) {
    return c == ' ' || c == ':' || c == ';' || c == '(' || c == '\t' || c == '.';
}

inline bool IsKeywordSeparatorBeforeEnd(char c) {
    return c == ' ' || c == ':' || c == ';' || c == '\t' || c == '.';
}

// The inner rule's seventeen before/after pairs are ordered by the after-separator first
// (space, ":", ";", "(", tab, "."), then by the before-separator (space, ":", tab); the
// pair ":" before "." does not exist. KeywordPairRank gives that order, or -1 for no pair.
inline int KeywordPairRank(char before, char after) {
    int afterIndex;
    switch (after) {
    case ' ':
        afterIndex = 0;
        break;
    case ':':
        afterIndex = 1;
        break;
    case ';':
        afterIndex = 2;
        break;
    case '(':
        afterIndex = 3;
        break;
    case '\t':
        afterIndex = 4;
        break;
    case '.':
        afterIndex = 5;
        break;
    default:
        return -1;
    }
    int beforeIndex;
    switch (before) {
    case ' ':
        beforeIndex = 0;
        break;
    case ':':
        if (afterIndex == 5) {
            return -1;
        }
        beforeIndex = 1;
        break;
    case '\t':
        beforeIndex = 2;
        break;
    default:
        return -1;
    }
    return afterIndex * 3 + beforeIndex;
}

} // namespace tickscope
