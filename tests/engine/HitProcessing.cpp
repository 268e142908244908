#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "ReferenceCounter.h"
#include "engine/filter/FilterEvaluation.h"
#include "engine/hit/HitProcessor.h"
#include "engine/hit/QueryPairs.h"
#include "engine/hit/ReferrerParts.h"
#include "engine/hit/UrlNormalizer.h"
#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/ident/SearchEngineIdentification.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"
#include "store/ident/FileTypeIdentification.h"

namespace {

using logvane::test::MakeHit;
using logvane::test::ref_hit_t;
using Counts = std::map<std::string, std::uint64_t>;

const std::string kData = std::string(LOGVANE_TEST_DATA_DIR) + "/hit/";

// --- URL normalisation ---------------------------------------------------------------------

struct NormalizeCase {
    bool hideQuestion, hidePound, addDefault;
    const char* in;
    const char* out;
};

class NormalizeTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, CutsAndCompletes) {
    const NormalizeCase& c = GetParam();
    const CUrlNormalizer normalizer(c.hideQuestion, c.hidePound, "index.html");
    EXPECT_EQ(normalizer.Normalized(c.in, c.addDefault), c.out) << c.in;
}

INSTANTIATE_TEST_SUITE_P(
    Urls, NormalizeTest,
    testing::Values(NormalizeCase{false, false, true, "/", "/index.html"},
                    NormalizeCase{false, false, true, "/dir/", "/dir/index.html"},
                    NormalizeCase{false, false, false, "http://a.org/", "http://a.org/"},
                    NormalizeCase{false, false, true, "/dir/?a=1", "/dir/index.html?a=1"},
                    NormalizeCase{false, false, true, "/dir/#top", "/dir/index.html#top"},
                    NormalizeCase{false, false, true, "/a?next=/b/", "/a?next=/b/index.html"},
                    NormalizeCase{true, false, true, "/dir/?a=1", "/dir/index.html"},
                    NormalizeCase{true, false, true, "/p.php?a=1#x", "/p.php"},
                    NormalizeCase{false, true, true, "/p.php?a=1#x", "/p.php?a=1"},
                    NormalizeCase{true, true, true, "/p#x?y", "/p"},
                    NormalizeCase{false, true, true, "/dir/#x", "/dir/index.html"},
                    NormalizeCase{false, false, true, "", ""}));

// --- referrer parts ------------------------------------------------------------------------

TEST(ReferrerPartsTest, OriginsByScheme) {
    EXPECT_EQ(ClassifyReferrerOrigin("news:comp.lang"), ORIGIN_NEWS);
    EXPECT_EQ(ClassifyReferrerOrigin("mailto:a@b"), ORIGIN_MAIL);
    EXPECT_EQ(ClassifyReferrerOrigin("http://a.org/"), ORIGIN_WEB);
    EXPECT_EQ(ClassifyReferrerOrigin("HTTPS://a.org/"), ORIGIN_WEB);
    EXPECT_EQ(ClassifyReferrerOrigin("www.a.org"), ORIGIN_WEB);
    EXPECT_EQ(ClassifyReferrerOrigin("ftp://a.org/"), ORIGIN_FTP);
    EXPECT_EQ(ClassifyReferrerOrigin("file:///c/x.html"), ORIGIN_FILE);
    EXPECT_EQ(ClassifyReferrerOrigin("-"), ORIGIN_NONE);
    EXPECT_EQ(ClassifyReferrerOrigin(""), ORIGIN_NONE);
    EXPECT_EQ(ClassifyReferrerOrigin("android-app://x"), ORIGIN_OTHER);
    EXPECT_EQ(ClassifyReferrerOrigin("abc"), ORIGIN_UNCOUNTED);
    EXPECT_EQ(ClassifyReferrerOrigin("http"), ORIGIN_OTHER);  // too short to be a page
}

