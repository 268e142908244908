// Countries of real public addresses through a whole batch run of the built program, which
// installs the shipped country database into its settings folder on the first run.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/geo/IPToCountry.h"
#include "store/project/ProjectInformation.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"
#include "store/settings/Settings.h"
#include "store/settings/SettingsFolder.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

using logvane::test::ReadFile;
using logvane::test::ScopedHome;
using logvane::test::TempDir;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = std::string(LOGVANE_BIN_DIR) + "/logvane";
const std::string kShipped = std::string(LOGVANE_BIN_DIR) + "/xml";

// Well-known public resolvers and registry hosts on several continents; the database, not
// this list, says which country each belongs to.
const std::vector<std::string> kCandidates{
    "8.8.8.8",     "9.9.9.9",      "1.1.1.1",      "193.0.6.139", "202.12.29.1",
    "200.160.0.8", "133.11.0.1",   "80.67.169.12", "194.0.0.53",  "196.216.2.1",
    "203.119.0.1", "185.38.108.1", "130.149.7.7",  "129.132.1.1", "18.0.0.1"};

std::string Line(const std::string& host, int n) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "%s - - [07/Dec/2025:11:%02d:%02d +0000] \"GET /p%d.html HTTP/1.1\" 200 100 "
                  "\"-\" \"Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 "
                  "Firefox/120.0\"\n",
                  host.c_str(), n / 60 % 60, n % 60, n);
    return line;
}

class CountryEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kProgram) || !fs::exists(kShipped + "/ip2co.txt.gz"))
            GTEST_SKIP() << "the program or its country database is not built";
        unsetenv("LOGVANE_IP2CO_HOST");  // the run must not reach for an update server
        CSettings settings;
        settings.SetIp2Country(true);
        fs::create_directories(GetSettingsDir());
        ASSERT_TRUE(settings.SaveXML(GetSettingsFile("settings").c_str()));

        // The test's own reading of the shipped database, in a folder of its own.
        fs::create_directories(m_work.path() / "db");
        CIPToCountry database(m_work.file("db"));
        database.SetShippedFolder(kShipped);
        database.SetRemoteCheck(CIPToCountry::remote_check_t::Never);
        database.Fetch();
        ASSERT_TRUE(database.Load());
        for (const std::string& ip : kCandidates) {
            database.FindIP(database.Convert(ip));
            const std::string& name = database.GetIPName();
            if (database.GetCurrentIndex() >= 0 && name != "Unknown" && !name.empty())
                m_countryOf[ip] = name;
        }
    }

    // Runs the program on a project of the one log; "Success!" expected.
    std::map<std::string, std::string> CountryRows(const std::string& log) {
        WriteFile(m_work.file("access.log"), log);
        CProjectInformation project;
        project.AllocateLogInfo(0);
        project.SetProjectName("Countries");
        project.SetDisableDNS(true);
        CLogfileInformation entry;
        entry.SetPathFileType(entry.SetPath(-1, m_work.file("access.log")), file_t::FILE);
        project.AddLogfileInformation(entry);
        const std::string bvp = m_work.file("c.bvp"), bvr = m_work.file("c.bvr");
        EXPECT_TRUE(project.SaveXML(bvp.c_str()));
        std::string out;
        if (FILE* pipe =
                popen(("'" + kProgram + "' '" + bvp + "' '" + bvr + "' 2>&1").c_str(), "r")) {
            char block[4096];
            for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;)
                out.append(block, n);
            const int status = pclose(pipe);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
        }
        EXPECT_NE(out.find("Success!"), std::string::npos) << out;
        std::map<std::string, std::string> rows;
        CReportTree tree;
        if (!tree.LoadXML(bvr.c_str())) return rows;
        auto* table = dynamic_cast<CTableReport*>(tree.FindByReportID("GA"));
        EXPECT_NE(table, nullptr) << "no Geographical Location report";
        double total = 0;
        for (size_t i = 0; table && i < table->GetNumRows(); ++i)
            total += std::atof(table->GetItem(i, 1).c_str());
        for (size_t i = 0; table && i < table->GetNumRows(); ++i) {
            EXPECT_NEAR(std::atof(table->GetItem(i, 2).c_str()),
                        100.0 * std::atof(table->GetItem(i, 1).c_str()) / total, 0.01)
                << "share of " << table->GetItem(i, 0) << ": " << table->GetItem(i, 2);
            EXPECT_EQ(rows.count(table->GetItem(i, 0)), 0u) << "a country listed twice";
            rows[table->GetItem(i, 0)] = table->GetItem(i, 1);
            if (i > 0) {  // largest first
                EXPECT_GE(std::atoi(table->GetItem(i - 1, 1).c_str()),
                          std::atoi(table->GetItem(i, 1).c_str()));
            }
        }
        return rows;
    }

    ScopedHome m_home;
    TempDir m_work;
    std::map<std::string, std::string> m_countryOf;  // address -> country name
};

