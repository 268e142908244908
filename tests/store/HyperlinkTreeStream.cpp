#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "store/filter/TagInformation.h"
#include "store/hyperlink/SaveHyperlinkTreeReport.h"
#include "support/TempDir.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;
using LinkRange = CSpanEntryRange<hyperlink_link_view_t>;
using CountRange = CSpanEntryRange<page_count_view_t>;

// A random hyperlink tree: names of any bytes 1-255 (markup characters, quotes, tabs, CR, LF,
// control and high bytes), empty names, pages without links, links with and without tags.
// Names are up to `nameLength` bytes; with `hostileOneIn` above 2 they are letters with one
// hostile byte in that many, so that long plain runs meet the odd special byte.
class RandomTree {
public:
    RandomTree(unsigned seed, int pages, int triggers, int nameLength = 12, int hostileOneIn = 2)
        : m_random(seed), m_nameLength(nameLength), m_hostileOneIn(hostileOneIn) {
        for (int t = 0; t < triggers; ++t)
            tags.AddTriggerInformation({static_cast<CTagInformation::tag_trigger_t>(t % 3),
                                        "*" + Name(6) + "*", "tag " + Name(5)});
        for (int t = 0; t < triggers; ++t) tagTotals.push_back(Number(1000));
        for (int p = 0; p < pages; ++p) {
            page_t& page = m_pages.emplace_back();
            page.name = Name(m_nameLength);
            page.type = static_cast<page_type_t>(Number(9));  // 8: outside the list
            page.noChildren = Number(6) == 0;
            for (auto* links : {&page.children, &page.parents}) {
                const int count = static_cast<int>(Number(5));
                for (int l = 0; l < count; ++l) {
                    const std::uint32_t* counts = nullptr;
                    if (triggers > 0 && Number(3) > 0) {
                        auto& c = m_counts.emplace_back();
                        for (int t = 0; t < triggers; ++t)
                            c.push_back(static_cast<std::uint32_t>(Number(2) ? Number(50) : 0));
                        counts = c.data();
                    }
                    links->push_back({Keep(Name(m_nameLength)), Number(1ll << 40),
                                      static_cast<page_type_t>(Number(8)), counts});
                }
            }
            for (auto* counts : {&m_single, &m_entry, &m_exit})
                if (Number(2))
                    counts->push_back({page.name, Number(3) == 0 ? -5 : Number(1ll << 33)});
        }
    }

    // A new writer over the tree; null ranges where the tree has none. With `inBlocks` the
    // pages can also be walked in blocks, as the engine's range walks them on two threads.
    std::unique_ptr<CSaveHyperlinkTreeReport> MakeReport(bool inBlocks = false) {
        std::unique_ptr<CEntryRange<hyperlink_page_view_t>> pages;
        if (inBlocks)
            pages = std::make_unique<BlockRange>(*this);
        else if (!m_pages.empty())
            pages = MakeEntryRange<hyperlink_page_view_t>(
                [this](const auto& visit) { ForEachPage(0, 1, 1, visit); });
        return std::make_unique<CSaveHyperlinkTreeReport>(
            7, std::move(pages), &tags, tagTotals.data(), std::make_unique<CountRange>(m_single),
            std::make_unique<CountRange>(m_entry), std::make_unique<CountRange>(m_exit));
    }

    CTagInformation tags;
    std::vector<std::int64_t> tagTotals;

private:
    struct page_t {
        std::string name;
        page_type_t type{};
        bool noChildren = false;
        std::vector<hyperlink_link_view_t> children, parents;
    };

    // The pages of the blocks of `blockSize` pages whose number modulo `parts` is `part`;
    // visit(block, page) or visit(page).
    template <class Visit>
    void ForEachPage(std::size_t blockSize, std::size_t part, std::size_t parts,
                     const Visit& visit) const {
        for (std::size_t i = 0; i < m_pages.size(); ++i) {
            if (blockSize > 0 && i / blockSize % parts != part) continue;
            const page_t& page = m_pages[i];
            const LinkRange children(page.children), parents(page.parents);
            const hyperlink_page_view_t view{page.name, page.type,
                                             page.noChildren ? nullptr : &children, &parents};
            if constexpr (std::is_invocable_v<Visit, std::size_t, hyperlink_page_view_t>)
                visit(i / blockSize, view);
            else
                visit(view);
        }
    }

    class BlockRange : public CEntryRange<hyperlink_page_view_t> {
    public:
        explicit BlockRange(const RandomTree& tree) : m_tree(tree) {}
        void ForEach(
            const std::function<void(const hyperlink_page_view_t&)>& visit) const override {
            m_tree.ForEachPage(0, 0, 1, visit);
        }
        bool CanWalkInBlocks() const override { return true; }
        void ForEachInBlocks(std::size_t blockSize, std::size_t part, std::size_t parts,
                             const std::function<void(std::size_t, const hyperlink_page_view_t&)>&
                                 visit) const override {
            m_tree.ForEachPage(blockSize, part, parts, visit);
        }

    private:
        const RandomTree& m_tree;
    };

