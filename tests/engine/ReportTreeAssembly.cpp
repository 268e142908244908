#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "ReportFixture.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/report/ReportSources.h"
#include "engine/report/ReportTemplate.h"
#include "engine/report/ReportTreeAssembly.h"
#include "engine/session/HyperlinkTable.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"
#include "store/project/ProjectInformation.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"
#include "store/style/ExportInformation.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

using logvane::test::HandTables;
using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;
using Strings = std::vector<std::string>;

namespace {

constexpr std::time_t kNow = 1765152000;  // December 8, 2025, midnight UTC
constexpr std::int32_t kRunStart = 1765152000 - 60;

std::string GoldenPath(const std::string& name) {
    return std::string(LOGVANE_TEST_DATA_DIR) + "/golden/" + name;
}

// Compares `text` with the golden file, or rewrites the golden file when
// LOGVANE_REGENERATE_GOLDEN is set (tools/update-golden.sh).
void ExpectGolden(const std::string& name, const std::string& text) {
    if (std::getenv("LOGVANE_REGENERATE_GOLDEN")) WriteFile(GoldenPath(name), text);
    const std::string golden = ReadFile(GoldenPath(name));
    const auto diff = std::mismatch(text.begin(), text.end(), golden.begin(), golden.end());
    EXPECT_TRUE(text == golden) << "differs from tests/data/golden/" << name << " at byte "
                                << (diff.first - text.begin()) << ": \""
                                << text.substr(static_cast<std::size_t>(diff.first - text.begin()),
                                               80)
                                << "\"";
}

// One line per report, depth first: indentation, type, name, ID and row count.
void Outline(const CReport* report, int depth, Strings& lines) {
    for (; report; report = report->GetSibling()) {
        std::string line(static_cast<std::size_t>(depth) * 2, ' ');
        line += std::to_string(report->GetReportType()) + " " + report->GetReportName() + " [" +
                report->GetReportID() + "]";
        if (const auto* table = dynamic_cast<const CTableReport*>(report))
            line += " " + std::to_string(table->GetNumRows());
        lines.push_back(line);
        Outline(report->GetChild(), depth + 1, lines);
    }
}

Strings Outline(const CReportTree& tree) {
    Strings lines;
    Outline(tree.GetRoot(), 0, lines);
    return lines;
}

// Top-level and folder names only.
Strings Folders(const CReport* report, int depth = 0) {
    Strings names;
    for (; report; report = report->GetSibling()) {
        if (report->GetReportType() == CReport::FOLDER || depth == 0)
            names.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') +
                            report->GetReportName());
        for (const std::string& inner : Folders(report->GetChild(), depth + 1))
            if (report->GetReportType() == CReport::FOLDER) names.push_back(inner);
    }
    return names;
}

int CountErrors(const std::string& text) {
    const std::string xml = CProgress::GetXML();
    int count = 0;
    for (std::size_t at = xml.find(text); at != std::string::npos; at = xml.find(text, at + 1))
        ++count;
    return count;
}

class ReportTreeAssemblyTest : public ::testing::Test {
protected:
    void SetUp() override {
        PoolCreate();
        CProgress::Initialize();
        setenv("TZ", "UTC0", 1);
        tzset();
        project.SetProjectName("Shop");
        project.SetSiteDomain("www.example.com");
        sources.tables = &hand.tables;
        sources.siteDomain = "www.example.com";
        sources.startTime = kRunStart;
        sources.tags = &project.GetTagInformation();
    }
    void TearDown() override {
        CProgress::Initialize();
        PoolDestroy();
        unsetenv("TZ");
        tzset();
    }