TEST(ReferrerPartsTest, DomainIsTheHostWithoutWww) {
    EXPECT_EQ(ReferringDomain("http://www.a.org/x"), "a.org");
    EXPECT_EQ(ReferringDomain("http://www2.a.org/x"), "a.org");
    EXPECT_EQ(ReferringDomain("https://news.a.org"), "news.a.org");  // no path at all
    EXPECT_EQ(ReferringDomain("http://a.org?x=1"), "a.org");
    EXPECT_EQ(ReferringDomain("http://wwwf.org/"), "wwwf.org");
    EXPECT_EQ(ReferringDomain("a.org/x"), "");
    EXPECT_EQ(ReferringDomain("-"), "");
}

TEST(ReferrerPartsTest, KeywordsSplitOnBlanksAndPlusesAndKeepQuotedRuns) {
    std::vector<std::string> words;
    ForEachKeyword("\"web logs\" analyzer+free  'a b",
                   [&](std::string_view w) { words.emplace_back(w); });
    EXPECT_EQ(words, (std::vector<std::string>{"web logs", "analyzer", "free", "a b"}));
    words.clear();
    ForEachKeyword(" + \"\" ", [&](std::string_view w) { words.emplace_back(w); });
    EXPECT_TRUE(words.empty());
}

TEST(QueryPairsTest, SplitsAtAmpersandsAndStopsAtTheFragment) {
    const url_query_t q = SplitQuery("/p.php?a=1&b&&=x&c=#d=2");
    EXPECT_EQ(q.beforeQuery, "/p.php?");
    std::vector<std::string> pairs;
    ForEachQueryPair(q.query, [&](std::string_view n, std::string_view v) {
        pairs.push_back(std::string(n) + "|" + std::string(v));
        return false;
    });
    EXPECT_EQ(pairs, (std::vector<std::string>{"a|1", "b|", "|x", "c|"}));
    EXPECT_FALSE(SplitQuery("/p.php").hasQuery);
}

// --- whole hits ----------------------------------------------------------------------------

class HitTest : public testing::Test {
protected:
    void SetUp() override {
        PoolCreate();
        CFileTypeIdentification fileTypes;
        ASSERT_TRUE(fileTypes.LoadXML((kData + "filetypeidentification.xml").c_str()));
        types = CFastFileTypeIdentification(fileTypes);
        spiders.LoadXML((kData + "spider.xml").c_str());
        browsers.LoadXML((kData + "browser.xml").c_str());
        oses.LoadXML((kData + "os.xml").c_str());
        engines.LoadXML((kData + "searchengines.xml").c_str());
        suffixes.LoadXML((kData + "suffixdata.xml").c_str());
        options.defaultPage = "index.html";
        options.siteDomain = "www.example.com";
    }
    void TearDown() override {
        processor.reset();
        sessions.reset();
        PoolDestroy();
    }

    void Make() {
        sessions = std::make_unique<CVisitorSessions>(tables, tags, options.caseSensitive);
        hit_classifiers_t c;
        c.fileTypes = &types;
        c.spiders = &spiders;
        c.browsers = &browsers;
        c.oses = &oses;
        c.searchEngines = &engines;
        c.filters = &filters;
        c.suffixes = &suffixes;
        c.countryLookup = &lookup;
        processor =
            std::make_unique<CHitProcessor>(tables, sessions.get(), options, c, &cookieData);
    }

    int Process(ref_hit_t h, bool cookie = false) {
        if (!processor) Make();
        hit_t hit = MakeHit(h, cookie);
        return processor->ProcessHit(hit);
    }

    static ref_hit_t Hit(const std::string& path, int status = 200,
                         const std::string& referrer = "-") {
        ref_hit_t h;
        h.host = "10.0.0.1";
        h.path = path;
        h.status = status;
        h.referrer = referrer;
        h.time = 1700000000;
        h.bytes = 100;
        return h;
    }

