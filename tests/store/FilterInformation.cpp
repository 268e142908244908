#include "store/filter/FilterInformation.h"

#include <gtest/gtest.h>

#include <ctime>

#include "ProjectSamples.h"
#include "support/TempDir.h"
#include "utility/Markup.h"

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {

filter_t MakeFilter(int include, int info, const std::string& s) {
    filter_t f;
    f.includeType = include;
    f.infoType = info;
    f.string = s;
    f.begin = 1000000000;
    f.end = 1100000000;
    return f;
}

// One filter of every information type, each with its own fields set away from the defaults.
CFilterInformation EveryKindOfFilter() {
    CFilterInformation list;

    int n = 0;
    for (int kind : logvane::test::kEveryFilterKind) {
        filter_t f = MakeFilter(n % 2, kind, "pat<&>\"'" + std::to_string(n));
        f.num1 = n + 1;
        f.num2 = -(n + 7);
        f.quickFilter = n % 10;
        f.requestType = static_cast<request_t>(n % 3);
        f.begin = -5 - n;  // never 0: a zero time is not written
        list.AddFilterInfo(f);
        ++n;
    }
    return list;
}

CFilterInformation ReadBack(const std::string& xml) {
    CMarkup doc(xml.c_str());
    doc.FindElem();
    CFilterInformation list;
    list.LoadXML(doc);
    return list;
}

}  // namespace

TEST(FilterInformation, EveryInformationTypeRoundTripsFieldByField) {
    const CFilterInformation original = EveryKindOfFilter();
    CMarkup doc;
    original.SaveXML(doc);
    const CFilterInformation loaded = ReadBack(doc.GetDoc());
    ASSERT_EQ(loaded.GetNumFilters(), original.GetNumFilters());
    for (int i = 0; i < original.GetNumFilters(); ++i)
        EXPECT_EQ(loaded.GetFilterInfo(i), original.GetFilterInfo(i)) << "filter " << i;
}

TEST(FilterInformation, ExcludeFileFilterWritesItsElementsInOrder) {
    CFilterInformation list;
    list.AddFilterInfo(MakeFilter(filter_t::EXCLUDE, filter_t::FILE, "/*.gif"));
    CMarkup doc;
    list.SaveXML(doc);
    doc.ResetPos();
    ASSERT_TRUE(doc.FindElem("FILTERS"));
    doc.IntoElem();
    ASSERT_TRUE(doc.FindElem("FILTER"));
    std::vector<std::pair<std::string, std::string>> children;
    while (doc.FindChildElem()) children.emplace_back(doc.GetChildTagName(), doc.GetChildData());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"INCLUDETYPE", "EXCLUDE"}, {"INFORMATION", "FILE"}, {"QUICKFILTER", "CURRENT_MONTH"},
        {"STRING", "/*.gif"},       {"BEGIN", "1000000000"}, {"END", "1100000000"}};
    EXPECT_EQ(children, expected);
}

TEST(FilterInformation, UnknownTextFormsDropTheFilter) {
    const char* bad[] = {
        "<INFORMATION>file</INFORMATION>",    "<INFORMATION>INFO_BAD</INFORMATION>",
        "<INCLUDETYPE>include</INCLUDETYPE>", "<QUICKFILTER>BAD</QUICKFILTER>",
        "<REQUESTTYPE>PUT</REQUESTTYPE>",     "<INCLUDETYPE></INCLUDETYPE>",
    };
    for (const char* child : bad) {
        const std::string xml = std::string("<FILTERS><FILTER>") + child +
                                "</FILTER><FILTER><STRING>kept</STRING></FILTER></FILTERS>";
        const CFilterInformation list = ReadBack(xml);
        ASSERT_EQ(list.GetNumFilters(), 1) << child;
        EXPECT_EQ(list.GetFilterInfo(0).string, "kept");
    }
}

