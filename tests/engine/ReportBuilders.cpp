#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "ReportFixture.h"
#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/report/AccessReports.h"
#include "engine/report/ReferrerReports.h"
#include "engine/report/ReportCatalogue.h"
#include "engine/report/ReportSources.h"
#include "engine/report/ResolverHostNames.h"
#include "engine/report/TechnicalReports.h"
#include "engine/report/TrackedFileReports.h"
#include "engine/report/VisitorReports.h"
#include "store/format/Format.h"
#include "utility/Progress.h"

using logvane::test::Column;
using logvane::test::HandTables;
using Strings = std::vector<std::string>;

namespace {

class ReportBuildersTest : public ::testing::Test {
protected:
    void SetUp() override {
        CProgress::Initialize();
        sources.tables = &hand.tables;
        sources.siteDomain = "www.example.com";
    }
    void TearDown() override { CProgress::Initialize(); }

    HandTables hand;
    CRunTables& t = hand.tables;
    report_sources_t sources;
};

TEST_F(ReportBuildersTest, MostReportsListMostHitsFirstWithRealUrlsOnTheSite) {
    hand.Resource(t.files, "/b.zip", 5, 2, 500);
    hand.Resource(t.files, "/a.zip", 9, 0, 900);
    hand.Resource(t.files, "/c.zip", 1, 1, 10);
    hand.Sort();

    const auto report = BuildMostLeastReport(sources, 2);
    EXPECT_EQ(report->GetReportName(), "Most Requested Files");
    EXPECT_EQ(Column(*report, 0), (Strings{"/a.zip", "/b.zip", "/c.zip"}));
    EXPECT_EQ(Column(*report, 1), (Strings{"9", "5", "1"}));
    EXPECT_EQ(Column(*report, 2), (Strings{"0", "2", "1"}));
    EXPECT_EQ(Column(*report, 3), (Strings{"900", "500", "10"}));
    EXPECT_EQ(report->GetRealURL(1, 0), "http://www.example.com/b.zip");
}

TEST_F(ReportBuildersTest, LeastReportsListTheMostEntriesInReverseBelowTheLimit) {
    for (int i = 1; i <= 5; ++i) hand.Resource(t.pages, "/p" + std::to_string(i), i * 10);
    hand.Sort();

    for (int most = 0; most < 6; ++most) {
        const auto mostReport = BuildMostLeastReport(sources, most);
        const auto leastReport = BuildMostLeastReport(sources, most + 6);
        Strings reversed = Column(*mostReport, 0);
        std::reverse(reversed.begin(), reversed.end());
        EXPECT_EQ(Column(*leastReport, 0), reversed) << leastReport->GetReportName();
        EXPECT_EQ(leastReport->GetDefaultSortColumn(), -2);
        EXPECT_EQ(leastReport->GetColumnTitle(0), mostReport->GetColumnTitle(0) == "Filename"
                                                      ? "File Name"
                                                      : mostReport->GetColumnTitle(0));
    }
    EXPECT_EQ(Column(*BuildMostLeastReport(sources, 7), 1),
              (Strings{"10", "20", "30", "40", "50"}));
}

TEST_F(ReportBuildersTest, TablesAreTruncatedToTheLimitBothWays) {
    for (int i = 1; i <= 150; ++i) hand.Resource(t.resources, "/r" + std::to_string(i), i);
    hand.Sort(100);

    const auto most = BuildMostLeastReport(sources, 0);
    const auto least = BuildMostLeastReport(sources, 6);
    ASSERT_EQ(most->GetNumRows(), 100u);
    ASSERT_EQ(least->GetNumRows(), 100u);
    EXPECT_EQ(most->GetItem(0, 0), "/r150");
    EXPECT_EQ(most->GetItem(99, 0), "/r51");
    EXPECT_EQ(least->GetItem(0, 0), "/r1");
    EXPECT_EQ(least->GetItem(99, 0), "/r100");
}

TEST_F(ReportBuildersTest, LeastRequestedPagesShowsItsKeysUnescaped) {
    hand.Resource(t.pages, "/a&amp;b.html", 3);
    hand.Sort();
    EXPECT_EQ(BuildMostLeastReport(sources, 7)->GetItem(0, 0), "/a&b.html");
    EXPECT_EQ(BuildMostLeastReport(sources, 1)->GetItem(0, 0), "/a&amp;b.html");
}

TEST_F(ReportBuildersTest, IdentityReportsListMatchedEntriesInListOrderSharingTheirSum) {
    CBrowserIdentification browsers;
    browsers.AddCategory("Firefox", {"FIREFOX"});
    browsers.AddCategory("Chrome", {"CHROME"});
    browsers.AddCategory("Opera", {"OPERA"});
    browsers.AddCategory("Other Browsers", {});
    for (int i = 0; i < 2; ++i) browsers.MatchString("Mozilla Opera");
    browsers.MatchString("Mozilla Firefox");
    sources.browsers = &browsers;

    const auto report = BuildWebBrowsers(sources);
    EXPECT_EQ(Column(*report, 0), (Strings{"Firefox", "Opera"}));
    EXPECT_EQ(Column(*report, 2), (Strings{"33.33", "66.67"}));
    EXPECT_TRUE(report->CanDisplayAsGraph());
    EXPECT_EQ(report->GetGraphType(), CTableReport::PIE);
    EXPECT_EQ(BuildOperatingSystems(sources)->GetNumRows(), 0u);  // no list loaded
}

TEST_F(ReportBuildersTest, CountriesAreNamedThroughTheSuffixListWithTheirShareOfAllHits) {
    CDomainSuffixTable suffixes;
    suffixes.Add("de", "Germany");
    sources.suffixes = &suffixes;
    hand.Country("de", "de", 30);
    hand.Country("FR", "France", 10);
    t.counters.totalHits = 80;
    hand.Sort();

    const auto report = BuildGeographicalLocation(sources);
    EXPECT_EQ(Column(*report, 0), (Strings{"Germany (de)", "France"}));
    EXPECT_EQ(Column(*report, 2), (Strings{"37.50", "12.50"}));
}

TEST_F(ReportBuildersTest, PageTypesAndReferrerOriginShareTheirFixedRows) {
    t.counters.fileHits = 1;
    t.counters.imageHits = 2;
    t.counters.pageHits = 3;
    t.counters.miscWebHits = 2;
    t.counters.pageBytes = 4096;
    t.counters.referrerOrigins = {1, 2, 3, 4, 5, 6, 7};  // mail, news, web, ftp, file, none, other

    const auto hits = BuildPageTypesHits(sources);
    EXPECT_EQ(Column(*hits, 0), (Strings{"Files", "Images", "Pages", "Misc. Web"}));
    EXPECT_EQ(Column(*hits, 1), (Strings{"1", "2", "3", "2"}));
    EXPECT_EQ(Column(*hits, 2), (Strings{"12.50", "25.00", "37.50", "25.00"}));
    EXPECT_EQ(Column(*BuildPageTypesBandwidth(sources), 2),
              (Strings{"0.00", "0.00", "100.00", "0.00"}));

    const auto origin = BuildReferrerOrigin(sources);
    EXPECT_EQ(Column(*origin, 0),
              (Strings{"E-mail Message (mailto://)", "Newsgroup (news://)", "Web Page (http://)",
                       "FTP Site (ftp://)", "Other", "No Referrer", "Local Files (file://)"}));
    EXPECT_EQ(Column(*origin, 1), (Strings{"1", "2", "3", "4", "7", "6", "5"}));
    EXPECT_EQ(origin->GetItem(4, 2), "25.00");
    EXPECT_EQ(origin->GetHelpFile(), "");
}

TEST_F(ReportBuildersTest, PerDayReportsGiveDayStartsNewestFirstWithShares) {
    hand.Day(t.hitsPerDay, 20000, 30, 3000);
    hand.Day(t.hitsPerDay, 20002, 10, 1000);
    hand.Day(t.pageViewsPerDay, 20000, 3);
    hand.Day(t.pageViewsPerDay, 20001, 1);
    t.counters.totalHits = 40;
    t.counters.totalBytes = 4000;
    hand.Sort();

    const auto hits = BuildHitsPerDay(sources);
    EXPECT_EQ(Column(*hits, 0), (Strings{"1728172800", "1728086400", "1728000000"}));
    EXPECT_EQ(Column(*hits, 1), (Strings{"10", "0", "30"}));  // the missing day is filled in
    EXPECT_EQ(Column(*hits, 2), (Strings{"25.00", "0.00", "75.00"}));
    EXPECT_EQ(Column(*BuildBandwidthPerDay(sources), 1), (Strings{"1000", "0", "3000"}));
    EXPECT_EQ(Column(*BuildPageViewsPerDay(sources), 2), (Strings{"25.00", "75.00"}));
    EXPECT_EQ(hits->GetXAxisTitle(), "Date");
    EXPECT_EQ(BuildVisitorsPerDay(sources)->GetYAxisTitle(), "Visitors");
}

TEST_F(ReportBuildersTest, DayOfWeekAndHourRowsKeepTheirOrderSortable) {
    t.counters.hitsPerHour[13] = 5;
    t.counters.hitsPerWeekday[6] = 5;
    t.counters.totalHits = 10;

    const auto hours = BuildHours(sources);
    const Strings labels = Column(*hours, 0);
    EXPECT_EQ(labels,
              (Strings{"Midnight", "1", "2", "3", "4", "5", "6 AM", "7", "8", "9", "10", "11",
                       "Noon",     "1", "2", "3", "4", "5", "6 PM", "7", "8", "9", "10", "11"}));
    EXPECT_TRUE(hours->GetAlternativeSort(0));
    EXPECT_EQ(hours->GetAlternativeSortItem(13, 0), 13);
    EXPECT_EQ(hours->GetItem(13, 2), "50.00");
    EXPECT_LT(hours->CompareTwoRows(12, 13, 0), 0);  // "Noon" before "1" (PM)

    const auto days = BuildDayOfWeek(sources);
    EXPECT_EQ(days->GetItem(0, 0), "Sunday");
    EXPECT_EQ(days->GetItem(6, 0), "Saturday");
    EXPECT_EQ(days->GetAlternativeSortItem(6, 0), 6);
    EXPECT_EQ(days->GetXAxisTitle(), "Day of Week");
}

TEST_F(ReportBuildersTest, QueryStringsAreDecodedAtBothLevels) {
    hand.Nested(t.queryStrings, "/search%20page", "q=a%20b", 3);
    hand.Nested(t.queryStrings, "/search%20page", "q=c", 5);
    hand.Nested(t.queryStrings, "/other", "x=1", 1);
    hand.Sort();

    const auto report = BuildQueryStrings(sources);
    ASSERT_EQ(report->GetNumRows(), 2u);
    EXPECT_EQ(report->GetItem(0, 0), "/search page");
    EXPECT_EQ(report->GetItem(0, 1), "8");
    ASSERT_EQ(report->GetNestedRows(0), 2);
    EXPECT_EQ(report->GetNestedTableItem(0, 0, 0), "q=c");
    EXPECT_EQ(report->GetNestedTableItem(0, 1, 0), "q=a b");
    EXPECT_EQ(report->GetNestedTableItem(0, 1, 1), "3");
    EXPECT_EQ(report->GetNestedRows(1), 1);
}

TEST_F(ReportBuildersTest, ReferrersExplainTheDashAndDomainsBecomeAddresses) {
    hand.Refer(t.referringDomains, "example.org", 4);
    hand.Refer(t.referringDomains, "No Referrer", 3);
    hand.Refer(t.referringDomains, "-", 2);
    hand.Refer(t.referringPages, "-", 2);
    hand.Refer(t.referringPages, "http://example.org/x", 1);
    hand.Nested(t.pageReferrers, "/index.html", "-", 2);
    hand.Nested(t.notFoundReferrers, "/gone.html", "-", 1);
    hand.Sort();

    EXPECT_EQ(Column(*BuildReferringDomain(sources), 0),
              (Strings{"http://example.org", "No Referrer", "No Referrer"}));
    EXPECT_EQ(Column(*BuildReferringPages(sources), 0),
              (Strings{"No Referrer", "http://example.org/x"}));
    const auto pages = BuildPageReferrers(sources);
    EXPECT_EQ(pages->GetRealURL(0, 0), "http://www.example.com/index.html");
    EXPECT_EQ(pages->GetNestedTableItem(0, 0, 0), "No Referrer");
    EXPECT_EQ(pages->GetDefaultSortColumn(), 0);
    const auto missing = BuildNotFoundReferrers(sources);
    EXPECT_EQ(missing->GetNestedTableItem(0, 0, 0), "-");
    EXPECT_EQ(missing->GetReportIconType(), "STOP");
}

TEST_F(ReportBuildersTest, SearchAndErrorReportsFillEveryColumn) {
    hand.Search(t.searchPhrases, "blue shoes", "Google", 4);
    hand.Search(t.searchEngines, "Google", "-", 4);
    hand.Error(t.otherErrors, "/private", 403, 7);
    hand.Error(t.notFoundErrors, "/gone", 404, 2);
    hand.Sort();

    const auto phrases = BuildSearchPhrases(sources);
    EXPECT_EQ(phrases->GetItem(0, 0), "blue shoes");
    EXPECT_EQ(phrases->GetItem(0, 1), "Google");
    EXPECT_EQ(phrases->GetItem(0, 2), "4");
    EXPECT_EQ(BuildSearchEngines(sources)->GetYAxisTitle(), "");

    const auto errors = BuildMiscErrors(sources);
    EXPECT_EQ(errors->GetItem(0, 1), "403");
    EXPECT_EQ(errors->GetItem(0, 2), "7");
    EXPECT_EQ(errors->GetItem(0, 3), CFormat::GetErrorExplanation(403));
    EXPECT_EQ(errors->GetRealURL(0, 0), "http://www.example.com/private");
    EXPECT_EQ(errors->GetReportClass(), "MISCERROR");
    EXPECT_EQ(Column(*BuildNotFound(sources), 0), (Strings{"/gone"}));
}

TEST_F(ReportBuildersTest, TrackedFilesGetAFolderEachWithFourPersonalReports) {
    tracked_file_t& file = hand.Tracked("/promo.html");
    hand.Day(file.hitsPerDay, 20000, 2, 200);
    hand.Refer(file.referrers, "http://a/", 3);
    hand.Refer(file.referrers, "http://b/", 1);
    hand.Tracked("/other.html");
    t.counters.totalHits = 8;
    t.counters.totalBytes = 1000;
    hand.Sort();

    const auto folder = BuildTrackedFiles(sources);
    EXPECT_EQ(folder->GetReportName(), "Tracked Files");
    const CReport* promo = folder->GetChild();
    ASSERT_NE(promo, nullptr);
    EXPECT_EQ(promo->GetReportName(), "/promo.html");
    ASSERT_NE(promo->GetSibling(), nullptr);
    EXPECT_EQ(promo->GetSibling()->GetReportName(), "/other.html");

    Strings names, ids;
    for (const CReport* r = promo->GetChild(); r; r = r->GetSibling()) {
        names.push_back(r->GetReportName());
        ids.push_back(r->GetReportID());
    }
    EXPECT_EQ(names, (Strings{"Hits per day /promo.html", "Bandwidth per day /promo.html",
                              "Referrers /promo.html", "Query Strings (nested)"}));
    EXPECT_EQ(ids,
              (Strings{"/promo.htmlHPD", "/promo.htmlBPD", "/promo.htmlREFER", "/promo.htmlQS"}));
    const auto* hits = static_cast<const CTableReport*>(promo->GetChild());
    EXPECT_EQ(hits->GetItem(0, 2), "25.00");  // of the whole run's hits
    const auto* bytes = static_cast<const CTableReport*>(hits->GetSibling());
    EXPECT_EQ(bytes->GetItem(0, 2), "20.00");
    const auto* referrers = static_cast<const CTableReport*>(bytes->GetSibling());
    EXPECT_EQ(Column(*referrers, 2), (Strings{"75.00", "25.00"}));  // of the listed rows
}

// Records what the Domain Name report asks of the host-name lookups.
class FakeHostNames : public CReportHostNames {
public:
    void Start() override { calls.push_back("start"); }
    void Queue(std::uint32_t, std::string_view address) override {
        calls.push_back("queue " + std::string(address));
        if (cancelAfterFirst) CProgress::SetCancel();
    }
    void Wait() override { calls.push_back("wait"); }
    std::string GetName(std::uint32_t, std::string_view address) override {
        return address == "10.0.0.1" ? "host.example.net" : std::string(address);
    }
    void Stop() override { calls.push_back("stop"); }