    template <class Table>
    static Counts Urls(Table& table) {
        Counts result;
        table.ForEach([&](const auto& e) { result[std::string(e.url, e.length)] += e.hits; });
        return result;
    }
    static Counts Texts(CFastHashTable<referinfo_t>& table) {
        Counts result;
        table.ForEach(
            [&](const referinfo_t& e) { result[std::string(e.text, e.length)] += e.hits; });
        return result;
    }
    static Counts Searches(CFastHashTable<search_info_t>& table) {
        Counts result;
        table.ForEach([&](const search_info_t& e) {
            result[std::string(e.text, e.length) + "|" + std::string(e.engine, e.engineLength)] +=
                e.hits;
        });
        return result;
    }
    static Counts Errors(CFastHashTable<error_info_t>& table) {
        Counts result;
        table.ForEach([&](const error_info_t& e) {
            result[std::string(e.url, e.length) + " " + std::to_string(e.status)] += e.hits;
        });
        return result;
    }
    static Counts Children(CNestedTable& table) {
        Counts result;
        table.ForEach([&](nested_info_t& parent) {
            parent.children->ForEach([&](const referinfo_t& child) {
                result[std::string(parent.text, parent.length) + " <- " +
                       std::string(child.text, child.length)] += child.hits;
            });
        });
        return result;
    }

    CRunTables tables;
    CTagInformation tags;
    CFastFileTypeIdentification types;
    CSpiderIdentification spiders;
    CBrowserIdentification browsers;
    COSIdentification oses;
    CSearchEngineIdentification engines;
    CDomainSuffixTable suffixes;
    CFilterEvaluator filters;
    country_lookup_t lookup;
    hit_options_t options;
    int cookieData = 0;
    std::unique_ptr<CVisitorSessions> sessions;
    std::unique_ptr<CHitProcessor> processor;
};

TEST_F(HitTest, ServerErrorCountsTimeAndHostButNoResource) {
    ASSERT_EQ(Process(Hit("/index.html", 500)), 1);
    const run_counters_t& c = tables.counters;
    EXPECT_EQ(c.totalHits, 1u);
    EXPECT_EQ(c.hitsPerHour[(1700000000 % 86400) / 3600], 1u);
    EXPECT_EQ(tables.hitsPerDay.GetCount(), 1u);
    EXPECT_EQ(tables.hosts.GetCount(), 1u);
    EXPECT_EQ(Errors(tables.otherErrors), (Counts{{"/index.html 500", 1}}));
    EXPECT_EQ(tables.resources.GetCount(), 0u);
    EXPECT_EQ(tables.pages.GetCount(), 0u);
    EXPECT_EQ(tables.directories.GetCount(), 0u);
    EXPECT_EQ(processor->GetPageType(), kUnsuccessfulPageType);
}

TEST_F(HitTest, RedirectAndPartialContentAreResourcesAndErrors) {
    Process(Hit("/a.html", 302));
    Process(Hit("/big.pdf", 206));
    EXPECT_EQ(Urls(tables.resources), (Counts{{"/a.html", 1}, {"/big.pdf", 1}}));
    EXPECT_EQ(Errors(tables.otherErrors), (Counts{{"/a.html 302", 1}, {"/big.pdf 206", 1}}));
    EXPECT_EQ(tables.counters.incompleteHits, 1u);
    tables.files.ForEach([](const resource_info_t& e) { EXPECT_EQ(e.incomplete, 1u); });
    EXPECT_EQ(Urls(tables.directories), (Counts{{"/", 2}}));
}

TEST_F(HitTest, NotFoundAndCachedHits) {
    Process(Hit("/gone.html", 404, "http://other.org/links.html"));
    Process(Hit("/a.html", 304));
    EXPECT_EQ(tables.counters.notFoundHits, 1u);
    EXPECT_EQ(tables.counters.cachedHits, 1u);
    EXPECT_EQ(Errors(tables.notFoundErrors), (Counts{{"/gone.html 404", 1}}));
    EXPECT_EQ(Children(tables.notFoundReferrers),
              (Counts{{"/gone.html <- http://other.org/links.html", 1}}));
    EXPECT_EQ(tables.otherErrors.GetCount(), 0u);
}

