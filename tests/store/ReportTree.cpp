#include "store/report/ReportTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "store/hyperlink/LoadHyperlinkTreeReport.h"
#include "store/hyperlink/SaveHyperlinkTreeReport.h"
#include "store/project/ProjectDescription.h"
#include "store/report/FolderReport.h"
#include "store/report/NestedTableReport.h"
#include "store/report/ReportSummaryTree.h"
#include "store/report/TableReport.h"
#include "store/report/TextMessageReport.h"
#include "support/TempDir.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

const std::string kOddText = "a & b <c> \"d\" 'e' \xC0\xE9\xFF\t end";

CTextMessageReport* Text(const char* name, const char* id) {
    auto* report = new CTextMessageReport;
    report->SetReportName(name);
    report->SetReportID(id);
    report->SetReportClass(std::string("class-") + id);
    report->SetMessage(kOddText);
    return report;
}

CFolderReport* Folder(const char* name) {
    auto* folder = new CFolderReport;
    folder->SetReportName(name);
    folder->SetMessage("About " + std::string(name));
    folder->SetDescription("Reports on " + std::string(name));
    return folder;
}

CTableReport* Table() {
    auto* table = new CTableReport;
    table->SetReportName("Most Requested Pages");
    table->SetReportID("PAGES");
    table->SetReportClass("RESOURCES");
    table->SetReportIconType("TABLE");
    table->SetHelpFile("Reports/Pages.htm");
    table->SetDescription(kOddText);
    table->SetXLimit(25);
    table->AllocateChart(4, 3, 2);
    table->SetColumnType(CTableReport::URL, CTableReport::NUMBER, CTableReport::PERCENTAGE,
                         CTableReport::BANDWIDTH);
    table->SetColumnTitle("Page &amp; more", "Hits", "Share", "Bytes");
    table->SetAlternateSort(1);
    for (unsigned long row = 0; row < 3; ++row) {
        table->SetItem(row, 0ul, "/page" + std::to_string(row) + "?a=1&amp;b=&lt;2&gt;");
        table->SetItem(row, 1ul, std::int64_t(100 - row));
        table->SetItem(row, 2ul, "33.33");
        table->SetItem(row, 3ul, std::int64_t(1024 * row));
        table->SetAlternateSortItem(row, 1, -std::int64_t(row) * 1000000000000);
    }
    table->SetRealUrl(1, 0, "http://example.com/page1?a=1&b=<2>");
    table->SetDisplayAsGraph(true);
    table->SetGraphType(CTableReport::PIE);
    table->SetNumGraphCols(2);
    table->SetXAxisTitle("Pages");
    table->SetYAxisTitle("Hits & \"more\"");
    return table;
}

CNestedTableReport* Nested() {
    auto* table = new CNestedTableReport;
    table->SetReportName("Referrers by page");
    table->SetReportID("NESTREF");
    table->AllocateChart(2, 2, -1);
    table->SetColumnType(CTableReport::URL, CTableReport::NUMBER);
    table->SetColumnTitle("Page", "Hits");
    table->SetItem(0, "/a", "7");
    table->SetItem(1, "/b", "3");
    table->AllocateNestedTable(0, 2);
    table->SetNestedTableItem(0, 0, 0, "http://ref/1");
    table->SetNestedTableItem(0, 0, 1, 5);
    table->SetNestedTableItem(0, 1, 0, "http://ref/2 &amp; x");
    table->SetNestedTableItem(0, 1, 1, 2);
    table->SetNestedRealUrl(0, 1, 0, "http://real/2");
    return table;
}

