// Every log format's parser on sample lines of that format, with the fields expected from them.

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "engine/parse/DateConversion.h"
#include "engine/parse/LineParser.h"
#include "engine/parse/W3CFields.h"
#include "engine/scan/Scanner.h"

namespace {

std::int32_t Utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<std::int32_t>(timegm(&parts));
}

struct sample_t {
    const char* name;
    int logType;
    std::string line;
    const char* fields;  // W3C "#Fields:" line, or nullptr
    const char* cookieName;
    // expected
    std::int32_t time;
    int hour;
    int method;
    const char* host;
    const char* user;
    const char* path;
    int status;
    std::int64_t bytes;
    const char* referrer;
    const char* agent;
    const char* server;
    const char* cookie;
};

void PrintTo(const sample_t& sample, std::ostream* out) { *out << sample.name; }

class ParseSampleLine : public ::testing::TestWithParam<sample_t> {
protected:
    std::unique_ptr<hit_t> m_hit = std::make_unique<hit_t>();
    parse_context_t m_context;

    std::size_t Parse(const sample_t& sample) {
        m_context.cookieName = sample.cookieName;
        m_context.cookieNameLen = static_cast<int>(std::strlen(sample.cookieName));
        m_context.cookieMode = sample.logType == SCAN_LOG_ELFEND   ? COOKIE_END
                               : sample.logType == SCAN_LOG_ELFBEG ? COOKIE_BEGIN
                                                                   : COOKIE_NONE;
        ClearW3CFields(m_context.w3c);
        if (sample.fields) {
            MapW3CFields(sample.fields, m_context.w3c);
            if (m_context.w3c.column[W3C_COOKIE] >= 0) m_context.cookieMode = COOKIE_W3C;
        }
        line_parser_t parser = GetLineParser(sample.logType);
        EXPECT_NE(parser, nullptr);
        return parser(sample.line.data(), sample.line.size(), *m_hit, m_context);
    }
};

TEST_P(ParseSampleLine, FillsTheExpectedFields) {
    const sample_t& s = GetParam();
    ASSERT_GT(Parse(s), 0u);
    const hit_t& hit = *m_hit;
    EXPECT_EQ(hit.time, s.time);
    EXPECT_EQ(hit.hour, s.hour);
    EXPECT_EQ(hit.dayOfWeek, (s.time / 86400 + 4) % 7);
    EXPECT_EQ(hit.method, s.method);
    EXPECT_EQ(hit.Host(), s.host);
    EXPECT_EQ(hit.User(), s.user);
    EXPECT_EQ(hit.Path(), s.path);
    EXPECT_EQ(hit.status, s.status);
    EXPECT_EQ(hit.bytes, s.bytes);
    EXPECT_EQ(hit.Referrer(), s.referrer);
    EXPECT_EQ(hit.Agent(), s.agent);
    EXPECT_EQ(hit.Server(), s.server);
    EXPECT_EQ(hit.Cookie(), s.cookie);
    EXPECT_EQ(hit.host[hit.hostLen], '\0');
    EXPECT_EQ(hit.path[hit.pathLen], '\0');
}

const char* const kIisFields =
    "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username "
    "c-ip cs(User-Agent) cs(Cookie) cs(Referer) cs-host sc-status sc-substatus sc-bytes";