TEST_F(HitTest, FolderUrlsGetTheDefaultPageAndHiddenQueriesStillCountParameters) {
    options.hideQuestionMark = true;
    Process(Hit("/shop/"));
    Process(Hit("/shop/item.html?id=4&color"));
    EXPECT_EQ(Urls(tables.pages), (Counts{{"/shop/index.html", 1}, {"/shop/item.html", 1}}));
    EXPECT_EQ(Children(tables.queryStrings),
              (Counts{{"/shop/item.html?id <- 4", 1}, {"/shop/item.html?color <- (empty)", 1}}));
}

TEST_F(HitTest, PageTypesFillTheirTablesAndCounters) {
    Process(Hit("/a.html"));
    Process(Hit("/logo.gif"));
    Process(Hit("/site.css"));
    Process(Hit("/paper.pdf"));
    const run_counters_t& c = tables.counters;
    EXPECT_EQ(c.pageHits, 1u);
    EXPECT_EQ(c.imageHits, 1u);
    EXPECT_EQ(c.miscWebHits, 1u);
    EXPECT_EQ(c.fileHits, 1u);
    EXPECT_EQ(c.imageAndMiscWebHits, 2u);
    EXPECT_EQ(c.pageBytes + c.imageBytes + c.miscWebBytes + c.fileBytes, c.totalBytes);
    EXPECT_EQ(tables.pageViewsPerDay.GetCount(), 1u);
    EXPECT_EQ(Urls(tables.images), (Counts{{"/logo.gif", 1}}));
}

TEST_F(HitTest, NoReferrerCountsAsSuchAndInternalReferrersCountNowhere) {
    Process(Hit("/a.html", 200, "-"));
    Process(Hit("/b.html", 200, "http://www.example.com/a.html"));
    EXPECT_EQ(Texts(tables.referringPages), (Counts{{"No Referrer", 1}}));
    EXPECT_EQ(Texts(tables.referringDomains), (Counts{{"No Referrer", 1}}));
    EXPECT_EQ(tables.counters.referrerOrigins[ORIGIN_NONE], 1u);
    std::uint64_t origins = 0;
    for (std::uint64_t n : tables.counters.referrerOrigins) origins += n;
    EXPECT_EQ(origins, 1u);
    EXPECT_EQ(Children(tables.pageReferrers), (Counts{{"/a.html <- -", 1}}));
}

TEST_F(HitTest, ExternalReferrersCountPagesDomainsAndOrigins) {
    // Case is folded before the referrer is decoded.
    Process(Hit("/a.html", 200, "https://www.Other.org/links.html?x=%41"));
    EXPECT_EQ(Texts(tables.referringPages), (Counts{{"https://www.other.org/links.html?x=A", 1}}));
    EXPECT_EQ(Texts(tables.referringDomains), (Counts{{"other.org", 1}}));
    EXPECT_EQ(tables.counters.referrerOrigins[ORIGIN_WEB], 1u);
}

TEST_F(HitTest, SearchReferrersCountEnginePhraseAndKeywordsAndLabelTheVisit) {
    Process(Hit("/a.html", 200, "http://www.google.com/search?q=%22web+logs%22+analyzer&hl=en"));
    Process(Hit("/b.html", 200, "http://www.google.com/search?q=c%2B%2B"));
    EXPECT_EQ(Searches(tables.searchEngines), (Counts{{"Google|-", 2}}));
    EXPECT_EQ(Searches(tables.searchPhrases),
              (Counts{{"\"web logs\" analyzer|Google", 1}, {"c++|Google", 1}}));
    EXPECT_EQ(Searches(tables.searchKeywords),
              (Counts{{"web logs|-", 1}, {"analyzer|-", 1}, {"c|-", 1}}));
    sessions->CloseAllSessions();
    bool found = false;
    sessions->GetHyperlinks().ForEach([&](hyperlink_hash_t& page) {
        if (std::string(page.text, page.length) == "Google search for \"\"web logs\" analyzer\"")
            found = page.type == page_type_t::REFERRER;
    });
    EXPECT_TRUE(found);
}

