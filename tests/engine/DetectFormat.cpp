// Log format detection over the first bytes of a file: the separator and comma counts, the
// "#Fields:" directive, and every real sample log.

#include <gtest/gtest.h>

#include <string>

#include "engine/scan/FormatDetector.h"
#include "engine/scan/PatternSearch.h"
#include "engine/scan/Scanner.h"
#include "support/TempDir.h"

namespace {

using logvane::test::ReadFile;

int Detect(const std::string& text) { return DetectLogFormat(text.data(), text.size()); }

std::string Repeat(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += line + "\n";
    return out;
}

// A line of n fields separated by single spaces.
std::string FieldsLine(int separators, const std::string& prefix = "") {
    std::string line = prefix + "f0";
    for (int i = 1; i <= separators; ++i) line += " f" + std::to_string(i);
    return line;
}

struct separator_case_t {
    const char* name;
    std::string text;
    int expected;
};

void PrintTo(const separator_case_t& c, std::ostream* out) { *out << c.name; }

class DetectBySeparators : public ::testing::TestWithParam<separator_case_t> {};

TEST_P(DetectBySeparators, ChoosesTheFormatOfTheAverageFieldCount) {
    EXPECT_EQ(Detect(GetParam().text), GetParam().expected);
}

const std::string kCombined =
    R"L(1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] "GET /a b HTTP/1.0" 200 2326 "http://r/ x" "Mozilla/4.0 (compatible)")L";

const separator_case_t kSeparatorCases[] = {
    {"EightSeparatorsIsCombined", Repeat(FieldsLine(8), 20), SCAN_LOG_ELF},
    {"NineSeparatorsIsCookiesAtEnd", Repeat(FieldsLine(9), 20), SCAN_LOG_ELFEND},
    {"NineSeparatorsMostlyQuotedIsCookiesFirst", Repeat(FieldsLine(9, "\"c=1\""), 20),
     SCAN_LOG_ELFBEG},
    {"SixSeparatorsIsCommon", Repeat(FieldsLine(6), 20), SCAN_LOG_CLF},
    {"ThreeSeparatorsIsSparse", Repeat(FieldsLine(3), 20), SCAN_LOG_SPARSE},
    {"FifteenCommasIsShortCommaForm", Repeat("a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p", 20),
     SCAN_LOG_CSV_SHORT},
    {"TwentyCommasIsLongCommaForm", Repeat(std::string(20, ',') + "x", 20), SCAN_LOG_CSV_LONG},
    {"RealCombinedLines", Repeat(kCombined, 30), SCAN_LOG_ELF},
    {"CookieListCountsAsOneField", Repeat(kCombined + R"( a=1; b=2; SID=3)", 30), SCAN_LOG_ELFEND},
    {"BlankLinesDoNotCount", Repeat(FieldsLine(6) + "\r\n\r\n", 20), SCAN_LOG_CLF},
    {"FieldsDirectiveAnyCaseIsW3C", "#Software: x\n#fields: date time\n" + Repeat(FieldsLine(8), 5),
     SCAN_LOG_W3C},
    {"OneMalformedLineDoesNotOutvoteTheRest",
     FieldsLine(8) + "\n" + FieldsLine(6) + "\n" + FieldsLine(8) + "\n", SCAN_LOG_ELF},
    {"SingleUnquotedNineSeparatorLineIsCookiesAtEnd", FieldsLine(9), SCAN_LOG_ELFEND},
    {"CommentLinesAreNotCounted",
     Repeat("# a comment with very many words in it, more than any log line has", 5) +
         Repeat(FieldsLine(6), 3),
     SCAN_LOG_CLF},
    {"EmptyWindowIsSparse", "", SCAN_LOG_SPARSE},
    {"BinaryGarbage", std::string("\x00\x01\xff\xfe\x7f\x80 \" [ ] , ;= \x00", 16),
     SCAN_LOG_SPARSE},
};

INSTANTIATE_TEST_SUITE_P(Counts, DetectBySeparators, ::testing::ValuesIn(kSeparatorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DetectFormat, ReadsAtMostTheFirst10000Bytes) {
    std::string text = Repeat(FieldsLine(6), 20);
    text.resize(kDetectionWindow, ' ');
    text += Repeat("#Fields: date time", 3);
    EXPECT_EQ(DetectLogFormat(text.data(), text.size()), SCAN_LOG_CLF);
}

TEST(DetectFormat, StopsAfterFiftyLines) {
    std::string text = Repeat(FieldsLine(6), 50) + Repeat(FieldsLine(20), 100);
    EXPECT_EQ(Detect(text), SCAN_LOG_CLF);
}

TEST(DetectFormat, ALineCutByTheEndOfAFullWindowIsNotCounted) {
    // 40 complete combined lines, then the first two fields of a line cut by the window end.
    std::string text = Repeat(FieldsLine(8), 40);
    text += std::string(kDetectionWindow - text.size(), 'x');
    EXPECT_EQ(DetectLogFormat(text.data(), text.size()), SCAN_LOG_ELF);
}

// Every real sample log and the format detection must choose for it.
struct corpus_case_t {
    const char* file;
    int expected;
};

void PrintTo(const corpus_case_t& c, std::ostream* out) { *out << c.file; }

class DetectRealLog : public ::testing::TestWithParam<corpus_case_t> {};

TEST_P(DetectRealLog, ChoosesItsFormat) {
    std::string bytes = ReadFile(std::string(LOGVANE_TEST_DATA_DIR) + "/logs/" + GetParam().file);
    ASSERT_FALSE(bytes.empty()) << GetParam().file;
    EXPECT_EQ(DetectLogFormat(bytes.data(), bytes.size()), GetParam().expected);
}

const corpus_case_t kCorpus[] = {
    {"clf/spark_log_analyzer__access_log", SCAN_LOG_CLF},
    {"clf/go.d.plugin__weblog_common.log", SCAN_LOG_CLF},
    {"clf/matomo-log-analytics__common.log", SCAN_LOG_CLF},
    {"clf/Churning-logs-of-NASA__NASA_access_log_Aug95", SCAN_LOG_CLF},
    {"combined/awstats__testglobal.log", SCAN_LOG_ELF},
    {"combined/awstats__testsmall.log", SCAN_LOG_ELF},
    {"combined/lnav__logfile_access_log.0", SCAN_LOG_ELF},
    {"combined/lnav__logfile_access_log.1", SCAN_LOG_ELF},
    {"combined/lnav__logfile_bad_access_log.0", SCAN_LOG_ELF},
    {"combined/logparser__hackers-access.log", SCAN_LOG_ELF},
    {"combined/matomo-log-analytics__logs_to_tests.log", SCAN_LOG_ELF},
    {"combined/matomo-log-analytics__ncsa_extended.log", SCAN_LOG_ELF},
    {"combined/npm-nginxparser__test.log", SCAN_LOG_ELF},
    {"combined-cookies/logparser__omniture-access.log", SCAN_LOG_ELFEND},
    {"combined-cookies/logparser__omniture.log", SCAN_LOG_ELFEND},
    {"iis-csv/brianary-scripts__ex010320.log", SCAN_LOG_CSV_SHORT},
    {"domino/ossec-docs__lotus_domino.log", SCAN_LOG_CLF},
    {"other/matomo-log-analytics__ovh.log", SCAN_LOG_ELF},
    {"other/brianary-scripts__pf040903.log", SCAN_LOG_W3C},
    {"w3c/beats__iis_access_test.log", SCAN_LOG_W3C},
    {"w3c/beats__iis_test-iis-7.5.log", SCAN_LOG_W3C},
    {"w3c/beats__iis_test-ipv6zone.log", SCAN_LOG_W3C},
    {"w3c/brianary-scripts__ex031118.log", SCAN_LOG_W3C},
    {"w3c/brianary-scripts__ex960101.log", SCAN_LOG_W3C},
    {"w3c/brianary-scripts__u_ex100815.log", SCAN_LOG_W3C},
    {"w3c/brianary-scripts__u_ex160110.log", SCAN_LOG_W3C},
    {"w3c/go.d.plugin__weblog_u_ex221107.log", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c.0", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c.1", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c.2", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c.3", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c.4", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c.5", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c.6", SCAN_LOG_W3C},
    {"w3c/lnav__logfile_w3c_big.0", SCAN_LOG_W3C},
    {"w3c/matomo-log-analytics__iis.log", SCAN_LOG_W3C},
    {"w3c/matomo-log-analytics__splitted_date_and_time.log", SCAN_LOG_W3C},
    {"w3c/ossec-docs__psoft_hsphere.log", SCAN_LOG_W3C},
    {"w3c/ossec-docs__w3c_extended.log", SCAN_LOG_W3C},
};

INSTANTIATE_TEST_SUITE_P(Corpus, DetectRealLog, ::testing::ValuesIn(kCorpus));

// The case-insensitive and case-sensitive matchers behind the directive searches.
TEST(PatternSearch, FindsTheFirstMatchIgnoringCaseWhenAsked) {
    CPatternSearch fields("#Fields:", true);
    EXPECT_EQ(fields.Find("xx#FIELDS: a #Fields:"), 2);
    EXPECT_EQ(fields.Find("#Field"), -1);
    EXPECT_EQ(fields.Find(""), -1);
    CPatternSearch exact("#Fields:", false);
    EXPECT_EQ(exact.Find("#FIELDS: #Fields:"), 9);
}

TEST(PatternSearch, HandlesRepeatedBytesAndTheLastByteElsewhere) {
    CPatternSearch aab("aab", false);
    EXPECT_EQ(aab.Find("aaaaab"), 3);
    CPatternSearch abcab("abcab", true);
    EXPECT_EQ(abcab.Find("ABCABCAB"), 0);
    EXPECT_EQ(abcab.Find("xxabcaxabcab"), 7);
    CPatternSearch tooLong(std::string(256, 'a'), false);
    EXPECT_EQ(tooLong.Find(std::string(300, 'a')), -1);
}

}  // namespace
