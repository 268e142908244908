#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "store/filter/TagInformation.h"
#include "store/hyperlink/LoadHyperlinkTreeReport.h"
#include "store/hyperlink/SaveHyperlinkTreeReport.h"
#include "store/report/ReportTree.h"
#include "support/TempDir.h"

namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;
using Page = CLoadHyperlinkTreeReport::CPage;
using LinkRange = CSpanEntryRange<hyperlink_link_view_t>;
using CountRange = CSpanEntryRange<page_count_view_t>;

// Hand-built counting tables in the shape the engine hands to the writer.
struct Tables {
    struct PageLinks {
        std::string name;
        page_type_t type;
        std::vector<hyperlink_link_view_t> children, parents;
    };
    std::deque<PageLinks> pages;
    std::deque<std::vector<std::uint32_t>> tagCounts;
    std::deque<std::string> texts;
    std::vector<page_count_view_t> single, entry, exit;
    std::vector<std::int64_t> tagTotals;
    CTagInformation tags;

    PageLinks& AddPage(const std::string& name, page_type_t type) {
        pages.push_back({name, type, {}, {}});
        return pages.back();
    }
    // Links `from` -> `to` with `hits`, and per-trigger counts.
    void Link(PageLinks& from, PageLinks& to, std::int64_t hits,
              std::vector<std::uint32_t> counts = {}) {
        const std::uint32_t* perTag = nullptr;
        if (!counts.empty()) perTag = tagCounts.emplace_back(std::move(counts)).data();
        from.children.push_back({pages_name(to), hits, to.type, perTag});
        to.parents.push_back({pages_name(from), hits, from.type, perTag});
    }
    static std::string_view pages_name(const PageLinks& p) { return p.name; }
    // The views hold no text of their own: keep it here.
    std::string_view Keep(std::string text) { return texts.emplace_back(std::move(text)); }

    CSaveHyperlinkTreeReport* MakeReport() {
        auto walk = [this](const auto& visit) {
            for (const PageLinks& page : pages) {
                const LinkRange children(page.children), parents(page.parents);
                visit(hyperlink_page_view_t{page.name, page.type, &children, &parents});
            }
        };
        return new CSaveHyperlinkTreeReport(
            1000, MakeEntryRange<hyperlink_page_view_t>(walk), &tags, tagTotals.data(),
            std::make_unique<CountRange>(single), std::make_unique<CountRange>(entry),
            std::make_unique<CountRange>(exit));
    }
};

class HyperlinkTreeReportTest : public testing::Test {
protected:
    // Writes the tables as a report file and loads it back.
    CLoadHyperlinkTreeReport* RoundTrip() {
        CReportTree tree;
        tree.AddReport(tables.MakeReport());
        EXPECT_TRUE(tree.SaveXML(path.c_str()));
        EXPECT_TRUE(loaded.LoadXML(path.c_str()));
        return dynamic_cast<CLoadHyperlinkTreeReport*>(loaded.GetRoot());
    }
    TempDir dir;
    std::string path = dir.file("links.bvr");
    Tables tables;
    CReportTree loaded;
};

TEST_F(HyperlinkTreeReportTest, LinksHitsTotalsAndPageCountsSurviveTheFile) {
    auto& entry = tables.AddPage("(entry)", page_type_t::ENTRY);
    auto& home = tables.AddPage("/", page_type_t::PAGE);
    auto& news = tables.AddPage("/news", page_type_t::PAGE);
    auto& logo = tables.AddPage("/logo.gif", page_type_t::IMAGE);
    tables.Link(entry, home, 4);
    tables.Link(news, home, 2);
    tables.Link(home, news, 3);
    tables.Link(home, logo, 1);
    tables.single = {{"/", 5}};
    tables.entry = {{"/", 4}, {"/news", -3}};
    tables.exit = {{"/news", 6}};

    CLoadHyperlinkTreeReport* report = RoundTrip();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->GetReportName(), "Hyperlink Tree View");
    EXPECT_EQ(report->GetReportID(), "HTVIEW");
    EXPECT_EQ(report->GetReportIconType(), "HYPERLINKTREEVIEW");
    EXPECT_EQ(report->GetHelpFile(), "Reports/Main-HyperlinkTreeview.htm");

    Page* page = report->GetPageData("/");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->type, page_type_t::PAGE);
    EXPECT_EQ(page->counts.singleAccesses, 5);
    EXPECT_EQ(page->counts.siteEntries, 4);
    EXPECT_EQ(page->counts.siteExits, 0);
    EXPECT_EQ(page->childTotal, 4);
    EXPECT_EQ(page->parentTotal, 2);  // the ENTRY pseudo-page is not counted
    ASSERT_EQ(page->children.size(), 2u);
    const auto& toNews = page->children.at("/news");
    EXPECT_EQ(toNews.linkHits, 3);
    EXPECT_EQ(toNews.totalHits, 4);
    EXPECT_EQ(toNews.type, page_type_t::PAGE);
    EXPECT_EQ(toNews.counts.siteExits, 6);
    EXPECT_EQ(toNews.counts.siteEntries, 0);  // -3 is written as 0
    ASSERT_EQ(page->parents.size(), 2u);
    EXPECT_EQ(page->parents.at("(entry)").type, page_type_t::ENTRY);
    EXPECT_EQ(page->parents.at("(entry)").totalHits, 6);
    EXPECT_TRUE(toNews.tags.empty());

    EXPECT_EQ(report->GetPageData("/logo.gif")->parents.at("/").linkHits, 1);
    EXPECT_EQ(report->GetPageData("/nowhere"), nullptr);
    EXPECT_EQ(ReadFile(path).find("TAGTOTAL"), std::string::npos);
}

