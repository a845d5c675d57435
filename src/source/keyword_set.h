#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tickscope {

// What one scan of a line tells about a set of keywords (at most 64, lower-case letters only).
struct KeywordScan {
    // Bit i set when keyword i stands in the line as a whole run of letters outside literals
    // and the comment, in any letter case. FindKeyword finds a keyword only where it is such
    // a run (it is bounded by separators, none of them letters), so a clear bit spares its
    // search and no bit at all spares every search.
    std::uint64_t Candidates = 0;
    // Whether a ":" stands outside literals and the comment (the masked line holds one).
    bool HasColon = false;
};

// Keywords numbered in the order they are added; the texts must outlive the set.
class KeywordSet {
  public:
    void Add(std::string_view keyword);
    std::size_t Size() const { return size_; }

    KeywordScan Scan(std::string_view line) const;

  private:
    static constexpr std::size_t kSlots = 256; // a power of two, well above 64 keywords
    static constexpr std::size_t kLongest = 24;
    struct Slot {
        std::string_view Keyword; // empty: free
        int Index = -1;
    };
    int Find(std::string_view word) const;

    std::array<Slot, kSlots> slots_{};
    std::size_t size_ = 0;
};

} // namespace tickscope
