#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/run/AnalysisDriver.h"
#include "engine/run/EngineState.h"
#include "engine/table/RunTables.h"
#include "store/filter/FilterInformation.h"
#include "store/project/ProjectInformation.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::TempDir;
using logvane::test::WriteFile;

const std::string kLine =
    "10.0.0.1 - - [10/Oct/2024:13:55:36 +0000] \"GET /index.html HTTP/1.1\" 200 2326\n";

// Records the phases as the driver calls them and plays the parser: every file given to
// parseFiles yields one hit, and each hit counts one visit unless `visits` is off.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        CProgress::Initialize();
        state.settings = std::make_unique<CSettings>();
        state.initialized = true;
        project.AllocateLogInfo(0);
        state.phases = RecordingPhases();
    }
    void TearDown() override { CProgress::Kill(); }

    analysis_phases_t RecordingPhases() {
        analysis_phases_t p;
        p.releaseRun = [this] { calls.push_back("release"); };
        p.updateIpToCountry = [this](analysis_context_t&) { calls.push_back("ip2country"); };
        p.loadIdentification = [this](analysis_context_t& c) {
            calls.push_back(c.tables ? "identification" : "identification without tables");
        };
        p.createTagTracker = [this](analysis_context_t&) { calls.push_back("tags"); };
        p.compileFilters = [this](analysis_context_t& c) {
            calls.push_back("filters");
            compiled = c.filters;
        };
        p.retrieveRemote = [this](const retrieval_request_t& r, std::vector<std::string>& out) {
            calls.push_back("retrieve");
            requests.push_back(r);
            for (const std::string& f : remoteFiles) out.push_back(f);
            return true;
        };
        p.makeHitConsumer = [this](analysis_context_t& c) -> std::unique_ptr<CHitConsumer> {
            return std::make_unique<Consumer>(c.tables->counters, visits);
        };
        p.parseFiles = [this](const std::vector<scan_file_t>& files, const scan_options_t& o,
                              CHitConsumer& consumer, std::uint64_t*) {
            calls.push_back("parse");
            scanned = files;
            options = o;
            hit_t hit{};
            for (size_t i = 0; i < files.size(); ++i) consumer.ProcessHit(&hit);
            if (endParse) ParseSetCancel(1);
            return !endParse;
        };
        p.closeSessions = [this](analysis_context_t&) { calls.push_back("sessions"); };
        p.assembleReportTree = [this](analysis_context_t&, const std::string& out, bool save) {
            calls.push_back("assemble " + out + (save ? " save" : ""));
            return assembleSucceeds;
        };
        return p;
    }

    struct Consumer : CHitConsumer {
        Consumer(run_counters_t& c, bool v) : counters(c), visits(v) {}
        void ProcessHit(hit_t*) override {
            ++counters.totalHits;
            if (visits) ++counters.sessions;
        }
        run_counters_t& counters;
        bool visits;
    };

    void AddLocalEntry(const std::vector<std::string>& paths,
                       logfiletype_t type = logfiletype_t::AUTO) {
        CLogfileInformation entry;
        entry.SetImportType(import_t::LOCAL);
        entry.SetLogfileType(type);
        for (const std::string& p : paths) entry.SetPath(-1, p);
        project.AddLogfileInformation(entry);
    }

    bool Drive() {
        CAnalysisRun run(state, project, paths);
        return run.Drive();
    }

    std::vector<std::string> Errors() {
        std::vector<std::string> errors;
        const std::string xml = CProgress::GetXML();
        for (size_t at = xml.find("<ERROR "); at != std::string::npos;
             at = xml.find("<ERROR ", at + 1))
            errors.push_back(xml.substr(at, xml.find("</ERROR>", at) - at));
        return errors;
    }

    TempDir dir;
    engine_state_t state;
    CProjectInformation project;
    identification_paths_t paths;
    std::vector<std::string> calls;
    std::vector<retrieval_request_t> requests;
    std::vector<std::string> remoteFiles;
    std::vector<scan_file_t> scanned;
    std::vector<filter_t> compiled;
    scan_options_t options;
    bool visits = true;
    bool endParse = false;
    bool assembleSucceeds = true;
};