// A two-page hyperlink tree: "/" led to "/news" three times.
CSaveHyperlinkTreeReport* Links() {
    static const hyperlink_link_view_t toNews[] = {{"/news", 3, page_type_t::PAGE, nullptr}};
    static const hyperlink_link_view_t fromHome[] = {{"/", 3, page_type_t::PAGE, nullptr}};
    static const CSpanEntryRange<hyperlink_link_view_t> children(toNews), parents(fromHome);
    static const hyperlink_page_view_t pages[] = {{"/", page_type_t::PAGE, &children, nullptr},
                                                  {"/news", page_type_t::PAGE, nullptr, &parents}};
    static const page_count_view_t exits[] = {{"/news", 2}};
    using Counts = CSpanEntryRange<page_count_view_t>;
    return new CSaveHyperlinkTreeReport(
        3, std::make_unique<CSpanEntryRange<hyperlink_page_view_t>>(pages), nullptr, nullptr,
        nullptr, nullptr, std::make_unique<Counts>(exits));
}

// General (folder: Pages table, Referrers nested, Sub (folder: Note)), Summary text, Other
// text whose ID repeats one inside the folder, and the hyperlink tree.
void BuildSample(CReportTree& tree) {
    CProjectDescription project;
    project.SetSiteDomainName("www.example.com");
    project.SetProjectName("Example & Co");
    project.SetCreationDate("12/08/2026");
    tree.SetProjectDescription(project);
    tree.AddReport(Folder("General"));
    tree.AddReportAsChild(Table());
    tree.AddReport(Nested());
    tree.AddReport(Folder("Sub"));
    tree.AddReportAsChild(Text("Note", "SAME"));
    tree.Ascend();
    tree.Ascend();
    tree.AddReport(Text("Summary", "SUMMARY"));
    tree.AddReport(Text("Other", "SAME"));
    tree.AddReport(Links());
}

std::string GoldenPath() { return std::string(LOGVANE_TEST_DATA_DIR) + "/report/sample.bvr"; }

class ReportTreeTest : public testing::Test {
protected:
    std::string Saved(const CReportTree& tree) {
        const std::string path = dir.file("out.bvr");
        EXPECT_TRUE(tree.SaveXML(path.c_str()));
        return path;
    }
    TempDir dir;
};

TEST_F(ReportTreeTest, BuildingLinksParentsSiblingsAndChildren) {
    CReportTree tree;
    BuildSample(tree);
    CReport* general = tree.GetRoot();
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->GetReportName(), "General");
    CReport* pages = general->GetChild();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->GetParent(), general);
    CReport* sub = pages->GetSibling()->GetSibling();
    EXPECT_EQ(sub->GetReportName(), "Sub");
    EXPECT_EQ(sub->GetParent(), general);
    EXPECT_EQ(sub->GetChild()->GetParent(), sub);
    EXPECT_EQ(general->GetSibling()->GetReportName(), "Summary");
    EXPECT_EQ(general->GetSibling()->GetParent(), nullptr);
    EXPECT_EQ(general->GetCount(), 8);
}

TEST_F(ReportTreeTest, AddingASecondChildChainKeepsTheFirst) {
    CReportTree tree;
    tree.AddReport(Folder("F"));
    tree.AddReportAsChild(Text("one", "1"));
    tree.Ascend();
    tree.AddReportAsChild(Text("two", "2"));
    CReport* first = tree.GetRoot()->GetChild();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetReportName(), "one");
    ASSERT_NE(first->GetSibling(), nullptr);
    EXPECT_EQ(first->GetSibling()->GetReportName(), "two");
    EXPECT_EQ(first->GetSibling()->GetParent(), tree.GetRoot());
}

TEST_F(ReportTreeTest, FindByReportIdSearchesDepthFirstInDocumentOrder) {
    CReportTree tree;
    BuildSample(tree);
    CReport* found = tree.FindByReportID("SAME");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetReportName(), "Note");
    EXPECT_EQ(tree.FindByReportID("FOLDERSub")->GetReportName(), "Sub");
    EXPECT_EQ(tree.FindByReportID("same"), nullptr);
    EXPECT_EQ(tree.FindByReportID("missing"), nullptr);
    EXPECT_EQ(
        CReportTree::InternalFindByReportID(tree.GetRoot()->GetSibling(), "SAME")->GetReportName(),
        "Other");
}