TEST_F(HitTest, InternalNavigationRecordsTheCameFromPage) {
    Process(Hit("/a.html"));
    ref_hit_t next = Hit("/b.html", 200, "http://www.example.com/dir/");
    next.time += 10;
    Process(next);
    sessions->CloseAllSessions();
    Counts toB;
    sessions->GetHyperlinks().ForEach([&](hyperlink_hash_t& page) {
        if (std::string(page.text, page.length) != "/b.html") return;
        page.parents->ForEach([&](const hyperlink_connection_hash_t& link) {
            toB[std::string(link.text, link.length)] += link.hits;
        });
    });
    EXPECT_EQ(toB, (Counts{{"/dir/index.html", 1}}));
}

TEST_F(HitTest, AgentsAreSpidersOrElseBrowserAndSystem) {
    ref_hit_t bot = Hit("/a.html");
    bot.agent = "Mozilla/5.0 (compatible; Googlebot/2.1; Linux)";
    ref_hit_t person = Hit("/a.html");
    person.agent = "Mozilla/5.0 (X11; Linux x86_64) Firefox/120";
    Process(bot);
    Process(person);
    EXPECT_EQ(spiders.GetNumMatches(0), 1u);
    EXPECT_EQ(browsers.GetNumMatches(2), 1u);
    EXPECT_EQ(oses.GetNumMatches(1), 1u);  // the spider's "Linux" is not counted
    std::uint64_t browserTotal = 0;
    for (int i = 0; i < browsers.GetNum(); ++i) browserTotal += browsers.GetNumMatches(i);
    EXPECT_EQ(browserTotal, 1u);
}

TEST_F(HitTest, TrackedFilesCountDaysQueriesAndExternalReferrers) {
    tables.trackedFiles.push_back(std::make_unique<tracked_file_t>("/shop/", false));
    tables.trackedFiles.push_back(std::make_unique<tracked_file_t>("*.pdf", true));
    Process(Hit("/shop/?id=1", 200, "http://other.org/"));
    Process(Hit("/shop/index.html", 200, "http://www.example.com/"));
    Process(Hit("/x/paper.pdf"));
    Process(Hit("/paper.pdf", 404));
    tracked_file_t& shop = *tables.trackedFiles[0];
    std::uint64_t shopHits = 0;
    shop.hitsPerDay.ForEach([&](const day_info_t& d) { shopHits += d.first; });
    EXPECT_EQ(shopHits, 2u);
    EXPECT_EQ(Texts(shop.referrers), (Counts{{"http://other.org/", 1}}));
    EXPECT_EQ(Children(shop.queryStrings), (Counts{{"/shop/?id <- 1", 1}}));
    std::uint64_t pdfHits = 0;
    tables.trackedFiles[1]->hitsPerDay.ForEach([&](const day_info_t& d) { pdfHits += d.first; });
    EXPECT_EQ(pdfHits, 1u);
}

TEST_F(HitTest, UsersCountOnlySuccessfulHits) {
    ref_hit_t h = Hit("/a.html");
    h.user = "alice";
    Process(h);
    h.status = 401;
    Process(h);
    sessions->CloseAllSessions();  // which adds the user sessions
    tables.users.ForEach([](const user_info_t& u) {
        EXPECT_EQ(std::string(u.name, u.length), "alice");
        EXPECT_EQ(u.hits, 1u);
        EXPECT_EQ(u.sessions, 1u);
    });
    EXPECT_EQ(tables.users.GetCount(), 1u);
}

// Users are told apart by their whole names, short or long, and each counts its hits and the
// sessions it opened.
TEST_F(HitTest, UserNamesOfEveryLengthCountTheirHitsAndSessions) {
    const std::vector<std::string> names{"-", "thirteen-char", "fourteen-chars",
                                         "a-user-name-far-longer-than-the-others-here", "-"};
    for (const std::string& name : names) {
        ref_hit_t h = Hit("/a.html");
        h.user = name;
        h.host = "10.0.0." + std::to_string(name.size());  // a visitor, and a session, each
        Process(h);
        Process(h);
    }
    this->sessions->CloseAllSessions();
    Counts hits, sessions;
    tables.users.ForEach([&](const user_info_t& u) {
        hits[std::string(u.name, u.length)] += u.hits;
        sessions[std::string(u.name, u.length)] += u.sessions;
    });
    EXPECT_EQ(hits, (Counts{{"-", 4},
                            {"thirteen-char", 2},
                            {"fourteen-chars", 2},
                            {"a-user-name-far-longer-than-the-others-here", 2}}));
    EXPECT_EQ(sessions, (Counts{{"-", 1},
                                {"thirteen-char", 1},
                                {"fourteen-chars", 1},
                                {"a-user-name-far-longer-than-the-others-here", 1}}));
}

