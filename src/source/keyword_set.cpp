#include "source/keyword_set.h"

#include <cstdlib>

namespace tickscope {

namespace {

constexpr std::uint32_t kHashStart = 2166136261u;

constexpr std::uint32_t HashStep(std::uint32_t hash, char lower) {
    return (hash ^ static_cast<unsigned char>(lower)) * 16777619u;
}

} // namespace

void KeywordSet::Add(std::string_view keyword) {
    // One bit per keyword, and only words the scan can read: a fixed table's mistake.
    if (size_ == 64 || keyword.empty() || keyword.size() > kLongest) {
        std::abort();
    }
    std::uint32_t hash = kHashStart;
    for (const char c : keyword) {
        hash = HashStep(hash, c);
    }
    std::size_t slot = hash & (kSlots - 1);
    while (!slots_[slot].Keyword.empty()) {
        slot = (slot + 1) & (kSlots - 1);
    }
    slots_[slot] = {keyword, static_cast<int>(size_++)};
}

int KeywordSet::Find(std::uint32_t hash, std::string_view word) const {
    for (std::size_t slot = hash & (kSlots - 1); !slots_[slot].Keyword.empty();
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
    std::uint32_t hash = kHashStart;
    const auto endWord = [&] {
        if (length > 0 && length <= kLongest) {
            const int found = Find(hash, std::string_view(word, length));
            if (found >= 0) {
                scan.Candidates |= std::uint64_t{1} << found;
            }
        }
        length = 0;
        hash = kHashStart;
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
        const char lower = static_cast<char>(c | 0x20);
        if (lower >= 'a' && lower <= 'z') {
            if (length < kLongest) {
                word[length] = lower;
                hash = HashStep(hash, lower);
            }
            length += length <= kLongest ? 1 : 0;
            continue;
        }
        endWord();
        if (c == '"' || c == '\'') {
            open = c;
        } else if (c == ';') {
            break;
        } else if (c == ':') {
            scan.HasColon = true;
        }
    }
    endWord();
    return scan;
}

} // namespace tickscope
