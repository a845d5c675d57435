#include "source/scope_keywords.h"

#include "source/line_scanning.h"

#include <cstdint>

namespace tickscope {

namespace {

bool IsLowerLetter(char c) {
    return c >= 'a' && c <= 'z';
}

// Bit i set when keyword i may stand in the text. FindKeyword only reports a keyword that
// is bounded by separators or the line's ends, none of them letters, and every keyword is
// made of letters: so a found keyword is always a whole run of letters of the lower-cased
// masked line. Collecting those runs once spares the 38 searches on most instructions.
std::uint64_t CandidateKeywords(std::string_view lowered) {
    std::uint64_t candidates = 0;
    std::size_t i = 0;
    const std::size_t size = lowered.size();
    while (i < size) {
        if (!IsLowerLetter(lowered[i])) {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < size && IsLowerLetter(lowered[end])) {
            ++end;
        }
        const std::string_view word = lowered.substr(i, end - i);
        for (std::size_t k = 0; k < kScopeKeywords.size(); ++k) {
            if (kScopeKeywords[k].Keyword == word) {
                candidates |= std::uint64_t{1} << k;
                break;
            }
        }
        i = end;
    }
    return candidates;
}

} // namespace

KeywordGroup ClassifyInstruction(std::string_view code) {
    const std::uint64_t candidates = CandidateKeywords(LowerMaskedLineCached(code));
    for (std::size_t k = 0; k < kScopeKeywords.size(); ++k) {
        if ((candidates >> k & 1) != 0 && FindKeyword(code, kScopeKeywords[k].Keyword) > 0) {
            return kScopeKeywords[k].Group;
        }
    }
    return KeywordGroup::None;
}

} // namespace tickscope