TEST_F(HitTest, CountriesComeFromTheLookupOrTheDomainSuffix) {
    options.ip2Country = true;
    ref_hit_t named = Hit("/a.html");
    named.host = "dialup.provider.DE";
    Process(named);
    Process(Hit("/a.html"));  // an address without a database
    ref_hit_t none = Hit("/a.html");
    none.host = "-";
    Process(none);
    Counts countries;
    tables.countries.ForEach(
        [&](const country_info_t& e) { countries[std::string(e.name, e.nameLength)] += e.hits; });
    EXPECT_EQ(countries, (Counts{{"de", 1}, {"Unknown", 1}}));

    lookup = [](std::string_view host, country_result_t& r) {
        if (host == "10.0.0.1") r = {"NL", "Netherlands"};
    };
    Process(Hit("/a.html"));
    EXPECT_EQ(tables.countries.GetCount(), 3u);
}

// The database answers through views that may change with its next answer; each host is
// looked up once and then counted from the countries table's own copies.
TEST_F(HitTest, EachHostIsLookedUpOnceAndCountedAtEveryHit) {
    options.ip2Country = true;
    int calls = 0;
    std::string answer;  // rewritten by every call, as a reused buffer would be
    lookup = [&](std::string_view host, country_result_t& r) {
        ++calls;
        answer = host == "10.0.0.1" ? "NLNetherlands" : "FRFrance";
        r = {std::string_view(answer).substr(0, 2), std::string_view(answer).substr(2)};
    };
    ref_hit_t other = Hit("/a.html");
    other.host = "10.0.0.2";
    for (const ref_hit_t& h : {Hit("/a.html"), Hit("/b.html"), other, Hit("/c.html"), other})
        Process(h);
    EXPECT_EQ(calls, 2);
    Counts countries;
    tables.countries.ForEach([&](const country_info_t& e) {
        countries[std::string(e.abbreviation, e.abbreviationLength) + " " +
                  std::string(e.name, e.nameLength)] += e.hits;
    });
    EXPECT_EQ(countries, (Counts{{"FR France", 2}, {"NL Netherlands", 3}}));
}

TEST_F(HitTest, HostsBeyondTheRememberedOnesAreLookedUpEveryTime) {
    options.ip2Country = true;
    int calls = 0;
    lookup = [&](std::string_view, country_result_t& r) {
        ++calls;
        r = {"NL", "Netherlands"};
    };
    constexpr int kHosts = 65536 + 10;
    const auto host = [](int i) {
        ref_hit_t h = Hit("/a.html");
        h.host = "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                 std::to_string(i % 256);
        return h;
    };
    for (int i = 0; i < kHosts; ++i) Process(host(i));
    EXPECT_EQ(calls, kHosts);
    Process(host(0));           // remembered
    Process(host(kHosts - 1));  // one too many to remember
    EXPECT_EQ(calls, kHosts + 1);
    ASSERT_EQ(tables.countries.GetCount(), 1u);
    tables.countries.ForEach([&](const country_info_t& e) {
        EXPECT_EQ(e.hits, static_cast<std::uint64_t>(kHosts + 2));
    });
}