TEST_F(ReportTreeTest, FolderIdComesFromItsNameWhateverTheFileSays) {
    WriteFile(dir.file("f.bvr"),
              "<REPORTS><FOLDER Name=\"Downloads\" ReportID=\"X\" ReportClass=\"Y\">"
              "<MESSAGE>m</MESSAGE><DESCRIPTION>d</DESCRIPTION></FOLDER></REPORTS>");
    CReportTree tree;
    ASSERT_TRUE(tree.LoadXML(dir.file("f.bvr").c_str()));
    ASSERT_NE(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.GetRoot()->GetReportID(), "FOLDERDownloads");
    EXPECT_EQ(tree.GetRoot()->GetReportClass(), "FOLDERDownloads");
    EXPECT_EQ(tree.GetRoot()->GetReportIconType(), "FOLDER");
    EXPECT_EQ(tree.GetRoot()->GetDescription(), "d");
}

void ExpectSameTable(const CTableReport& a, const CTableReport& b) {
    EXPECT_EQ(a.GetReportName(), b.GetReportName());
    EXPECT_EQ(a.GetReportID(), b.GetReportID());
    EXPECT_EQ(a.GetReportClass(), b.GetReportClass());
    EXPECT_EQ(a.GetReportIconType(), b.GetReportIconType());
    EXPECT_EQ(a.GetHelpFile(), b.GetHelpFile());
    EXPECT_EQ(a.GetDescription(), b.GetDescription());
    EXPECT_EQ(a.GetXLimit(), b.GetXLimit());
    EXPECT_EQ(a.GetDefaultSortColumn(), b.GetDefaultSortColumn());
    EXPECT_EQ(a.CanDisplayAsGraph(), b.CanDisplayAsGraph());
    EXPECT_EQ(a.GetGraphType(), b.GetGraphType());
    EXPECT_EQ(a.GetNumGraphCols(), b.GetNumGraphCols());
    EXPECT_EQ(a.GetXAxisTitle(), b.GetXAxisTitle());
    EXPECT_EQ(a.GetYAxisTitle(), b.GetYAxisTitle());
    ASSERT_EQ(a.GetNumRows(), b.GetNumRows());
    ASSERT_EQ(a.GetNumColumns(), b.GetNumColumns());
    for (unsigned long col = 0; col < a.GetNumColumns(); ++col) {
        EXPECT_EQ(a.GetColumnType(col), b.GetColumnType(col));
        EXPECT_EQ(a.GetColumnTitle(col), b.GetColumnTitle(col));
        EXPECT_EQ(a.GetAlternativeSort(col), b.GetAlternativeSort(col));
        EXPECT_EQ(a.HasRealUrls(col), b.HasRealUrls(col));
        for (unsigned long row = 0; row < a.GetNumRows(); ++row) {
            EXPECT_EQ(a.GetItem(row, col), b.GetItem(row, col));
            EXPECT_EQ(a.GetRealURL(row, col), b.GetRealURL(row, col));
            EXPECT_EQ(a.GetAlternativeSortItem(row, col), b.GetAlternativeSortItem(row, col));
        }
    }
}