const sample_t kSamples[] = {
    {"CommonWithUser", 0,
     R"(127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] "GET /apache_pb.gif HTTP/1.0" 200 2326)",
     nullptr, "", Utc(2000, 10, 10, 13, 55, 36), 13, HIT_METHOD_GET, "127.0.0.1", "frank",
     "/apache_pb.gif", 200, 2326, "", "", "", ""},
    {"CommonQuotedUserWithSpace", 0,
     R"(80.8.55.1 - "John Begood" [01/Jan/2001:02:00:00 +0100] "HEAD /x.html HTTP/1.1" 304 -)",
     nullptr, "", Utc(2001, 1, 1, 2, 0, 0), 2, HIT_METHOD_HEAD, "80.8.55.1", "John Begood",
     "/x.html", 304, 0, "", "", "", ""},
    {"CommonHostNameTabsAndLowerMonth", 0,
     "wpbfl2-45.gate.net\t-\t-\t[01/jan/1995:00:00:01 -0400] \"PUT /a\\\\b HTTP/1.0\" 201 7",
     nullptr, "", Utc(1995, 1, 1, 0, 0, 1), 0, HIT_METHOD_POST, "wpbfl2-45.gate.net", "-",
     "/a\\\\b", 201, 7, "", "", "", ""},
    {"CommonJuneAndRequestWithoutPath", 0, R"(10.0.0.1 - - [30/Jun/2009:22:59:26 +0000] "-" 400 0)",
     nullptr, "", Utc(2009, 6, 30, 22, 59, 26), 22, HIT_METHOD_OTHER, "10.0.0.1", "-", "", 400, 0,
     "", "", "", ""},
    {"CombinedNoCookie", 1,
     R"(192.168.202.254 - - [20/Jul/2009:22:59:26 +0000] "GET /vmw/cgi/tramp?x=1 HTTP/1.0" 200 134 "http://ref.example/a b" "gPXE/0.9.7")",
     nullptr, "SID", Utc(2009, 7, 20, 22, 59, 26), 22, HIT_METHOD_GET, "192.168.202.254", "-",
     "/vmw/cgi/tramp?x=1", 200, 134, "http://ref.example/a b", "gPXE/0.9.7", "", ""},
    {"CombinedEscapedQuoteInRequest", 1,
     R"(::1 - - [20/Aug/2009:22:59:26 +0000] "GET /q=\"x\" HTTP/1.0" 404 5 "-" "curl/7.1")",
     nullptr, "", Utc(2009, 8, 20, 22, 59, 26), 22, HIT_METHOD_GET, "::1", "-", "/q=\\", 404, 5,
     "-", "curl/7.1", "", ""},
    {"CombinedWithoutReferrerAndAgent", 1,
     R"(1.2.3.4 - - [20/Dec/2009:22:59:26 +0000] "POST /form HTTP/1.0" 302 -)", nullptr, "",
     Utc(2009, 12, 20, 22, 59, 26), 22, HIT_METHOD_POST, "1.2.3.4", "-", "/form", 302, 0, "", "",
     "", ""},
    {"CombinedCookieAtEndQuoted", 10,
     R"(10.20.30.40 - - [03/Apr/2013:00:00:11 +0200] "GET /t.gif HTTP/1.1" 200 43 "http://r/" "UA 1" "s_vi=[CS]v1|28; SID=abc123; x=\"\"")",
     nullptr, "SID", Utc(2013, 4, 3, 0, 0, 11), 0, HIT_METHOD_GET, "10.20.30.40", "-", "/t.gif",
     200, 43, "http://r/", "UA 1", "", "abc123"},
    {"CombinedCookieAtEndUnquotedLastMatchWins", 10,
     R"(10.0.0.2 - - [03/Sep/2013:00:00:11 +0000] "GET / HTTP/1.1" 200 1 "-" "UA" SID=one; a=b; SID=two)",
     nullptr, "SID", Utc(2013, 9, 3, 0, 0, 11), 0, HIT_METHOD_GET, "10.0.0.2", "-", "/", 200, 1,
     "-", "UA", "", "two"},
    {"CombinedCookieAtEndNameIsPrefixOnly", 10,
     R"(10.0.0.2 - - [03/Oct/2013:00:00:11 +0000] "GET / HTTP/1.1" 200 1 "-" "UA" "SIDX=1; XSID=2")",
     nullptr, "SID", Utc(2013, 10, 3, 0, 0, 11), 0, HIT_METHOD_GET, "10.0.0.2", "-", "/", 200, 1,
     "-", "UA", "", ""},
    {"CombinedCookieAtBeginningQuoted", 11,
     R"("SID=s1; lang=en" 10.1.1.1 - bob [05/Nov/2006:00:28:27 -0500] "GET /b HTTP/1.1" 200 9 "-" "UA")",
     nullptr, "SID", Utc(2006, 11, 5, 0, 28, 27), 0, HIT_METHOD_GET, "10.1.1.1", "bob", "/b", 200,
     9, "-", "UA", "", "s1"},
    {"CombinedCookieAtBeginningUnquotedEndsAtAddress", 11,
     R"(lang=en; SID=s2; 10.1.1.2 - - [05/Mar/2006:00:28:27 -0500] "GET /c HTTP/1.1" 200 9 "-" "UA")",
     nullptr, "SID", Utc(2006, 3, 5, 0, 28, 27), 0, HIT_METHOD_GET, "10.1.1.2", "-", "/c", 200, 9,
     "-", "UA", "", "s2"},
    {"CombinedCookieAtBeginningDash", 11,
     R"(- host.example.com - - [05/May/2006:00:28:27 -0500] "GET /c HTTP/1.1" 200 9 "-" "UA")",
     nullptr, "SID", Utc(2006, 5, 5, 0, 28, 27), 0, HIT_METHOD_GET, "host.example.com", "-", "/c",
     200, 9, "-", "UA", "", ""},
    {"W3CIisWithQueryCookieAndPlusInAgent", 4,
     "2012-04-01 00:00:13 W3SVC1 5.6.7.8 GET /foo/bar a=1&b=2 80 theuser 1.2.3.4 "
     "Mozilla/4.0+(compatible) ASP.NET_SessionId=sess1;+__utma=21 http://ref/ www.site.com 200 0 "
     "5120",
     kIisFields, "ASP.NET_SessionId", Utc(2012, 4, 1, 0, 0, 13), 0, HIT_METHOD_GET, "1.2.3.4",
     "theuser", "/foo/bar?a=1&b=2", 200, 5120, "http://ref/", "Mozilla/4.0 (compatible)", "5.6.7.8",
     "sess1"},
    {"W3CLongAgentHasEveryPlusReplaced", 4,
     "2012-04-01 00:00:13 W3SVC1 5.6.7.8 GET /foo - 80 - 1.2.3.4 "
     "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+x+ - - www.site.com 200 0 1",
     kIisFields, "", Utc(2012, 4, 1, 0, 0, 13), 0, HIT_METHOD_GET, "1.2.3.4", "-", "/foo", 200, 1,
     "-", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 x ", "5.6.7.8", ""},
    {"W3CQueryDashKeepsPath", 4,
     "2012-04-01 23:59:59 W3SVC1 5.6.7.8 HEAD /p - 80 - 1.2.3.4 UA - - www.site.com 404 0 10",
     kIisFields, "", Utc(2012, 4, 1, 23, 59, 59), 23, HIT_METHOD_HEAD, "1.2.3.4", "-", "/p", 404,
     10, "-", "UA", "5.6.7.8", ""},
    {"W3CQuotedValuesWithSpaces", 4,
     R"L(2012-08-15 17:00:00.363 1.2.3.4 GET /P - "70.95.0.0" "Mozilla/5.0 (Linux; ""x"")" 200)L",
     "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query c-ip cs(User-Agent) sc-status", "",
     Utc(2012, 8, 15, 17, 0, 0), 17, HIT_METHOD_GET, "70.95.0.0", "-", "/P", 200, 0, "",
     "Mozilla/5.0 (Linux; \"\"x\"\")", "1.2.3.4", ""},
    {"W3CMinimalColumnsNoMethodNoServer", 4, "2001-01-01 12:00:01 192.168.0.1 /index.htm 200",
     "#Fields: date time c-ip cs-uri-stem sc-status", "", Utc(2001, 1, 1, 12, 0, 1), 12,
     HIT_METHOD_GET, "192.168.0.1", "-", "/index.htm", 200, 0, "", "", "-", ""},
    {"DominoServerInSecondField", 8,
     R"(133.149.133.102 www.acmeco.com - [05/Nov/2006:00:28:27 -0500] "GET /webdb.nsf/x.htm HTTP/1.1" 404 38692)",
     nullptr, "", Utc(2006, 11, 5, 0, 28, 27), 0, HIT_METHOD_GET, "133.149.133.102", "-",
     "/webdb.nsf/x.htm", 404, 38692, "", "", "www.acmeco.com", ""},
    {"DominoWithReferrerAndAgent", 8,
     R"(10.0.0.9 srv "CN=Jo Doe/O=Acme" [05/Feb/2006:10:28:27 -0500] "POST /a.nsf?Open HTTP/1.1" 302 - "http://r/" "Mozilla/4.0")",
     nullptr, "", Utc(2006, 2, 5, 10, 28, 27), 10, HIT_METHOD_POST, "10.0.0.9", "CN=Jo Doe/O=Acme",
     "/a.nsf?Open", 302, 0, "http://r/", "Mozilla/4.0", "srv", ""},
    {"CommaShortIisNative", 2,
     "192.168.114.201, -, 03/20/01, 7:55:20, W3SVC2, SERVER, 172.21.13.45, 4502, 163, 3223, 200, "
     "0, GET, /DeptLogo.gif, -,",
     nullptr, "", Utc(2001, 3, 20, 7, 55, 20), 7, HIT_METHOD_GET, "192.168.114.201", "",
     "/DeptLogo.gif", 200, 3223, "", "", "172.21.13.45", ""},
    {"CommaShortFourDigitYear", 2,
     "10.0.0.1, -, 5/14/2007, 13:05:00, W3SVC2, SERVER, 172.21.13.45, 1, 2, 3, 404, 0, GET, "
     "/x.gif, -,",
     nullptr, "", Utc(2007, 5, 14, 13, 5, 0), 13, HIT_METHOD_GET, "10.0.0.1", "", "/x.gif", 404, 3,
     "", "", "172.21.13.45", ""},
    {"CommaLongWithAgentAndReferrer", 3,
     "10.0.0.1, -, 5/14/07, 13:05:00, W3SVC2, SERVER, 172.21.13.45, 1, 2, 3, 200, 0, GET, /a.htm, "
     "Mozilla/4.0, http://ref/",
     nullptr, "", Utc(2007, 5, 14, 13, 5, 0), 13, HIT_METHOD_GET, "10.0.0.1", "", "/a.htm", 200, 3,
     "http://ref/", "Mozilla/4.0", "", ""},
    {"SparseHostInSecondField", 7,
     R"(- 10.0.0.7 x jim [07/Jul/2010:01:02:03 +0000] "GET /s HTTP/1.1" 200 11 "-" "UA")", nullptr,
     "", Utc(2010, 7, 7, 1, 2, 3), 1, HIT_METHOD_GET, "10.0.0.7", "jim", "/s", 200, 11, "-", "UA",
     "", ""},
    {"SparseNothingBeforeDate", 7,
     R"(example.com 109.72.95.200 [09/May/2011:06:54:44 +0100] "-" 400 0 "-" "-")", nullptr, "",
     Utc(2011, 5, 9, 6, 54, 44), 6, HIT_METHOD_OTHER, "example.com", "-", "", 400, 0, "-", "-", "",
     ""},
};