    std::int64_t Number(std::int64_t below) {
        return std::uniform_int_distribution<std::int64_t>(0, below - 1)(m_random);
    }
    std::string Name(int maxLength) {
        static const std::string kHostile = "&<>\"'\t\r\n\x01\x1f\x7f\x80\xe9\xff ]]>;#";
        std::string name;
        const int length = static_cast<int>(Number(maxLength + 1));
        for (int i = 0; i < length; ++i) {
            if (m_hostileOneIn <= 2)
                name += Number(2) ? kHostile[static_cast<std::size_t>(Number(kHostile.size()))]
                                  : static_cast<char>(1 + Number(255));
            else
                name += Number(m_hostileOneIn) == 0
                            ? kHostile[static_cast<std::size_t>(Number(kHostile.size()))]
                            : static_cast<char>('a' + Number(26));
        }
        return name;
    }
    std::string_view Keep(std::string text) { return m_texts.emplace_back(std::move(text)); }

    std::mt19937_64 m_random;
    int m_nameLength;
    int m_hostileOneIn;
    std::deque<page_t> m_pages;
    std::deque<std::string> m_texts;
    std::deque<std::vector<std::uint32_t>> m_counts;
    std::vector<page_count_view_t> m_single, m_entry, m_exit;
};

// (seed, pages, triggers, folder depth, longest name, one hostile byte in, links per batch of
// the two writing threads)
class HyperlinkStreamTest
    : public testing::TestWithParam<std::tuple<unsigned, int, int, int, int, int, std::size_t>> {
protected:
    // The report inside `depth` folders, between two other elements, written by `save`.
    template <typename Save>
    static void Write(CMarkup& markup, RandomTree& tree, int depth, std::size_t batch, Save&& save,
                      bool inBlocks = false) {
        markup.AddElem("REPORTS");
        markup.SetAttrib("ProjectName", "p");
        markup.IntoElem();
        markup.AddElem("TEXTMESSAGE", "before");
        for (int i = 0; i < depth; ++i) {
            markup.AddElem("FOLDER");
            markup.IntoElem();
        }
        CSaveXMLProgress progress(1);
        auto report = tree.MakeReport(inBlocks);
        report->SetLinkBatchSize(batch);
        report->SaveXML(progress, markup, false);
        markup.AddElem("TEXTMESSAGE", "after");
        for (int i = 0; i < depth; ++i) markup.OutOfElem();
        markup.OutOfElem();
        save();
    }
};

// The streamed file prints the elements itself; a whole-document save goes through CMarkup
// element by element. Both must give the same bytes.
TEST_P(HyperlinkStreamTest, StreamedReportHasTheBytesOfAWholeDocumentSave) {
    const auto [seed, pages, triggers, depth, nameLength, hostileOneIn, batch] = GetParam();
    RandomTree tree(seed, pages, triggers, nameLength, hostileOneIn);
    TempDir dir;
    const std::string streamed = dir.file("streamed.bvr"), saved = dir.file("saved.bvr");

    CMarkup stream;
    ASSERT_TRUE(stream.StartStream(streamed.c_str()));
    Write(stream, tree, depth, batch, [&] { ASSERT_TRUE(stream.EndStream()); });
    CMarkup whole;
    Write(whole, tree, depth, batch, [&] { ASSERT_TRUE(whole.Save(saved.c_str())); });

    const std::string expected = ReadFile(saved);
    const std::string actual = ReadFile(streamed);
    ASSERT_FALSE(expected.empty());
    if (actual != expected) {
        std::size_t at = 0;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
        FAIL() << "first difference at byte " << at << ":\n  streamed ..."
               << actual.substr(at > 60 ? at - 60 : 0, 120) << "\n  saved    ..."
               << expected.substr(at > 60 ? at - 60 : 0, 120);
    }
    // And the result is a well-formed document.
    CMarkup check;
    EXPECT_TRUE(check.Load(streamed.c_str())) << check.GetError();

    // Pages walked in blocks by both threads come out in the same order.
    const std::string blocks = dir.file("blocks.bvr");
    CMarkup inBlocks;
    ASSERT_TRUE(inBlocks.StartStream(blocks.c_str()));
    Write(
        inBlocks, tree, depth, batch, [&] { ASSERT_TRUE(inBlocks.EndStream()); }, true);
    EXPECT_TRUE(ReadFile(blocks) == expected) << "the report walked in blocks differs";
}

constexpr std::size_t kBatch = 2048;  // the writer's own batch size

INSTANTIATE_TEST_SUITE_P(
    RandomTrees, HyperlinkStreamTest,
    testing::Values(std::tuple{1u, 0, 0, 0, 12, 2, kBatch},   // no pages at all
                    std::tuple{2u, 1, 0, 0, 12, 2, kBatch},   // one page
                    std::tuple{3u, 30, 0, 1, 12, 2, kBatch},  // no tags, in a folder
                    std::tuple{4u, 30, 3, 0, 12, 2, kBatch},  // tags on links
                    std::tuple{5u, 200, 2, 2, 12, 2, kBatch},
                    std::tuple{6u, 3000, 1, 0, 12, 2, kBatch},        // past one flush
                    std::tuple{7u, 300, 1, 0, 90, 2, kBatch},         // long hostile names
                    std::tuple{8u, 300, 2, 1, 70, 40, kBatch},        // long plain runs
                    std::tuple{9u, 40, 0, 0, 3000, 200, kBatch},      // huge names
                    std::tuple{10u, 1, 1, 0, 12, 2, std::size_t{1}},  // a batch per page
                    std::tuple{11u, 500, 2, 1, 30, 8, std::size_t{1}},
                    std::tuple{12u, 500, 0, 0, 30, 8, std::size_t{3}},  // pages across batches
                    std::tuple{13u, 4000, 1, 0, 20, 8, std::size_t{50}}));

}  // namespace