TEST_F(CountryEndToEndTest, PublicAddressesAreCountedUnderTheirCountries) {
    std::map<std::string, int> distinct;
    for (const auto& [ip, country] : m_countryOf) distinct[country] = 0;
    ASSERT_GE(distinct.size(), 3u) << "too few candidates have a country in the database";

    // Address i gets i + 1 hits, so every country has its own total.
    std::string log;
    std::map<std::string, int> expected;
    int n = 0, i = 0;
    for (const auto& [ip, country] : m_countryOf) {
        for (int k = 0; k <= i; ++k) log += Line(ip, n++);
        expected[country] += i + 1;
        ++i;
    }
    std::map<std::string, std::string> want;
    for (const auto& [country, hits] : expected) want[country] = std::to_string(hits);
    EXPECT_EQ(CountryRows(log), want);
    EXPECT_TRUE(fs::exists(fs::path(GetSettingsDir()) / "ip2co.txt"))
        << "the shipped database was not installed";
}

TEST_F(CountryEndToEndTest, SecondRunUsesTheInstalledDatabaseWithTheSameResult) {
    ASSERT_FALSE(m_countryOf.empty());
    const auto& [ip, country] = *m_countryOf.begin();
    const std::string log = Line(ip, 0) + Line(ip, 1);
    const std::map<std::string, std::string> want{{country, "2"}};
    EXPECT_EQ(CountryRows(log), want);
    EXPECT_EQ(CountryRows(log), want);
}

// A shipped archive cut short (a copy interrupted while installing) must not become the
// database: it would pass for complete, and its version would stop every later update.
TEST(CountryDatabaseInstallTest, TruncatedArchiveLeavesTheOldDatabaseInPlace) {
    CProgress::Initialize();
    TempDir shipped, settings;
    std::string ranges;
    for (int i = 0; i < 2000; ++i)
        ranges += std::to_string(16777216 + i * 256) + "\t" +
                  std::to_string(16777216 + i * 256 + 255) + "\tZZ\tTestland " + std::to_string(i) +
                  "\n";
    gzFile gz = gzopen(shipped.file("full.gz").c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    gzwrite(gz, ranges.data(), static_cast<unsigned>(ranges.size()));
    gzclose(gz);
    const std::string archive = ReadFile(shipped.file("full.gz"));
    WriteFile(shipped.file("ip2co.txt.gz"), archive.substr(0, archive.size() / 2));
    WriteFile(shipped.file("version.txt"), "v2\n");
    WriteFile(settings.file("ip2co.txt"), "16777216\t16777471\tAA\tOldland\n");
    WriteFile(settings.file("version.txt"), "v1\n");

    CIPToCountry database(settings.path().string());
    database.SetShippedFolder(shipped.path().string());
    database.SetRemoteCheck(CIPToCountry::remote_check_t::Never);
    database.Fetch();
    EXPECT_EQ(ReadFile(settings.file("version.txt")), "v1\n");
    ASSERT_TRUE(database.Load());
    EXPECT_EQ(database.GetCount(), 1u);
    EXPECT_NE(CProgress::GetXML().find("ErrorSystemErrors.htm"), std::string::npos);

    WriteFile(shipped.file("ip2co.txt.gz"), archive);  // the complete archive goes in
    database.Fetch();
    ASSERT_TRUE(database.Load());
    EXPECT_EQ(database.GetCount(), 2000u);
    EXPECT_EQ(ReadFile(settings.file("version.txt")), "v2\n");
    CProgress::Kill();
}

}  // namespace
