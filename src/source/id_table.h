#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tickscope {

// Text -> integer table with insert-or-overwrite. Entries are traversed in the order
// their keys were first inserted, so every file written from a table is reproducible.
class IdTable {
  public:
    using Entry = std::pair<std::string, int>;

    void Set(const std::string& key, int value) {
        auto [it, inserted] = index_.try_emplace(key, entries_.size());
        if (inserted) {
            entries_.emplace_back(key, value);
        } else {
            entries_[it->second].second = value;
        }
    }
    // A missing key yields 0.
    int Get(const std::string& key) const {
        auto it = index_.find(key);
        return it == index_.end() ? 0 : entries_[it->second].second;
    }
    bool Contains(const std::string& key) const { return index_.count(key) != 0; }
    // Adds `value` under `key`, or, when the key is taken, under "<key>#<value>" (with
    // "#<value>" again as long as that is taken too), so that an earlier entry keeps its key
    // and every value stays in the table.
    void AddUnique(std::string key, int value) {
        while (Contains(key)) {
            // Appended piece by piece: GCC 12 at -O3 takes `key += "#" + ...` for an
            // overlapping copy (a false -Wrestrict).
            key += '#';
            key += std::to_string(value);
        }
        Set(key, value);
    }
    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    void Clear() {
        entries_.clear();
        index_.clear();
    }
    const std::vector<Entry>& Entries() const { return entries_; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

  private:
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

} // namespace tickscope
