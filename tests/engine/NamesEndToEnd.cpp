// Host names through whole runs of the engine, with a fake lookup in place of the network: the
// Domain Name report in report-time mode, and DOMAIN filters in full mode.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>

#include "engine/api/LogvaneEngine.h"
#include "engine/dns/ResolvingConsumer.h"
#include "engine/hit/HitPhases.h"
#include "engine/report/ReportTreeAssembly.h"
#include "engine/report/ResolverHostNames.h"
#include "engine/run/EngineState.h"
#include "store/filter/FilterInformation.h"
#include "store/project/ProjectInformation.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"
#include "store/settings/Settings.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

using logvane::test::ScopedHome;
using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {

const std::string kData = std::string(LOGVANE_TEST_DATA_DIR) + "/../../data/";

std::string Line(const char* host, int second) {
    char time[64];
    std::snprintf(time, sizeof time, "07/Dec/2025:10:00:%02d +0000", second);
    return std::string(host) + " - - [" + time + "] \"GET /page" + std::to_string(second) +
           ".html HTTP/1.1\" 200 500 \"-\" \"Mozilla/5.0 (X11; Linux x86_64; rv:120.0) "
           "Gecko/20100101 Firefox/120.0\"\n";
}

// Names for two of the three addresses of the log; counts the lookups it answers.
class FakeNames {
public:
    host_lookup_t Function() {
        return [this](std::uint32_t address, std::string& name) {
            std::lock_guard lock(m_mutex);
            ++m_calls;
            const auto it = m_names.find(address);
            if (it == m_names.end()) return false;
            name = it->second;
            return true;
        };
    }
    int Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    // 192.0.2.1 and 198.51.100.7 in host byte order; 203.0.113.9 has no name.
    std::map<std::uint32_t, std::string> m_names{{0xC0000201u, "alpha.example.net"},
                                                 {0xC6336407u, "beta.example.org"}};
    int m_calls = 0;
};

// A log of six hits from three addresses (3 + 2 + 1), analysed in-process with the fake
// lookup installed for both lookup modes.
class NamesEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string log;
        int second = 0;
        for (const char* host :
             {"192.0.2.1", "198.51.100.7", "192.0.2.1", "203.0.113.9", "198.51.100.7", "192.0.2.1"})
            log += Line(host, second++);
        WriteFile(dir.file("access.log"), log);

        CSettings settings;
        settings.SetIp2Country(false);  // countries are another test's business
        ASSERT_TRUE(settings.SaveXML(dir.file("settings.xml").c_str()));
        LogvaneInitialize((kData + "suffixdata.xml").c_str(), dir.file("settings.xml").c_str());

        analysis_phases_t& phases = EngineState().phases;
        InstallReportBuilding(phases, HitRunState(), [this](const analysis_context_t& context) {
            return std::make_unique<CResolverHostNames>(MakeResolverSettings(context.settings),
                                                        fake.Function());
        });
        InstallHostResolution(phases, HitRunState(), fake.Function());
        project.AllocateLogInfo(0);
        project.SetProjectName("Names");
        CLogfileInformation entry;
        entry.SetPathFileType(entry.SetPath(-1, dir.file("access.log")), file_t::FILE);
        project.AddLogfileInformation(entry);
    }
    void TearDown() override { LogvaneKill(); }

    static filter_t DomainFilter(const std::string& pattern) {
        filter_t f;
        f.infoType = filter_t::DOMAIN;
        f.includeType = filter_t::INCLUDE;
        f.string = pattern;
        return f;
    }

    // Saves the project, runs it and loads the report; the rows of Domain Name as name->hits.
    std::map<std::string, std::string> RunDomainNames() {
        std::map<std::string, std::string> rows;
        EXPECT_TRUE(project.SaveXML(dir.file("names.bvp").c_str()));
        const std::string output = dir.file("names.bvr");
        const bool ran =
            LogvaneStartAnalysis(dir.file("names.bvp").c_str(), (kData + "os.xml").c_str(),
                                 (kData + "browser.xml").c_str(), (kData + "spider.xml").c_str(),
                                 (kData + "searchengines.xml").c_str(), globalFilters.c_str(),
                                 (kData + "filetypeidentification.xml").c_str(),
                                 (kData + "suffixdata.xml").c_str(), output.c_str(), "", true);
        EXPECT_TRUE(ran) << CProgress::GetXML();
        CReportTree tree;
        if (!ran || !tree.LoadXML(output.c_str())) return rows;
        auto* table = dynamic_cast<CTableReport*>(tree.FindByReportID("DN"));
        EXPECT_NE(table, nullptr);
        for (size_t i = 0; table && i < table->GetNumRows(); ++i)
            rows[table->GetItem(i, 0)] = table->GetItem(i, 1);
        return rows;
    }

    ScopedHome home;
    TempDir dir;
    FakeNames fake;
    CProjectInformation project;
    std::string globalFilters = dir.file("no-global-filters.xml");
};

using Rows = std::map<std::string, std::string>;

TEST_F(NamesEndToEndTest, ReportTimeLookupsNameTheDomainNameRows) {
    project.SetDisableDNS(false);
    project.SetEnableFullDNS(false);
    EXPECT_EQ(RunDomainNames(),
              (Rows{{"alpha.example.net", "3"}, {"beta.example.org", "2"}, {"203.0.113.9", "1"}}));
    EXPECT_EQ(fake.Calls(), 3) << "each client address is looked up once";
}

TEST_F(NamesEndToEndTest, LookupsOffKeepAddressesAndAskNothing) {
    project.SetDisableDNS(true);
    EXPECT_EQ(RunDomainNames(),
              (Rows{{"192.0.2.1", "3"}, {"198.51.100.7", "2"}, {"203.0.113.9", "1"}}));
    EXPECT_EQ(fake.Calls(), 0);
}

// The project's DOMAIN filter alone turns full lookups on; the hits of a second file reuse
// the names of the first.
TEST_F(NamesEndToEndTest, ProjectDomainFilterSeesNamesInEveryFile) {
    WriteFile(dir.file("second.log"), Line("198.51.100.7", 40) + Line("192.0.2.1", 41));
    CLogfileInformation second;
    second.SetPathFileType(second.SetPath(-1, dir.file("second.log")), file_t::FILE);
    project.AddLogfileInformation(second);
    project.SetDisableDNS(false);
    project.SetEnableFullDNS(false);
    project.AddFilterInfo(DomainFilter("beta.example.org"));
    EXPECT_EQ(RunDomainNames(), (Rows{{"beta.example.org", "3"}}));
    EXPECT_EQ(fake.Calls(), 3);
}

TEST_F(NamesEndToEndTest, GlobalDomainFilterTurnsFullLookupsOnByItself) {
    project.SetDisableDNS(false);
    project.SetEnableFullDNS(false);
    CFilterInformation global;
    global.AddFilterInfo(DomainFilter("*.example.net"));
    globalFilters = dir.file("globalfilters.xml");
    ASSERT_TRUE(global.SaveXML(globalFilters.c_str()));
    EXPECT_EQ(RunDomainNames(), (Rows{{"alpha.example.net", "3"}}));
    EXPECT_EQ(fake.Calls(), 3) << "a name is reused for the rest of the run";
}

}  // namespace
