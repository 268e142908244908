#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ReferenceCounter.h"
#include "engine/filter/FilterEvaluation.h"
#include "engine/filter/WildcardMatch.h"
#include "engine/hit/UrlNormalizer.h"

namespace {

using logvane::test::MakeHit;
using logvane::test::ref_hit_t;

// --- wildcard match ------------------------------------------------------------------------

struct WildcardCase {
    const char* pattern;
    const char* text;
    bool match;
};

class WildcardTest : public testing::TestWithParam<WildcardCase> {};

TEST_P(WildcardTest, MatchesTheWholeText) {
    const WildcardCase& c = GetParam();
    EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.match) << c.pattern << " ~ " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, WildcardTest,
    testing::Values(
        WildcardCase{"*", "", true}, WildcardCase{"*", "anything", true},
        WildcardCase{"", "", true}, WildcardCase{"", "a", false}, WildcardCase{"a?c", "abc", true},
        WildcardCase{"a?c", "ac", false}, WildcardCase{"/shop/*", "/shop/item.php", true},
        WildcardCase{"/shop/*", "/shopping", false}, WildcardCase{"*.gif", "/img/a.gif", true},
        WildcardCase{"*.gif", "/img/a.gif?x", false},
        WildcardCase{"192.168.*.*", "192.168.1.20", true},
        WildcardCase{"192.168.*.*", "192.168.1", false},
        WildcardCase{"*a*b*c", "xxaxxbxxbxc", true}, WildcardCase{"*ab", "aab", true},
        WildcardCase{"a**b", "ab", true}, WildcardCase{"index.html", "index.html", true},
        WildcardCase{"index.html", "index.htm", false}));

TEST(WildcardNoCaseTest, IgnoresAsciiCaseOnly) {
    EXPECT_TRUE(WildcardMatchNoCase("*google*", "Google search for \"x\""));
    EXPECT_TRUE(WildcardMatchNoCase("/A?C", "/abc"));
    EXPECT_FALSE(WildcardMatchNoCase("\xC4", "\xE4"));  // no folding beyond ASCII
    EXPECT_FALSE(WildcardMatch("*google*", "Google"));
}

// --- quick periods -------------------------------------------------------------------------

class QuickPeriodTest : public testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved = tz ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string saved;
    bool hadTz = false;
    // Wednesday 15 May 2024, 13:20:00 UTC.
    const std::time_t now = 1715779200;
};

TEST_F(QuickPeriodTest, CalendarSpansRunFromFirstToLastSecond) {
    std::int32_t begin = 0, end = 0;
    const std::int32_t today = 1715731200;  // 15 May 2024 00:00
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_TODAY, now, begin, end));
    EXPECT_EQ(begin, today);
    EXPECT_EQ(end, today + 86399);
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_YESTERDAY, now, begin, end));
    EXPECT_EQ(begin, today - 86400);
    EXPECT_EQ(end, today - 1);
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_CURRENT_WEEK, now, begin, end));
    EXPECT_EQ(begin, today - 3 * 86400);  // Sunday 12 May
    EXPECT_EQ(end, begin + 7 * 86400 - 1);
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_CURRENT_MONTH, now, begin, end));
    EXPECT_EQ(begin, 1714521600);  // 1 May
    EXPECT_EQ(end, 1717199999);    // 31 May 23:59:59
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_PREVIOUS_MONTH, now, begin, end));
    EXPECT_EQ(begin, 1711929600);  // 1 April
    EXPECT_EQ(end, 1714521599);
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_YEAR_TO_DATE, now, begin, end));
    EXPECT_EQ(begin, 1704067200);  // 1 January 2024
    EXPECT_EQ(end, today + 86399);
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_PREVIOUS_YEAR, now, begin, end));
    EXPECT_EQ(begin, 1672531200);  // 1 January 2023
    EXPECT_EQ(end, 1704067199);
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_24HOURS, now, begin, end));
    EXPECT_EQ(end - begin, 86400);
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_LAST_MONTH, now, begin, end));
    EXPECT_EQ(end - begin, 2592000);
    EXPECT_FALSE(QuickFilterSpan(filter_t::QUICK_BAD, now, begin, end));
}

TEST_F(QuickPeriodTest, JanuaryLooksBackIntoDecember) {
    std::int32_t begin = 0, end = 0;
    ASSERT_TRUE(
        QuickFilterSpan(filter_t::QUICK_PREVIOUS_MONTH, 1704153600 /* 2 Jan 2024 */, begin, end));
    EXPECT_EQ(begin, 1701388800);  // 1 December 2023
    EXPECT_EQ(end, 1704067199);
}