TEST_F(DriverTest, RunsThePhasesInOrder) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    state.settings->SetIp2Country(true);
    ASSERT_TRUE(Drive());
    EXPECT_EQ(calls, (std::vector<std::string>{"release", "ip2country", "identification", "tags",
                                               "filters", "parse", "sessions"}));
    EXPECT_TRUE(Errors().empty());
    ASSERT_NE(state.tables, nullptr);
    EXPECT_TRUE(state.tables->resources.IsSorted());
    EXPECT_TRUE(state.tables->hitsPerDay.IsSorted());
}

TEST_F(DriverTest, SkipsTheCountryDatabaseWhenSwitchedOff) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    state.settings->SetIp2Country(false);
    ASSERT_TRUE(Drive());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ip2country"), 0);
}

TEST_F(DriverTest, NoEntriesEndWithNoFilesMatched) {
    EXPECT_FALSE(Drive());
    EXPECT_EQ(Errors(), std::vector<std::string>{"<ERROR HelpFile=\"Trouble/ErrorNoFilesMatchPath."
                                                 "htm\">No files matched the paths you "
                                                 "specified."});
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "parse"), 0);
}

TEST_F(DriverTest, EmptyFilesEndWithTheZeroBytesError) {
    WriteFile(dir.file("a.log"), "");
    WriteFile(dir.file("b.log"), "");
    AddLocalEntry({dir.file("a.log"), dir.file("b.log")});
    EXPECT_FALSE(Drive());
    EXPECT_EQ(Errors(),
              std::vector<std::string>{
                  "<ERROR HelpFile=\"Trouble/ErrorFilesNoInfo.htm\">The files you specified did "
                  "not have any information in them (i.e. they were all zero bytes long)."});
}

TEST_F(DriverTest, NoVisitsEndWithTheExcludedError) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    visits = false;
    EXPECT_FALSE(Drive());
    EXPECT_EQ(Errors(), std::vector<std::string>{
                            "<ERROR HelpFile=\"Trouble/ErrorFilesNoLogLines.htm\">The files you "
                            "specified contains data, but it was all excluded or invalid.  "
                            "Double click for more information."});
}

TEST_F(DriverTest, CancelBeforeTheFirstEntryParsesNothing) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    CProgress::SetCancel();
    EXPECT_FALSE(Drive());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "parse"), 0);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(DriverTest, ParsingToldToEndGivesNoReport) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    endParse = true;
    EXPECT_FALSE(Drive());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "sessions"), 0);
}

TEST_F(DriverTest, DuplicatePathsAreParsedOnce) {
    WriteFile(dir.file("a.log"), kLine);
    WriteFile(dir.file("b.log"), kLine);
    AddLocalEntry({dir.file("a.log"), dir.path().string()});
    AddLocalEntry({dir.file("b.log")});
    ASSERT_TRUE(Drive());
    ASSERT_EQ(scanned.size(), 2u);
    EXPECT_EQ(scanned[0].path, dir.file("a.log"));
    EXPECT_EQ(scanned[1].path, dir.file("b.log"));
    EXPECT_EQ(state.tables->counters.totalHits, 2u);
}

struct LogTypeCase {
    std::vector<logfiletype_t> entries;
    int expected;
};

class DriverLogTypeTest : public DriverTest, public ::testing::WithParamInterface<LogTypeCase> {};

TEST_P(DriverLogTypeTest, EntriesThatDisagreeParseWithDetection) {
    int n = 0;
    for (logfiletype_t type : GetParam().entries) {
        const std::string path = dir.file("log" + std::to_string(n++));
        WriteFile(path, kLine);
        AddLocalEntry({path}, type);
    }
    ASSERT_TRUE(Drive());
    for (const scan_file_t& f : scanned) EXPECT_EQ(f.logType, GetParam().expected) << f.path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriverLogTypeTest,
    ::testing::Values(LogTypeCase{{logfiletype_t::W3C, logfiletype_t::W3C}, SCAN_LOG_W3C},
                      LogTypeCase{{logfiletype_t::CLF}, SCAN_LOG_CLF},
                      LogTypeCase{{logfiletype_t::W3C, logfiletype_t::CLF}, SCAN_LOG_AUTO},
                      LogTypeCase{{logfiletype_t::W3C, logfiletype_t::CLF, logfiletype_t::W3C},
                                  SCAN_LOG_AUTO},
                      LogTypeCase{{logfiletype_t::ELF, logfiletype_t::AUTO}, SCAN_LOG_AUTO}));

