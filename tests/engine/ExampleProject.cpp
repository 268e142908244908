// The example project beside the program: its project file, its generated log, the tool that
// installs a copy pointing at the log, and a batch run that must fill every report.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <sys/wait.h>

#include "store/project/LogfileType.h"
#include "store/project/ProjectInformation.h"
#include "store/report/Report.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

const std::string kBin = LOGVANE_BIN_DIR;
const std::string kProject = kBin + "/example project.bvp";
const std::string kLog = kBin + "/log.txt";
const std::string kTool = kBin + "/../tools/make-example";

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// Runs a shell command; its exit status (-1 when it could not be run) and its output.
int RunCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    const int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- the project file ----

class ExampleProjectFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(project.LoadXML(kProject.c_str())) << kProject; }
    CProjectInformation project;
};

TEST_F(ExampleProjectFile, DescribesTheShopWithItsSessionCookie) {
    EXPECT_EQ(project.GetProjectName(), "Example Shop");
    EXPECT_EQ(project.GetSiteDomain(), "shop.example.com");
    EXPECT_EQ(project.GetSiteDefaultPage(), "index.html");
    EXPECT_EQ(project.GetCookieID(), "shopsid");
    EXPECT_FALSE(project.GetProjectDesc().empty());
    // The addresses are made up: looking them up would only wait for timeouts.
    EXPECT_TRUE(project.GetDisableDNS());
    EXPECT_FALSE(project.HoldsPassword());
}

TEST_F(ExampleProjectFile, FirstEntryIsTheLocalLogFileInCookieAtEndFormat) {
    ASSERT_EQ(project.GetNumLogfileInformation(), 1);
    const CLogfileInformation& entry = project.GetLogfileInformation(0);
    EXPECT_EQ(entry.GetImportType(), import_t::LOCAL);
    EXPECT_EQ(entry.GetLogfileType(), logfiletype_t::ELFEND);
    ASSERT_EQ(entry.GetNumPaths(), 1);
    EXPECT_EQ(entry.GetPath(0), "log.txt");
    // The chooser replaces only the text of path 0, so its kind must already be right.
    EXPECT_EQ(entry.GetPathFileType(0), file_t::FILE);
}

TEST_F(ExampleProjectFile, TracksTheCatalogueAndThePurchasePage) {
    ASSERT_EQ(project.GetNumTrackedFiles(), 2);
    EXPECT_EQ(project.GetTrackedFile(0), "/downloads/tea-catalogue.pdf");
    EXPECT_EQ(project.GetTrackedFile(1), "/checkout/thanks.html");
}

TEST_F(ExampleProjectFile, TagsUseEveryTriggerType) {
    const CTagInformation& tags = project.GetTagInformation();
    std::map<std::string, CTagInformation::CTriggerInformation> byName;
    for (int i = 0; i < tags.GetNumTriggers(); ++i) {
        const auto trigger = tags.GetTriggerInfo(static_cast<unsigned long>(i));
        byName[trigger.GetName()] = trigger;
    }
    ASSERT_EQ(byName.size(), 4u);
    EXPECT_EQ(byName["Search"].GetTriggerType(), CTagInformation::REFERRER);
    EXPECT_EQ(byName["Search"].GetMatchText(), "* search for *");
    EXPECT_EQ(byName["Blog"].GetTriggerType(), CTagInformation::SITEENTRY);
    EXPECT_EQ(byName["Catalogue"].GetTriggerType(), CTagInformation::ANYPAGE);
    EXPECT_EQ(byName["Purchase"].GetMatchText(), "/checkout/thanks.html");
}

TEST_F(ExampleProjectFile, ExcludesTheInternalMonitorAndKeepsItsScenario) {
    ASSERT_EQ(project.GetNumFilters(), 1);
    const filter_t filter = project.GetFilterInfo(0);
    EXPECT_EQ(filter.includeType, filter_t::EXCLUDE);
    EXPECT_EQ(filter.infoType, filter_t::IP);
    EXPECT_EQ(filter.string, "10.0.0.*");
    ASSERT_EQ(project.GetScenarioInformation().GetNumScenarios(), 1);
    EXPECT_EQ(project.GetScenarioInformation().GetSpecificScenario(0)->GetNumSteps(), 5);
}