INSTANTIATE_TEST_SUITE_P(Formats, ParseSampleLine, ::testing::ValuesIn(kSamples),
                         [](const auto& info) { return std::string(info.param.name); });

// Lines each parser must reject.
struct rejected_t {
    const char* name;
    int logType;
    std::string line;
};

void PrintTo(const rejected_t& sample, std::ostream* out) { *out << sample.name; }

class RejectLine : public ::testing::TestWithParam<rejected_t> {};

TEST_P(RejectLine, ReturnsZeroOrATimeStampNotAboveZero) {
    const rejected_t& r = GetParam();
    auto hit = std::make_unique<hit_t>();
    parse_context_t context;
    ClearW3CFields(context.w3c);
    MapW3CFields("#Fields: date time c-ip cs-uri-stem sc-status sc-bytes", context.w3c);
    std::size_t used = GetLineParser(r.logType)(r.line.data(), r.line.size(), *hit, context);
    EXPECT_TRUE(used == 0 || hit->time <= 0) << "consumed " << used << " time " << hit->time;
}

const rejected_t kRejected[] = {
    {"CommonMissingIdentAndUser", 0,
     R"(1.2.3.4 [20/Jul/2009:22:59:29 +0000] "GET / HTTP/1.0" 404 4)"},
    {"CommonCutInsideRequest", 0, R"(1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET / HTT)"},
    {"CommonCutBeforeBytes", 0, R"(1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET / HTTP/1.0" 200)"},
    {"CommonControlByteInHost", 0,
     std::string("1.2\x01.3.4 - - [20/Jul/2009:22:59:29 +0000] \"GET / HTTP/1.0\" 200 1")},
    {"CommonYear1969", 0, R"(1.2.3.4 - - [31/Dec/1969:23:59:59 +0000] "GET / HTTP/1.0" 200 1)"},
    {"CommonFirstSecondOf1970", 0,
     R"(1.2.3.4 - - [01/Jan/1970:00:00:00 +0000] "GET / HTTP/1.0" 200 1)"},
    {"CommonHour24", 0, R"(1.2.3.4 - - [01/Jan/2001:24:00:00 +0000] "GET / HTTP/1.0" 200 1)"},
    {"CommonDay0", 0, R"(1.2.3.4 - - [00/Jan/2001:10:00:00 +0000] "GET / HTTP/1.0" 200 1)"},
    {"CommonAfter2038", 0, R"(1.2.3.4 - - [01/Jan/2039:10:00:00 +0000] "GET / HTTP/1.0" 200 1)"},
    {"CommonIsoDateInBrackets", 0,
     R"(1.2.3.4 - - [2015-05-20 12:53:11.139981] "GET / HTTP/1.0" 200 1)"},
    {"CommonDateLongerThan100", 0,
     "1.2.3.4 - - [" + std::string(120, '1') + "] \"GET / HTTP/1.0\" 200 1"},
    {"CombinedUnquotedReferrer", 1,
     R"(1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET / HTTP/1.0" 200 1 http://r/ "UA")"},
    {"CombinedMissingAgent", 1,
     R"(1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET / HTTP/1.0" 200 1 "-")"},
    {"CookieBeginUnclosedQuote", 11,
     R"("SID=1; a=2 1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET / HTTP/1.0" 200 1 "-" "UA")"},
    {"W3CMissingMappedColumn", 4, "2003-11-18 10:00:00 192.168.1.102 /images/address.gif 200"},
    {"W3CBadDate", 4, "2003-13-18 10:00:00 192.168.1.102 /a.gif 200 1"},
    {"CommaTooFewFields", 2, "192.168.114.201, -, 03/20/01, 7:55:20, W3SVC2"},
    {"CommaNoPath", 2,
     "1.2.3.4, -, 03/20/01, 7:55:20, W3SVC2, SERVER, 1.1.1.1, 1, 2, 3, 200, 0, GET, x, -,"},
    {"CommaFourDigitYearBefore1970", 2,
     "1.2.3.4, -, 03/20/1960, 7:55:20, W3SVC2, SERVER, 1.1.1.1, 1, 2, 3, 200, 0, GET, /x, -,"},
    {"SparseSingleField", 7, "justonefield"},
    {"DominoNoDate", 8, R"(1.2.3.4 srv - "GET / HTTP/1.0" 200 1)"},
    {"EmptyLine", 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Formats, RejectLine, ::testing::ValuesIn(kRejected),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParseLineFields, CutsTextFieldsToTheirFirst249Characters) {
    std::string host(300, 'h');
    std::string agent(400, 'a');
    std::string line = host + " - - [10/Oct/2000:13:55:36 -0700] \"GET /" + std::string(300, 'p') +
                       " HTTP/1.0\" 200 1 \"-\" \"" + agent + "\"";
    auto hit = std::make_unique<hit_t>();
    parse_context_t context;
    ASSERT_GT(ParseCombinedLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->hostLen, 249);
    EXPECT_EQ(hit->Host(), host.substr(0, 249));
    EXPECT_EQ(hit->pathLen, 249);
    EXPECT_EQ(hit->agentLen, 249);
    EXPECT_EQ(hit->agent[249], '\0');
}

TEST(ParseLineFields, ReturnsTheOffsetAfterTheLastFieldRead) {
    std::string line =
        R"(1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET / HTTP/1.0" 200 17 "-" "UA")";
    auto hit = std::make_unique<hit_t>();
    parse_context_t context;
    EXPECT_EQ(ParseCommonLine(line.data(), line.size(), *hit, context), line.find(" \"-\""));
    EXPECT_EQ(ParseCombinedLine(line.data(), line.size(), *hit, context), line.size());
}

TEST(ParseLineFields, AHugeBytesFieldSaturatesInsteadOfWrapping) {
    std::string line =
        R"(1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET /iso HTTP/1.0" 200 5000000000)";
    auto hit = std::make_unique<hit_t>();
    parse_context_t context;
    ASSERT_GT(ParseCommonLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->bytes, 5000000000LL);
    line =
        R"(1.2.3.4 - - [20/Jul/2009:22:59:29 +0000] "GET /iso HTTP/1.0" 99999999999999 99999999999999999999999)";
    ASSERT_GT(ParseCommonLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->status, INT32_MAX);
    EXPECT_EQ(hit->bytes, INT64_MAX);
}