TEST_F(DriverTest, RemoteEntriesGoThroughRetrievalWithTheirDetails) {
    const std::string fetched = dir.file("fetched.log");
    WriteFile(fetched, kLine);
    remoteFiles = {fetched};
    project.SetProjectName("Shop");
    CLogfileInformation entry;
    entry.SetImportType(import_t::FTP);
    entry.SetServerName("ftp.example.test");
    entry.SetPortNum(2121);
    entry.SetUsername("web");
    entry.SetPassword("secret");
    entry.SetPath(-1, "/logs/*.log");
    entry.SetPathFileType(0, file_t::WILDCARD);
    project.AddLogfileInformation(entry);
    ASSERT_TRUE(Drive());
    ASSERT_EQ(requests.size(), 1u);
    const retrieval_request_t& r = requests[0];
    EXPECT_EQ(r.serverName, "ftp.example.test");
    EXPECT_EQ(r.port, 2121);
    EXPECT_EQ(r.userName, "web");
    EXPECT_EQ(r.password, "secret");
    EXPECT_EQ(r.projectName, "Shop");
    EXPECT_TRUE(r.isFtp);
    ASSERT_EQ(r.paths.size(), 1u);
    EXPECT_EQ(r.paths[0], (std::pair<std::string, int>{"/logs/*.log", 2}));
    ASSERT_EQ(scanned.size(), 1u);
    EXPECT_EQ(scanned[0].path, fetched);
}

TEST_F(DriverTest, GlobalFiltersComeFirstAndSetTheRunSwitches) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    CFilterInformation global;
    filter_t domain;
    domain.infoType = filter_t::DOMAIN;
    domain.string = "example.com";
    global.AddFilterInfo(domain);
    paths.globalFilters = dir.file("globalfilters.xml");
    ASSERT_TRUE(global.SaveXML(paths.globalFilters.c_str()));
    filter_t virtualDomain;
    virtualDomain.infoType = filter_t::VIRTUALDOMAIN;
    virtualDomain.string = "www.example.com";
    project.AddFilterInfo(virtualDomain);
    project.SetDisableDNS(true);
    ASSERT_TRUE(Drive());
    ASSERT_EQ(compiled.size(), 2u);
    EXPECT_EQ(compiled[0].infoType, filter_t::DOMAIN);
    EXPECT_EQ(compiled[1].infoType, filter_t::VIRTUALDOMAIN);
    EXPECT_TRUE(state.snapshot.fullLookups);
    EXPECT_FALSE(state.snapshot.lookups);
    EXPECT_TRUE(state.snapshot.w3cServerFromHost);
    EXPECT_TRUE(options.w3cServerFromHost);
}

TEST_F(DriverTest, VirtualDomainGivenAsAddressKeepsTheServerColumn) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    filter_t virtualDomain;
    virtualDomain.infoType = filter_t::VIRTUALDOMAIN;
    virtualDomain.string = "192.168.1.10";
    project.AddFilterInfo(virtualDomain);
    ASSERT_TRUE(Drive());
    EXPECT_FALSE(state.snapshot.w3cServerFromHost);
}

TEST_F(DriverTest, SnapshotAndScanOptionsComeFromProjectAndSettings) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    project.SetSiteDomain("www.example.com");
    project.SetSiteDefaultPage("home.htm");
    project.SetCookieID("SESSION");
    state.debugMode = 1;
    ASSERT_TRUE(Drive());
    EXPECT_EQ(state.snapshot.siteDomain, "www.example.com");
    EXPECT_EQ(state.snapshot.defaultPage, "home.htm");
    EXPECT_EQ(state.snapshot.defaultPageLength, 8u);
    EXPECT_GT(state.snapshot.startTime, 0);
    EXPECT_EQ(options.cookieName, "SESSION");
    EXPECT_TRUE(options.debugOutput);
    EXPECT_EQ(options.parseTotal, kLine.size());
}