// ---- installing a copy, as the project chooser and `make demo` do ----

class ExampleTool : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kTool)) GTEST_FAIL() << "missing " << kTool;
    }
    TempDir dir;
};

TEST_F(ExampleTool, InstalledCopyPointsAtTheLogAndKeepsEverythingElse) {
    const std::string target = dir.file("installed example.bvp");
    const std::string log = dir.file("folder with spaces/log.txt");
    ASSERT_EQ(RunCommand(Quote(kTool) + " project " + Quote(kProject) + " " + Quote(log) + " " +
                         Quote(target)),
              0);
    CProjectInformation original, copy;
    ASSERT_TRUE(original.LoadXML(kProject.c_str()));
    ASSERT_TRUE(copy.LoadXML(target.c_str()));
    EXPECT_EQ(copy.GetLogfileInformation(0).GetPath(0), log);
    EXPECT_EQ(copy.GetLogfileInformation(0).GetPathFileType(0), file_t::FILE);
    EXPECT_EQ(copy.GetLogfileInformation(0).GetLogfileType(), logfiletype_t::ELFEND);
    EXPECT_EQ(copy.GetProjectName(), original.GetProjectName());
    EXPECT_EQ(copy.GetSiteDomain(), original.GetSiteDomain());
    EXPECT_EQ(copy.GetCookieID(), original.GetCookieID());
    EXPECT_EQ(copy.GetTagInformation(), original.GetTagInformation());
    EXPECT_EQ(copy.GetNumTrackedFiles(), original.GetNumTrackedFiles());
    EXPECT_EQ(copy.GetNumFilters(), original.GetNumFilters());
    EXPECT_EQ(copy.GetScenarioInformation().GetNumScenarios(), 1);
}

TEST_F(ExampleTool, UnreadableSourceFailsAndWritesNothing) {
    const std::string target = dir.file("out.bvp");
    WriteFile(dir.file("broken.bvp"), "<PROJECT Name=\"x\"><LOGFILES>");
    for (const std::string& source : {dir.file("missing.bvp"), dir.file("broken.bvp")}) {
        std::string output;
        EXPECT_NE(
            RunCommand(Quote(kTool) + " project " + Quote(source) + " log.txt " + Quote(target),
                       &output),
            0)
            << source;
        EXPECT_NE(output.find("cannot load"), std::string::npos) << output;
        EXPECT_FALSE(fs::exists(target));
    }
}

TEST_F(ExampleTool, SameSeedGivesTheShippedLogAndAnotherSeedAnotherLog) {
    ASSERT_EQ(RunCommand(Quote(kTool) + " log " + Quote(dir.file("a.txt"))), 0);
    ASSERT_EQ(RunCommand(Quote(kTool) + " log " + Quote(dir.file("b.txt")) + " 7"), 0);
    const std::string shipped = ReadFile(kLog);
    ASSERT_FALSE(shipped.empty());
    EXPECT_TRUE(ReadFile(dir.file("a.txt")) == shipped);
    EXPECT_FALSE(ReadFile(dir.file("b.txt")) == shipped);
    EXPECT_FALSE(fs::exists(dir.file("a.txt.tmp")));
}

TEST_F(ExampleTool, RefusesBadArgumentsAndUnwritableTargets) {
    EXPECT_EQ(RunCommand(Quote(kTool)), 2);
    EXPECT_EQ(RunCommand(Quote(kTool) + " log " + Quote(dir.file("x.txt")) + " 12abc"), 2);
    EXPECT_EQ(RunCommand(Quote(kTool) + " log " + Quote(dir.file("no/such/folder/x.txt"))), 1);
}

// ---- the generated log ----

// One line of the combined format with the cookie field at the end, cut by its quotes and
// brackets the way a reader would.
struct line_t {
    std::string_view host, user, date, request, referrer, agent, cookie;
    int status = 0;
    long long time = 0;  // seconds since 1970
};