    // A small run over most tables, with one tag trigger on the hyperlink tree.
    void FillRun() {
        project.TagInformation().AddTriggerInformation(
            CTagInformation::CTriggerInformation(CTagInformation::REFERRER, "*google*", "Google"));
        sources.tags = &project.GetTagInformation();
        CRunTables& t = hand.tables;
        run_counters_t& c = t.counters;
        c.totalHits = 12;
        c.totalBytes = 24000;
        c.sessions = 3;
        c.pageHits = 7;
        c.imageHits = 4;
        c.fileHits = 1;
        c.notFoundHits = 1;
        c.earliestHit = 1764979200;  // December 6, 2025
        c.latestHit = 1764979200 + 86400 + 7200;
        c.hitsPerHour[9] = 12;
        c.hitsPerWeekday[6] = 12;
        c.referrerOrigins = {0, 0, 4, 0, 0, 8, 0};
        c.tagTriggers = {2};
        hand.Resource(t.resources, "/index.html", 5, 0, 10000);
        hand.Resource(t.resources, "/logo.png", 4, 1, 4000);
        hand.Resource(t.pages, "/index.html", 5, 0, 10000);
        hand.Resource(t.pages, "/caf\xe9 & bar.html", 2, 0, 2000);
        hand.Resource(t.images, "/logo.png", 4, 1, 4000);
        hand.Resource(t.directories, "/", 9, 0, 14000);
        hand.Host("192.0.2.7", 8, 16000);
        hand.Host("198.51.100.1", 4, 8000);
        hand.User("ann", 3, 1, 300);
        hand.Country("US", "United States", 12);
        hand.Error(t.notFoundErrors, "/gone.html", 404, 1);
        hand.Error(t.otherErrors, "/private/", 403, 2);
        hand.Refer(t.referringPages, "http://www.google.com/search?q=shop", 4);
        hand.Refer(t.referringDomains, "google.com", 4);
        hand.Refer(t.entryPages, "/index.html", 3);
        hand.Refer(t.exitPages, "/caf\xe9 & bar.html", 2);
        hand.Refer(t.singleAccessPages, "/index.html", 1);
        hand.Nested(t.pageReferrers, "/index.html", "http://www.google.com/search?q=shop", 4);
        hand.Nested(t.notFoundReferrers, "/gone.html", "-", 1);
        hand.Nested(t.queryStrings, "/search", "q=red%20shoes", 2);
        hand.Search(t.searchEngines, "Google", "-", 4);
        hand.Search(t.searchKeywords, "shop", "-", 4);
        hand.Search(t.searchPhrases, "shop", "Google", 4);
        hand.Day(t.hitsPerDay, 20428, 8, 16000);
        hand.Day(t.hitsPerDay, 20429, 4, 8000);
        hand.Day(t.pageViewsPerDay, 20428, 5);
        hand.Day(t.visitorsPerDay, 20428, 3);
        tracked_file_t& promo = hand.Tracked("/index.html");
        hand.Day(promo.hitsPerDay, 20428, 5, 10000);
        hand.Refer(promo.referrers, "http://www.google.com/search?q=shop", 4);
        hand.Sort();

        browsers.AddCategory("Firefox", {"FIREFOX"});
        browsers.AddCategory("Other Browsers", {});
        browsers.MatchString("Mozilla/5.0 Firefox/120.0");
        browsers.MatchString("curl/8.0");
        sources.browsers = &browsers;

        const std::uint8_t tagged = 1, untagged = 0;
        links.AddLink(hand.Keep("www.google.com"), page_type_t::REFERRER, hand.Keep("/index.html"),
                      page_type_t::PAGE, &tagged);
        links.AddLink(hand.Keep("/index.html"), page_type_t::PAGE, hand.Keep("/caf\xe9 & bar.html"),
                      page_type_t::PAGE, &untagged);
        sources.hyperlinks = &links;
    }

    CProjectInformation project;
    HandTables hand;
    CBrowserIdentification browsers;
    CHyperlinkTable links{64, 1};
    report_sources_t sources;
    TempDir dir;
};

