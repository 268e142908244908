#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ReferenceCounter.h"
#include "engine/api/LogvaneEngine.h"
#include "engine/hit/HitPhases.h"
#include "engine/run/AnalysisDriver.h"
#include "engine/run/EngineState.h"
#include "engine/scan/Scanner.h"
#include "engine/table/RunTables.h"
#include "store/ident/FileTypeIdentification.h"
#include "store/project/ProjectInformation.h"
#include "store/settings/Settings.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::ref_hit_t;
using logvane::test::reference_counts_t;
using logvane::test::reference_options_t;
using logvane::test::ReferenceCounter;
using logvane::test::TempDir;
namespace fs = std::filesystem;

const std::string kShipped = std::string(LOGVANE_TEST_DATA_DIR) + "/../../data/";
const std::string kLogs = std::string(LOGVANE_TEST_DATA_DIR) + "/logs/";

// Collects the scanner's hits as plain texts for the reference counter.
class CollectingConsumer : public CHitConsumer {
public:
    void ProcessHit(hit_t* hit) override {
        ref_hit_t r;
        r.host = std::string(hit->Host());
        r.path = std::string(hit->Path());
        r.referrer = std::string(hit->Referrer());
        r.agent = std::string(hit->Agent());
        r.user = std::string(hit->User());
        r.time = hit->time;
        r.status = hit->status;
        r.bytes = hit->bytes;
        hits.push_back(std::move(r));
    }
    std::vector<ref_hit_t> hits;
};

class HitDriverRun : public testing::Test {
protected:
    void SetUp() override {
        LogvaneInitialize((kShipped + "suffixdata.xml").c_str(),
                          dir.file("no-settings.xml").c_str());
    }
    void TearDown() override { LogvaneKill(); }

    std::string SaveProject(const std::string& log) {
        CProjectInformation project;
        project.AllocateLogInfo(0);
        project.SetProjectName("Site");
        project.SetSiteDomain("www.example.com");
        project.SetSiteDefaultPage("index.html");
        project.SetDisableDNS(true);  // no reverse lookups from tests
        CLogfileInformation entry;
        entry.SetPath(-1, log);
        project.AddLogfileInformation(entry);
        const std::string path = dir.file("site.bvp");
        project.SaveXML(path.c_str());
        return path;
    }

    bool Run(const std::string& log) {
        const identification_paths_t paths{kShipped + "os.xml",
                                           kShipped + "browser.xml",
                                           kShipped + "spider.xml",
                                           kShipped + "searchengines.xml",
                                           dir.file("no-global-filters.xml"),
                                           kShipped + "filetypeidentification.xml"};
        return StartAnalysis(EngineState(), SaveProject(log), paths, dir.file("out.bvr"), true);
    }

    reference_counts_t Reference(const std::string& log) {
        CollectingConsumer collect;
        ParseAllFiles({scan_file_t{log, SCAN_LOG_AUTO}}, scan_options_t{}, collect);
        CFileTypeIdentification types;
        types.LoadXML((kShipped + "filetypeidentification.xml").c_str());
        reference_options_t options;
        options.caseSensitive = EngineState().settings->GetCaseSensitive();
        options.pageExtensions.clear();
        options.otherExtensions.clear();
        for (int i = 0; i < types.GetNumEntries(); ++i) {
            if (types.GetPageType(i) == "PAGE")
                options.pageExtensions.insert(types.GetExtension(i));
            if (types.GetPageType(i) == "IMAGE" || types.GetPageType(i) == "MISCWEB")
                options.otherExtensions.insert(types.GetExtension(i));
        }
        ReferenceCounter reference(options);
        for (const ref_hit_t& h : collect.hits) reference.Add(h);
        parsed = collect.hits.size();
        return reference.Finish();
    }

    TempDir dir;
    std::size_t parsed = 0;
};

TEST_F(HitDriverRun, RealLogCountsAgreeWithTheReference) {
    const std::string log = kLogs + "combined/logparser__hackers-access.log";
    if (!fs::exists(log)) GTEST_SKIP() << "no sample log";
    const reference_counts_t expected = Reference(log);
    ASSERT_GT(parsed, 1000u);
    ASSERT_TRUE(Run(log)) << LogvaneGetProgress();
    const run_counters_t& c = EngineState().tables->counters;
    EXPECT_EQ(c.totalHits, expected.hits);
    EXPECT_EQ(c.totalBytes, expected.bytes);
    EXPECT_EQ(c.pageHits, expected.pageViews);
    EXPECT_EQ(c.notFoundHits, expected.notFound);
    EXPECT_EQ(c.sessions, expected.sessions);
    EXPECT_EQ(GetIsCookieData(), 0);

    // Every hit with a user agent went to the spiders or to the browsers.
    const CHitRunState& state = HitRunState();
    ASSERT_NE(state.browsers, nullptr);
    std::uint64_t agents = 0;
    for (int i = 0; i < state.browsers->GetNum(); ++i) agents += state.browsers->GetNumMatches(i);
    for (int i = 0; i < state.spiders->GetNum(); ++i) agents += state.spiders->GetNumMatches(i);
    EXPECT_EQ(agents, c.totalHits);
    EXPECT_GT(state.sessions->GetHyperlinks().GetCount(), 0u);
}

TEST_F(HitDriverRun, CorpusLogsAgreeWithTheReference) {
    const fs::path corpus = LOGVANE_CORPUS_DIR;
    if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus";
    int compared = 0;
    for (const auto& file : fs::recursive_directory_iterator(corpus)) {
        if (!file.is_regular_file() || file.file_size() < 10000 || file.path().extension() == ".md")
            continue;
        const reference_counts_t expected = Reference(file.path().string());
        if (parsed == 0) continue;
        CProgress::Initialize();
        ASSERT_TRUE(Run(file.path().string())) << file.path();
        const run_counters_t& c = EngineState().tables->counters;
        EXPECT_EQ(c.totalHits, expected.hits) << file.path();
        EXPECT_EQ(c.sessions, expected.sessions) << file.path();
        EXPECT_EQ(c.pageHits, expected.pageViews) << file.path();
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

TEST_F(HitDriverRun, TwoRunsInARowCountTheSame) {
    const std::string log = kLogs + "combined/awstats__testglobal.log";
    if (!fs::exists(log)) GTEST_SKIP() << "no sample log";
    ASSERT_TRUE(Run(log));
    const run_counters_t first = EngineState().tables->counters;
    const std::uint64_t firstBrowsers = HitRunState().browsers->GetNumMatches(0);
    ASSERT_TRUE(Run(log));
    const run_counters_t& second = EngineState().tables->counters;
    EXPECT_EQ(second.totalHits, first.totalHits);
    EXPECT_EQ(second.sessions, first.sessions);
    EXPECT_EQ(second.hitsPerHour, first.hitsPerHour);
    EXPECT_EQ(HitRunState().browsers->GetNumMatches(0), firstBrowsers);
}

}  // namespace
