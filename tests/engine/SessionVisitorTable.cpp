#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/session/VisitorTable.h"

namespace {

// (seed, initial slots, distinct visitors, hits)
class VisitorOrderTest
    : public testing::TestWithParam<std::tuple<unsigned, std::uint32_t, int, int>> {};

// The end of the run closes sessions in the slot order of one table of whole records looked
// up at every hit; the index and its remembered visitors must give exactly that order.
TEST_P(VisitorOrderTest, ClosesInTheOrderOfATableLookedUpAtEveryHit) {
    const auto [seed, slots, visitors, hits] = GetParam();
    std::mt19937 random(seed);
    std::vector<std::string> keys;
    for (int i = 0; i < visitors; ++i)
        keys.push_back("10.0." + std::to_string(i * 37 % 1009) + "." + std::to_string(i));
    CVisitorTable table(slots);
    CFastHashTable<visitor_t> reference(slots);
    std::vector<CEntryMemo<visitor_t>> memos(keys.size());
    std::uniform_int_distribution<int> pick(0, visitors - 1), coin(0, 1);
    for (int h = 0; h < hits; ++h) {
        // New visitors arrive over the whole run, known ones come back.
        const int v = h < visitors && coin(random) ? h : pick(random);
        const std::string& key = keys[static_cast<std::size_t>(v)];
        const std::uint32_t hash = memcrc(key.data(), key.size(), 0);
        visitor_t k;
        k.key = key.data();
        k.length = static_cast<std::uint32_t>(key.size());
        bool isNew = false;
        if (visitor_t* entry = reference.Lookup(k, hash, isNew); isNew) *entry = k;
        if (visitor_t* known = table.Recall(memos[static_cast<std::size_t>(v)]);
            known && coin(random)) {
            EXPECT_EQ(std::string(known->key, known->length), key);
            table.Touch();
            continue;
        }
        visitor_t* visitor = table.Lookup(key.data(), k.length, hash, isNew);
        ASSERT_NE(visitor, nullptr);
        ++visitor->pageViews;  // records keep their counts: they never move
        memos[static_cast<std::size_t>(v)] = table.Remember(visitor);
    }
    std::vector<std::string> expected, actual;
    reference.ForEach([&](visitor_t& v) { expected.emplace_back(v.key, v.length); });
    table.ForEachInSlotOrder([&](visitor_t& v) { actual.emplace_back(v.key, v.length); });
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(table.GetCount(), reference.GetCount());
}

INSTANTIATE_TEST_SUITE_P(RandomVisits, VisitorOrderTest,
                         testing::Values(std::tuple{1u, 16384u, 300, 3000},
                                         std::tuple{2u, 8u, 500, 5000},  // grows many times
                                         std::tuple{3u, 8u, 5, 40},      // stays compact
                                         std::tuple{4u, 64u, 20000, 60000},
                                         std::tuple{5u, 16u, 9, 9}));  // every hit a newcomer

TEST(VisitorTable, AMemoOfAnotherTableIsNotRecalled) {
    CVisitorTable first(16), second(16);
    bool isNew = false;
    visitor_t* visitor = first.Lookup("a", 1, memcrc("a", 1, 0), isNew);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(first.Recall(first.Remember(visitor)), visitor);
    EXPECT_EQ(second.Recall(first.Remember(visitor)), nullptr);
    EXPECT_EQ(first.Recall(CEntryMemo<visitor_t>{}), nullptr);
}

}  // namespace
