#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "HyperlinkLines.h"
#include "engine/session/HyperlinkTable.h"

namespace {

// The straightforward hyperlink table: per page one table of children and one of parents,
// each link counted into both. The stored-once table must read back exactly like it: the
// same pages in the same order, and per page the same links in the same order.
class CReferenceLinks {
public:
    struct connection_t {
        const char* text = nullptr;
        std::uint32_t length = 0;
        page_type_t type = page_type_t::NOTHING;
        std::uint64_t hits = 0;
        std::vector<std::uint32_t> tags;

        void Release() {}
        std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
        bool Equals(const connection_t& o) const {
            return logvane::table::SameText(text, length, o.text, o.length);
        }
        int Compare(const connection_t&) const { return 0; }
    };
    using connections = CFastHashTable<connection_t>;
    struct page_t {
        const char* text = nullptr;
        std::uint32_t length = 0;
        page_type_t type = page_type_t::NOTHING;
        std::shared_ptr<connections> children, parents;

        void Release() {}
        std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
        bool Equals(const page_t& o) const {
            return logvane::table::SameText(text, length, o.text, o.length);
        }
        int Compare(const page_t&) const { return 0; }
    };

    CReferenceLinks(std::uint32_t capacity, int triggers)
        : m_pages(capacity), m_triggers(triggers) {}

    void AddLink(std::string_view from, page_type_t fromType, std::string_view to,
                 page_type_t toType, const std::uint8_t* flags) {
        if (from.empty() || to.empty()) return;
        page_t* source = Page(from, fromType);
        auto children = source->children;
        page_t* target = Page(to, toType);
        Connect(*target->parents, from, fromType, flags);
        Connect(*children, to, toType, flags);
    }

    CFastHashTable<page_t>& Pages() { return m_pages; }

private:
    page_t* Page(std::string_view text, page_type_t type) {
        page_t key;
        key.text = text.data();
        key.length = static_cast<std::uint32_t>(text.size());
        bool isNew = false;
        page_t* page = m_pages.Lookup(key, isNew);
        if (isNew) {
            *page = key;
            page->type = type;
            page->children = std::make_shared<connections>(CHyperlinkTable::kConnectionSlots);
            page->parents = std::make_shared<connections>(CHyperlinkTable::kConnectionSlots);
        }
        return page;
    }
    void Connect(connections& table, std::string_view text, page_type_t type,
                 const std::uint8_t* flags) {
        connection_t key;
        key.text = text.data();
        key.length = static_cast<std::uint32_t>(text.size());
        bool isNew = false;
        connection_t* link = table.Lookup(key, isNew);
        if (isNew) {
            *link = key;
            link->type = type;
            link->tags.assign(static_cast<std::size_t>(m_triggers), 0);
        }
        ++link->hits;
        if (flags)
            for (int i = 0; i < m_triggers; ++i)
                link->tags[static_cast<std::size_t>(i)] += flags[i];
    }

