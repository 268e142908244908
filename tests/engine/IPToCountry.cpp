#include "engine/geo/IPToCountry.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <tuple>

#include "RemoteTestServer.h"
#include "engine/geo/CountryPhase.h"
#include "engine/hit/HitPhases.h"
#include "engine/table/RunTables.h"
#include "store/project/ProjectInformation.h"
#include "store/settings/Settings.h"
#include "store/settings/SettingsFolder.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::TestServer;
using logvane::test::UnusedPort;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kDatabase =
    "16777216\t16777471\tAU\tAustralia\n"
    "16777472\t16778239\tCN\tChina\n"
    "167772160\t167837695\tXT\tTestland\n"
    "3232235520\t3232301055\tPV\tPrivatia, Republic of\n";

void WriteGzip(const std::string& path, const std::string& bytes) {
    gzFile out = gzopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size()));
    gzclose(out);
}

bool HasError(const std::string& text) {
    return CProgress::GetXML().find(text) != std::string::npos;
}

class IPToCountryTest : public ::testing::Test {
protected:
    void SetUp() override {
        CProgress::Initialize();
        unsetenv("LOGVANE_IP2CO_HOST");
    }
    void TearDown() override { CProgress::Kill(); }
    std::unique_ptr<CIPToCountry> Make(const std::string& database) {
        WriteFile(m_dir.file("ip2co.txt"), database);
        auto geo = std::make_unique<CIPToCountry>(m_dir.path().string());
        return geo;
    }
    TempDir m_dir;
};

struct lookup_case_t {
    const char* ip;
    const char* abbrev;
    const char* name;
};

class IPToCountryLookup : public IPToCountryTest,
                          public ::testing::WithParamInterface<lookup_case_t> {};

