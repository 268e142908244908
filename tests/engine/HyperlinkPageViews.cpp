#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "HyperlinkLines.h"
#include "engine/session/HyperlinkTable.h"

namespace {

// The lines of one page as the report's range hands it out.
Lines PageLines(const hyperlink_page_view_t& page, int triggers) {
    Lines lines;
    lines.push_back(std::string(page.name) + " type " +
                    std::to_string(static_cast<int>(page.type)));
    for (auto [side, links] : {std::pair{"child", page.children}, {"parent", page.parents}}) {
        std::span<const hyperlink_link_view_t> span;
        EXPECT_TRUE(links->GetSpan(span)) << "the writer walks the links as one array";
        for (const hyperlink_link_view_t& link : span)
            lines.push_back(LinkLine(side, link.name, static_cast<int>(link.type),
                                     static_cast<std::uint64_t>(link.hits), link.tagCounts,
                                     triggers));
    }
    return lines;
}

// The same through the report's range, which lays the links out without tables.
Lines ReadRange(CHyperlinkTable& table) {
    Lines lines;
    const auto pages = MakeHyperlinkPageRange(table);
    pages->ForEach([&](const hyperlink_page_view_t& page) {
        const Lines one = PageLines(page, table.GetNumTriggers());
        lines.insert(lines.end(), one.begin(), one.end());
    });
    return lines;
}

// (seed, pages, links, triggers, share of links that go to or from one of three hubs in 8)
class HyperlinkPageViewTest
    : public testing::TestWithParam<std::tuple<unsigned, int, int, int, int>> {};

TEST_P(HyperlinkPageViewTest, LaysLinksOutInTheOrderOfTheConnectionTables) {
    const auto [seed, pages, links, triggers, hubShare] = GetParam();
    std::mt19937 random(seed);
    std::vector<std::string> names;
    for (int i = 0; i < pages; ++i) names.push_back("/p" + std::to_string(i * 7919 % 100003));
    CHyperlinkTable table(64, triggers, 5);
    std::uniform_int_distribution<int> any(0, pages - 1), hub(0, 2), eighth(0, 7), bit(0, 1);
    std::vector<std::uint8_t> flags(static_cast<std::size_t>(triggers));
    for (int i = 0; i < links; ++i) {
        const int from = eighth(random) < hubShare ? hub(random) : any(random);
        const int to = eighth(random) < hubShare ? hub(random) : any(random);
        for (auto& flag : flags) flag = static_cast<std::uint8_t>(bit(random));
        const auto fromType = static_cast<page_type_t>(eighth(random));
        const auto toType = static_cast<page_type_t>(eighth(random));
        const int repeats = eighth(random) == 0 ? 3 : 1;  // a known link right after
        for (int r = 0; r < repeats; ++r)
            table.AddLink(names[static_cast<std::size_t>(from)], fromType,
                          names[static_cast<std::size_t>(to)], toType,
                          triggers ? flags.data() : nullptr);
    }
    const Lines expected = ReadTables(table);
    EXPECT_EQ(ReadRange(table), expected);
    EXPECT_EQ(ReadRange(table), expected) << "a second reading sees the same";

    // Walked in blocks by two threads at once, then put in block order.
    const auto range = MakeHyperlinkPageRange(table);
    ASSERT_TRUE(range->CanWalkInBlocks());
    for (const std::size_t blockSize : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
        std::map<std::size_t, Lines> blocks[2];
        const auto walk = [&](std::size_t part) {
            range->ForEachInBlocks(blockSize, part, 2,
                                   [&](std::size_t block, const hyperlink_page_view_t& page) {
                                       EXPECT_EQ(block % 2, part);
                                       Lines& lines = blocks[part][block];
                                       const Lines one = PageLines(page, triggers);
                                       lines.insert(lines.end(), one.begin(), one.end());
                                   });
        };
        std::thread other(walk, 1);
        walk(0);
        other.join();
        Lines merged;
        for (std::size_t block = 0; blocks[block % 2].count(block); ++block)
            merged.insert(merged.end(), blocks[block % 2][block].begin(),
                          blocks[block % 2][block].end());
        EXPECT_EQ(merged, expected) << "blocks of " << blockSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    RandomLinks, HyperlinkPageViewTest,
    testing::Values(std::tuple{1u, 30, 400, 0, 0},      // small tables only
                    std::tuple{2u, 600, 30000, 2, 3},   // hubs of thousands of links
                    std::tuple{3u, 12, 300, 1, 1},      // every page links to the others
                    std::tuple{4u, 3000, 20000, 0, 0},  // many pages of a few links
                    std::tuple{5u, 200, 9000, 3, 6}));  // hits past the 32-bit wrap of 5

TEST(HyperlinkPageView, EmptyTableVisitsNothing) {
    CHyperlinkTable table(8);
    int visits = 0;
    table.ForEachPageView([&](const hyperlink_page_view_t&) { ++visits; });
    EXPECT_EQ(visits, 0);
}

}  // namespace