    Strings calls;
    bool cancelAfterFirst = false;
};

TEST_F(ReportBuildersTest, DomainNamesAreResolvedAtReportTimeOnlyWhenAskedFor) {
    hand.Host("10.0.0.1", 5, 50);
    hand.Host("10.0.0.2", 3, 30);
    hand.Sort();
    FakeHostNames names;
    sources.hostNames = &names;

    EXPECT_EQ(Column(*BuildDomainName(sources), 0), (Strings{"10.0.0.1", "10.0.0.2"}));
    sources.lookups = sources.fullLookups = true;
    EXPECT_EQ(Column(*BuildDomainName(sources), 0), (Strings{"10.0.0.1", "10.0.0.2"}));
    EXPECT_TRUE(names.calls.empty());

    sources.fullLookups = false;
    const auto report = BuildDomainName(sources);
    EXPECT_EQ(Column(*report, 0), (Strings{"host.example.net", "10.0.0.2"}));
    EXPECT_EQ(Column(*report, 2), (Strings{"50", "30"}));
    EXPECT_EQ(names.calls, (Strings{"start", "queue 10.0.0.1", "queue 10.0.0.2", "wait", "stop"}));
}

TEST_F(ReportBuildersTest, CancellingEndsTheQueueingAndSkipsTheWait) {
    hand.Host("10.0.0.1", 5);
    hand.Host("10.0.0.2", 3);
    hand.Sort();
    FakeHostNames names;
    names.cancelAfterFirst = true;
    sources.hostNames = &names;
    sources.lookups = true;

    const auto report = BuildDomainName(sources);
    EXPECT_EQ(names.calls, (Strings{"start", "queue 10.0.0.1", "stop"}));
    EXPECT_EQ(report->GetNumRows(), 2u);
}

TEST_F(ReportBuildersTest, DomainNamesComeFromTheEngineResolver) {
    hand.Host("10.1.0.1", 5);
    hand.Host("10.1.0.2", 3);
    hand.Host("proxy.example.org", 1);
    hand.Sort();
    resolver_settings_t settings;
    settings.workers = 2;
    CResolverHostNames names(settings, [](std::uint32_t address, std::string& name) {
        if (address != 0x0A010001) return false;
        name = "host.example.net";
        return true;
    });
    sources.hostNames = &names;
    sources.lookups = true;
    EXPECT_EQ(Column(*BuildDomainName(sources), 0),
              (Strings{"host.example.net", "10.1.0.2", "proxy.example.org"}));
}

// Every builder over empty tables: only the fixed-row reports have rows.
struct empty_case_t {
    const char* name;
    std::function<std::unique_ptr<CTableReport>(const report_sources_t&)> build;
    unsigned long rows;
};

class EmptyTablesTest : public ::testing::TestWithParam<empty_case_t> {};

TEST_P(EmptyTablesTest, BuildsTheReportWithItsFixedRowsOnly) {
    HandTables hand;
    hand.Sort();
    report_sources_t sources;
    sources.tables = &hand.tables;
    const auto report = GetParam().build(sources);
    EXPECT_EQ(report->GetReportName(), GetParam().name);
    EXPECT_EQ(report->GetNumRows(), GetParam().rows);
    report_sources_t none;
    EXPECT_EQ(GetParam().build(none)->GetNumRows(), GetParam().rows);
}

template <class F>
std::function<std::unique_ptr<CTableReport>(const report_sources_t&)> As(F f) {
    return [f](const report_sources_t& s) { return std::unique_ptr<CTableReport>(f(s)); };
}

INSTANTIATE_TEST_SUITE_P(
    AllBuilders, EmptyTablesTest,
    ::testing::Values(empty_case_t{"Domain Name", As(BuildDomainName), 0},
                      empty_case_t{"Geographical Location", As(BuildGeographicalLocation), 0},
                      empty_case_t{"Web Browsers", As(BuildWebBrowsers), 0},
                      empty_case_t{"Authenticated Users", As(BuildAuthenticatedUsers), 0},
                      empty_case_t{"Page Types (Hits)", As(BuildPageTypesHits), 4},
                      empty_case_t{"Least Requested Directories", As([](const report_sources_t& s) {
                                       return BuildMostLeastReport(s, 11);
                                   }),
                                   0},
                      empty_case_t{"Hits Per day", As(BuildHitsPerDay), 0},
                      empty_case_t{"Visitors Per day", As(BuildVisitorsPerDay), 0},
                      empty_case_t{"Hits per Day of Week", As(BuildDayOfWeek), 7},
                      empty_case_t{"Hits per Hour", As(BuildHours), 24},
                      empty_case_t{"Query Strings (nested)", As(BuildQueryStrings), 0},
                      empty_case_t{"Referrer Origin", As(BuildReferrerOrigin), 7},
                      empty_case_t{"Individual Page Referrers (nested)", As(BuildPageReferrers), 0},
                      empty_case_t{"Search Engine Phrases", As(BuildSearchPhrases), 0},
                      empty_case_t{"Misc. Errors", As(BuildMiscErrors), 0}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.name))
            if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        return name;
    });

}  // namespace
