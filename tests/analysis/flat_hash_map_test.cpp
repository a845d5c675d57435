#include "analysis/flat_hash_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace tickscope {
namespace {

// Keys that collide a lot in a small table (few distinct high bits after hashing) and
// random inserts and erases, checked against std::map after every step.
TEST(FlatHashMapTest, BehavesLikeAnOrderedMapUnderInsertsAndErases) {
    for (std::uint64_t keyRange : {8u, 40u, 1000u}) {
        SCOPED_TRACE("key range " + std::to_string(keyRange));
        std::mt19937_64 random(keyRange);
        FlatHashMap<std::uint64_t, int, IntegerHasher> map;
        std::map<std::uint64_t, int> reference;
        for (int step = 0; step < 20000; ++step) {
            const std::uint64_t key = (random() % keyRange) * 0x100000000ULL + random() % 3;
            if (random() % 3 == 0) {
                EXPECT_EQ(map.Erase(key), reference.erase(key) == 1);
            } else {
                auto [value, inserted] = map.Insert(key);
                EXPECT_EQ(inserted, reference.count(key) == 0);
                *value = step;
                reference[key] = step;
            }
            ASSERT_EQ(map.Size(), reference.size());
            if (step % 97 == 0) {
                for (const auto& [k, v] : reference) {
                    const int* found = map.Find(k);
                    ASSERT_NE(found, nullptr) << k;
                    EXPECT_EQ(*found, v);
                }
                std::size_t visited = 0;
                map.ForEach([&](std::uint64_t k, int v) {
                    ++visited;
                    EXPECT_EQ(reference.at(k), v);
                });
                EXPECT_EQ(visited, reference.size());
            }
        }
        map.Clear();
        EXPECT_EQ(map.Size(), 0u);
        EXPECT_EQ(map.Find(reference.begin()->first), nullptr);
        EXPECT_FALSE(map.Erase(reference.begin()->first));
    }
}

} // namespace
} // namespace tickscope
