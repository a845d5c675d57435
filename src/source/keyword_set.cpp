#include "source/keyword_set.h"

#include <array>
#include <cstdlib>

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

// A slot from a word's length and its first and last letters: cheap to take at the end of a
// word, unlike a hash over every letter; the few keywords that share one probe onwards.
std::size_t SlotOf(std::string_view lowerWord, std::size_t slots) {
    return (lowerWord.size() * 37 + static_cast<unsigned char>(lowerWord.front()) * 7 +
            static_cast<unsigned char>(lowerWord.back())) &
           (slots - 1);
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
    for (std::size_t slot = SlotOf(word, kSlots); !slots_[slot].Keyword.empty();
         slot = (slot + 1) & (kSlots - 1)) {
        if (slots_[slot].Keyword == word) {
            return slots_[slot].Index;
        }
    }
    return -1;
}

KeywordScan KeywordSet::Scan(std::string_view line) const {
    KeywordScan scan;
    char word[kLongest];
    std::size_t length = 0; // of the letter run being read; kLongest + 1 once too long
    const auto endWord = [&] {
        if (length > 0 && length <= kLongest) {
            const int found = Find(std::string_view(word, length));
            if (found >= 0) {
                scan.Candidates |= std::uint64_t{1} << found;
            }
        }
        length = 0;
    };
    // The quote and comment rules are those of MaskLine.
    char open = 0;
    for (const char c : line) {
        if (open != 0) {
            if (c == open) {
                open = 0;
            }
            continue;
        }
        switch (kClasses[static_cast<unsigned char>(c)]) {
        case kLetter:
            if (length < kLongest) {
                word[length] = static_cast<char>(c | 0x20);
            }
            length += length <= kLongest ? 1 : 0;
            continue;
        case kQuote:
            open = c;
            break;
        case kSemicolon:
            endWord();
            return scan;
        case kColon:
            scan.HasColon = true;
            break;
        default:
            break;
        }
        endWord();
    }
    endWord();
    return scan;
}

} // namespace tickscope
