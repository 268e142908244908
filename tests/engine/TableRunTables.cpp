#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "engine/table/RunTables.h"

namespace {

// Counts `count` distinct keys, key i with i + 1 hits, into a table of entries that start
// with a text and its length.
template <class Entry, class Table>
void CountKeys(Table& table, std::deque<std::string>& texts, const std::string& stem, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string& text = texts.emplace_back(stem + std::to_string(i));
        Entry key{text.data(), static_cast<uint32_t>(text.size())};
        bool isNew = false;
        Entry* entry = table.Lookup(key, isNew);
        ASSERT_NE(entry, nullptr);
        *entry = key;
        entry->hits = static_cast<uint64_t>(i + 1);
    }
}

}  // namespace

// The end of a run sorts the tables hit processing counted while the sessions still close
// and count into theirs: the first half must leave those open for counting.
TEST(RunTables, HitTablesSortWhileSessionTablesStillCount) {
    CRunTables tables;
    std::deque<std::string> texts;
    CountKeys<resource_info_t>(tables.resources, texts, "/page-", 10);
    CountKeys<referinfo_t>(tables.referringPages, texts, "http://ref/", 10);
    CountKeys<host_info_t>(tables.hosts, texts, "10.0.0.", 10);
    CountKeys<referinfo_t>(tables.entryPages, texts, "/entry-", 10);
    CountKeys<user_info_t>(tables.users, texts, "user", 10);

    tables.SortAndTrimHitTables(3);
    EXPECT_EQ(tables.resources.GetItemCount(), 3u);
    EXPECT_EQ(tables.referringPages.GetItemCount(), 3u);
    EXPECT_EQ(tables.hosts.GetItemCount(), 3u);
    ASSERT_NE(tables.leastResources, nullptr);
    EXPECT_EQ(tables.leastResources->GetItemCount(), 3u);
    EXPECT_EQ(std::string(tables.leastResources->GetItem(0).url), "/page-0");

    // Closing sessions now: both tables still find and make entries.
    CountKeys<referinfo_t>(tables.entryPages, texts, "/late-entry-", 5);
    CountKeys<user_info_t>(tables.users, texts, "late-user", 5);
    EXPECT_EQ(tables.entryPages.GetCount(), 15u);
    EXPECT_EQ(tables.users.GetCount(), 15u);

    tables.SortAndTrimSessionTables(3);
    ASSERT_EQ(tables.entryPages.GetItemCount(), 3u);
    EXPECT_EQ(std::string(tables.entryPages.GetItem(0).text), "/entry-9");
    ASSERT_EQ(tables.users.GetItemCount(), 3u);
    EXPECT_EQ(std::string(tables.users.GetItem(0).name), "user9");
}