    CFastHashTable<page_t> m_pages;
    int m_triggers;
};

Lines Read(CReferenceLinks& reference, int triggers) {
    Lines lines;
    reference.Pages().ForEach([&](CReferenceLinks::page_t& page) {
        lines.push_back(std::string(page.text, page.length) + " type " +
                        std::to_string(static_cast<int>(page.type)));
        for (auto [side, links] : {std::pair{"child", page.children}, {"parent", page.parents}})
            links->ForEach([&](const CReferenceLinks::connection_t& link) {
                lines.push_back(LinkLine(side, {link.text, link.length},
                                         static_cast<int>(link.type), link.hits, link.tags.data(),
                                         triggers));
            });
    });
    return lines;
}

// Each page's line followed by its links, keyed by the page line: for cases where the order
// of pages (a matter of hashing) is not the point.
std::map<std::string, Lines> ByPage(const Lines& lines) {
    std::map<std::string, Lines> pages;
    std::string page;
    for (const std::string& line : lines) {
        if (line.rfind("  ", 0) != 0)
            pages[page = line];
        else
            pages[page].push_back(line);
    }
    return pages;
}

// Random links over `pages` names: (seed, page-table capacity, pages, links, triggers).
class HyperlinkOrderTest
    : public testing::TestWithParam<std::tuple<unsigned, std::uint32_t, int, int, int>> {
protected:
    void SetUp() override {
        const auto [seed, capacity, pages, links, triggers] = GetParam();
        std::mt19937 random(seed);
        for (int i = 0; i < pages; ++i)
            names.push_back("/page-" + std::to_string(i * 7919 % 100003));
        // A few pages draw most links, as entry and exit pages do, so their tables grow.
        std::uniform_int_distribution<int> any(0, pages - 1);
        std::uniform_int_distribution<int> hub(0, 2);
        std::uniform_int_distribution<int> kind(0, 7);
        std::uniform_int_distribution<int> bit(0, 1);
        for (int i = 0; i < links; ++i) {
            link_t link;
            link.from = kind(random) == 0 ? hub(random) : any(random);
            link.to = kind(random) == 0 ? hub(random) : any(random);
            link.fromType = static_cast<page_type_t>(kind(random));
            link.toType = static_cast<page_type_t>(kind(random));
            for (int t = 0; t < triggers; ++t)
                link.flags.push_back(static_cast<std::uint8_t>(bit(random)));
            // Now and then the same link again at once: a lookup after the last insertion.
            this->links.push_back(link);
            if (kind(random) == 0) this->links.push_back(link);
        }
    }

    struct link_t {
        int from = 0, to = 0;
        page_type_t fromType{}, toType{};
        std::vector<std::uint8_t> flags;
    };
    std::vector<std::string> names;
    std::vector<link_t> links;
};

TEST_P(HyperlinkOrderTest, ReadsBackLikeOneTablePerPageAndDirection) {
    const auto [seed, capacity, pages, count, triggers] = GetParam();
    CHyperlinkTable table(capacity, triggers);
    CReferenceLinks reference(capacity, triggers);
    for (const link_t& link : links) {
        const std::uint8_t* flags = link.flags.empty() ? nullptr : link.flags.data();
        table.AddLink(names[link.from], link.fromType, names[link.to], link.toType, flags);
        reference.AddLink(names[link.from], link.fromType, names[link.to], link.toType, flags);
    }
    EXPECT_EQ(ReadTables(table), Read(reference, triggers));
    // Reading settles nothing that a second reading would see differently.
    EXPECT_EQ(ReadTables(table), Read(reference, triggers));
}

// Page and Link, with pages the caller remembers touched rather than looked up again, count
// and order exactly as AddLink does.
TEST_P(HyperlinkOrderTest, RememberedPagesCountAsLookups) {
    const auto [seed, capacity, pages, count, triggers] = GetParam();
    CHyperlinkTable table(capacity, triggers);
    CReferenceLinks reference(capacity, triggers);
    std::vector<std::uint32_t> known(names.size(), CHyperlinkTable::kNoPage);
    const auto page = [&](int i, page_type_t type) {
        if (known[static_cast<std::size_t>(i)] != CHyperlinkTable::kNoPage) {
            table.Touch();
            return known[static_cast<std::size_t>(i)];
        }
        const std::string& name = names[static_cast<std::size_t>(i)];
        return known[static_cast<std::size_t>(i)] =
                   table.Page(name, memcrc(name.data(), name.size(), 0), type);
    };
    for (const link_t& link : links) {
        const std::uint8_t* flags = link.flags.empty() ? nullptr : link.flags.data();
        const std::uint32_t from = page(link.from, link.fromType);
        const std::uint32_t to = page(link.to, link.toType);
        table.Link(from, link.fromType, to, link.toType, flags);
        reference.AddLink(names[link.from], link.fromType, names[link.to], link.toType, flags);
    }
    EXPECT_EQ(ReadTables(table), Read(reference, triggers));
}

// A link counted again by the number Link gave it counts and orders as Link on its pages.
TEST_P(HyperlinkOrderTest, NumberedLinksCountAsLinks) {
    const auto [seed, capacity, pages, count, triggers] = GetParam();
    CHyperlinkTable table(capacity, triggers);
    CReferenceLinks reference(capacity, triggers);
    std::map<std::pair<int, int>, std::uint32_t> numbers;
    for (const link_t& link : links) {
        const std::uint8_t* flags = link.flags.empty() ? nullptr : link.flags.data();
        const std::string& from = names[static_cast<std::size_t>(link.from)];
        const std::string& to = names[static_cast<std::size_t>(link.to)];
        const std::uint32_t source =
            table.Page(from, memcrc(from.data(), from.size(), 0), link.fromType);
        const std::uint32_t target = table.Page(to, memcrc(to.data(), to.size(), 0), link.toType);
        const auto known = numbers.find({link.from, link.to});
        if (known != numbers.end()) {
            table.CountLink(known->second, flags);
        } else {
            const std::uint32_t number =
                table.Link(source, link.fromType, target, link.toType, flags);
            ASSERT_NE(number, CHyperlinkTable::kNoLinkNumber);
            numbers[{link.from, link.to}] = number;
        }
        reference.AddLink(from, link.fromType, to, link.toType, flags);
    }
    EXPECT_EQ(table.GetLinkCount(), numbers.size());
    EXPECT_EQ(ReadTables(table), Read(reference, triggers));
}

INSTANTIATE_TEST_SUITE_P(
    RandomLinks, HyperlinkOrderTest,
    testing::Values(std::tuple{1u, 8192u, 40, 300, 0},      // few pages, many links each
                    std::tuple{2u, 2u, 300, 3000, 2},       // page table grows from 2 slots
                    std::tuple{3u, 16u, 12, 200, 1},        // every page links to most others
                    std::tuple{4u, 64u, 2000, 20000, 0},    // link index grows many times
                    std::tuple{5u, 33u, 5, 40, 3},          // compact tables only
                    std::tuple{6u, 8192u, 150, 6000, 0}));  // hubs with hundreds of links

TEST(HyperlinkTable, EmptyTextsAddNothingAndLinksKeepTheirFirstTypes) {
    CHyperlinkTable table(16);
    table.AddLink("", page_type_t::REFERRER, "/a", page_type_t::PAGE, nullptr);
    table.AddLink("/a", page_type_t::PAGE, "", page_type_t::PAGE, nullptr);
    EXPECT_EQ(table.GetCount(), 0u);
    EXPECT_EQ(table.GetLinkCount(), 0u);
    table.AddLink("/a", page_type_t::PAGE, "/b", page_type_t::FILE, nullptr);
    table.AddLink("/a", page_type_t::IMAGE, "/b", page_type_t::MISCWEB, nullptr);
    EXPECT_EQ(table.GetLinkCount(), 1u);
    EXPECT_EQ(ByPage(ReadTables(table)),
              (std::map<std::string, Lines>{{"/a type 2", {"  child /b type 1 hits 2"}},
                                            {"/b type 1", {"  parent /a type 2 hits 2"}}}));
}

// A table over half full grows at its next lookup, even of a known key: a link of known
// pages counted after the last new page grows the page table, also when the caller only
// touched the pages it remembered.
TEST(HyperlinkTable, AKnownLinkAfterTheLastNewPageGrowsThePageTable) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("/p" + std::to_string(i));
    const auto page = [&](CHyperlinkTable& table, std::size_t i) {
        return table.Page(names[i], memcrc(names[i].data(), names[i].size(), 0), page_type_t::PAGE);
    };
    for (std::size_t pages = 2; pages < names.size(); ++pages) {
        for (bool again : {false, true}) {
            CHyperlinkTable table(8);
            CReferenceLinks reference(8, 0);
            for (std::size_t i = 0; i + 1 < pages; ++i) {
                const std::uint32_t from = page(table, i), to = page(table, i + 1);
                table.Link(from, page_type_t::PAGE, to, page_type_t::PAGE, nullptr);
                reference.AddLink(names[i], page_type_t::PAGE, names[i + 1], page_type_t::PAGE,
                                  nullptr);
            }
            if (again) {
                table.Touch();
                table.Touch();
                table.Link(0, page_type_t::PAGE, 1, page_type_t::PAGE, nullptr);
                reference.AddLink(names[0], page_type_t::PAGE, names[1], page_type_t::PAGE,
                                  nullptr);
            }
            EXPECT_EQ(ReadTables(table), Read(reference, 0)) << pages << " pages, again " << again;
        }
    }
}