TEST_F(HyperlinkTreeReportTest, TagSharesAreCappedAndSmallOnesDropped) {
    tables.tags.AddTriggerInformation({CTagInformation::REFERRER, "promo", "Promo"});
    tables.tags.AddTriggerInformation({CTagInformation::ANYPAGE, "/buy", "Buyers"});
    tables.tags.AddTriggerInformation({CTagInformation::SITEENTRY, "/", "Idle"});
    tables.tagTotals = {200, 10, 0};
    auto& a = tables.AddPage("/a", page_type_t::PAGE);
    auto& b = tables.AddPage("/b", page_type_t::PAGE);
    auto& c = tables.AddPage("/c", page_type_t::PAGE);
    tables.Link(a, b, 9, {2, 25, 4});  // 1% (dropped), 250% (shown as 100), total 0
    tables.Link(a, c, 9, {50, 0, 0});  // 25%; the zero counts are not written

    CLoadHyperlinkTreeReport* report = RoundTrip();
    ASSERT_NE(report, nullptr);
    const auto& toB = report->GetPageData("/a")->children.at("/b");
    ASSERT_EQ(toB.tags.size(), 1u);
    EXPECT_EQ(toB.tags[0].name, "Buyers");
    EXPECT_DOUBLE_EQ(toB.tags[0].percentage, 100);
    EXPECT_EQ(toB.tags[0].colour, 0xD0D0D0u);
    EXPECT_EQ(toB.tags[0].type, CTagInformation::ANYPAGE);
    const auto& toC = report->GetPageData("/a")->children.at("/c");
    ASSERT_EQ(toC.tags.size(), 1u);
    EXPECT_DOUBLE_EQ(toC.tags[0].percentage, 25);
    EXPECT_EQ(toC.tags[0].colour, 0xC8F064u);
    EXPECT_EQ(report->GetPageData("/c")->parents.at("/a").tags.size(), 1u);
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("<TAGTOTAL Name=\"Promo\">200</TAGTOTAL>"), std::string::npos);
    EXPECT_EQ(text.find("<TAG Name=\"Buyers\" Type=\"ANYPAGE\">0</TAG>"), std::string::npos);
}

TEST_F(HyperlinkTreeReportTest, ALoadedTreeSavedAgainKeepsPagesLinksTagsAndCounts) {
    tables.tags.AddTriggerInformation({CTagInformation::SITEENTRY, "/", "Start"});
    tables.tagTotals = {40};
    auto& a = tables.AddPage("/a & b", page_type_t::PAGE);
    auto& b = tables.AddPage("/b", page_type_t::FILE);
    tables.Link(a, b, 6, {10});
    tables.single = {{"/only-in-data", 8}};
    tables.entry = {{"/b", 2}};
    ASSERT_NE(RoundTrip(), nullptr);

    const std::string again = dir.file("again.bvr");
    ASSERT_TRUE(loaded.SaveXML(again.c_str()));
    CReportTree reloaded;
    ASSERT_TRUE(reloaded.LoadXML(again.c_str()));
    auto* report = dynamic_cast<CLoadHyperlinkTreeReport*>(reloaded.GetRoot());
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->GetPages().size(), 2u);
    const auto& link = report->GetPageData("/a & b")->children.at("/b");
    EXPECT_EQ(link.linkHits, 6);
    EXPECT_EQ(link.type, page_type_t::FILE);
    EXPECT_EQ(link.counts.siteEntries, 2);
    ASSERT_EQ(link.tags.size(), 1u) << ReadFile(again);
    EXPECT_DOUBLE_EQ(link.tags[0].percentage, 25);
    EXPECT_EQ(link.tags[0].colour, 0x64BE64u);
    EXPECT_EQ(report->GetPageData("/b")->parentTotal, 6);
    EXPECT_NE(ReadFile(again).find(">/only-in-data</PAGE>"), std::string::npos) << ReadFile(again);
}

class HostileNames : public HyperlinkTreeReportTest,
                     public testing::WithParamInterface<std::string> {};