long long ParseDate(std::string_view d) {
    // "04/Mar/2024:08:15:02 +0000"
    static const std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    if (d.size() < 20) return -1;
    const std::size_t month = kMonths.find(d.substr(3, 3));
    if (month == std::string_view::npos || month % 3 != 0) return -1;
    std::tm parts{};
    parts.tm_mday = std::atoi(std::string(d.substr(0, 2)).c_str());
    parts.tm_mon = static_cast<int>(month / 3);
    parts.tm_year = std::atoi(std::string(d.substr(7, 4)).c_str()) - 1900;
    parts.tm_hour = std::atoi(std::string(d.substr(12, 2)).c_str());
    parts.tm_min = std::atoi(std::string(d.substr(15, 2)).c_str());
    parts.tm_sec = std::atoi(std::string(d.substr(18, 2)).c_str());
    return static_cast<long long>(timegm(&parts));
}

// Reads the next double-quoted field at or after `at`; false when there is none.
bool Quoted(std::string_view text, std::size_t& at, std::string_view& field) {
    const std::size_t open = text.find('"', at);
    if (open == std::string_view::npos) return false;
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) return false;
    field = text.substr(open + 1, close - open - 1);
    at = close + 1;
    return true;
}

bool ParseLine(std::string_view text, line_t& line) {
    const std::size_t space = text.find(' ');
    const std::size_t open = text.find('[');
    const std::size_t close = text.find(']');
    if (space == std::string_view::npos || open == std::string_view::npos ||
        close == std::string_view::npos || close < open || text.substr(space, 3) != " - ")
        return false;
    line.host = text.substr(0, space);
    line.user = text.substr(space + 3, open - space - 4);
    line.date = text.substr(open + 1, close - open - 1);
    line.time = ParseDate(line.date);
    std::size_t at = close;
    if (!Quoted(text, at, line.request)) return false;
    line.status = std::atoi(std::string(text.substr(at + 1, 3)).c_str());
    return line.time > 0 && line.status >= 100 && Quoted(text, at, line.referrer) &&
           Quoted(text, at, line.agent) && Quoted(text, at, line.cookie) && at == text.size();
}

class ExampleLogShape : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The lines point into the text: reading it again would leave them dangling.
        if (!s_text.empty()) return;
        s_text = ReadFile(kLog);
        std::string_view rest = s_text;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            const std::string_view text = rest.substr(0, end);
            line_t line;
            if (ParseLine(text, line))
                s_lines.push_back(line);
            else
                s_malformed.push_back(std::string(text));
            ++s_count;
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
    }
    void SetUp() override { ASSERT_FALSE(s_text.empty()) << "missing " << kLog; }

    static std::string s_text;
    static std::vector<line_t> s_lines;
    static std::vector<std::string> s_malformed;
    static std::size_t s_count;
};

std::string ExampleLogShape::s_text;
std::vector<line_t> ExampleLogShape::s_lines;
std::vector<std::string> ExampleLogShape::s_malformed;
std::size_t ExampleLogShape::s_count = 0;

TEST_F(ExampleLogShape, HoldsAboutTwentyThousandWellFormedLines) {
    EXPECT_GE(s_count, 19000u);
    EXPECT_LE(s_count, 21000u);
    EXPECT_EQ(s_text.back(), '\n');
    EXPECT_TRUE(s_malformed.empty())
        << s_malformed.size()
        << " lines, first: " << (s_malformed.empty() ? "" : s_malformed.front());
}

TEST_F(ExampleLogShape, CoversThreeWeeksInTimeOrder) {
    ASSERT_FALSE(s_lines.empty());
    EXPECT_EQ(s_lines.front().date.substr(0, 11), "04/Mar/2024");
    EXPECT_EQ(s_lines.back().date.substr(0, 11), "24/Mar/2024");
    std::set<long long> days;
    std::size_t backwards = 0;
    for (std::size_t i = 0; i < s_lines.size(); ++i) {
        days.insert(s_lines[i].time / 86400);
        if (i > 0 && s_lines[i].time < s_lines[i - 1].time) ++backwards;
    }
    EXPECT_EQ(days.size(), 21u);
    EXPECT_EQ(backwards, 0u);
}