TEST_F(ReportTreeAssemblyTest, FoldersComeInTreeOrder) {
    CReportTree tree;
    hand.Sort();
    BuildReportTree(sources, tree);
    EXPECT_EQ(Folders(tree.GetRoot()),
              (Strings{"General Statistics", "Hyperlink Tree View", "Visitor Information",
                       "Access Statistics", "  Page Types", "  Most Popular Resources",
                       "  Least Popular Resources", "Site \"Stickiness\"", "Referrer Information",
                       "Technical Information", "Scenario Analysis", "Tracked Files"}));
    for (const CReport* r = tree.GetRoot(); r; r = r->GetSibling()) {
        if (r->GetReportType() == CReport::FOLDER) {
            EXPECT_FALSE(r->GetDescription().empty()) << r->GetReportName();
        }
    }
}

TEST_F(ReportTreeAssemblyTest, EveryReportSitsInItsFolderInOrder) {
    CReportTree tree;
    hand.Sort();
    BuildReportTree(sources, tree);
    Strings byFolder;
    for (const CReport* top = tree.GetRoot(); top; top = top->GetSibling()) {
        std::string line = top->GetReportName() + ":";
        for (const CReport* r = top->GetChild(); r; r = r->GetSibling())
            line += " " + r->GetReportID();
        byFolder.push_back(line);
    }
    EXPECT_EQ(byFolder,
              (Strings{"General Statistics:", "Hyperlink Tree View:",
                       "Visitor Information: DN GA VWB VOS SSP AU",
                       "Access Statistics: FOLDERPage Types FOLDERMost Popular Resources "
                       "FOLDERLeast Popular Resources HITSDAY BANDWIDTHDAY PVDAY VISITORSDAY "
                       "DOWHIST HOURSHITS QS",
                       "Site \"Stickiness\":",
                       "Referrer Information: REFOR REFD REFP INDIVPR SEARCHPERF SEARCHKEY "
                       "SEARCHENGINEPHRASES",
                       "Technical Information: 404ERR 404PR MISCERR",
                       "Scenario Analysis:", "Tracked Files:"}));
}

TEST_F(ReportTreeAssemblyTest, WarnsOnceWhenTheCookieNeverAppeared) {
    hand.Sort();
    project.SetCookieID("SESSIONID");
    const std::string output = dir.file("out.bvr");
    ASSERT_TRUE(AssembleReportTree(project, sources, 0, output, true, kNow));
    EXPECT_EQ(CountErrors(kNoCookieDataError), 1);
    EXPECT_EQ(CountErrors("General/Cookies.htm"), 1);
    CReportTree loaded;
    ASSERT_TRUE(loaded.LoadXML(output.c_str()));
    EXPECT_NE(loaded.FindByReportID("SEARCHENGINEPHRASES"), nullptr);  // the whole tree

    CProgress::Initialize();
    AssembleReportTree(project, sources, 1, output, true, kNow);
    project.SetCookieID("");
    AssembleReportTree(project, sources, 0, output, true, kNow);
    EXPECT_EQ(CountErrors(kNoCookieDataError), 0);
}

TEST_F(ReportTreeAssemblyTest, ASavedTreeReloadsWithTheSameStructure) {
    FillRun();
    const std::string output = dir.file("out.bvr");
    ASSERT_TRUE(AssembleReportTree(project, sources, 1, output, true, kNow));

    CReportTree built;
    BuildReportTree(sources, built);
    CReportTree loaded;
    ASSERT_TRUE(loaded.LoadXML(output.c_str()));
    EXPECT_EQ(Outline(loaded), Outline(built));
    EXPECT_EQ(loaded.GetSiteDomainName(), "www.example.com");
    EXPECT_EQ(loaded.GetSiteProjectName(), "Shop");
    EXPECT_EQ(loaded.GetCreationDate(), "December 08, 2025 12:00 AM");
    const auto* pages = dynamic_cast<CTableReport*>(loaded.FindByReportID("MRQP"));
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->GetItem(1, 0), "/caf\xe9 & bar.html");
    EXPECT_EQ(pages->GetRealURL(1, 0), "http://www.example.com/caf\xe9 & bar.html");
}