TEST_F(ReportTreeTest, SaveAndReloadKeepsEverything) {
    CReportTree original;
    BuildSample(original);
    CReportTree loaded;
    ASSERT_TRUE(loaded.LoadXML(Saved(original).c_str()));
    EXPECT_EQ(loaded.GetSiteDomainName(), "www.example.com");
    EXPECT_EQ(loaded.GetSiteProjectName(), "Example & Co");
    EXPECT_EQ(loaded.GetCreationDate(), "12/08/2026");

    CReport* general = loaded.GetRoot();
    ASSERT_NE(general, nullptr);
    ASSERT_EQ(general->GetReportType(), CReport::FOLDER);
    EXPECT_EQ(static_cast<CFolderReport*>(general)->GetMessage(), "About General");
    EXPECT_EQ(general->GetDescription(), "Reports on General");
    EXPECT_EQ(general->GetCount(), 8);

    CReport* pages = general->GetChild();
    ASSERT_EQ(pages->GetReportType(), CReport::TABLE);
    std::unique_ptr<CTableReport> expected(Table());
    ExpectSameTable(*static_cast<CTableReport*>(pages), *expected);

    auto* nested = static_cast<CNestedTableReport*>(pages->GetSibling());
    ASSERT_EQ(nested->GetReportType(), CReport::NESTED_TABLE);
    std::unique_ptr<CNestedTableReport> expectedNested(Nested());
    ExpectSameTable(*nested, *expectedNested);
    EXPECT_EQ(nested->GetNestedRows(0), 2);
    EXPECT_EQ(nested->GetNestedRows(1), 0);
    EXPECT_EQ(nested->GetNestedTableItem(0, 1, 0), "http://ref/2 &amp; x");
    EXPECT_EQ(nested->GetNestedTableItem(0, 0, 1), "5");
    EXPECT_EQ(nested->GetNestedRealURL(0, 1, 0), "http://real/2");
    EXPECT_EQ(nested->GetNestedRealURL(0, 0, 0), "");

    CReport* sub = nested->GetSibling();
    EXPECT_EQ(sub->GetReportName(), "Sub");
    EXPECT_EQ(sub->GetParent(), general);
    auto* note = static_cast<CTextMessageReport*>(sub->GetChild());
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->GetReportName(), "Note");
    EXPECT_EQ(note->GetMessage(), kOddText);
    EXPECT_EQ(note->GetParent(), sub);
    EXPECT_EQ(general->GetSibling()->GetReportName(), "Summary");
    EXPECT_EQ(general->GetSibling()->GetSibling()->GetReportClass(), "class-SAME");
    EXPECT_EQ(loaded.FindByReportID("SAME"), note);

    auto* links = dynamic_cast<CLoadHyperlinkTreeReport*>(loaded.FindByReportID("HTVIEW"));
    ASSERT_NE(links, nullptr);
    ASSERT_NE(links->GetPageData("/news"), nullptr);
    EXPECT_EQ(links->GetPageData("/news")->counts.siteExits, 2);
    EXPECT_EQ(links->GetPageData("/")->children.at("/news").counts.siteExits, 2);
}

TEST_F(ReportTreeTest, WritesTheGoldenReportFile) {
    CReportTree tree;
    BuildSample(tree);
    const std::string text = ReadFile(Saved(tree));
    if (std::getenv("LOGVANE_REGENERATE_GOLDEN")) WriteFile(GoldenPath(), text);
    EXPECT_EQ(text, ReadFile(GoldenPath()));
}

TEST_F(ReportTreeTest, SavingAllAnnouncesEveryReportOnceAndOneReportAlone) {
    CReportTree tree;
    BuildSample(tree);
    CMarkup all;
    all.AddElem("REPORTS");
    all.IntoElem();
    CSaveXMLProgress everything(1000);
    tree.GetRoot()->SaveXML(everything, all, true);
    EXPECT_EQ(everything.GetReportsDone(), 8);

    CMarkup one;
    one.AddElem("REPORTS");
    one.IntoElem();
    CSaveXMLProgress single(1000);
    tree.GetRoot()->SaveXML(single, one, false);
    EXPECT_EQ(single.GetReportsDone(), 1);
    const std::string text = one.GetDoc();
    EXPECT_NE(text.find("<FOLDER Name=\"General\""), std::string::npos);
    EXPECT_EQ(text.find("TABLEREPORT"), std::string::npos);
    EXPECT_EQ(text.find("TEXTMESSAGE"), std::string::npos);
}