// Folding works on eight bytes at a time: every byte value at every offset of a long text
// must come out as the byte table says (only A-Z change).
TEST_F(HitTest, CaseFoldingChangesOnlyAsciiCapitals) {
    Make();
    std::string agent;
    for (int i = 0; i < 249; ++i) agent.push_back(static_cast<char>(1 + (i * 37 + 11) % 255));
    for (int shift = 0; shift < 8; ++shift) {
        ref_hit_t h = Hit("/a.html");
        h.agent = agent.substr(static_cast<std::size_t>(shift));
        h.user = "ANN@[Z]`a{" + std::string(1, static_cast<char>(0xC9));
        hit_t hit = MakeHit(h, false);
        ASSERT_EQ(processor->ProcessHit(hit), 1);
        std::string expected = h.agent;
        for (char& c : expected)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        EXPECT_EQ(hit.Agent(), expected) << shift;
        EXPECT_EQ(hit.User(), "ann@[z]`a{" + std::string(1, static_cast<char>(0xC9)));
    }
}

// Paths are remembered with their normalised URL, directory and query pairs; hits on a path
// seen before, and on paths beyond the remembered ones, count as the first hit did.
TEST_F(HitTest, RepeatedAndUnrememberedPathsCountAlike) {
    constexpr int kPaths = 65536 + 5;
    const auto path = [](int i) { return "/d" + std::to_string(i % 7) + "/p" + std::to_string(i); };
    for (int i = 0; i < kPaths; ++i) Process(Hit(path(i) + ".php?a=1&b=&&c", i % 2 ? 404 : 200));
    for (int i : {0, 1, kPaths - 2, kPaths - 1})
        Process(Hit(path(i) + ".php?a=1&b=&&c", i % 2 ? 404 : 200));
    const Counts pairs = Children(tables.queryStrings);
    for (int i : {0, 1, 2, kPaths - 2, kPaths - 1}) {
        const std::string p = path(i) + ".php?";
        const std::uint64_t hits = i == 2 ? 1 : 2;
        EXPECT_EQ(pairs.at(p + "a <- 1"), hits) << p;
        EXPECT_EQ(pairs.at(p + "b <- (empty)"), hits) << p;
        EXPECT_EQ(pairs.at(p + "c <- (empty)"), hits) << p;
    }
    const std::string query = ".php?a=1&b=&&c";
    const Counts resources = Urls(tables.resources);
    EXPECT_EQ(resources.at(path(0) + query), 2u);
    EXPECT_EQ(resources.at(path(2) + query), 1u);
    EXPECT_EQ(resources.at(path(kPaths - 1) + query), 2u);  // even: 200
    EXPECT_EQ(resources.count(path(1) + query), 0u);        // 404: no resource
    const Counts errors = Errors(tables.notFoundErrors);
    EXPECT_EQ(errors.at(path(1) + query + " 404"), 2u);
    EXPECT_EQ(errors.at(path(kPaths - 2) + query + " 404"), 2u);
    const Counts directories = Urls(tables.directories);
    std::uint64_t directoryHits = 0;
    for (const auto& [name, hits] : directories) directoryHits += hits;
    EXPECT_EQ(directoryHits, tables.counters.pageHits + tables.counters.fileHits +
                                 tables.counters.imageHits + tables.counters.miscWebHits);
    EXPECT_EQ(directories.size(), 7u);
}

TEST_F(HitTest, FilteredHitsChangeNothing) {
    filter_compile_options_t compile;
    compile.caseSensitive = false;
    filters.CompileFilters({[] {
                               filter_t f;
                               f.includeType = filter_t::EXCLUDE;
                               f.infoType = filter_t::FILE;
                               f.string = "*.gif";
                               return f;
                           }()},
                           compile);
    ref_hit_t h = Hit("/logo.GIF?x=1", 404, "http://www.google.com/?q=x");
    h.cookie = "visitor-1";
    EXPECT_EQ(Process(h, true), 1);
    EXPECT_EQ(cookieData, 1);  // cookie presence is noted before filtering
    const run_counters_t& c = tables.counters;
    EXPECT_EQ(c.totalHits + c.totalBytes + c.notFoundHits, 0u);
    EXPECT_EQ(c.earliestHit, INT32_MAX);
    EXPECT_EQ(tables.hosts.GetCount() + tables.queryStrings.GetCount() +
                  tables.notFoundErrors.GetCount() + tables.referringPages.GetCount() +
                  tables.searchEngines.GetCount() + tables.hitsPerDay.GetCount(),
              0u);
    EXPECT_EQ(browsers.GetNumMatches(browsers.GetNum() - 1), 0u);
    sessions->CloseAllSessions();
    EXPECT_EQ(c.sessions, 0u);
}