TEST_F(QuickPeriodTest, LocalTimeShiftsTheSpan) {
    setenv("TZ", "CET-1", 1);  // one hour east, no daylight saving
    tzset();
    EXPECT_EQ(ToLocalSeconds(now), now + 3600);
    std::int32_t begin = 0, end = 0;
    // 23:30 UTC on 15 May is already 16 May in that zone.
    ASSERT_TRUE(QuickFilterSpan(filter_t::QUICK_TODAY, 1715815800, begin, end));
    EXPECT_EQ(begin, 1715817600);
}

// --- evaluation ----------------------------------------------------------------------------

filter_t Filter(int infoType, const std::string& pattern = "", int include = filter_t::INCLUDE) {
    filter_t f;
    f.infoType = infoType;
    f.string = pattern;
    f.includeType = include;
    return f;
}

class FilterTest : public testing::Test {
protected:
    bool Out(const std::vector<filter_t>& filters, const ref_hit_t& h, bool andInclude = false,
             bool andExclude = false) {
        filter_compile_options_t options;
        options.andInclude = andInclude;
        options.andExclude = andExclude;
        options.normalizer = &normalizer;
        options.spiderKeywords = {"googlebot", "crawler"};
        options.now = 1715779200;
        evaluator.CompileFilters(filters, options);
        hit_t hit = MakeHit(h, true);
        const std::string url = normalizer.Normalized(hit.Path(), true);
        return evaluator.IsFilteredOut(hit, url);
    }
    ref_hit_t Hit(const std::string& path = "/index.html", int status = 200) {
        ref_hit_t h;
        h.host = "10.1.2.3";
        h.path = path;
        h.status = status;
        h.time = 1715779200;
        h.agent = "mozilla/5.0 (x11; linux) firefox/120";
        h.referrer = "http://other.org/";
        h.user = "alice";
        h.cookie = "abc123";
        return h;
    }
    CUrlNormalizer normalizer{false, false, "index.html"};
    CFilterEvaluator evaluator;
};

TEST_F(FilterTest, NoFiltersKeepEveryHit) {
    EXPECT_FALSE(Out({}, Hit()));
    EXPECT_TRUE(evaluator.IsEmpty());
}

TEST_F(FilterTest, IncludeFiltersCombineWithOrOrAnd) {
    const std::vector<filter_t> both{Filter(filter_t::FILE, "/index.html"),
                                     Filter(filter_t::IP, "10.1.*")};
    EXPECT_FALSE(Out(both, Hit("/index.html")));
    EXPECT_FALSE(Out(both, Hit("/other.html")));  // OR: the address is enough
    EXPECT_FALSE(Out(both, Hit("/index.html"), true));
    EXPECT_TRUE(Out(both, Hit("/other.html"), true));  // AND: both must match
}

TEST_F(FilterTest, ExcludeInOrModeRemovesWhateverIncludesSay) {
    const std::vector<filter_t> filters{Filter(filter_t::FILE, "*"),
                                        Filter(filter_t::FILE, "*.gif", filter_t::EXCLUDE),
                                        Filter(filter_t::AUTHUSER, "bob", filter_t::EXCLUDE)};
    EXPECT_TRUE(Out(filters, Hit("/a.gif")));
    EXPECT_FALSE(Out(filters, Hit("/a.html")));
    // AND mode: excluded only when every exclude filter matches.
    EXPECT_FALSE(Out(filters, Hit("/a.gif"), false, true));
}

TEST_F(FilterTest, SuccessRangeKeepsOnly2xx) {
    filter_t success = Filter(filter_t::SUCCESS);
    success.num1 = 200;
    success.num2 = 299;
    EXPECT_FALSE(Out({success}, Hit("/", 200)));
    EXPECT_FALSE(Out({success}, Hit("/", 299)));
    EXPECT_TRUE(Out({success}, Hit("/", 304)));
    EXPECT_TRUE(Out({success}, Hit("/", 404)));
}

TEST_F(FilterTest, FilePatternsAreNormalisedWithTheDefaultPage) {
    // "/shop/" as a pattern means the folder's default page, as the URL does.
    EXPECT_FALSE(Out({Filter(filter_t::FILE, "/Shop/")}, Hit("/shop/")));
    EXPECT_FALSE(Out({Filter(filter_t::FILE, "/shop/")}, Hit("/shop/index.html")));
    EXPECT_TRUE(Out({Filter(filter_t::FILE, "/shop/")}, Hit("/shop/list.html")));
}

