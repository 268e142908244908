#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "engine/table/FastHashTable.h"
#include "engine/table/NestedTable.h"
#include "engine/table/TableEntries.h"
#include "engine/table/TimeSeriesTable.h"

namespace {

// Keeps key texts alive for the life of a test, as the string pool does in a run.
class Keys {
public:
    const std::string& operator()(const std::string& text) { return m_texts.emplace_back(text); }

private:
    std::deque<std::string> m_texts;
};

referinfo_t Ref(const std::string& text) {
    return referinfo_t{text.data(), static_cast<uint32_t>(text.size()), 0};
}

// Adds `hits` to the entry of `text`, inserting it when new.
void Count(CFastHashTable<referinfo_t>& table, const std::string& text, uint64_t hits = 1) {
    bool isNew;
    referinfo_t* entry = table.Lookup(Ref(text), isNew);
    ASSERT_NE(entry, nullptr);
    if (isNew) *entry = Ref(text);
    entry->hits += hits;
}

std::vector<std::string> SlotOrder(CFastHashTable<referinfo_t>& table) {
    std::vector<std::string> order;
    table.ForEach([&](referinfo_t& e) { order.emplace_back(e.text, e.length); });
    return order;
}

std::vector<std::string> Items(const CFastHashTable<referinfo_t>& table) {
    std::vector<std::string> items;
    for (uint32_t i = 0; i < table.GetItemCount(); ++i)
        items.emplace_back(table.GetItem(i).text, table.GetItem(i).length);
    return items;
}

// The plain selection: for each output position scan all slots and keep the strictly best.
std::vector<std::string> ReferenceSelection(CFastHashTable<referinfo_t>& table, uint32_t limit,
                                            bool ascending) {
    std::vector<referinfo_t> slots;
    table.ForEach([&](referinfo_t& e) { slots.push_back(e); });
    std::vector<bool> taken(slots.size(), false);
    std::vector<std::string> out;
    for (uint32_t k = 0; k < limit && k < slots.size(); ++k) {
        int best = -1;
        for (size_t i = 0; i < slots.size(); ++i) {
            if (taken[i]) continue;
            if (best < 0 ||
                (ascending ? slots[i].hits < slots[best].hits : slots[i].hits > slots[best].hits))
                best = static_cast<int>(i);
        }
        taken[best] = true;
        out.emplace_back(slots[best].text, slots[best].length);
    }
    return out;
}

class FastHashTableTest : public ::testing::Test {
protected:
    Keys key;
};

TEST_F(FastHashTableTest, FindsInsertedKeysAndCountsThem) {
    CFastHashTable<referinfo_t> table(16);
    Count(table, key("/index.html"));
    Count(table, key("/a"), 3);
    Count(table, key("/index.html"), 2);
    bool isNew;
    const std::string probe = "/index.html";
    referinfo_t* found = table.Lookup(Ref(probe), isNew, false);
    ASSERT_NE(found, nullptr);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(found->hits, 3u);
    EXPECT_EQ(table.GetCount(), 2u);
}

// A memo must never hand out an entry that moved: after every insertion the remembered entry
// is either the one Lookup finds or refused, through the compact forms, growth and sorting.
TEST_F(FastHashTableTest, MemoRecallsTheLiveEntryOrNothing) {
    CFastHashTable<referinfo_t> table(64);
    Count(table, key("/first"));
    bool isNew;
    const std::string first = "/first";
    CEntryMemo<referinfo_t> memo = table.Remember(table.Lookup(Ref(first), isNew, false));
    int refusals = 0;
    for (int i = 0; i < 5000; ++i) {
        Count(table, key("/page" + std::to_string(i)));
        referinfo_t* live = table.Lookup(Ref(first), isNew, false);
        if (referinfo_t* recalled = table.Recall(memo)) {
            EXPECT_EQ(recalled, live) << "after " << i;
        } else {
            ++refusals;
            memo = table.Remember(live);
        }
    }
    // The 4- and 16-slot compact arrays, the full array and each doubling up to 16384 slots,
    // and before each doubling the insertion that left the table over half full.
    EXPECT_GE(refusals, 3);
    EXPECT_LE(refusals, 24);
    EXPECT_EQ(table.Recall(CEntryMemo<referinfo_t>{}), nullptr);
    table.SortAll();
    EXPECT_EQ(table.Recall(memo), nullptr);
    CFastHashTable<referinfo_t> other(64);
    EXPECT_EQ(other.Recall(memo), nullptr);
}

// An inserting lookup of a known key grows a table that its last insertion left over half
// full. Counting through memos must grow it at the same moment, or the final slot order (and
// with it the order of tied rows) would differ from plain lookups.
TEST_F(FastHashTableTest, MemosDoNotLetAnOverHalfFullTableSkipItsGrowth) {
    CFastHashTable<referinfo_t> plain(64), memoised(64);
    std::vector<std::string> texts;
    for (int i = 0; i < 33; ++i) texts.push_back("/page" + std::to_string(i));
    std::vector<CEntryMemo<referinfo_t>> memos(texts.size());
    const auto countBoth = [&](std::size_t i) {
        Count(plain, key(texts[i]));
        referinfo_t* entry = memoised.Recall(memos[i]);
        if (!entry) {
            bool isNew = false;
            entry = memoised.Lookup(Ref(texts[i]), isNew);
            if (isNew) *entry = Ref(key(texts[i]));
            memos[i] = memoised.Remember(entry);
        }
        ++entry->hits;
    };
    for (std::size_t i = 0; i < texts.size(); ++i) countBoth(i);
    ASSERT_GT(plain.GetCount(), plain.GetCapacity() / 2);  // the last insertion left it so
    // Every memo taken now, after the last insertion: from here on only memos are at hand.
    for (std::size_t i = 0; i < texts.size(); ++i) {
        bool isNew = false;
        memos[i] = memoised.Remember(memoised.Lookup(Ref(texts[i]), isNew, false));
    }
    for (int round = 0; round < 3; ++round)
        for (std::size_t i = 0; i < texts.size(); ++i) countBoth(i);
    EXPECT_EQ(memoised.GetCapacity(), plain.GetCapacity());
    plain.SortAll();
    memoised.SortAll();
    ASSERT_EQ(memoised.GetItemCount(), plain.GetItemCount());
    for (std::uint32_t i = 0; i < plain.GetItemCount(); ++i)
        EXPECT_STREQ(memoised.GetItem(i).text, plain.GetItem(i).text) << "item " << i;
}

// A look ahead follows the key's probe sequence to the entry Lookup finds, however many slots
// other keys took first, and finds nothing for an absent key or once the table moved.
TEST_F(FastHashTableTest, PeekWalksTheProbeSequenceToTheEntryLookupFinds) {
    CFastHashTable<referinfo_t> table(64);
    std::vector<std::string> texts;
    for (int i = 0; i < 30; ++i) texts.push_back(key("/page" + std::to_string(i) + ".html"));
    for (const std::string& text : texts) Count(table, text);
    const auto walk = [&table](const std::string& text, int& steps) {
        const referinfo_t probe = Ref(text);
        table_peek_t peek = table.StartPeek(probe.Hash(0));
        const referinfo_t* loaded = nullptr;
        for (steps = 0; peek.epoch != 0 && steps < 64; ++steps)
            table.Peek(peek, probe, [&loaded](const referinfo_t& entry) { loaded = &entry; });
        return loaded;
    };
    int longest = 0;
    for (const std::string& text : texts) {
        bool isNew;
        const referinfo_t* found = table.Lookup(Ref(text), isNew, false);
        int steps = 0;
        EXPECT_EQ(walk(text, steps), found) << text;
        longest = std::max(longest, steps);
    }
    EXPECT_GT(longest, 1) << "no key of the set met another's slot first";
    int steps = 0;
    const std::string absent = key("/absent.html");
    EXPECT_EQ(walk(absent, steps), nullptr);

    // Growth between the steps ends the look before it reads a slot of the old array.
    const referinfo_t probe = Ref(texts[0]);
    table_peek_t peek = table.StartPeek(probe.Hash(0));
    for (int i = 30; i < 40; ++i) Count(table, key("/page" + std::to_string(i) + ".html"));
    bool loaded = false;
    table.Peek(peek, probe, [&loaded](const referinfo_t&) { loaded = true; });
    EXPECT_FALSE(loaded);
    EXPECT_EQ(peek.epoch, 0u);

    // A compact table has no probe sequence to look along.
    CFastHashTable<referinfo_t> compact(64);
    Count(compact, texts[0]);
    EXPECT_EQ(compact.StartPeek(probe.Hash(0)).epoch, 0u);
}

TEST_F(FastHashTableTest, LookupWithoutInsertLeavesTableUnchanged) {
    CFastHashTable<referinfo_t> table(4);
    const std::string probe = "/missing";
    bool isNew = true;
    EXPECT_EQ(table.Lookup(Ref(probe), isNew, false), nullptr);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(table.GetCount(), 0u);
}

TEST_F(FastHashTableTest, PrefixKeysAreDistinct) {
    CFastHashTable<referinfo_t> table(8);
    Count(table, key("/a"));
    Count(table, key("/ab"));
    Count(table, key(""));
    EXPECT_EQ(table.GetCount(), 3u);
}

TEST_F(FastHashTableTest, GrowsAndKeepsEveryEntryAtHalfLoad) {
    CFastHashTable<referinfo_t> table(1);
    for (int i = 0; i < 5000; ++i) Count(table, key("/page" + std::to_string(i)), i + 1);
    EXPECT_EQ(table.GetCount(), 5000u);
    EXPECT_LE(table.GetCount(), table.GetCapacity() / 2 + 1);
    for (int i = 0; i < 5000; ++i) {
        bool isNew;
        const std::string probe = "/page" + std::to_string(i);
        referinfo_t* e = table.Lookup(Ref(probe), isNew, false);
        ASSERT_NE(e, nullptr) << probe;
        EXPECT_EQ(e->hits, static_cast<uint64_t>(i + 1));
    }
}

TEST_F(FastHashTableTest, CollidingIntegerKeysBothLandAfterDoubling) {
    CFastHashTable<day_info_t> table(8);
    bool isNew;
    day_info_t* a = table.Lookup(day_info_t{3, 1, 0, 0}, isNew);
    *a = day_info_t{3, 1, 7, 0};
    day_info_t* b = table.Lookup(day_info_t{11, 1, 0, 0}, isNew);  // 11 = 3 + capacity
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(isNew);
    *b = day_info_t{11, 1, 9, 0};
    EXPECT_GE(table.GetCapacity(), 16u);
    EXPECT_EQ(table.Lookup(day_info_t{3, 1, 0, 0}, isNew, false)->first, 7u);
    EXPECT_EQ(table.Lookup(day_info_t{11, 1, 0, 0}, isNew, false)->first, 9u);
}

TEST_F(FastHashTableTest, EmptyTableSortsToNoItems) {
    CFastHashTable<referinfo_t> table(409);
    table.Sort(100);
    EXPECT_TRUE(table.IsSorted());
    EXPECT_EQ(table.GetItemCount(), 0u);
    bool isNew;
    const std::string probe = "/x";
    EXPECT_EQ(table.Lookup(Ref(probe), isNew), nullptr);
}

TEST_F(FastHashTableTest, CountsAbove32BitsSortAboveSmallOnes) {
    CFastHashTable<referinfo_t> table(8);
    Count(table, key("small"), 5);
    Count(table, key("huge"), (uint64_t{1} << 32) + 1);
    Count(table, key("mid"), 0x80000001u);
    table.SortAll();
    EXPECT_EQ(Items(table), (std::vector<std::string>{"huge", "mid", "small"}));
}

struct SortCase {
    uint32_t keys;
    uint32_t distinctCounts;  // few distinct counts make many ties
    uint32_t limit;
    bool ascending;
};

class FastHashTableSortTest : public ::testing::TestWithParam<SortCase> {};

TEST_P(FastHashTableSortTest, MatchesPlainSelectionIncludingTies) {
    const SortCase c = GetParam();
    Keys key;
    CFastHashTable<referinfo_t> table(64);
    std::mt19937 random(c.keys * 31 + c.limit);
    for (uint32_t i = 0; i < c.keys; ++i)
        Count(table, key("k" + std::to_string(i)), random() % c.distinctCounts + 1);
    const std::vector<std::string> expected = ReferenceSelection(table, c.limit, c.ascending);
    table.Sort(c.limit, c.ascending);
    EXPECT_EQ(Items(table), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FastHashTableSortTest,
                         ::testing::Values(SortCase{0, 1, 10, false}, SortCase{5, 3, 10, false},
                                           SortCase{5, 3, 10, true}, SortCase{300, 4, 20, false},
                                           SortCase{300, 4, 20, true}, SortCase{300, 1, 299, false},
                                           SortCase{1000, 50, 1000, false},
                                           SortCase{1000, 2, 7, true}));

TEST_F(FastHashTableTest, EqualCountsKeepSlotOrder) {
    CFastHashTable<referinfo_t> table(64);
    for (int i = 0; i < 20; ++i) Count(table, key("t" + std::to_string(i)), 4);
    const std::vector<std::string> slots = SlotOrder(table);
    table.Sort(5);
    EXPECT_EQ(Items(table), std::vector<std::string>(slots.begin(), slots.begin() + 5));
}

TEST_F(FastHashTableTest, CloneIsCompactAndSortsIndependently) {
    CFastHashTable<referinfo_t> table(32);
    Count(table, key("a"), 3);
    Count(table, key("b"), 1);
    Count(table, key("c"), 2);
    const std::vector<std::string> slots = SlotOrder(table);
    auto clone = table.Clone();
    EXPECT_EQ(clone->GetCapacity(), 3u);
    EXPECT_EQ(SlotOrder(*clone), slots);
    clone->Sort(2, true);
    table.Sort(2);
    EXPECT_EQ(Items(*clone), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(Items(table), (std::vector<std::string>{"a", "c"}));
}

TEST_F(FastHashTableTest, SortingTwiceKeepsTheItems) {
    CFastHashTable<referinfo_t> table(8);
    Count(table, key("a"), 1);
    Count(table, key("b"), 2);
    table.SortAll();
    table.SortAll(true);
    EXPECT_EQ(Items(table), (std::vector<std::string>{"a", "b"}));
}

TEST(ErrorInfoTest, SameUrlWithAnotherStatusIsAnotherKey) {
    CFastHashTable<error_info_t> table(8);
    const std::string url = "/gone";
    bool isNew;
    *table.Lookup(error_info_t{url.data(), 5, 404, 0}, isNew) = {url.data(), 5, 404, 1};
    table.Lookup(error_info_t{url.data(), 5, 500, 0}, isNew);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(table.GetCount(), 2u);
}

TEST(SearchInfoTest, SameTextThroughAnotherEngineIsAnotherKey) {
    CFastHashTable<search_info_t> table(8);
    const std::string text = "shoes", g = "Alpha", b = "Beta";
    bool isNew;
    *table.Lookup(search_info_t{text.data(), 5, g.data(), 5, 0}, isNew) = {text.data(), 5, g.data(),
                                                                           5, 1};
    table.Lookup(search_info_t{text.data(), 5, b.data(), 4, 0}, isNew);
    EXPECT_TRUE(isNew);
    table.Lookup(search_info_t{text.data(), 5, g.data(), 5, 0}, isNew);
    EXPECT_FALSE(isNew);
}

// Day series -------------------------------------------------------------------------------

std::vector<int32_t> Days(const CTimeSeriesTable& table) {
    std::vector<int32_t> days;
    for (uint32_t i = 0; i < table.GetItemCount(); ++i) days.push_back(table.GetItem(i).key);
    return days;
}

void Hit(CTimeSeriesTable& table, int32_t day, uint64_t hits = 1) {
    bool isNew;
    day_info_t* e = table.Lookup(day_info_t{day, 1, 0, 0}, isNew);
    if (isNew) *e = day_info_t{day, 1, 0, 0};
    e->first += hits;
}

TEST(TimeSeriesTableTest, FillsMissingDaysNewestFirst) {
    CTimeSeriesTable table(8192);
    Hit(table, 5);
    Hit(table, 1, 3);
    Hit(table, 2);
    table.SortAll();
    ASSERT_EQ(Days(table), (std::vector<int32_t>{5, 4, 3, 2, 1}));
    EXPECT_EQ(table.GetItem(1).first, 0u);
    EXPECT_EQ(table.GetItem(2).first, 0u);
    EXPECT_EQ(table.GetItem(4).first, 3u);
}

TEST(TimeSeriesTableTest, SingleDayListsThatDay) {
    CTimeSeriesTable table(100);
    Hit(table, 20000, 2);
    table.SortAll();
    EXPECT_EQ(Days(table), std::vector<int32_t>{20000});
}

TEST(TimeSeriesTableTest, EmptySeriesSortsEmpty) {
    CTimeSeriesTable table(100);
    table.SortAll();
    EXPECT_EQ(table.GetItemCount(), 0u);
}

TEST(TimeSeriesTableTest, GapsWiderThanCapacityGrowTheTable) {
    CTimeSeriesTable table(4);
    Hit(table, 100);
    Hit(table, 140);
    table.SortAll();
    const std::vector<int32_t> days = Days(table);
    ASSERT_EQ(days.size(), 41u);
    EXPECT_EQ(days.front(), 140);
    EXPECT_EQ(days.back(), 100);
}

TEST(TimeSeriesTableTest, StepsByTheEntryIncrement) {
    CTimeSeriesTable table(64);
    bool isNew;
    for (int32_t hour : {0, 3600 * 3})
        *table.Lookup(day_info_t{hour, 3600, 0, 0}, isNew) = day_info_t{hour, 3600, 1, 0};
    table.SortAll(true);
    EXPECT_EQ(Days(table), (std::vector<int32_t>{0, 3600, 7200, 10800}));
}

// Two-level tables ---------------------------------------------------------------------------

TEST(NestedTableTest, CountsPairsAndTrimsChildren) {
    Keys key;
    CNestedTable table(16, 30);
    const auto pair = [&](const std::string& page, const std::string& referrer) {
        const std::string& p = key(page);
        bool isNew;
        nested_info_t* parent = table.Lookup(
            nested_info_t{p.data(), static_cast<uint32_t>(p.size()), 0, nullptr}, isNew);
        if (isNew) {
            parent->text = p.data();
            parent->length = static_cast<uint32_t>(p.size());
        }
        ++parent->hits;
        ASSERT_NE(parent->children, nullptr);
        EXPECT_EQ(parent->children->GetCapacity(), 30u);
        Count(*parent->children, key(referrer));
    };
    pair("/a", "r1");
    pair("/a", "r2");
    pair("/a", "r2");
    pair("/a", "r3");
    pair("/b", "r1");
    table.SortWithChildren(2);
    ASSERT_EQ(table.GetItemCount(), 2u);
    const nested_info_t& first = table.GetItem(0);
    EXPECT_EQ(std::string(first.text, first.length), "/a");
    EXPECT_EQ(Items(*first.children), (std::vector<std::string>{"r2", "r1"}));
}

}  // namespace

namespace {

// The probing rule written out plainly: slot index h mod capacity, the next h the key's hash
// seeded with the previous one, doubling when more than half full or when a probe run is
// exhausted. Report ties and the hyperlink tree follow this slot order, so a faster table
// (stored hashes, compact small tables, division-free reduction) must reproduce it exactly.
std::vector<std::string> ReferenceSlotOrder(const std::vector<std::string>& keys,
                                            uint32_t capacity) {
    std::vector<const std::string*> slots(capacity, nullptr);
    uint32_t count = 0;
    const auto place = [&](std::vector<const std::string*>& into, const std::string* key) {
        const uint32_t n = static_cast<uint32_t>(into.size());
        uint32_t h = memcrc(key->data(), key->size(), 0);
        for (uint32_t i = 0;; ++i) {
            const uint32_t index = h % n;
            if (!into[index] || *into[index] == *key) {
                into[index] = key;
                return true;
            }
            if (i >= n) return false;
            h = memcrc(key->data(), key->size(), h);
        }
    };
    const auto grow = [&]() {
        for (uint32_t n = static_cast<uint32_t>(slots.size()) * 2;; n *= 2) {
            std::vector<const std::string*> bigger(n, nullptr);
            bool placed = true;
            for (const std::string* key : slots)
                if (key && !(placed = place(bigger, key))) break;
            if (placed) {
                slots = std::move(bigger);
                return;
            }
        }
    };
    for (const std::string& key : keys) {
        if (count > slots.size() / 2) grow();  // checked at every inserting lookup
        if (std::find_if(slots.begin(), slots.end(),
                         [&](const std::string* s) { return s && *s == key; }) != slots.end())
            continue;
        while (!place(slots, &key)) grow();
        ++count;
    }
    std::vector<std::string> order;
    for (const std::string* key : slots)
        if (key) order.push_back(*key);
    return order;
}

struct placement_case_t {
    uint32_t capacity;
    int distinctKeys;
};

class FastHashTablePlacementTest : public testing::TestWithParam<placement_case_t> {};

TEST_P(FastHashTablePlacementTest, SlotOrderFollowsThePlainProbingRule) {
    const placement_case_t c = GetParam();
    std::mt19937 random(static_cast<unsigned>(c.capacity * 1000 + c.distinctKeys));
    std::vector<std::string> keys;
    for (int i = 0; i < c.distinctKeys * 3; ++i)  // every key comes about three times
        keys.push_back(
            "/page" +
            std::to_string(random() % static_cast<unsigned>(std::max(c.distinctKeys, 1))) +
            ".html");
    if (c.distinctKeys == 0) keys.clear();
    CFastHashTable<referinfo_t> table(c.capacity);
    for (const std::string& key : keys) Count(table, key);
    const std::vector<std::string> expected = ReferenceSlotOrder(keys, c.capacity);
    EXPECT_EQ(SlotOrder(table), expected);

    // Equal counts sort in slot order, in the table and in its clone.
    std::vector<std::string> once;
    for (const std::string& key : keys)
        if (std::find(once.begin(), once.end(), key) == once.end()) once.push_back(key);
    CFastHashTable<referinfo_t> even(c.capacity);
    for (const std::string& key : once) Count(even, key);
    const std::vector<std::string> evenOrder = ReferenceSlotOrder(once, c.capacity);
    auto clone = even.Clone();
    even.Sort(even.GetCount());
    EXPECT_EQ(Items(even), evenOrder);
    clone->Sort(clone->GetCount());
    EXPECT_EQ(Items(*clone), evenOrder);
}

INSTANTIATE_TEST_SUITE_P(
    CompactAndFull, FastHashTablePlacementTest,
    testing::Values(placement_case_t{40, 0}, placement_case_t{40, 1}, placement_case_t{40, 3},
                    placement_case_t{40, 4}, placement_case_t{40, 5}, placement_case_t{30, 12},
                    placement_case_t{50, 60}, placement_case_t{8, 5}, placement_case_t{16, 4},
                    placement_case_t{409, 3000}, placement_case_t{1, 9}, placement_case_t{40, 16},
                    placement_case_t{40, 17}, placement_case_t{30, 15}, placement_case_t{30, 16},
                    placement_case_t{10, 6}, placement_case_t{33, 17}));

// The compact form holds up to 16 entries but never more than half the capacity, the point at
// which the full table would grow.
struct compact_case_t {
    uint32_t capacity;
    int compactEntries;
};

class FastHashTableCompactLimitTest : public testing::TestWithParam<compact_case_t> {};

TEST_P(FastHashTableCompactLimitTest, StaysCompactUpToItsLimit) {
    const compact_case_t c = GetParam();
    Keys keys;
    CFastHashTable<referinfo_t> table(c.capacity);
    EXPECT_EQ(table.IsCompact(), c.compactEntries > 0);
    for (int i = 0; i < c.compactEntries; ++i) Count(table, keys("k" + std::to_string(i)));
    EXPECT_EQ(table.IsCompact(), c.compactEntries > 0);
    EXPECT_EQ(table.GetCapacity(), c.capacity);
    bool isNew;
    EXPECT_EQ(table.Lookup(Ref(keys("absent")), isNew, false), nullptr);
    Count(table, keys("k" + std::to_string(c.compactEntries)));
    EXPECT_FALSE(table.IsCompact());
    EXPECT_EQ(table.GetCount(), static_cast<uint32_t>(c.compactEntries + 1));
    for (int i = 0; i <= c.compactEntries; ++i) {
        referinfo_t* entry = table.Lookup(Ref(keys("k" + std::to_string(i))), isNew, false);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->hits, 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Capacities, FastHashTableCompactLimitTest,
                         testing::Values(compact_case_t{40, 16}, compact_case_t{30, 15},
                                         compact_case_t{10, 5}, compact_case_t{8, 4},
                                         compact_case_t{7, 0}, compact_case_t{409, 16}));

TEST(FastHashTableCompactTest, CompactChildTablesOfATwoLevelTableSortAndRelease) {
    Keys keys;
    CNestedTable table(16, 30);
    bool isNew;
    nested_info_t* parent = table.Lookup(nested_info_t{keys("/a").data(), 2, 0, nullptr}, isNew);
    ASSERT_TRUE(isNew);
    *parent = nested_info_t{keys("/a").data(), 2, 3, parent->children};
    ASSERT_NE(parent->children, nullptr);
    EXPECT_TRUE(parent->children->IsCompact());
    Count(*parent->children, keys("x"), 1);
    Count(*parent->children, keys("y"), 2);
    table.SortWithChildren(10);
    ASSERT_EQ(table.GetItemCount(), 1u);
    EXPECT_EQ(Items(*table.GetItem(0).children), (std::vector<std::string>{"y", "x"}));
}

// A compact table tells its entries apart by one byte of their hashes first; keys that share
// that byte are still separate entries, and an absent key that shares it is not found.
TEST(FastHashTableCompactTest, KeysSharingTheirTagByteStayApart) {
    Keys keys;
    std::vector<std::string> alike;
    for (int i = 0; alike.size() < 6; ++i) {
        const std::string text = "/same-tag-" + std::to_string(i);
        if (memcrc(text.data(), text.size(), 0) >> 24 == 0x5a) alike.push_back(keys(text));
    }
    CFastHashTable<referinfo_t> table(40);
    for (size_t i = 0; i + 1 < alike.size(); ++i) Count(table, alike[i], i + 1);
    ASSERT_TRUE(table.IsCompact());
    bool isNew;
    for (size_t i = 0; i + 1 < alike.size(); ++i) {
        referinfo_t* entry = table.Lookup(Ref(alike[i]), isNew, false);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(std::string(entry->text, entry->length), alike[i]);
        EXPECT_EQ(entry->hits, i + 1);
    }
    EXPECT_EQ(table.Lookup(Ref(alike.back()), isNew, false), nullptr);
    EXPECT_EQ(table.GetCount(), alike.size() - 1);
}

// Integer keys that collide at every probe exhaust a compact table's probe run too; the table
// then expands and doubles as a full one would.
TEST(FastHashTableCompactTest, CollidingIntegerKeysLeaveTheCompactForm) {
    CFastHashTable<day_info_t> table(16);
    bool isNew;
    *table.Lookup(day_info_t{3, 1, 0, 0}, isNew) = day_info_t{3, 1, 7, 0};
    EXPECT_TRUE(table.IsCompact());
    *table.Lookup(day_info_t{19, 1, 0, 0}, isNew) = day_info_t{19, 1, 9, 0};  // 3 + capacity
    EXPECT_FALSE(table.IsCompact());
    EXPECT_GE(table.GetCapacity(), 32u);
    EXPECT_EQ(table.Lookup(day_info_t{3, 1, 0, 0}, isNew, false)->first, 7u);
    EXPECT_EQ(table.Lookup(day_info_t{19, 1, 0, 0}, isNew, false)->first, 9u);
}

}  // namespace