bool IsSearch(const line_t& l) {
    for (std::string_view engine : {"google.", "bing.com/search?q=", "duckduckgo.com/?q=",
                                    "search.yahoo.com/search?p=", "ecosia.org/search?q="})
        if (l.referrer.find(engine) != std::string_view::npos) return true;
    return false;
}
bool IsSpider(const line_t& l) {
    return l.agent.find("bot") != std::string_view::npos ||
           l.agent.find("Bot") != std::string_view::npos;
}
bool IsNotFound(const line_t& l) { return l.status == 404; }
bool HasSessionCookie(const line_t& l) {
    return l.cookie.find("shopsid=") != std::string_view::npos;
}
bool IsInternalReferrer(const line_t& l) {
    return l.referrer.starts_with("https://shop.example.com/");
}
bool IsCached(const line_t& l) { return l.status == 304; }
bool IsOtherError(const line_t& l) { return l.status != 200 && l.status != 304 && l.status != 404; }

struct share_case_t {
    const char* name;
    bool (*matches)(const line_t&);
    double lowest, highest;  // percent of all lines
};

class ExampleLogShare : public ExampleLogShape,
                        public ::testing::WithParamInterface<share_case_t> {};

TEST_P(ExampleLogShare, LiesInItsRange) {
    const share_case_t& c = GetParam();
    std::size_t n = 0;
    for (const line_t& l : s_lines) n += c.matches(l) ? 1 : 0;
    const double percent = 100.0 * double(n) / double(s_lines.size());
    EXPECT_GE(percent, c.lowest) << n << " lines";
    EXPECT_LE(percent, c.highest) << n << " lines";
}

