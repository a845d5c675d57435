#include "source/scope_keywords.h"

#include "source/keyword_set.h"

#include <bit>
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
    // The keywords are added in the order they are tested: the lowest one found decides.
    const std::uint64_t found = ScopeKeywordSet().Scan(code).Found;
    if (found == 0) {
        return KeywordGroup::None;
    }
    return kScopeKeywords[static_cast<std::size_t>(std::countr_zero(found))].Group;
}

} // namespace tickscope
