#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tickscope {

// Which text FindKeyword is asked about.
enum class ScanExtent {
    Line,      // the line as given, its comment included (masked)
    Statement, // the line without blanks (spaces, tabs) at its ends and without its comment,
               // as the instruction rules normalise a statement
};

// What one scan of a line tells about a set of keywords (at most 64, lower-case letters only).
struct KeywordScan {
    // Bit i set when FindKeyword would find keyword i. A keyword it finds is always a whole
    // run of letters outside literals and the comment (it must stand between separators,
    // none of them letters), so the scan looks at such runs only and applies FindKeyword's
    // rules to the characters around each.
    std::uint64_t Found = 0;
    // Whether a ":" stands outside literals and the comment (the masked line holds one).
    bool HasColon = false;
};

// Keywords numbered in the order they are added; the texts must outlive the set.
class KeywordSet {
  public:
    void Add(std::string_view keyword);
    std::size_t Size() const { return size_; }

    KeywordScan Scan(std::string_view line, ScanExtent extent = ScanExtent::Line) const;

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