TEST_F(DriverTest, TrackedFilesAreFoldedAndFlagged) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    project.AddTrackedFile("/Downloads/Setup.EXE");
    project.AddTrackedFile("/docs/*.pdf");
    state.settings->SetCaseSensitive(false);
    ASSERT_TRUE(Drive());
    const auto& tracked = state.tables->trackedFiles;
    ASSERT_EQ(tracked.size(), 2u);
    EXPECT_EQ(tracked[0]->name, "/downloads/setup.exe");
    EXPECT_FALSE(tracked[0]->wildcard);
    EXPECT_TRUE(tracked[1]->wildcard);
}

TEST_F(DriverTest, CaseSensitiveMatchingKeepsTrackedNames) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    project.AddTrackedFile("/Setup.EXE");
    state.settings->SetCaseSensitive(true);
    ASSERT_TRUE(Drive());
    EXPECT_EQ(state.tables->trackedFiles[0]->name, "/Setup.EXE");
}

TEST_F(DriverTest, SecondRunStartsFromFreshTables) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    ASSERT_TRUE(Drive());
    ASSERT_TRUE(Drive());
    EXPECT_EQ(state.tables->counters.totalHits, 1u);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "release"), 2);
}

TEST_F(DriverTest, ScratchCopiesAreRemovedAfterTheRun) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    namespace fs = std::filesystem;
    fs::create_directory(dir.file("ro"));
    gzFile out = gzopen(dir.file("ro/access.log.1.gz").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    gzwrite(out, kLine.data(), static_cast<unsigned>(kLine.size()));
    gzclose(out);
    fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    AddLocalEntry({dir.file("ro")});
    const bool ok = Drive();
    fs::permissions(dir.file("ro"), fs::perms::owner_all);
    ASSERT_TRUE(ok);
    ASSERT_EQ(scanned.size(), 1u);
    EXPECT_EQ(fs::path(scanned[0].path).filename(), "access.log.1");
    EXPECT_FALSE(fs::exists(fs::path(scanned[0].path).parent_path()));
}

TEST_F(DriverTest, StartAnalysisReportsAProjectThatCannotBeLoaded) {
    const std::string path = dir.file("missing.bvp");
    EXPECT_FALSE(StartAnalysis(state, path, paths, dir.file("out.bvr"), true));
    EXPECT_EQ(Errors(), std::vector<std::string>{
                            "<ERROR HelpFile=\"Trouble/ErrorCouldNotLoadProject.htm\">Could not "
                            "load the project XML file \"" +
                            path + "\""});
    EXPECT_TRUE(calls.empty());
}

TEST_F(DriverTest, StartAnalysisAssemblesOnlyAfterASuccessfulRun) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    const std::string path = dir.file("site.bvp");
    ASSERT_TRUE(project.SaveXML(path.c_str()));
    EXPECT_TRUE(StartAnalysis(state, path, paths, "out.bvr", true));
    EXPECT_EQ(calls.back(), "assemble out.bvr save");
    calls.clear();
    visits = false;
    EXPECT_FALSE(StartAnalysis(state, path, paths, "out.bvr", true));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "assemble out.bvr save"), 0);
}

TEST_F(DriverTest, AReportFileThatCannotBeWrittenFailsTheRun) {
    WriteFile(dir.file("a.log"), kLine);
    AddLocalEntry({dir.file("a.log")});
    const std::string path = dir.file("site.bvp");
    ASSERT_TRUE(project.SaveXML(path.c_str()));
    assembleSucceeds = false;
    EXPECT_FALSE(StartAnalysis(state, path, paths, "out.bvr", true));
    EXPECT_EQ(calls.back(), "assemble out.bvr save");
}

TEST_F(DriverTest, StartAnalysisIsRefusedBeforeInitialisation) {
    state.initialized = false;
    EXPECT_FALSE(StartAnalysis(state, dir.file("x.bvp"), paths, "out.bvr", true));
    EXPECT_EQ(Errors().size(), 1u);
}

}  // namespace