TEST(FilterInformation, FilterWithoutChildrenTakesTheDefaults) {
    const std::time_t before = std::time(nullptr);
    const CFilterInformation list = ReadBack("<FILTERS><FILTER/></FILTERS>");
    ASSERT_EQ(list.GetNumFilters(), 1);
    const filter_t f = list.GetFilterInfo(0);
    EXPECT_EQ(f.includeType, filter_t::INCLUDE);
    EXPECT_EQ(f.infoType, filter_t::DOMAIN);
    EXPECT_EQ(f.quickFilter, filter_t::QUICK_CURRENT_MONTH);
    EXPECT_EQ(f.string, "");
    EXPECT_GE(f.begin, before);
    EXPECT_LE(f.begin, std::time(nullptr));
    EXPECT_EQ(f.begin, f.end);
}

TEST(FilterInformation, ChildrenAreReadInAnyOrderAndNumbersAsAtoi) {
    const CFilterInformation list = ReadBack(
        "<FILTERS><FILTER><NUM2> 404xyz</NUM2><UNKNOWN>1</UNKNOWN><INFORMATION>SUCCESS"
        "</INFORMATION><NUM1>99999999999</NUM1><INCLUDETYPE>EXCLUDE</INCLUDETYPE>"
        "<BEGIN>abc</BEGIN></FILTER></FILTERS>");
    ASSERT_EQ(list.GetNumFilters(), 1);
    const filter_t f = list.GetFilterInfo(0);
    EXPECT_EQ(f.infoType, filter_t::SUCCESS);
    EXPECT_EQ(f.includeType, filter_t::EXCLUDE);
    EXPECT_EQ(f.num2, 404);
    EXPECT_EQ(f.num1, 2147483647);  // clamped, not overflowed
    EXPECT_EQ(f.begin, 0);
}

TEST(FilterInformation, ReadsNothingUnlessOnFilters) {
    CMarkup doc("<FILTER><FILTER><STRING>x</STRING></FILTER></FILTER>");
    doc.FindElem();
    CFilterInformation list;
    list.LoadXML(doc);
    EXPECT_EQ(list.GetNumFilters(), 0);
}

TEST(FilterInformation, InsertPositionRules) {
    CFilterInformation list;
    EXPECT_EQ(list.AddFilterInfo(MakeFilter(0, filter_t::IP, "a"), 5), 0);
    EXPECT_EQ(list.AddFilterInfo(MakeFilter(0, filter_t::IP, "b"), -1), 1);
    EXPECT_EQ(list.AddFilterInfo(MakeFilter(0, filter_t::IP, "c"), 0), 0);
    EXPECT_EQ(list.AddFilterInfo(MakeFilter(0, filter_t::IP, "d"), 3), 3);
    EXPECT_EQ(list.GetFilterInfo(0).string, "c");
    EXPECT_EQ(list.GetFilterInfo(1).string, "a");
    list.RemoveFilterInfo(7);
    list.RemoveFilterInfo(-1);
    list.RemoveFilterInfo(1);
    ASSERT_EQ(list.GetNumFilters(), 3);
    EXPECT_EQ(list.GetFilterInfo(1).string, "b");
}

TEST(FilterInformation, AssignmentReplacesTheList) {
    CFilterInformation a, b;
    a.AddFilterInfo(MakeFilter(0, filter_t::IP, "a"));
    b.AddFilterInfo(MakeFilter(0, filter_t::IP, "b"));
    a = b;
    ASSERT_EQ(a.GetNumFilters(), 1);
    EXPECT_EQ(a.GetFilterInfo(0).string, "b");
    EXPECT_EQ(a, b);
}

class GlobalFiltersFile : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(GlobalFiltersFile, RoundTripsThroughAFileWithAFiltersRoot) {
    const CFilterInformation original = EveryKindOfFilter();
    const std::string path = dir.file("globalfilters-custom.xml");
    ASSERT_TRUE(original.SaveXML(path.c_str()));
    CMarkup doc;
    ASSERT_TRUE(doc.Load(path));
    ASSERT_TRUE(doc.FindElem());
    EXPECT_EQ(doc.GetTagName(), "FILTERS");
    EXPECT_EQ(doc.GetAttribName(0), "");