INSTANTIATE_TEST_SUITE_P(Lines, ExampleLogShare,
                         ::testing::Values(share_case_t{"SearchReferrers", IsSearch, 2, 8},
                                           share_case_t{"Spiders", IsSpider, 6, 14},
                                           share_case_t{"NotFound", IsNotFound, 1, 5},
                                           share_case_t{"SessionCookie", HasSessionCookie, 70, 92},
                                           share_case_t{"InternalReferrers", IsInternalReferrer, 50,
                                                        85},
                                           share_case_t{"Cached", IsCached, 5, 20},
                                           share_case_t{"OtherErrors", IsOtherError, 0.3, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExampleLogShape, NotFoundPagesHaveReferrersToReport) {
    std::set<std::string_view> referrers;
    for (const line_t& l : s_lines)
        if (l.status == 404 && l.referrer != "-") referrers.insert(l.referrer);
    EXPECT_GE(referrers.size(), 3u);
}

TEST_F(ExampleLogShape, TrackedFilesTagPagesAndStaffAppear) {
    std::map<std::string, std::size_t> count;
    for (const line_t& l : s_lines) {
        if (l.request.find(" /downloads/tea-catalogue.pdf?lang=") != std::string_view::npos)
            ++count["catalogue"];
        if (l.request.find(" /checkout/thanks.html?order=") != std::string_view::npos &&
            l.referrer.find("pay.example.net") != std::string_view::npos)
            ++count["purchase"];
        if (l.request.starts_with("GET /blog/") && !IsInternalReferrer(l) && l.referrer != "-")
            ++count["blog entry"];
        if (l.user == "manager" || l.user == "editor") ++count["staff"];
        if (l.status == 206) ++count["partial"];
    }
    for (const char* what : {"catalogue", "purchase", "blog entry", "staff", "partial"})
        EXPECT_GE(count[what], 10u) << what;
}

TEST_F(ExampleLogShape, EachSessionCookieBelongsToOneBrowser) {
    std::map<std::string_view, std::string_view> agentOf;
    std::size_t visitorsOnTwoAddresses = 0;
    std::map<std::string_view, std::string_view> hostOf;
    for (const line_t& l : s_lines) {
        if (!HasSessionCookie(l)) continue;
        auto [it, added] = agentOf.emplace(l.cookie, l.agent);
        EXPECT_EQ(it->second, l.agent) << l.cookie;
        auto [host, first] = hostOf.emplace(l.cookie, l.host);
        if (!first && host->second != l.host) {
            ++visitorsOnTwoAddresses;
            host->second = l.host;
        }
    }
    EXPECT_GE(agentOf.size(), 1000u);
    // Phones that change address stay one visitor only through their cookie.
    EXPECT_GT(visitorsOnTwoAddresses, 0u);
}

TEST_F(ExampleLogShape, TheProjectFilterCatchesEveryMonitorLineAndNothingElse) {
    std::size_t monitor = 0;
    for (const line_t& l : s_lines) {
        const bool internal = l.host.starts_with("10.0.0.");
        EXPECT_EQ(internal, l.request == "GET /health HTTP/1.1") << l.host;
        monitor += internal ? 1 : 0;
    }
    EXPECT_EQ(monitor, 21u * 48u);
}

// ---- the whole example through the batch mode ----

void CollectTables(const CReport* report, std::vector<const CTableReport*>& tables) {
    for (; report; report = report->GetSibling()) {
        if (report->GetReportType() == CReport::TABLE ||
            report->GetReportType() == CReport::NESTED_TABLE)
            tables.push_back(static_cast<const CTableReport*>(report));
        CollectTables(report->GetChild(), tables);
    }
}

bool HasRow(const CTableReport& table, const std::string& first) {
    for (unsigned long row = 0; row < table.GetNumRows(); ++row)
        if (table.GetItem(row, 0) == first) return true;
    return false;
}

TEST(ExampleAnalysis, BatchRunFillsEveryReport) {
    if (!fs::exists(kBin + "/logvane") || !fs::exists(kTool)) GTEST_SKIP() << "program not built";
    TempDir dir;
    const std::string project = dir.file("example.bvp");
    const std::string report = dir.file("example.bvr");
    ASSERT_EQ(RunCommand(Quote(kTool) + " project " + Quote(kProject) + " " + Quote(kLog) + " " +
                         Quote(project)),
              0);
    std::string output;
    const std::string environment = "HOME=" + Quote(dir.path().string()) +
                                    " XDG_CONFIG_HOME=" + Quote(dir.file("config")) + " ";
    ASSERT_EQ(RunCommand(environment + Quote(kBin + "/logvane") + " " + Quote(project) + " " +
                             Quote(report),
                         &output),
              0)
        << output;
    EXPECT_NE(output.find("Success!"), std::string::npos) << output;
    EXPECT_EQ(output.find("Error:"), std::string::npos) << output;

    CReportTree tree;
    ASSERT_TRUE(tree.LoadXML(report.c_str()));
    EXPECT_EQ(tree.GetSiteDomainName(), "shop.example.com");
    std::vector<const CTableReport*> tables;
    CollectTables(tree.GetRoot(), tables);
    EXPECT_GE(tables.size(), 45u);
    std::map<std::string, const CTableReport*> byName;
    for (const CTableReport* t : tables) {
        EXPECT_GT(t->GetNumRows(), 0u) << t->GetReportName();
        byName.emplace(t->GetReportName(), t);
    }
    const std::map<std::string, std::string> expectedRows = {
        {"Geographical Location", "United Kingdom"},
        {"Search Engine Spiders", "Googlebot"},
        {"Search Engines", "Google"},
        {"Search Engine Phrases", "green tea online"},
        {"Authenticated Users", "manager"},
        {"404 Errors", "/teas/matcha.html"},
        {"Most Requested Files", "/downloads/tea-catalogue.pdf"},
        {"Referring Domain", "http://blog.example.org"},
        {"Referrers /checkout/thanks.html", "https://pay.example.net/"},
    };
    for (const auto& [name, row] : expectedRows) {
        ASSERT_TRUE(byName.count(name)) << name;
        EXPECT_TRUE(HasRow(*byName[name], row)) << name << " has no row " << row;
    }
    // The monitor's hits are filtered out, so its address never reaches a report.
    EXPECT_FALSE(HasRow(*byName["Domain Name"], "10.0.0.5"));
}

}  // namespace