// Link counters are 32 bits with a carry kept aside; a table that carries at 3 must count
// like one that never does, on both sides and for every link on its own.
TEST(HyperlinkTable, LinkNumbersNameTheLinkAndNothingElse) {
    CHyperlinkTable table(16);
    const std::uint32_t a = table.Page("/a", memcrc("/a", 2, 0), page_type_t::PAGE);
    const std::uint32_t b = table.Page("/b", memcrc("/b", 2, 0), page_type_t::PAGE);
    EXPECT_EQ(
        table.Link(a, page_type_t::PAGE, CHyperlinkTable::kNoPage, page_type_t::PAGE, nullptr),
        CHyperlinkTable::kNoLinkNumber);
    const std::uint32_t ab = table.Link(a, page_type_t::PAGE, b, page_type_t::PAGE, nullptr);
    const std::uint32_t ba = table.Link(b, page_type_t::PAGE, a, page_type_t::PAGE, nullptr);
    EXPECT_NE(ab, ba);
    EXPECT_EQ(table.Link(a, page_type_t::PAGE, b, page_type_t::PAGE, nullptr), ab);
    table.CountLink(ab, nullptr);
    table.CountLink(ba + 1, nullptr);  // no such link: nothing counted
    EXPECT_EQ(table.GetLinkCount(), 2u);
    std::map<std::string, std::int64_t> hits;
    MakeHyperlinkPageRange(table)->ForEach([&](const hyperlink_page_view_t& page) {
        page.children->ForEach([&](const hyperlink_link_view_t& link) {
            hits[std::string(page.name) + ">" + std::string(link.name)] = link.hits;
        });
    });
    EXPECT_EQ(hits, (std::map<std::string, std::int64_t>{{"/a>/b", 3}, {"/b>/a", 1}}));
}