TEST_F(ReportTreeTest, EmptyTreeWritesAReportsElementAndLoadsEmpty) {
    CReportTree tree;
    const std::string path = Saved(tree);
    EXPECT_NE(ReadFile(path).find("<REPORTS"), std::string::npos);
    CReportTree loaded;
    loaded.AddReport(Text("stale", "X"));
    EXPECT_TRUE(loaded.LoadXML(path.c_str()));
    EXPECT_EQ(loaded.GetRoot(), nullptr);
}

struct BadFile {
    const char* name;
    const char* bytes;
};

class UnreadableReportFile : public ReportTreeTest, public testing::WithParamInterface<BadFile> {};

TEST_P(UnreadableReportFile, LeavesTheTreeEmpty) {
    const std::string path = dir.file("bad.bvr");
    WriteFile(path, GetParam().bytes);
    CReportTree tree;
    tree.AddReport(Text("stale", "X"));
    EXPECT_FALSE(tree.LoadXML(path.c_str()));
    EXPECT_EQ(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.GetSiteDomainName(), "");
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableReportFile,
                         testing::Values(BadFile{"Empty", ""}, BadFile{"NotXml", "this is not xml"},
                                         BadFile{"Unclosed", "<REPORTS><TEXTMESSAGE Name=\"x\">"},
                                         BadFile{"OtherRoot",
                                                 "<PROJECT><TEXTMESSAGE Name=\"x\"/></PROJECT>"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportTreeTest, MissingFileLeavesTheTreeEmpty) {
    CReportTree tree;
    EXPECT_FALSE(tree.LoadXML(dir.file("nothing-here.bvr").c_str()));
    EXPECT_EQ(tree.GetRoot(), nullptr);
}

TEST_F(ReportTreeTest, DeclaredSizesBoundWhatIsRead) {
    WriteFile(dir.file("t.bvr"),
              "<REPORTS><UNKNOWN/><TABLEREPORT Name=\"T\" NumRows=\"3\" NumCols=\"2\">"
              "<COLTYPES><COLUMN Type=\"TEXT\">A</COLUMN><COLUMN Type=\"BOGUS\">B</COLUMN>"
              "<COLUMN Type=\"URL\">C</COLUMN></COLTYPES>"
              "<ROWS><ROW><COL>a</COL><COL>b</COL><COL>extra</COL></ROW>"
              "<ROW><COL>c</COL></ROW></ROWS></TABLEREPORT></REPORTS>");
    CReportTree tree;
    ASSERT_TRUE(tree.LoadXML(dir.file("t.bvr").c_str()));
    auto* table = dynamic_cast<CTableReport*>(tree.GetRoot());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetNumRows(), 3u);
    EXPECT_EQ(table->GetNumColumns(), 2u);
    EXPECT_EQ(table->GetColumnType(1), CTableReport::NUMBER);
    EXPECT_EQ(table->GetItem(0, 1), "b");
    EXPECT_EQ(table->GetItem(1, 0), "c");
    EXPECT_EQ(table->GetItem(1, 1), "");
    EXPECT_EQ(table->GetItem(2, 0), "");
    EXPECT_EQ(table->GetDefaultSortColumn(), 0);
    EXPECT_FALSE(table->CanDisplayAsGraph());
}

TEST_F(ReportTreeTest, HugeDeclaredSizesDoNotAllocateEmptyGigabytes) {
    WriteFile(dir.file("h.bvr"),
              "<REPORTS><NESTEDREPORT Name=\"T\" NumRows=\"2000000000\" NumCols=\"3000\">"
              "<ROWS><ROW><COL>a</COL><NESTED NumRows=\"2000000000\"><ROW><COL>n</COL></ROW>"
              "</NESTED></ROW></ROWS></NESTEDREPORT></REPORTS>");
    CReportTree tree;
    ASSERT_TRUE(tree.LoadXML(dir.file("h.bvr").c_str()));
    auto* table = dynamic_cast<CNestedTableReport*>(tree.GetRoot());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetNumRows(), 1u);
    EXPECT_EQ(table->GetItem(0, 0), "a");
    EXPECT_EQ(table->GetNestedRows(0), 1);
    EXPECT_EQ(table->GetNestedTableItem(0, 0, 0), "n");
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

TEST_F(ReportTreeTest, DeclaredButMissingRowsCostNoMemory) {
    // Each table claims 4,000 x 1,000 cells and each nested table 100,000 rows; none are there.
    std::string text = "<REPORTS>";
    for (int i = 0; i < 2000; ++i) text += "<TABLEREPORT NumRows=\"4000\" NumCols=\"1000\"/>";
    text += "<NESTEDREPORT NumRows=\"20000\" NumCols=\"2\"><ROWS>";
    for (int i = 0; i < 20000; ++i) text += "<ROW><NESTED NumRows=\"100000\"/></ROW>";
    text += "</ROWS></NESTEDREPORT></REPORTS>";
    WriteFile(dir.file("claims.bvr"), text);
    const long before = ResidentKilobytes();
    CReportTree tree;
    ASSERT_TRUE(tree.LoadXML(dir.file("claims.bvr").c_str()));
    EXPECT_LT(ResidentKilobytes() - before, 200 * 1024);
    auto* table = dynamic_cast<CTableReport*>(tree.GetRoot());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetNumRows(), 4000u);
    EXPECT_EQ(table->GetItem(3999, 999), "");
    CReport* last = tree.GetRoot();
    while (last->GetSibling()) last = last->GetSibling();
    auto* nested = dynamic_cast<CNestedTableReport*>(last);
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->GetNestedRows(19999), 100000);
    EXPECT_EQ(nested->GetNestedTableItem(19999, 99999, 1), "");
}