TEST_F(ReportTreeAssemblyTest, WithoutTheSaveFlagNothingIsWritten) {
    const std::string output = dir.file("out.bvr");
    EXPECT_TRUE(AssembleReportTree(project, sources, 1, output, false, kNow));
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(ReportTreeAssemblyTest, AnExportingProjectEndsAtTheExportStage) {
    hand.Sort();
    const std::string output = dir.file("out.bvr");
    ASSERT_TRUE(AssembleReportTree(project, sources, 1, output, true, kNow));
    EXPECT_NE(CProgress::GetXML().find("<TEXT>Saving report: Tracked Files</TEXT>"),
              std::string::npos);

    CExportInformation exporting;
    exporting.SetIsExport(true);
    exporting.SetExportType(CExportInformation::CSV);
    project.SetExportInformation(exporting);
    ASSERT_TRUE(AssembleReportTree(project, sources, 1, output, true, kNow));
    const std::string progress = CProgress::GetXML();
    EXPECT_NE(progress.find("<TEXT>Initializing</TEXT>"), std::string::npos);
    EXPECT_NE(progress.find("<STAGE>Saving reports</STAGE>"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);  // the export entry points write nothing beside the report file
}

TEST_F(ReportTreeAssemblyTest, AFailedSaveIsReported) {
    hand.Sort();
    const std::string output = dir.file("missing/folder/out.bvr");
    EXPECT_FALSE(AssembleReportTree(project, sources, 1, output, true, kNow));
    EXPECT_EQ(CountErrors("Could not write the report file"), 1);
}

TEST_F(ReportTreeAssemblyTest, ARunWithoutHitsStillHasEveryReport) {
    hand.Sort();
    CReportTree tree;
    BuildReportTree(sources, tree);
    const Strings lines = Outline(tree);
    EXPECT_EQ(lines.size(), 49u);
    const auto* general = dynamic_cast<CTableReport*>(tree.FindByReportID("GS"));
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->GetNumRows(), 18u);
    const CReport* tracked = tree.FindByReportID("FOLDERTracked Files");
    ASSERT_NE(tracked, nullptr);
    EXPECT_EQ(tracked->GetChild(), nullptr);
}

TEST_F(ReportTreeAssemblyTest, WritesTheGoldenReportFile) {
    FillRun();
    const std::string output = dir.file("golden.bvr");
    ASSERT_TRUE(AssembleReportTree(project, sources, 1, output, true, kNow));
    ExpectGolden("report.bvr", ReadFile(output));
}

TEST(ReportTemplateTest, HoldsEveryReportWithoutRows) {
    CReportTree tree;
    BuildReportTemplate(tree);
    Strings lines = Outline(tree);
    EXPECT_EQ(lines.size(), 49u);
    for (const std::string& line : lines) {
        if (line.back() >= '0' && line.back() <= '9') {
            EXPECT_TRUE(line.ends_with(" 0")) << line;
        }
    }
    const auto* hours = dynamic_cast<CTableReport*>(tree.FindByReportID("HOURSHITS"));
    ASSERT_NE(hours, nullptr);
    EXPECT_TRUE(hours->GetAlternativeSort(0));
    EXPECT_EQ(hours->GetColumnTitle(0), "Hour");
    EXPECT_NE(tree.FindByReportID("HTVIEW"), nullptr);
    EXPECT_NE(tree.FindByReportID("FOLDERTracked Files"), nullptr);
}

TEST(ReportTemplateTest, MatchesTheGoldenTemplate) {
    TempDir dir;
    const std::string path = dir.file("template.xml");
    ASSERT_TRUE(WriteReportTemplate(path.c_str()));
    ExpectGolden("template.xml", ReadFile(path));
}

}  // namespace