TEST(HyperlinkTable, CountsCarryPastTheLinkCounter) {
    CHyperlinkTable table(16, 0, 3);
    CReferenceLinks reference(16, 0);
    for (int i = 0; i < 20; ++i) {
        for (auto [from, to] : {std::pair{"/a", "/b"}, {"/b", "/a"}, {"/a", "/a"}}) {
            if (i % 2 && from == std::string_view("/b")) continue;
            table.AddLink(from, page_type_t::PAGE, to, page_type_t::PAGE, nullptr);
            reference.AddLink(from, page_type_t::PAGE, to, page_type_t::PAGE, nullptr);
        }
        EXPECT_EQ(ReadTables(table), Read(reference, 0)) << "after round " << i;
    }
}

TEST(HyperlinkTable, SelfLinksAppearOnBothSidesOfTheirPage) {
    CHyperlinkTable table(16, 1);
    const std::uint8_t on = 1;
    table.AddLink("/a", page_type_t::PAGE, "/a", page_type_t::PAGE, &on);
    table.AddLink("/a", page_type_t::PAGE, "/a", page_type_t::PAGE, nullptr);
    EXPECT_EQ(ReadTables(table), (Lines{"/a type 2", "  child /a type 2 hits 2 tag 1",
                                        "  parent /a type 2 hits 2 tag 1"}));
}

}  // namespace
