#include "store/format/Format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "store/format/Url.h"

namespace {

struct SizeCase {
    long long bytes;
    const char* full;
    const char* abbrev;
};

class DriveSize : public testing::TestWithParam<SizeCase> {};

TEST_P(DriveSize, PicksTheLargestWholeUnit) {
    EXPECT_EQ(CFormat::GetDriveSizeStr(GetParam().bytes), GetParam().full);
    EXPECT_EQ(CFormat::GetAbbrevDriveSizeStr(GetParam().bytes), GetParam().abbrev);
}

INSTANTIATE_TEST_SUITE_P(UnitBoundaries, DriveSize,
                         testing::Values(SizeCase{0, "0.00 bytes", "0.00 bytes"},
                                         SizeCase{1023, "1023.00 bytes", "1023.00 bytes"},
                                         SizeCase{1024, "1.00 kilobytes", "1.00 kb"},
                                         SizeCase{1048575, "1024.00 kilobytes", "1024.00 kb"},
                                         SizeCase{1048576, "1.00 megabytes", "1.00 mb"},
                                         SizeCase{1572864, "1.50 megabytes", "1.50 mb"},
                                         SizeCase{1073741823, "1024.00 megabytes", "1024.00 mb"},
                                         SizeCase{1073741824, "1.00 gigabytes", "1.00 gb"},
                                         SizeCase{5LL << 40, "5120.00 gigabytes", "5120.00 gb"},
                                         SizeCase{-5, "-5.00 bytes", "-5.00 bytes"},
                                         SizeCase{-4096, "-4096.00 bytes", "-4096.00 bytes"}));

struct PercentCase {
    long long part, whole;
    const char* text;
};

class Percentage : public testing::TestWithParam<PercentCase> {};

TEST_P(Percentage, RoundsToTwoDecimals) {
    EXPECT_EQ(CFormat::MakePercentage(GetParam().part, GetParam().whole), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Examples, Percentage,
                         testing::Values(PercentCase{1, 3, "33.33"}, PercentCase{2, 3, "66.67"},
                                         PercentCase{5, 0, "0.00"}, PercentCase{0, 7, "0.00"},
                                         PercentCase{1, 1, "100.00"}, PercentCase{1, 200, "0.50"},
                                         PercentCase{-1, 4, "-25.00"}, PercentCase{3, 2, "150.00"},
                                         // part * 100 does not fit 64 bits
                                         PercentCase{LLONG_MAX / 10, LLONG_MAX / 10, "100.00"},
                                         PercentCase{LLONG_MAX, LLONG_MAX / 2, "200.00"}));

TEST(MakeNumber, WritesPlainDecimal) {
    EXPECT_EQ(CFormat::MakeNumber(0), "0");
    EXPECT_EQ(CFormat::MakeNumber(1234567), "1234567");
    EXPECT_EQ(CFormat::MakeNumber(LLONG_MIN), "-9223372036854775808");
}

struct DurationCase {
    long seconds;
    const char* full;
    const char* abbrev;
};

class Duration : public testing::TestWithParam<DurationCase> {};

TEST_P(Duration, ShowsTheLeadingNonZeroParts) {
    EXPECT_EQ(CFormat::FormatHHMMSS(GetParam().seconds), GetParam().full);
    EXPECT_EQ(CFormat::FormatHHMMSSAbbrev(GetParam().seconds), GetParam().abbrev);
    EXPECT_EQ(FormatHHMMSS(GetParam().seconds), GetParam().full);
    EXPECT_EQ(FormatHHMMSSAbbrev(GetParam().seconds), GetParam().abbrev);
}

INSTANTIATE_TEST_SUITE_P(
    EveryBranch, Duration,
    testing::Values(
        DurationCase{0, "00 seconds", "00 secs"}, DurationCase{1, "01 second", "01 sec"},
        DurationCase{59, "59 seconds", "59 secs"},
        DurationCase{60, "01 minute, 00 seconds", "01 min, 00 secs"},
        DurationCase{61, "01 minute, 01 second", "01 min, 01 sec"},
        DurationCase{3599, "59 minutes, 59 seconds", "59 mins, 59 secs"},
        DurationCase{3600, "01 hour, 00 minutes, 00 seconds", "01 hr, 00 mins"},
        DurationCase{3725, "01 hour, 02 minutes, 05 seconds", "01 hr, 02 mins"},
        DurationCase{86399, "23 hours, 59 minutes, 59 seconds", "23 hrs, 59 mins"},
        DurationCase{86400, "1 day, 00 hours, 00 minutes, 00 seconds", "1 day, 00 hrs"},
        DurationCase{90061, "1 day, 01 hour, 01 minute, 01 second", "1 day, 01 hr"},
        DurationCase{200000, "2 days, 07 hours, 33 minutes, 20 seconds", "2 days, 07 hrs"},
        DurationCase{864000 * 2, "20 days, 00 hours, 00 minutes, 00 seconds", "20 days, 00 hrs"},
        DurationCase{-61, "-01 minute, 01 second", "-01 min, 01 sec"}));

TEST(PluralFormatHelper, SingularOnlyForOne) {
    EXPECT_EQ(CFormat::PluralFormatHelper(1, "%H", "hour", "hours"), "%H hour");
    EXPECT_EQ(CFormat::PluralFormatHelper(0, "%H", "hour", "hours"), "%H hours");
    EXPECT_EQ(CFormat::PluralFormatHelper(2, "x", "a", "b"), "x b");
    EXPECT_EQ(CFormat::PluralFormatHelper(-1, "x", "a", "b"), "x b");
    EXPECT_EQ(PluralFormatHelper(1, "x", "a", "b"), "x a");
}

TEST(FormatCTime, FormatsInUtcWhateverTheLocalZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    EXPECT_EQ(CFormat::FormatCTime(0, "%Y-%m-%d %H:%M:%S"), "1970-01-01 00:00:00");
    EXPECT_EQ(CFormat::FormatCTime(1700000000, "%m/%d/%Y %H"), "11/14/2023 22");
    EXPECT_EQ(CFormat::FormatCTime(1700000000, nullptr), "");
    EXPECT_EQ(CFormat::FormatCTime(1700000000, ""), "");
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

struct StatusCase {
    int code;
    const char* text;
};

class ErrorExplanation : public testing::TestWithParam<StatusCase> {};

TEST_P(ErrorExplanation, ExplainsKnownCodes) {
    EXPECT_EQ(CFormat::GetErrorExplanation(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrorExplanation,
    testing::Values(
        StatusCase{0, "Incomplete/Undefined transmission"},
        StatusCase{200, "Unrecognized error code"}, StatusCase{205, "Unrecognized error code"},
        StatusCase{206,
                   "Only partial content delivered (requested file not completely downloaded)"},
        StatusCase{304, "Document not modified (cached by client)"},
        StatusCase{404, "URL not found"}, StatusCase{405, "Method not Allowed"},
        StatusCase{414,
                   "Request-URI too large. If you see this often, it can indicate someone is "
                   "trying to hack your site."},
        StatusCase{505, "Client HTTP version not supported by server"},
        StatusCase{506, "Unrecognized error code"}, StatusCase{-1, "Unrecognized error code"}));

TEST(ExplainReferrerDash, OnlyASingleDashMeansNoReferrer) {
    EXPECT_EQ(CFormat::ExplainReferrerDash("-"), "No Referrer");
    EXPECT_EQ(CFormat::ExplainReferrerDash("--"), "--");
    EXPECT_EQ(CFormat::ExplainReferrerDash(""), "");
    EXPECT_EQ(CFormat::ExplainReferrerDash("http://a/"), "http://a/");
}

TEST(HtmlEscape, EscapesMarkupAndLatinLetters) {
    EXPECT_EQ(CFormat::htmlescape("A&B <\xE9>"), "A&amp;B &lt;&eacute;&gt;");
    EXPECT_EQ(CFormat::unhtmlescape("A&amp;B &lt;&eacute;&gt;"), "A&B <\xE9>");
    EXPECT_EQ(CFormat::htmlescape("\"\xA8\xC0\xFF"), "&quot;&uml;&Agrave;&yuml;");
    EXPECT_EQ(CFormat::htmlescape("'"), "'");
    EXPECT_EQ(CFormat::htmlescape(nullptr), "");
    EXPECT_EQ(CFormat::unhtmlescape(nullptr), "");
}

TEST(HtmlEscape, CopiesTheExceptedLatinBytes) {
    for (unsigned char b : {0xC6, 0xD0, 0xD7, 0xD8, 0xDE, 0xDF, 0xE6, 0xF0, 0xF7, 0xF8, 0xFE}) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(CFormat::htmlescape(one.c_str()), one) << "byte " << int(b);
    }
    // Their entity names are not part of the set either.
    EXPECT_EQ(CFormat::unhtmlescape("&AElig;&szlig;&times;"), "&AElig;&szlig;&times;");
}

TEST(HtmlEscape, EveryByteRoundTrips) {
    int escaped = 0;
    std::string all;
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string e = CFormat::htmlescape(one.c_str());
        if (e != one) {
            ++escaped;
            EXPECT_EQ(e.front(), '&') << b;
            EXPECT_EQ(e.back(), ';') << b;
        }
        EXPECT_EQ(CFormat::unhtmlescape(e.c_str()), one) << "byte " << b;
        all += one;
    }
    // quot, amp, lt, gt, uml and the 64 bytes 0xC0-0xFF less the 11 exceptions
    EXPECT_EQ(escaped, 5 + 64 - 11);
    EXPECT_EQ(CFormat::unhtmlescape(CFormat::htmlescape(all.c_str()).c_str()), all);
}

struct UnescapeCase {
    const char* in;
    const char* out;
};

class Unescape : public testing::TestWithParam<UnescapeCase> {};

TEST_P(Unescape, KeepsWhatIsNotAnEntityOfTheSet) {
    EXPECT_EQ(CFormat::unhtmlescape(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, Unescape,
    testing::Values(UnescapeCase{"&nbsp;", "&nbsp;"}, UnescapeCase{"a&b", "a&b"},
                    UnescapeCase{"a&", "a&"}, UnescapeCase{"x&;y", "x&;y"},
                    UnescapeCase{"&EACUTE;", "&EACUTE;"}, UnescapeCase{"&amp;amp;", "&amp;"},
                    UnescapeCase{"&lt&gt;", "&lt&gt;"}, UnescapeCase{"&amp;&lt", "&&lt"},
                    UnescapeCase{"tail&amp", "tail&amp"}, UnescapeCase{"", ""}));

TEST(MakeValidFilename, DropsCharactersFilesCannotHoldOrThatConfuseShells) {
    EXPECT_EQ(CFormat::MakeValidFilename("a\"b#c%d'e*f/g:h;i?j\\k"), "abcdefghijk");
    EXPECT_EQ(CFormat::MakeValidFilename("My Site.v2 (old)"), "My Site.v2 (old)");
    EXPECT_EQ(CFormat::MakeValidFilename(""), "");
}

}  // namespace