TEST_P(IPToCountryLookup, AnswersTheRangeHoldingTheAddress) {
    auto geo = Make(kDatabase);
    ASSERT_TRUE(geo->Load());
    geo->FindIP(geo->Convert(GetParam().ip));
    EXPECT_EQ(geo->GetIPAbbrev(), GetParam().abbrev);
    EXPECT_EQ(geo->GetIPName(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, IPToCountryLookup,
    ::testing::Values(lookup_case_t{"1.0.0.0", "AU", "Australia"},
                      lookup_case_t{"1.0.0.255", "AU", "Australia"},
                      lookup_case_t{"1.0.1.0", "CN", "China"},
                      lookup_case_t{"1.0.3.255", "CN", "China"},
                      lookup_case_t{"1.0.4.0", "Unknown", "Unknown"},  // between two ranges
                      lookup_case_t{"10.0.200.1", "XT", "Testland"},
                      lookup_case_t{"192.168.255.255", "PV", "Privatia, Republic of"},
                      lookup_case_t{"192.169.0.0", "Unknown", "Unknown"},    // past the last
                      lookup_case_t{"0.255.255.255", "Unknown", "Unknown"},  // before the first
                      lookup_case_t{"crawl-66-249-66-1.googlebot.com", "Unknown", "Unknown"},
                      lookup_case_t{"10.0.0", "Unknown", "Unknown"},
                      lookup_case_t{"10.0.0.1.", "Unknown", "Unknown"},
                      lookup_case_t{"10.0.0.256", "Unknown", "Unknown"},
                      lookup_case_t{"10.0.0.0001", "Unknown", "Unknown"},
                      lookup_case_t{"", "Unknown", "Unknown"}));

TEST_F(IPToCountryTest, ConvertWeighsTheFourParts) {
    auto geo = Make(kDatabase);
    EXPECT_EQ(geo->Convert("10.0.0.1"), 0u) << "an empty table converts nothing";
    ASSERT_TRUE(geo->Load());
    EXPECT_EQ(geo->Convert("10.0.1.2"), 167772160u + 256u + 2u);
    EXPECT_EQ(geo->Convert("192.168.1.1"), 3232235777u);
}

TEST_F(IPToCountryTest, SingleRangeAnswersInsideAndUnknownOutside) {
    auto geo = Make("100\t200\tSR\tSingle\n");
    ASSERT_TRUE(geo->Load());
    EXPECT_EQ(geo->GetCount(), 1u);
    for (std::uint32_t a : {100u, 150u, 200u}) {
        geo->FindIP(a);
        EXPECT_EQ(geo->GetIPAbbrev(), "SR") << a;
    }
    for (std::uint32_t a : {0u, 99u, 201u, 0xFFFFFFFFu}) {
        geo->FindIP(a);
        EXPECT_EQ(geo->GetCurrentIndex(), -1) << a;
        EXPECT_EQ(geo->GetIPName(), "Unknown");
    }
}

TEST_F(IPToCountryTest, DamagedLinesAreSkippedAndUnsortedFilesStillSearch) {
    auto geo = Make(
        "3000\t4000\tCC\tThird\r\n"
        "garbage line\n"
        "1000\t2000\tAA\tFirst\n"
        "5000\t4999\tBB\tBackwards\n"
        "99999999999\t1\tBB\tTooBig\n"
        "2500\t2600\t\t\n");
    ASSERT_TRUE(geo->Load());
    EXPECT_EQ(geo->GetCount(), 3u);
    geo->FindIP(1500);
    EXPECT_EQ(geo->GetIPName(), "First");
    geo->FindIP(3500);
    EXPECT_EQ(geo->GetIPName(), "Third") << "a carriage return stayed in the name";
    geo->FindIP(2550);
    EXPECT_EQ(geo->GetIPAbbrev(), "Unknown") << "missing texts read as Unknown";
}

struct odd_line_case_t {
    const char* what;
    const char* database;
    std::uint32_t address;
    const char* abbrev;
    const char* name;
};

class IPToCountryOddLines : public IPToCountryTest,
                            public ::testing::WithParamInterface<odd_line_case_t> {};

TEST_P(IPToCountryOddLines, ReadsTheRangeAsWritten) {
    auto geo = Make(GetParam().database);
    ASSERT_TRUE(geo->Load());
    geo->FindIP(GetParam().address);
    EXPECT_EQ(geo->GetIPAbbrev(), GetParam().abbrev);
    EXPECT_EQ(geo->GetIPName(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IPToCountryOddLines,
    ::testing::Values(
        odd_line_case_t{"NoFinalLineEnd", "10\t20\tAA\tA\n30\t40\tBB\tLast", 35, "BB", "Last"},
        odd_line_case_t{"TabsInTheName", "10\t20\tTT\tOne\tTwo\r\r\n", 15, "TT", "One\tTwo"},
        odd_line_case_t{"SameCodeOtherName", "10\t20\tXX\tFirst\n30\t40\tXX\tSecond\n", 35, "XX",
                        "Second"},
        odd_line_case_t{"SameNameOtherCode", "10\t20\tXA\tSame\n30\t40\tXB\tSame\n", 35, "XB",
                        "Same"},
        odd_line_case_t{"LongCodeSharingItsStart",
                        "10\t20\tABCDEFGHIJ\tLong\n30\t40\tABCDEFGHIK\tLong\n", 35, "ABCDEFGHIK",
                        "Long"},
        odd_line_case_t{"LeadingZerosAndTheTopAddress",
                        "0000000010\t0020\tZZ\tZeros\n4294967000\t4294967295\tTP\tTop\n",
                        4294967295u, "TP", "Top"},
        odd_line_case_t{"EmptyCodeNamedRange", "10\t20\t\tNameOnly\n", 15, "Unknown", "NameOnly"},
        odd_line_case_t{"EqualStartsKeepFileOrder",
                        "50\t60\tLA\tLater\n10\t20\tAA\tA\n"
                        "50\t55\tSE\tSecond\n",
                        52, "SE", "Second"}),
    [](const ::testing::TestParamInfo<odd_line_case_t>& info) { return info.param.what; });

TEST_F(IPToCountryTest, NumbersOfEveryLengthReadExactly) {
    // Starts of 1 to 10 digits, zero-padded ones, and the largest address.
    const std::vector<std::string> starts = {
        "7",       "42",       "305",       "4096",       "65536",          "123456",
        "9999999", "16777216", "123456789", "1234567890", "00001234567999", "4294967294"};
    std::string database;
    for (const std::string& start : starts) database += start + "\t" + start + "\tNN\tN\n";
    database += "000000000000000000004294967295\t4294967295\tTP\tTop\n";
    database += "4294967296\t4294967296\tXX\tOne past the top\n";
    database += "18446744073709551617\t1\tXX\tWraps a 64-bit number\n";
    auto geo = Make(database);
    ASSERT_TRUE(geo->Load());
    EXPECT_EQ(geo->GetCount(), starts.size() + 1);
    for (const std::string& start : starts) {
        const auto address = static_cast<std::uint32_t>(std::stoull(start));
        geo->FindIP(address);
        EXPECT_EQ(geo->GetIPAbbrev(), "NN") << start;
        geo->FindIP(address + 1);
        EXPECT_EQ(geo->GetIPAbbrev(), address + 1 == 4294967295u ? "TP" : "Unknown") << start;
    }
    geo->FindIP(4294967295u);
    EXPECT_EQ(geo->GetIPName(), "Top");
}

TEST_F(IPToCountryTest, ManyCountriesKeepTheirOwnTexts) {
    std::string database;
    for (int i = 0; i < 2000; ++i) {
        const int country = i % 700;
        database += std::to_string(i * 10 + 1) + "\t" + std::to_string(i * 10 + 5) + "\tC" +
                    std::to_string(country) + "\tName " + std::to_string(country) + "\n";
    }
    auto geo = Make(database);
    ASSERT_TRUE(geo->Load());
    ASSERT_EQ(geo->GetCount(), 2000u);
    for (int i = 0; i < 2000; i += 7) {
        geo->FindIP(static_cast<std::uint32_t>(i * 10 + 3));
        EXPECT_EQ(geo->GetIPAbbrev(), "C" + std::to_string(i % 700)) << i;
        EXPECT_EQ(geo->GetIPName(), "Name " + std::to_string(i % 700)) << i;
    }
}

// A database past the size that is read in two halves: countries met in one half only, in
// both, in another order, and starts that fall back across the halves.
TEST_F(IPToCountryTest, LargeDatabaseReadInHalvesAnswersLikeOneRead) {
    std::string database;
    std::vector<std::pair<std::uint32_t, std::string>> expected;
    const int lines = 60000;
    for (int i = 0; i < lines; ++i) {
        // The second half counts its starts down, below the first half's.
        const bool second = i >= lines / 2;
        const std::uint32_t start = second ? static_cast<std::uint32_t>(lines - i) * 16
                                           : 1000000u + static_cast<std::uint32_t>(i) * 16;
        const int country = second ? 149 - i % 100 : i % 100;
        const std::string code = "C" + std::to_string(country);
        database += std::to_string(start) + "\t" + std::to_string(start + 9) + "\t" + code +
                    "\tName of " + code + (i % 7 == 0 ? "\r\n" : "\n");
        expected.emplace_back(start, code);
    }
    ASSERT_GT(database.size(), 1u << 20) << "past the two-thread size";
    auto geo = Make(database);
    ASSERT_TRUE(geo->Load());
    EXPECT_EQ(geo->GetCount(), static_cast<std::uint32_t>(lines));
    for (std::size_t i = 0; i < expected.size(); i += 97) {
        const auto& [start, code] = expected[i];
        geo->FindIP(start + 9);
        EXPECT_EQ(geo->GetIPAbbrev(), code) << i;
        EXPECT_EQ(geo->GetIPName(), "Name of " + code) << i;
        geo->FindIP(start + 10);
        EXPECT_EQ(geo->GetIPAbbrev(), "Unknown") << i;
    }
}

TEST_F(IPToCountryTest, ReloadingReplacesTheRanges) {
    auto geo = Make(kDatabase);
    ASSERT_TRUE(geo->Load());
    WriteFile(geo->GetDatabasePath(), "16777216\t16777471\tNZ\tNew Zealand\n");
    ASSERT_TRUE(geo->Load());
    EXPECT_EQ(geo->GetCount(), 1u);
    geo->FindIP(16777300);
    EXPECT_EQ(geo->GetIPName(), "New Zealand");
}

// A load keeps the parsed ranges beside the database; the next load takes them from there
// while the database file is the one they came from, and reads the text again otherwise.
TEST_F(IPToCountryTest, ParsedRangesAreKeptAndTrustedOnlyWhileWholeAndCurrent) {
    auto geo = Make(kDatabase);
    ASSERT_TRUE(geo->Load());
    const std::string cache = geo->GetDatabasePath() + ".idx";
    ASSERT_TRUE(fs::exists(cache));
    const std::string kept = ReadFile(cache);
    const auto answer = [](CIPToCountry& db, const char* ip) {
        db.FindIP(db.Convert(ip));
        return db.GetIPName();
    };
    // The ranges end the file, 8 bytes each: {end, country}. The first range's country is
    // made China's: a load that answers China read the cache, not the text.
    std::string forged = kept;
    const std::size_t firstCountry = forged.size() - 4 * 8 + 4;
    forged[firstCountry] = 1;
    WriteFile(cache, forged);
    CIPToCountry again(m_dir.path().string());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(answer(again, "1.0.0.1"), "China");
    EXPECT_EQ(answer(again, "192.168.0.1"), "Privatia, Republic of");

    // A cache that does not hold together is passed over and made again from the text.
    for (const std::string& damaged :
         {kept.substr(0, kept.size() - 3), std::string(kept.size(), 'x'),
          kept.substr(0, firstCountry) + std::string(1, '\x63') + kept.substr(firstCountry + 1)}) {
        WriteFile(cache, damaged);
        CIPToCountry reread(m_dir.path().string());
        ASSERT_TRUE(reread.Load());
        EXPECT_EQ(reread.GetCount(), 4u);
        EXPECT_EQ(answer(reread, "1.0.0.1"), "Australia");
        EXPECT_EQ(ReadFile(cache), kept);
    }

    // A new database of the same size, installed as updates install it (a new file renamed
    // over the old), is read again.
    std::string changed = kDatabase;
    changed.replace(changed.find("AU\tAustralia"), 12, "NZ\tNewZealan");
    ASSERT_EQ(changed.size(), kDatabase.size());
    WriteFile(geo->GetDatabasePath() + ".new", changed);
    fs::rename(geo->GetDatabasePath() + ".new", geo->GetDatabasePath());
    CIPToCountry updated(m_dir.path().string());
    ASSERT_TRUE(updated.Load());
    EXPECT_EQ(answer(updated, "1.0.0.1"), "NewZealan");
}

TEST_F(IPToCountryTest, MissingOrEmptyDatabaseLoadsNothing) {
    CIPToCountry missing(m_dir.file("nowhere"));
    EXPECT_FALSE(missing.Load());
    EXPECT_TRUE(HasError("System Error: "));
    EXPECT_TRUE(HasError("Trouble/ErrorSystemErrors.htm"));
    auto empty = Make("");
    EXPECT_FALSE(empty->Load());
    empty->FindIP(empty->Convert("1.0.0.1"));
    EXPECT_EQ(empty->GetIPAbbrev(), "Unknown");
}

TEST_F(IPToCountryTest, ShippedDatabaseAgreesWithALinearScan) {
    const std::string shipped = std::string(LOGVANE_TEST_DATA_DIR) + "/../../data";
    if (!fs::exists(shipped + "/ip2co.txt.gz")) GTEST_SKIP() << "no shipped database";
    CIPToCountry geo(m_dir.path().string());
    geo.SetShippedFolder(shipped);
    ASSERT_TRUE(geo.Fetch());
    EXPECT_EQ(ReadFile(geo.GetVersionPath()), ReadFile(shipped + "/version.txt"));
    ASSERT_TRUE(geo.Load());
    ASSERT_GT(geo.GetCount(), 100000u);

    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::string>> ranges;
    std::istringstream in(ReadFile(geo.GetDatabasePath()));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::uint32_t start, end;
        std::string code;
        fields >> start >> end >> code;
        ranges.emplace_back(start, end, code);
    }
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t address = rng();
        std::string expected = "Unknown";
        for (const auto& [start, end, code] : ranges)
            if (start <= address && address <= end) expected = code;
        geo.FindIP(address);
        ASSERT_EQ(geo.GetIPAbbrev(), expected) << address;
    }
    geo.FindIP(geo.Convert("8.8.8.8"));
    EXPECT_EQ(geo.GetIPAbbrev(), "US");
}

TEST_F(IPToCountryTest, WithoutHostFetchNeverGoesToTheNetwork) {
    TempDir shipped;
    WriteGzip(shipped.file("ip2co.txt.gz"), kDatabase);
    WriteFile(shipped.file("version.txt"), "S1\n");
    CIPToCountry geo(m_dir.path().string());
    geo.SetShippedFolder(shipped.path().string());
    geo.SetRemoteCheck(CIPToCountry::remote_check_t::Always);
    ASSERT_TRUE(geo.Fetch());
    EXPECT_EQ(ReadFile(geo.GetDatabasePath()), kDatabase);
    EXPECT_EQ(ReadFile(geo.GetVersionPath()), "S1\n");

    WriteFile(geo.GetDatabasePath(), "1\t2\tLC\tLocal\n");
    ASSERT_TRUE(geo.Fetch());
    EXPECT_EQ(ReadFile(geo.GetDatabasePath()), "1\t2\tLC\tLocal\n") << "same version replaced";
    EXPECT_NE(CProgress::GetXML().find("IP to country database up to date..."), std::string::npos);
}

// An update server on 127.0.0.1 with version "v2" of the database.
class IPToCountryUpdateTest : public IPToCountryTest {
protected:
    void SetUp() override {
        IPToCountryTest::SetUp();
        fs::create_directories(m_server.path() / "root/ip2co");
        WriteFile(m_server.file("root/ip2co/index.php"), "v2\nsecond line\n");
        WriteGzip(m_server.file("root/ip2co/ip2co.php"), "1\t9\tNW\tNew\n");
        WriteFile(m_dir.file("ip2co.txt"), "1\t9\tOL\tOld\n");
        WriteFile(m_dir.file("version.txt"), "v1\n");
        m_http = std::make_unique<TestServer>(
            std::string(LOGVANE_TEST_DATA_DIR) + "/remote/http_server.py",
            std::vector<std::string>{m_server.file("root"), "u", "p", m_server.file("log")});
        ASSERT_NE(m_http->port(), 0);
        m_geo = std::make_unique<CIPToCountry>(m_dir.path().string());
        m_geo->SetUpdateHost("127.0.0.1:" + std::to_string(m_http->port()));
        m_geo->SetRemoteCheck(CIPToCountry::remote_check_t::Always);
    }
    std::string Database() const { return ReadFile(m_dir.file("ip2co.txt")); }
    std::string Version() const { return ReadFile(m_dir.file("version.txt")); }

    TempDir m_server;
    std::unique_ptr<TestServer> m_http;
    std::unique_ptr<CIPToCountry> m_geo;
};

TEST_F(IPToCountryUpdateTest, NewerRemoteVersionIsDownloadedAndUnpacked) {
    ASSERT_TRUE(m_geo->Fetch());
    EXPECT_EQ(Database(), "1\t9\tNW\tNew\n");
    EXPECT_EQ(Version(), "v2\n");
    EXPECT_NE(CProgress::GetXML().find("Successfully updated IP to country database"),
              std::string::npos);
}

TEST_F(IPToCountryUpdateTest, EqualVersionIgnoringCaseDownloadsNothing) {
    WriteFile(m_dir.file("version.txt"), "V2\n");
    ASSERT_TRUE(m_geo->Fetch());
    EXPECT_EQ(Database(), "1\t9\tOL\tOld\n");
    const std::string log = ReadFile(m_server.file("log"));
    EXPECT_NE(log.find("GET /ip2co/index.php 200"), std::string::npos);
    EXPECT_EQ(log.find("ip2co.php"), std::string::npos);
}

TEST_F(IPToCountryUpdateTest, WithoutForcedCheckAPresentDatabaseIsKept) {
    m_geo->SetRemoteCheck(CIPToCountry::remote_check_t::Never);
    ASSERT_TRUE(m_geo->Fetch());
    EXPECT_FALSE(fs::exists(m_server.file("log")));
}

TEST_F(IPToCountryUpdateTest, MissingArchiveKeepsDatabaseAndVersion) {
    fs::remove(m_server.file("root/ip2co/ip2co.php"));
    EXPECT_FALSE(m_geo->Fetch());
    EXPECT_EQ(Database(), "1\t9\tOL\tOld\n");
    EXPECT_EQ(Version(), "v1\n") << "the version moved ahead of the database";
}

TEST_F(IPToCountryUpdateTest, ArchiveThatIsNotGzipIsRefused) {
    WriteFile(m_server.file("root/ip2co/ip2co.php"), "<html>maintenance</html>\n");
    EXPECT_FALSE(m_geo->Fetch());
    EXPECT_EQ(Database(), "1\t9\tOL\tOld\n");
    EXPECT_EQ(Version(), "v1\n");
    EXPECT_TRUE(HasError("System Error: "));
}

TEST_F(IPToCountryUpdateTest, MissingVersionPageFailsAndDownServerIsAnInternetError) {
    fs::remove(m_server.file("root/ip2co/index.php"));
    EXPECT_FALSE(m_geo->Fetch());
    m_geo->SetUpdateHost("127.0.0.1:" + std::to_string(UnusedPort()));
    EXPECT_TRUE(m_geo->Fetch());
    EXPECT_TRUE(HasError("Internet Error: "));
    EXPECT_EQ(Database(), "1\t9\tOL\tOld\n");
}

TEST_F(IPToCountryTest, RunStepInstallsTheLookupOnlyForALoadedDatabase) {
    logvane::test::ScopedHome home;
    CProjectInformation project;
    CSettings settings;
    identification_paths_t paths;
    run_snapshot_t snapshot;
    CRunTables tables;
    int cookieData = 0;
    analysis_context_t context{project, settings, paths, snapshot, &tables, cookieData, {}};
    CHitRunState state;
    analysis_phases_t phases;
    InstallIpToCountry(phases, state);
    ASSERT_TRUE(phases.updateIpToCountry);

    phases.updateIpToCountry(context);  // no database anywhere
    EXPECT_FALSE(state.countryLookup);

    fs::create_directories(GetSettingsDir());
    WriteFile(GetSettingsDir() + "/ip2co.txt", kDatabase);
    WriteFile(GetSettingsDir() + "/version.txt", "L1\n");
    phases.updateIpToCountry(context);
    ASSERT_TRUE(state.countryLookup);
    country_result_t result;
    state.countryLookup("10.0.9.9", result);
    EXPECT_EQ(result.abbreviation, "XT");
    EXPECT_EQ(result.name, "Testland");
    state.countryLookup("one.example.com", result);
    EXPECT_EQ(result.abbreviation, "Unknown");
}

}  // namespace