TEST_F(FilterTest, AgentFiltersMatchSubstringsAndQuickSpidersExpand) {
    EXPECT_FALSE(Out({Filter(filter_t::USEROS, "Linux")}, Hit()));
    EXPECT_TRUE(Out({Filter(filter_t::USERBROWSER, "chrome")}, Hit()));
    ref_hit_t bot = Hit();
    bot.agent = "mozilla/5.0 (compatible; googlebot/2.1)";
    const std::vector<filter_t> noSpiders{
        Filter(filter_t::QUICKFILTER_SPIDERS, "", filter_t::EXCLUDE)};
    EXPECT_TRUE(Out(noSpiders, bot));
    EXPECT_EQ(evaluator.GetNumExcludes(), 2);
    EXPECT_FALSE(Out(noSpiders, Hit()));
}

TEST_F(FilterTest, TimeFieldsAndMethods) {
    filter_t range = Filter(filter_t::RANGE_DATES);
    // The range is taken as local seconds; test in UTC terms by converting back.
    const std::int32_t local = ToLocalSeconds(1715779200);
    range.begin = 1715779200 - (local - 1715779200);
    range.end = range.begin;
    ref_hit_t h = Hit();
    EXPECT_FALSE(Out({range}, h));
    h.time += 1;
    EXPECT_TRUE(Out({range}, h));

    filter_t hour = Filter(filter_t::HOUR);
    hour.num1 = (1715779200 % 86400) / 3600;
    EXPECT_FALSE(Out({hour}, Hit()));
    hour.num1 += 1;
    EXPECT_TRUE(Out({hour}, Hit()));
    filter_t dow = Filter(filter_t::DOW);
    dow.num1 = 3;  // Wednesday
    EXPECT_FALSE(Out({dow}, Hit()));
    filter_t request = Filter(filter_t::REQUEST);
    request.requestType = REQUEST_POST;
    EXPECT_TRUE(Out({request}, Hit()));  // MakeHit leaves GET
}

TEST_F(FilterTest, QueryStringFiltersTestEachParameter) {
    const filter_t query = Filter(filter_t::QUERY_STRING, "id=4*");
    EXPECT_FALSE(Out({query}, Hit("/item.php?cat=2&id=42#x")));
    EXPECT_TRUE(Out({query}, Hit("/item.php?cat=2&id=3")));
    EXPECT_TRUE(Out({query}, Hit("/item.php")));
    EXPECT_TRUE(Out({query}, Hit("/item.php?x=1#id=4")));  // the fragment is no query
    // Without "=" the filter tests nothing, so it keeps every hit.
    EXPECT_FALSE(Out({Filter(filter_t::QUERY_STRING, "id")}, Hit("/item.php")));
    EXPECT_EQ(evaluator.GetNumIncludes(), 0);
}

TEST_F(FilterTest, FiltersOfUnknownTypesHaveNoEffect) {
    EXPECT_FALSE(Out({Filter(filter_t::INFO_BAD, "x")}, Hit()));
    EXPECT_FALSE(Out({Filter(42, "x"), Filter(filter_t::INFO_BAD, "", filter_t::EXCLUDE)}, Hit()));
}

TEST_F(FilterTest, TextFieldsMatchWildcardOrWhole) {
    EXPECT_FALSE(Out({Filter(filter_t::REFERRER, "http://other.org/")}, Hit()));
    EXPECT_TRUE(Out({Filter(filter_t::REFERRER, "other.org")}, Hit()));
    EXPECT_FALSE(Out({Filter(filter_t::COOKIE, "abc*")}, Hit()));
    ref_hit_t mixed = Hit();
    mixed.cookie = "AbC123";  // hit processing folds no cookie, so the pattern keeps its case
    EXPECT_FALSE(Out({Filter(filter_t::COOKIE, "AbC*")}, mixed));
    EXPECT_TRUE(Out({Filter(filter_t::COOKIE, "abc*")}, mixed));
    EXPECT_FALSE(Out({Filter(filter_t::VIRTUALDOMAIN, "*.example.com")}, Hit()));
    EXPECT_TRUE(Out({Filter(filter_t::DOMAIN, "10.1.2.30")}, Hit()));
    // Patterns are lower-cased when the analysis is not case sensitive.
    EXPECT_FALSE(Out({Filter(filter_t::AUTHUSER, "ALICE")}, Hit()));
}

}  // namespace