    CFilterInformation loaded;
    loaded.AddFilterInfo(MakeFilter(0, filter_t::IP, "already there"));
    ASSERT_TRUE(loaded.LoadXML(path.c_str()));
    ASSERT_EQ(loaded.GetNumFilters(), original.GetNumFilters() + 1);
    for (int i = 0; i < original.GetNumFilters(); ++i)
        EXPECT_EQ(loaded.GetFilterInfo(i + 1), original.GetFilterInfo(i));
}

TEST_F(GlobalFiltersFile, MissingBrokenOrForeignFilesGiveNothing) {
    WriteFile(dir.file("broken.xml"), "<FILTERS><FILTER><STRING>x</STRING></FILTER>");
    WriteFile(dir.file("foreign.xml"), "<STYLES><FILTERS><FILTER/></FILTERS></STYLES>");
    for (const char* name : {"missing.xml", "broken.xml", "foreign.xml", ""}) {
        CFilterInformation list;
        EXPECT_FALSE(list.LoadXML(dir.file(name).c_str())) << name;
        EXPECT_EQ(list.GetNumFilters(), 0) << name;
    }
    CFilterInformation list;
    EXPECT_FALSE(list.LoadXML(static_cast<const char*>(nullptr)));
}

TEST_F(GlobalFiltersFile, FailedSaveKeepsTheOldFile) {
    const std::string path = dir.file("sub/globalfilters.xml");
    CFilterInformation list = EveryKindOfFilter();
    EXPECT_FALSE(list.SaveXML(path.c_str()));  // the folder does not exist

    const std::string good = dir.file("globalfilters.xml");
    ASSERT_TRUE(list.SaveXML(good.c_str()));
    const std::string before = ReadFile(good);
    std::filesystem::permissions(
        dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    CFilterInformation other;
    if (!other.SaveXML(good.c_str())) {
        EXPECT_EQ(ReadFile(good), before);
    }
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
}

struct DescriptionCase {
    int include;
    int info;
    std::string string;
    int num1, num2, quick;
    request_t request;
    std::string withPrefix, withoutPrefix;
};

class FilterDescription : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(FilterDescription, JoinsThePiecesAsTheListsShowThem) {
    const DescriptionCase& c = GetParam();
    filter_t f = MakeFilter(c.include, c.info, c.string);
    f.num1 = c.num1;
    f.num2 = c.num2;
    f.quickFilter = c.quick;
    f.requestType = c.request;
    CFilterInformation list;
    EXPECT_EQ(list.GetFilterDescription(&f, 1), c.withPrefix);
    EXPECT_EQ(list.GetFilterDescription(&f, 0), c.withoutPrefix);
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, FilterDescription,
    ::testing::Values(
        DescriptionCase{0, filter_t::HOUR, "", 15, 0, 0, REQUEST_GET, "Include Requests at  3 PM",
                        "Requests at  3 PM"},
        DescriptionCase{1, filter_t::HOUR, "", 0, 0, 0, REQUEST_GET, "Exclude Requests at  12 AM",
                        "Requests at  12 AM"},
        DescriptionCase{0, filter_t::HOUR, "", 12, 0, 0, REQUEST_GET, "Include Requests at  12 PM",
                        "Requests at  12 PM"},
        DescriptionCase{0, filter_t::HOUR, "", 11, 0, 0, REQUEST_GET, "Include Requests at  11 AM",
                        "Requests at  11 AM"},
        DescriptionCase{0, filter_t::FILE, "x", 0, 0, 0, REQUEST_GET, "Include files matching  'x'",
                        "files matching  'x'"},
        DescriptionCase{1, filter_t::DOMAIN, "*.fr", 0, 0, 0, REQUEST_GET,
                        "Exclude domains matching '*.fr'", "domains matching '*.fr'"},
        DescriptionCase{0, filter_t::IP, "10.*", 0, 0, 0, REQUEST_GET,
                        "Include domains matching '10.*'", "domains matching '10.*'"},
        DescriptionCase{0, filter_t::DOW, "", 3, 0, 0, REQUEST_GET, "Include requests on Wednesday",
                        "requests on Wednesday"},
        DescriptionCase{0, filter_t::DOW, "", 9, 0, 0, REQUEST_GET, "Include requests on ",
                        "requests on "},
        DescriptionCase{0, filter_t::REFERRER, "g", 0, 0, 0, REQUEST_GET,
                        "Include referrers matching 'g'", "referrers matching 'g'"},
        DescriptionCase{0, filter_t::USEROS, "Linux", 0, 0, 0, REQUEST_GET,
                        "Include Requests from the  'Linux' OS", "Requests from the  'Linux' OS"},
        DescriptionCase{0, filter_t::USERBROWSER, "Opera", 0, 0, 0, REQUEST_GET,
                        "Include Requests from the  'Opera' browser",
                        "Requests from the  'Opera' browser"},
        DescriptionCase{1, filter_t::SPIDER, "bot", 0, 0, 0, REQUEST_GET,
                        "Exclude Requests from the  'bot' spider",
                        "Requests from the  'bot' spider"},
        DescriptionCase{0, filter_t::REQUEST, "", 0, 0, 0, REQUEST_HEAD,
                        "Include all HEAD requests", "all HEAD requests"},
        DescriptionCase{0, filter_t::REQUEST, "", 0, 0, 0, REQUEST_BAD, "Include ", ""},
        DescriptionCase{0, filter_t::SUCCESS, "", 200, 299, 0, REQUEST_GET,
                        "Include success codes between 200 and 299",
                        "success codes between 200 and 299"},
        DescriptionCase{0, filter_t::AUTHUSER, "bob", 0, 0, 0, REQUEST_GET,
                        "Include Requests from the users matching  'bob'",
                        "Requests from the users matching  'bob'"},
        DescriptionCase{0, filter_t::VIRTUALDOMAIN, "v", 0, 0, 0, REQUEST_GET,
                        "Include Hits matching 'v'", "Hits matching 'v'"},
        DescriptionCase{0, filter_t::QUICKFILTER_DATE_TIME, "", 0, 0, 4, REQUEST_GET,
                        "Include hits from the past 7 days", "hits from the past 7 days"},
        DescriptionCase{0, filter_t::QUICKFILTER_DATE_TIME, "", 0, 0, 9, REQUEST_GET,
                        "Include hits from the previous year", "hits from the previous year"},
        DescriptionCase{0, filter_t::QUICKFILTER_DATE_TIME, "", 0, 0, 42, REQUEST_GET, "Include ",
                        ""},
        DescriptionCase{1, filter_t::QUICKFILTER_SPIDERS, "", 0, 0, 0, REQUEST_GET,
                        "Exclude all search engine spiders", "all search engine spiders"},
        DescriptionCase{0, filter_t::QUERY_STRING, "id=%s", 0, 0, 0, REQUEST_GET,
                        "Include query string with id=%s", "query string with id=%s"},
        DescriptionCase{0, filter_t::COOKIE, "c", 0, 0, 0, REQUEST_GET, "Include ", ""},
        DescriptionCase{7, filter_t::FILE, "x", 0, 0, 0, REQUEST_GET, "files matching  'x'",
                        "files matching  'x'"}));

TEST(FilterDescriptionDates, FormatsBothEndsInLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    filter_t f = MakeFilter(0, filter_t::RANGE_DATES, "");
    f.begin = 1000000000;  // 2001-09-09 01:46:40 UTC
    f.end = 1100000000;    // 2004-11-09 11:33:20 UTC
    CFilterInformation list;
    EXPECT_EQ(list.GetFilterDescription(&f, 0),
              "dates from September 09, 2001, 01:46:40 AM to November 09, 2004, 11:33:20 AM");
    EXPECT_EQ(list.GetFilterDescription(nullptr, 1), "");
}
