#include "source/scope_keywords.h"

#include "source/keyword_set.h"
#include "source/line_scanning.h"

#include <cstdint>

namespace tickscope {

namespace {

const KeywordSet& ScopeKeywordSet() {
    static const KeywordSet set = [] {
        KeywordSet keywords;
        for (const ScopeKeyword& keyword : kScopeKeywords) {
            keywords.Add(keyword.Keyword);
        }
        return keywords;
    }();
    return set;
}

} // namespace

KeywordGroup ClassifyInstruction(std::string_view code) {
    // Most statements hold none of the keywords: one scan tells, without a search.
    const std::uint64_t candidates = ScopeKeywordSet().Scan(code).Candidates;
    for (std::size_t k = 0; candidates >> k != 0; ++k) {
        if ((candidates >> k & 1) != 0 && FindKeyword(code, kScopeKeywords[k].Keyword) > 0) {
            return kScopeKeywords[k].Group;
        }
    }
    return KeywordGroup::None;
}

} // namespace tickscope
