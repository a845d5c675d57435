#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tickscope {

// Open-addressing hash map with linear probing and backward-shift deletion, for the small
// integer keys of time attribution. One flat array, no per-entry allocation. The hasher
// maps a key to 64 bits; Fibonacci hashing spreads those bits over the table.
// Pointers returned by Find/Insert stay valid until the next Insert or Erase.
template <class Key, class Value, class Hasher> class FlatHashMap {
  public:
    Value* Find(const Key& key) {
        if (size_ == 0) {
            return nullptr;
        }
        for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
            if (!used_[i]) {
                return nullptr;
            }
            if (slots_[i].first == key) {
                return &slots_[i].second;
            }
        }
    }
    const Value* Find(const Key& key) const { return const_cast<FlatHashMap*>(this)->Find(key); }

    // The value of `key`, value-initialised when the key was absent; second tells whether
    // the key was inserted.
    std::pair<Value*, bool> Insert(const Key& key) {
        if ((size_ + 1) * 2 > slots_.size()) {
            Grow();
        }
        std::size_t i = Home(key);
        for (; used_[i]; i = (i + 1) & mask_) {
            if (slots_[i].first == key) {
                return {&slots_[i].second, false};
            }
        }
        used_[i] = 1;
        slots_[i].first = key;
        slots_[i].second = Value();
        ++size_;
        return {&slots_[i].second, true};
    }

    bool Erase(const Key& key) {
        if (size_ == 0) {
            return false;
        }
        std::size_t hole = Home(key);
        for (;; hole = (hole + 1) & mask_) {
            if (!used_[hole]) {
                return false;
            }
            if (slots_[hole].first == key) {
                break;
            }
        }
        // Move later members of the probe run back so that no lookup stops at the hole.
        for (std::size_t j = (hole + 1) & mask_; used_[j]; j = (j + 1) & mask_) {
            const std::size_t home = Home(slots_[j].first);
            const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (!stays) {
                slots_[hole] = std::move(slots_[j]);
                hole = j;
            }
        }
        used_[hole] = 0;
        slots_[hole] = Slot();
        --size_;
        return true;
    }

    void Clear() {
        slots_.clear();
        used_.clear();
        size_ = 0;
        mask_ = 0;
        shift_ = 64;
    }
    std::size_t Size() const { return size_; }

    template <class Function> void ForEach(Function&& function) const {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (used_[i]) {
                function(slots_[i].first, slots_[i].second);
            }
        }
    }

  private:
    using Slot = std::pair<Key, Value>;

    std::size_t Home(const Key& key) const {
        return static_cast<std::size_t>((Hasher()(key) * 0x9E3779B97F4A7C15ULL) >> shift_);
    }

    void Grow() {
        std::vector<Slot> oldSlots = std::move(slots_);
        std::vector<std::uint8_t> oldUsed = std::move(used_);
        const std::size_t capacity = oldSlots.empty() ? 16 : oldSlots.size() * 2;
        slots_.assign(capacity, Slot());
        used_.assign(capacity, 0);
        mask_ = capacity - 1;
        shift_ = 64;
        for (std::size_t c = capacity; c > 1; c >>= 1) {
            --shift_;
        }
        size_ = 0;
        for (std::size_t i = 0; i < oldSlots.size(); ++i) {
            if (oldUsed[i]) {
                std::size_t j = Home(oldSlots[i].first);
                while (used_[j]) {
                    j = (j + 1) & mask_;
                }
                used_[j] = 1;
                slots_[j] = std::move(oldSlots[i]);
                ++size_;
            }
        }
    }

    std::vector<Slot> slots_;
    std::vector<std::uint8_t> used_;
    std::size_t size_ = 0;
    std::size_t mask_ = 0;
    int shift_ = 64;
};

// Hashers for the key types used with FlatHashMap.
struct IntegerHasher {
    std::uint64_t operator()(std::uint64_t key) const { return key; }
};

} // namespace tickscope