TEST(ParseLineFields, W3CQueryThatWouldNotFitIsLeftOff) {
    parse_context_t context;
    MapW3CFields("#Fields: time c-ip cs-uri-stem cs-uri-query sc-status", context.w3c);
    std::string line =
        "10:00:00 1.2.3.4 /" + std::string(200, 'p') + " " + std::string(47, 'q') + " 200";
    auto hit = std::make_unique<hit_t>();
    ASSERT_GT(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->pathLen, 249);
    line = "10:00:00 1.2.3.4 /" + std::string(200, 'p') + " " + std::string(48, 'q') + " 200";
    ASSERT_GT(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->pathLen, 201);
}

TEST(ParseLineFields, W3CServerComesFromTheHostColumnWhenAVirtualDomainFilterAsksForIt) {
    parse_context_t context;
    MapW3CFields("#Fields: date time s-ip cs-host c-ip cs-uri-stem sc-status", context.w3c);
    std::string line = "2010-01-01 10:00:00 10.0.0.1 www.a.com 1.2.3.4 / 200";
    auto hit = std::make_unique<hit_t>();
    ASSERT_GT(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->Server(), "10.0.0.1");
    context.w3cServerFromHost = true;
    ASSERT_GT(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->Server(), "www.a.com");
}

TEST(ParseLineFields, W3CWithoutARequiredColumnOrWithOver100ColumnsRejectsEveryLine) {
    parse_context_t context;
    auto hit = std::make_unique<hit_t>();
    std::string line = "2010-01-01 10:00:00 1.2.3.4 / 200";
    MapW3CFields("#Fields: date time c-ip cs-uri-stem sc-status", context.w3c);
    EXPECT_GT(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
    MapW3CFields("#Fields: date time c-ip cs-uri sc-status", context.w3c);
    EXPECT_EQ(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
    std::string wide = "#Fields: date time c-ip cs-uri-stem sc-status";
    for (int i = 0; i < 96; ++i) wide += " x-extra" + std::to_string(i);
    MapW3CFields(wide, context.w3c);
    EXPECT_EQ(context.w3c.lastColumn, 100);
    EXPECT_EQ(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
}

TEST(ParseLineFields, W3CHeaderDateServesLinesWithoutADateColumn) {
    parse_context_t context;
    MapW3CFields("#Fields: time c-ip cs-uri-stem sc-status", context.w3c);
    std::memcpy(context.headerDate, "2002-05-24", 10);
    context.headerDateLen = 10;
    std::string line = "20:18:01 172.224.24.114 /Default.htm 200";
    auto hit = std::make_unique<hit_t>();
    ASSERT_GT(ParseW3CLine(line.data(), line.size(), *hit, context), 0u);
    EXPECT_EQ(hit->time, Utc(2002, 5, 24, 20, 18, 1));
}

// The three date conversions and the common time rule.
class DateConversion : public ::testing::Test {
protected:
    hit_t m_hit{};
};

TEST_F(DateConversion, NegativeOffsetMovesHourAndStampBack) {
    ConvertCommonDate("14/May/2007:03:00:00 +0000", -5, m_hit);
    EXPECT_EQ(m_hit.hour, 22);
    EXPECT_EQ(m_hit.time, Utc(2007, 5, 14, 3, 0, 0) - 5 * 3600);
    EXPECT_EQ(m_hit.dayOfWeek, 0);  // Sunday 13 May 22:00
}

TEST_F(DateConversion, MonthNamesAreReadFromTheirDistinguishingLetters) {
    const char* names[] = {"Jan", "FEB", "mar", "Apr", "May", "Jun",
                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 0; m < 12; ++m) {
        ConvertCommonDate(std::string("15/") + names[m] + "/2004:12:00:00 +0000", 0, m_hit);
        EXPECT_EQ(m_hit.time, Utc(2004, m + 1, 15, 12, 0, 0)) << names[m];
    }
}

TEST_F(DateConversion, LeapDaysAreCounted) {
    ConvertW3CDate("2004-02-29", "23:59:59", 0, m_hit);
    EXPECT_EQ(m_hit.time, Utc(2004, 2, 29, 23, 59, 59));
    ConvertW3CDate("2000-03-01", "00:00:00", 0, m_hit);
    EXPECT_EQ(m_hit.time, Utc(2000, 3, 1, 0, 0, 0));
    ConvertW3CDate("2037-12-31", "23:59:59", 0, m_hit);
    EXPECT_EQ(m_hit.time, Utc(2037, 12, 31, 23, 59, 59));
}

TEST_F(DateConversion, CommaDatesAreMonthFirstOrDayFirstWhenEuropean) {
    ConvertCommaDate("5/14/07", "13:55:36", false, 0, m_hit);
    EXPECT_EQ(m_hit.time, Utc(2007, 5, 14, 13, 55, 36));
    ConvertCommaDate("14.5.07", "13:55:36", true, 0, m_hit);
    EXPECT_EQ(m_hit.time, Utc(2007, 5, 14, 13, 55, 36));
    ConvertCommaDate("1/2/99", "0:0:1", false, 0, m_hit);
    EXPECT_EQ(m_hit.time, Utc(1999, 1, 2, 0, 0, 1));
}

TEST_F(DateConversion, EmptyOrOverlongTextGivesMinusOne) {
    ConvertW3CDate("", "10:00:00", 0, m_hit);
    EXPECT_EQ(m_hit.time, -1);
    ConvertW3CDate("2004-01-01", std::string(101, '1'), 0, m_hit);
    EXPECT_EQ(m_hit.time, -1);
    ConvertCommaDate("5/14/07", "", false, 0, m_hit);
    EXPECT_EQ(m_hit.time, -1);
    ConvertCommonDate("", 0, m_hit);
    EXPECT_EQ(m_hit.time, -1);
}

TEST(ComputeHitTime, EpochIsZeroAndRangesAreChecked) {
    EXPECT_EQ(ComputeHitTime(70, 0, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(ComputeHitTime(70, 0, 1, 0, 0, 1, 0), 1);
    EXPECT_EQ(ComputeHitTime(70, 12, 1, 0, 0, 0, 0), -1);
    EXPECT_EQ(ComputeHitTime(70, 0, 32, 0, 0, 0, 0), -1);
    EXPECT_EQ(ComputeHitTime(70, 0, 1, 0, 60, 0, 0), -1);
    EXPECT_EQ(ComputeHitTime(140, 0, 1, 0, 0, 0, 0), -1);
    EXPECT_EQ(ComputeHitTime(5, 0, 1, 0, 0, 0, 0), Utc(2005, 1, 1, 0, 0, 0));
}

}  // namespace