TEST_F(ReportTreeTest, DeeplyNestedFoldersLoadWithoutExhaustingTheStack) {
    std::string text = "<REPORTS>";
    for (int i = 0; i < 20000; ++i) text += "<FOLDER Name=\"f\">";
    for (int i = 0; i < 20000; ++i) text += "</FOLDER>";
    text += "<TEXTMESSAGE Name=\"after\"/></REPORTS>";
    WriteFile(dir.file("deep.bvr"), text);
    CReportTree tree;
    ASSERT_TRUE(tree.LoadXML(dir.file("deep.bvr").c_str()));
    ASSERT_NE(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.GetRoot()->GetSibling()->GetReportName(), "after");
    EXPECT_GT(tree.GetRoot()->GetCount(), 100);
}

TEST(ReportTreeChains, LongSiblingChainsAreDeletedWithoutRecursion) {
    CReportTree tree;
    for (int i = 0; i < 1000000; ++i) tree.AddReport(new CTextMessageReport);
    EXPECT_EQ(tree.GetRoot()->GetCount(), 1000000);
    tree.Clear();
    EXPECT_EQ(tree.GetRoot(), nullptr);
}

TEST_F(ReportTreeTest, SummaryTreeHandsOutHandlesInTreeOrder) {
    CReportTree original;
    BuildSample(original);
    CReportSummaryTree summary;
    ASSERT_TRUE(summary.LoadXML(Saved(original).c_str()));
    CSummaryReport root = summary.GetRoot();
    EXPECT_EQ(root.GetReportType(), CReport::FOLDER);
    EXPECT_EQ(root.GetReportIconType(), "FOLDER");
    ASSERT_TRUE(root.HasChild());
    CSummaryReport pages = root.GetChild();
    EXPECT_EQ(pages.GetReportName(), "Most Requested Pages");
    EXPECT_EQ(pages.GetReportClass(), "RESOURCES");
    EXPECT_FALSE(pages.HasChild());
    EXPECT_TRUE(pages.HasSibling());
    CSummaryReport none = pages.GetChild();
    EXPECT_EQ(none.GetReport(), nullptr);
    EXPECT_EQ(none.GetReportName(), "");
    EXPECT_FALSE(none.HasSibling());
}

}  // namespace