TEST_F(HitTest, MalformedRecordsAreRejectedUncounted) {
    Make();
    hit_t hit = MakeHit(Hit("/a.html"), false);
    hit.pathLen += 1;  // length disagrees with the terminated text
    EXPECT_EQ(processor->ProcessHit(hit), 0);
    hit = MakeHit(Hit("/a.html"), false);
    hit.agentLen = kHitTextSize;
    EXPECT_EQ(processor->ProcessHit(hit), 0);
    hit = MakeHit(Hit("/a.html"), false);
    hit.user[hit.userLen] = 'x';  // no terminator where the length says
    EXPECT_EQ(processor->ProcessHit(hit), 0);
    EXPECT_EQ(tables.counters.totalHits, 0u);
}

TEST_F(HitTest, CaseSensitiveAnalysisKeepsTheCase) {
    options.caseSensitive = true;
    Process(Hit("/A.html"));
    Process(Hit("/a.html"));
    EXPECT_EQ(Urls(tables.pages), (Counts{{"/A.html", 1}, {"/a.html", 1}}));
}

TEST_F(HitTest, FoldedAnalysisMergesCases) {
    Process(Hit("/A.HTML"));
    Process(Hit("/a.html"));
    EXPECT_EQ(Urls(tables.pages), (Counts{{"/a.html", 2}}));
}

TEST_F(HitTest, TimesBoundTheRunAndBadHoursAreIgnored) {
    ref_hit_t early = Hit("/a.html");
    early.time = 1600000000;
    Process(early);
    Process(Hit("/a.html"));
    Make();
    hit_t odd = MakeHit(Hit("/a.html"), false);
    odd.hour = 24;
    odd.dayOfWeek = -1;
    processor->ProcessHit(odd);
    EXPECT_EQ(tables.counters.earliestHit, 1600000000);
    EXPECT_EQ(tables.counters.latestHit, 1700000000);
    std::uint64_t hours = 0;
    for (std::uint64_t n : tables.counters.hitsPerHour) hours += n;
    EXPECT_EQ(hours, 2u);
}

}  // namespace

namespace {

// Random bytes in every field, at every length up to the limit, with a long default page:
// nothing may write past a buffer (run under the sanitizer build) and every hit counts.
TEST_F(HitTest, HostileFieldsAreCountedSafely) {
    options.defaultPage = std::string(300, 'd');
    options.ip2Country = true;
    tables.trackedFiles.push_back(std::make_unique<tracked_file_t>("*%*", true));
    tags.AddTriggerInformation({CTagInformation::ANYPAGE, "*?*", "any"});
    tables.counters.tagTriggers.assign(1, 0);
    std::mt19937 random(99);
    const std::string alphabet = "/?#&=%+.\"' abcXYZ019-:www.example.com\x80\xff";
    const auto text = [&](int maxLength) {
        std::string s(std::uniform_int_distribution<std::size_t>(0, maxLength)(random), ' ');
        for (char& c : s) c = alphabet[random() % alphabet.size()];
        return s;
    };
    const int count = 20000;
    for (int i = 0; i < count; ++i) {
        ref_hit_t h;
        h.host = text(kHitTextMax);
        h.path = text(kHitTextMax);
        h.referrer = i % 3 ? "http://www.google.com/?q=" + text(200) : text(kHitTextMax);
        h.agent = text(kHitTextMax);
        h.user = text(kHitTextMax);
        h.cookie = text(kHitTextMax);
        h.time = 1700000000 + i * 100;
        h.status = static_cast<int>(random() % 600);
        h.bytes = static_cast<std::int64_t>(random()) - 1000;
        ASSERT_EQ(Process(h, i % 2 == 0), 1);
    }
    sessions->CloseAllSessions();
    EXPECT_EQ(tables.counters.totalHits, static_cast<std::uint64_t>(count));
    EXPECT_GT(tables.counters.sessions, 0u);
}

}  // namespace