TEST_P(HostileNames, PageCountsAreFoundWhateverTheName) {
    const std::string name = GetParam();
    auto& page = tables.AddPage(name, page_type_t::PAGE);
    auto& other = tables.AddPage(name + "&amp;", page_type_t::FILE);
    tables.Link(page, other, 2);
    tables.single = {{tables.Keep(name), 3}, {tables.Keep(name + "&amp;"), 1}};
    tables.exit = {{tables.Keep(name), 7}};

    CLoadHyperlinkTreeReport* report = RoundTrip();
    ASSERT_NE(report, nullptr);
    Page* loaded = report->GetPageData(name.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->name, name);
    EXPECT_EQ(loaded->counts.singleAccesses, 3);
    EXPECT_EQ(loaded->counts.siteExits, 7);
    ASSERT_EQ(loaded->children.count(name + "&amp;"), 1u);
    EXPECT_EQ(loaded->children.at(name + "&amp;").counts.singleAccesses, 1);
    Page* second = report->GetPageData((name + "&amp;").c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->counts.singleAccesses, 1);
    EXPECT_EQ(second->parents.at(name).counts.siteExits, 7);
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNames,
                         testing::Values("/a&b", "/<script>", "/say \"hi\"", "/it's here",
                                         "/with space", "/caf\xE9-\xC0\xFF", "&lt;&amp;",
                                         std::string("/\xC6\xD0\xD7\xDE\xDF\xE6")));

TEST_F(HyperlinkTreeReportTest, LinksWithoutDataLoadWithZeroCountsAndOddLinkTypesAreDropped) {
    WriteFile(
        path,
        "<REPORTS><HYPERLINKTREEREPORT Name=\"H\"><LINKS>"
        "<PAGE Name=\"/x\" PageType=\"WEIRD\">"
        "<LINK Name=\"/y\" LinkHits=\"5\" TotalHits=\"5\" PageType=\"PAGE\" LinkType=\"CHILD\"/>"
        "<LINK Name=\"/z\" LinkHits=\"5\" TotalHits=\"5\" PageType=\"PAGE\" LinkType=\"SIDE\"/>"
        "</PAGE></LINKS></HYPERLINKTREEREPORT></REPORTS>");
    ASSERT_TRUE(loaded.LoadXML(path.c_str()));
    auto* report = dynamic_cast<CLoadHyperlinkTreeReport*>(loaded.GetRoot());
    ASSERT_NE(report, nullptr);
    Page* page = report->GetPageData("/x");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->type, page_type_t::NOTHING);
    EXPECT_EQ(page->counts.siteEntries, 0);
    EXPECT_EQ(page->children.size(), 1u);
    EXPECT_TRUE(page->parents.empty());
    EXPECT_EQ(page->childTotal, 5);
}

TEST_F(HyperlinkTreeReportTest, EscapedPageNamesOfOtherWritersStillFindTheirCounts) {
    WriteFile(path,
              "<REPORTS><HYPERLINKTREEREPORT Name=\"H\"><DATA>"
              "<PAGE NumSingleAccess=\"2\" NumSiteExit=\"3\" NumSiteEntry=\"4\">/a&amp;b</PAGE>"
              "</DATA><LINKS><PAGE Name=\"/a&amp;amp;b\" PageType=\"PAGE\"/></LINKS>"
              "</HYPERLINKTREEREPORT></REPORTS>");
    ASSERT_TRUE(loaded.LoadXML(path.c_str()));
    auto* report = dynamic_cast<CLoadHyperlinkTreeReport*>(loaded.GetRoot());
    ASSERT_NE(report, nullptr);
    Page* page = report->GetPageData("/a&b");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->counts.siteEntries, 4);
    EXPECT_EQ(page->counts.siteExits, 3);
}

TEST_F(HyperlinkTreeReportTest, ExactNamesAreNeverTakenForEscapedOnes) {
    auto& plain = tables.AddPage("/a&b", page_type_t::PAGE);
    auto& literal = tables.AddPage("/a&amp;b", page_type_t::PAGE);
    tables.Link(plain, literal, 1);
    tables.exit = {{"/a&b", 9}};
    CLoadHyperlinkTreeReport* report = RoundTrip();
    ASSERT_NE(report, nullptr);
    ASSERT_NE(report->GetPageData("/a&amp;b"), nullptr);
    EXPECT_EQ(report->GetPageData("/a&amp;b")->counts.siteExits, 0);
    EXPECT_EQ(report->GetPageData("/a&b")->counts.siteExits, 9);
    EXPECT_EQ(report->GetPageData("/a&b")->children.size(), 1u);
}

TEST_F(HyperlinkTreeReportTest, HugePageCountsAreCappedNotWrapped) {
    tables.AddPage("/big", page_type_t::PAGE);
    tables.exit = {{"/big", std::int64_t{1} << 33}};
    CLoadHyperlinkTreeReport* report = RoundTrip();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->GetPageData("/big")->counts.siteExits, 2147483647);
}

TEST(PageTypeNames, RoundTripAndDefaults) {
    const char* names[] = {"REFERRER", "FILE",    "PAGE",  "IMAGE",
                           "MISCWEB",  "NOTHING", "ENTRY", "EXIT"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ConvertPageTypeToString(static_cast<page_type_t>(i)), names[i]);
        EXPECT_EQ(ConvertStringToPageType(names[i]), static_cast<page_type_t>(i));
    }
    EXPECT_EQ(CSaveHyperlinkTreeReport::ConvertPageTypeToString(static_cast<page_type_t>(8)),
              "NOTHING");
    EXPECT_EQ(CLoadHyperlinkTreeReport::ConvertStringToPageType("page"), page_type_t::NOTHING);
}

}  // namespace
