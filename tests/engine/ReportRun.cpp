// A whole analysis through the engine's entry points, checked in the report file it writes:
// the report phase is wired to the tables, identification lists and sessions of the run.
#include <gtest/gtest.h>

#include <string>

#include "engine/api/LogvaneEngine.h"
#include "store/hyperlink/LoadHyperlinkTreeReport.h"
#include "store/report/NestedTableReport.h"
#include "store/report/ReportTree.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

using logvane::test::ScopedHome;
using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {

const std::string kData = std::string(LOGVANE_TEST_DATA_DIR) + "/../../data/";

constexpr const char* kAgent =
    "\"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:120.0) Gecko/20100101 Firefox/120.0\"";

std::string Line(const char* host, const char* time, const char* path, int status,
                 const char* referrer) {
    return std::string(host) + " - - [" + time + " +0000] \"GET " + path + " HTTP/1.1\" " +
           std::to_string(status) + " 1000 \"" + referrer + "\" " + kAgent + "\n";
}

class ReportRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string log =
            Line("192.0.2.1", "06/Dec/2025:10:00:00", "/index.html", 200,
                 "http://www.google.com/search?q=blue+shoes") +
            Line("192.0.2.1", "06/Dec/2025:10:00:30", "/shoes.html", 200,
                 "http://www.example.com/index.html") +
            Line("192.0.2.1", "06/Dec/2025:10:01:00", "/missing.html", 404,
                 "http://www.example.com/shoes.html") +
            Line("198.51.100.9", "07/Dec/2025:09:00:00", "/index.html", 200, "-") +
            Line("198.51.100.9", "07/Dec/2025:09:00:10", "/search.html?q=red", 200,
                 "http://www.example.com/index.html");
        WriteFile(dir.file("access.log"), log);
        WriteFile(dir.file("site.bvp"),
                  "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
                  "<PROJECT version=\"1\" Name=\"Shoes\" DNS=\"TRUE\" DOMAIN=\"www.example.com\" "
                  "DEFAULTPAGE=\"index.html\" COOKIEID=\"SID\">\n"
                  "<LOGFILES><LOGFILEENTRY Type=\"LOCAL\" Format=\"AUTO\"><PATHS>"
                  "<PATH Type=\"FILE\">" +
                      dir.file("access.log") +
                      "</PATH></PATHS></LOGFILEENTRY></LOGFILES>\n"
                      "<TRACKING><TRACK>/shoes.html</TRACK></TRACKING>\n"
                      "</PROJECT>\n");
        LogvaneInitialize((kData + "suffixdata.xml").c_str(), dir.file("none.xml").c_str());
    }
    void TearDown() override { LogvaneKill(); }

    bool Run() {
        output = dir.file("site.bvr");
        return LogvaneStartAnalysis(dir.file("site.bvp").c_str(), (kData + "os.xml").c_str(),
                                    (kData + "browser.xml").c_str(), (kData + "spider.xml").c_str(),
                                    (kData + "searchengines.xml").c_str(),
                                    dir.file("no-global-filters.xml").c_str(),
                                    (kData + "filetypeidentification.xml").c_str(),
                                    (kData + "suffixdata.xml").c_str(), output.c_str(), "", true);
    }

    CTableReport* Table(const char* id) {
        return dynamic_cast<CTableReport*>(tree.FindByReportID(id));
    }

    ScopedHome home;
    TempDir dir;
    std::string output;
    CReportTree tree;
};

TEST_F(ReportRunTest, ABatchRunWritesEveryReportFromTheRealTables) {
    ASSERT_TRUE(Run()) << CProgress::GetXML();
    ASSERT_TRUE(tree.LoadXML(output.c_str()));
    EXPECT_EQ(tree.GetSiteProjectName(), "Shoes");

    CTableReport* general = Table("GS");
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->GetItem(0, 1), "5");
    EXPECT_EQ(general->GetItem(10, 1), "1 day");  // 23 hours, on two dates

    ASSERT_NE(Table("404ERR"), nullptr);
    ASSERT_EQ(Table("404ERR")->GetNumRows(), 1u);
    EXPECT_EQ(Table("404ERR")->GetItem(0, 0), "/missing.html");

    CTableReport* browsers = Table("VWB");
    ASSERT_NE(browsers, nullptr);
    ASSERT_GE(browsers->GetNumRows(), 1u);
    EXPECT_EQ(browsers->GetItem(0, 0), "Firefox");

    CTableReport* hosts = Table("DN");
    ASSERT_NE(hosts, nullptr);
    EXPECT_EQ(hosts->GetNumRows(), 2u);
    EXPECT_EQ(Table("HITSDAY")->GetNumRows(), 2u);
    EXPECT_NE(tree.FindByReportID("/shoes.htmlHPD"), nullptr);

    auto* links = dynamic_cast<CLoadHyperlinkTreeReport*>(tree.FindByReportID("HTVIEW"));
    ASSERT_NE(links, nullptr);
    EXPECT_NE(links->GetPageData("/index.html"), nullptr);
}

TEST_F(ReportRunTest, LogsWithoutTheProjectsCookieGiveTheCookieWarning) {
    ASSERT_TRUE(Run());
    EXPECT_NE(CProgress::GetXML().find("no cookie data was found"), std::string::npos);
}

}  // namespace
