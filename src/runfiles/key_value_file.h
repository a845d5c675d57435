#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tickscope {

// Reader of key = value files with groups, as run-information files are written:
//   "[NAME]"           opens group NAME (blanks around the brackets are ignored),
//   "key = value"      split at the first " = "; the key without surrounding blanks, the
//                      value exactly as written after " = " ("key =" gives an empty value).
// Every other line is ignored, and so is a line longer than kMaxLineLength (no key or value
// of a run file comes near it). Lines end in CR LF, LF or CR; a leading UTF-8 byte-order
// mark is skipped. A repeated key in one group: the last one wins. Keys before the first
// group belong to the group "". The file is read in one pass with a fixed buffer; with a
// filter, only the accepted keys are kept and the rest of a rejected line is skipped unread.
class KeyValueFile {
  public:
    static constexpr std::size_t kMaxLineLength = std::size_t{64} << 10;

    // Decides whether a key of a group is kept (or, for StopAt, where reading stops).
    using KeyFilter = std::function<bool(std::string_view group, std::string_view key)>;

    struct ReadOptions {
        KeyFilter Keep;   // the keys that are kept; all when empty
        KeyFilter StopAt; // reading stops at the first key it accepts (that key not kept)
        std::uint64_t MaxBytes = std::numeric_limits<std::uint64_t>::max(); // bytes read at most
    };

    // Reads the file, at most the size it had when opened; false (and no keys) when it
    // cannot be opened or is no regular file.
    bool Open(const std::string& path, const KeyFilter& filter = {});
    bool Open(const std::string& path, const ReadOptions& options);

    // Chooses the group that Read* look in.
    void UseGroup(const std::string& group) { group_ = group; }

    // Value of a key of the chosen group, `fallback` when absent.
    std::string ReadString(const std::string& key, const std::string& fallback = {}) const;
    bool Has(const std::string& key) const;

    // Keys of a group, for callers that walk them (empty map when the group is absent).
    const std::unordered_map<std::string, std::string>& Group(const std::string& group) const;

    // Parsing of text already in memory, for tests and small inputs.
    void Parse(std::string_view content, const KeyFilter& filter = {});
    void Parse(std::string_view content, const ReadOptions& options);

  private:
    class Parser;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> groups_;
    std::string group_;
};

} // namespace tickscope
