// Real access logs from public sources (tests/data/logs, listed in its SOURCES.md) through
// detection and the scanner: the chosen format and the number of hits.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/scan/LogFileScanner.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

class CCountingConsumer : public CHitConsumer {
public:
    void ProcessHit(hit_t* hit) override {
        ++hits;
        if (hits == 1) first = *hit;
    }
    std::uint64_t hits = 0;
    hit_t first{};
};

struct real_log_t {
    const char* file;
    int detected;
    std::uint64_t hits;
    const char* firstHost;  // client of the first hit, nullptr when there is none
};

void PrintTo(const real_log_t& log, std::ostream* out) { *out << log.file; }

class ScanRealLog : public ::testing::TestWithParam<real_log_t> {
protected:
    void SetUp() override { CProgress::Initialize(); }
};

TEST_P(ScanRealLog, DetectsItsFormatAndParsesEveryWellFormedLine) {
    const real_log_t& log = GetParam();
    std::string path = std::string(LOGVANE_TEST_DATA_DIR) + "/logs/" + log.file;
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    CCountingConsumer consumer;
    scan_options_t options;
    CLogFileScanner scanner(options, consumer);
    std::uint64_t size = 0;
    EXPECT_EQ(scanner.ParseFile(path, SCAN_LOG_AUTO, 0, size), SCAN_PARSED);
    EXPECT_EQ(scanner.LastLogType(), log.detected);
    EXPECT_EQ(consumer.hits, log.hits);
    if (log.firstHost) {
        EXPECT_EQ(consumer.first.Host(), log.firstHost);
    }
}

// W3C files without a "time", client, "cs-uri-stem" or "sc-status" column give no hits: these are
// logs of other servers (FTP, media, firewall) or of renamed fields.
const real_log_t kRealLogs[] = {
    {"clf/spark_log_analyzer__access_log", SCAN_LOG_CLF, 1535, "64.242.88.10"},
    {"clf/go.d.plugin__weblog_common.log", SCAN_LOG_CLF, 456, nullptr},
    {"clf/matomo-log-analytics__common.log", SCAN_LOG_CLF, 1, nullptr},
    {"clf/Churning-logs-of-NASA__NASA_access_log_Aug95", SCAN_LOG_CLF, 1842, nullptr},
    {"combined/awstats__testglobal.log", SCAN_LOG_ELF, 56, nullptr},
    {"combined/awstats__testsmall.log", SCAN_LOG_ELF, 3, nullptr},
    {"combined/lnav__logfile_access_log.0", SCAN_LOG_ELF, 3, nullptr},
    {"combined/lnav__logfile_access_log.1", SCAN_LOG_ELF, 1, nullptr},
    {"combined/lnav__logfile_bad_access_log.0", SCAN_LOG_ELF, 2, nullptr},
    {"combined/logparser__hackers-access.log", SCAN_LOG_ELF, 3456, nullptr},
    {"combined/matomo-log-analytics__logs_to_tests.log", SCAN_LOG_ELF, 4, nullptr},
    {"combined/matomo-log-analytics__ncsa_extended.log", SCAN_LOG_ELF, 1, nullptr},
    {"combined/npm-nginxparser__test.log", SCAN_LOG_ELF, 1, nullptr},
    {"combined-cookies/logparser__omniture-access.log", SCAN_LOG_ELFEND, 1, nullptr},
    {"combined-cookies/logparser__omniture.log", SCAN_LOG_ELFEND, 5, nullptr},
    {"iis-csv/brianary-scripts__ex010320.log", SCAN_LOG_CSV_SHORT, 2, "192.168.114.201"},
    {"domino/ossec-docs__lotus_domino.log", SCAN_LOG_CLF, 20, "133.149.133.102"},
    {"other/matomo-log-analytics__ovh.log", SCAN_LOG_ELF, 1, nullptr},
    {"other/brianary-scripts__pf040903.log", SCAN_LOG_W3C, 0, nullptr},
    {"w3c/beats__iis_access_test.log", SCAN_LOG_W3C, 3, nullptr},
    {"w3c/beats__iis_test-iis-7.5.log", SCAN_LOG_W3C, 4, nullptr},
    {"w3c/beats__iis_test-ipv6zone.log", SCAN_LOG_W3C, 1, nullptr},
    {"w3c/brianary-scripts__ex031118.log", SCAN_LOG_W3C, 0, nullptr},
    {"w3c/brianary-scripts__ex960101.log", SCAN_LOG_W3C, 5, nullptr},
    {"w3c/brianary-scripts__u_ex100815.log", SCAN_LOG_W3C, 16, nullptr},
    {"w3c/brianary-scripts__u_ex160110.log", SCAN_LOG_W3C, 28, nullptr},
    {"w3c/go.d.plugin__weblog_u_ex221107.log", SCAN_LOG_W3C, 152, nullptr},
    {"w3c/lnav__logfile_w3c.0", SCAN_LOG_W3C, 1, nullptr},
    {"w3c/lnav__logfile_w3c.1", SCAN_LOG_W3C, 0, nullptr},
    {"w3c/lnav__logfile_w3c.2", SCAN_LOG_W3C, 14, nullptr},
    {"w3c/lnav__logfile_w3c.3", SCAN_LOG_W3C, 0, nullptr},
    {"w3c/lnav__logfile_w3c.4", SCAN_LOG_W3C, 0, nullptr},
    {"w3c/lnav__logfile_w3c.5", SCAN_LOG_W3C, 0, nullptr},
    {"w3c/lnav__logfile_w3c.6", SCAN_LOG_W3C, 1, nullptr},
    {"w3c/lnav__logfile_w3c_big.0", SCAN_LOG_W3C, 210, nullptr},
    {"w3c/matomo-log-analytics__iis.log", SCAN_LOG_W3C, 1, nullptr},
    {"w3c/matomo-log-analytics__splitted_date_and_time.log", SCAN_LOG_W3C, 0, nullptr},
    {"w3c/ossec-docs__psoft_hsphere.log", SCAN_LOG_W3C, 2, nullptr},
    {"w3c/ossec-docs__w3c_extended.log", SCAN_LOG_W3C, 3, nullptr},
    {"other/awstats__testnginx.log", SCAN_LOG_CLF, 1, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Corpus, ScanRealLog, ::testing::ValuesIn(kRealLogs));

// Larger real logs read from the shared corpus when it is present.
class ScanCorpusLog : public ScanRealLog {};

TEST_P(ScanCorpusLog, DetectsItsFormatAndParsesEveryWellFormedLine) {
    const real_log_t& log = GetParam();
    std::string path = std::string(LOGVANE_CORPUS_DIR) + "/" + log.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no corpus file " << path;
    CCountingConsumer consumer;
    scan_options_t options;
    CLogFileScanner scanner(options, consumer);
    std::uint64_t size = 0;
    EXPECT_EQ(scanner.ParseFile(path, SCAN_LOG_AUTO, 0, size), SCAN_PARSED);
    EXPECT_EQ(scanner.LastLogType(), log.detected);
    EXPECT_EQ(consumer.hits, log.hits);
}

const real_log_t kCorpusLogs[] = {
    // 13,376 records, the last without a final line feed.
    {"clf/java-grok__nasa_xaa", SCAN_LOG_CLF, 13376, nullptr},
    // Combined lines with 16 trailing fields: the first field after the user agent is taken as
    // the cookie field.
    {"other/labor__labor-06_access_10000.log", SCAN_LOG_ELFEND, 10000, nullptr},
};

INSTANTIATE_TEST_SUITE_P(SharedCorpus, ScanCorpusLog, ::testing::ValuesIn(kCorpusLogs));

}  // namespace
