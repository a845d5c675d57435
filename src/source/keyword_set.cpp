#include "source/keyword_set.h"

#include "source/line_scanning.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace tickscope {

namespace {

enum CharClass : std::uint8_t { kOther, kLetter, kQuote, kSemicolon, kColon };

constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 'a'; c <= 'z'; ++c) {
        classes[static_cast<std::size_t>(c)] = kLetter;
        classes[static_cast<std::size_t>(c - 'a' + 'A')] = kLetter;
    }
    classes['"'] = kQuote;
    classes['\''] = kQuote;
    classes[';'] = kSemicolon;
    classes[':'] = kColon;
    return classes;
}();

// A slot from a word's length and its first and last letters (any case): cheap to take once
// a word has ended, unlike a hash over every letter; keywords that share one probe onwards.
std::size_t SlotOf(std::string_view word, std::size_t slots) {
    const auto first = static_cast<unsigned char>(word.front() | 0x20);
    const auto last = static_cast<unsigned char>(word.back() | 0x20);
    return (word.size() * 37 + first * 7 + last) & (slots - 1);
}

} // namespace

void KeywordSet::Add(std::string_view keyword) {
    // One bit per keyword, and only words the scan can read: a fixed table's mistake.
    if (size_ == 64 || keyword.empty() || keyword.size() > kLongest) {
        std::abort();
    }
    std::size_t slot = SlotOf(keyword, kSlots);
    while (!slots_[slot].Keyword.empty()) {
        slot = (slot + 1) & (kSlots - 1);
    }
    slots_[slot] = {keyword, static_cast<int>(size_++)};
}

int KeywordSet::Find(std::string_view word) const {
    // `word` is letters in any case; the keywords are lower case.
    for (std::size_t slot = SlotOf(word, kSlots); !slots_[slot].Keyword.empty();
         slot = (slot + 1) & (kSlots - 1)) {
        const std::string_view keyword = slots_[slot].Keyword;
        if (keyword.size() != word.size()) {
            continue;
        }
        std::size_t i = 0;
        while (i < word.size() && (word[i] | 0x20) == keyword[i]) {
            ++i;
        }
        if (i == word.size()) {
            return slots_[slot].Index;
        }
    }
    return -1;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

KeywordScan KeywordSet::Scan(std::string_view line, ScanExtent extent) const {
    // The quote and comment rules are those of MaskLine.
    KeywordScan scan;
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    const bool statement = extent == ScanExtent::Statement;
    const char* at = begin;
    if (statement) {
        while (at < end && IsBlank(*at)) {
            ++at;
        }
    }
    const char* const first = at; // where the text FindKeyword sees begins
    // Whether a word ending here ends that text: at the end of the line, or for a statement
    // at its comment or before the blanks that end it.
    const auto endsText = [&](const char* wordEnd) {
        if (!statement) {
            return wordEnd == end;
        }
        const char* rest = wordEnd;
        while (rest < end && IsBlank(*rest)) {
            ++rest;
        }
        return rest == end || (rest == wordEnd && *rest == ';');
    };
    while (at < end) {
        const std::uint8_t kind = kClasses[static_cast<unsigned char>(*at)];
        if (kind == kOther) {
            ++at;
            continue;
        }
        if (kind == kLetter) {
            const char* const word = at;
            do {
                ++at;
            } while (at < end && kClasses[static_cast<unsigned char>(*at)] == kLetter);
            const auto length = static_cast<std::size_t>(at - word);
            const int found = length <= kLongest ? Find(std::string_view(word, length)) : -1;
            if (found >= 0) {
                const bool atStart = word == first;
                const bool atEnd = endsText(at);
                // FindKeyword's separators.
                const bool stands = atStart ? atEnd || IsKeywordSeparatorAfter(*at)
                                    : atEnd ? IsKeywordSeparatorBeforeEnd(word[-1])
                                            : KeywordPairRank(word[-1], *at) >= 0;
                if (stands) {
                    scan.Found |= std::uint64_t{1} << found;
                }
            }
            continue;
        }
        if (kind == kQuote) {
            // The literal runs to its closing quote, or to the end of the line.
            const void* close = std::memchr(at + 1, *at, static_cast<std::size_t>(end - at - 1));
            at = close != nullptr ? static_cast<const char*>(close) + 1 : end;
            continue;
        }
        if (kind == kSemicolon) {
            return scan;
        }
        scan.HasColon = true;
        ++at;
    }
    return scan;
}

} // namespace tickscope
