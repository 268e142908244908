#include <gtest/gtest.h>

#include <string>

#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/ident/SearchEngineIdentification.h"
#include "store/ident/FileTypeIdentification.h"
#include "support/TempDir.h"

namespace {

const std::string kData = std::string(LOGVANE_TEST_DATA_DIR) + "/hit/";

// --- file types ----------------------------------------------------------------------------

class FileTypeTest : public testing::TestWithParam<std::pair<const char*, page_type_t>> {
protected:
    static CFastFileTypeIdentification Load() {
        CFileTypeIdentification types;
        EXPECT_TRUE(types.LoadXML((kData + "filetypeidentification.xml").c_str()));
        return CFastFileTypeIdentification(types);
    }
};

TEST_P(FileTypeTest, ClassifiesByExtension) {
    const CFastFileTypeIdentification types = Load();
    EXPECT_EQ(types.DeterminePageType(GetParam().first), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileTypeTest,
    testing::Values(
        std::pair{"/index.html", page_type_t::PAGE}, std::pair{"/", page_type_t::PAGE},
        std::pair{"/dir/", page_type_t::PAGE},
        // The list is lower-cased when built; paths are compared as they are.
        std::pair{"/search.asp?q=a.b", page_type_t::PAGE},
        std::pair{"/logo.gif", page_type_t::IMAGE}, std::pair{"/logo.GIF", page_type_t::FILE},
        std::pair{"/site.css", page_type_t::MISCWEB}, std::pair{"/paper.pdf", page_type_t::FILE},
        std::pair{"/readme", page_type_t::FILE}, std::pair{"/cgi?x=a.html", page_type_t::FILE},
        std::pair{"/v1.2/run", page_type_t::FILE}));

TEST(FileTypeEmpty, EveryPathIsAPageWithoutPageAndImageLists) {
    CFileTypeIdentification types;
    types.Allocate(1);
    types.SetData(0, "css", "MISCWEB");
    const CFastFileTypeIdentification onlyMisc(types);
    EXPECT_EQ(onlyMisc.DeterminePageType("/a.css"), page_type_t::PAGE);
    EXPECT_EQ(CFastFileTypeIdentification().DeterminePageType("/a.zip"), page_type_t::PAGE);
}

// --- user agents ---------------------------------------------------------------------------

TEST(GenericIdentificationTest, FirstCategoryWinsAndTheCatchAllCountsTheRest) {
    CBrowserIdentification browsers;
    ASSERT_TRUE(browsers.LoadXML((kData + "browser.xml").c_str()));
    ASSERT_EQ(browsers.GetNum(), 4);
    EXPECT_EQ(browsers.GetName(3), "Other Browsers");
    // Edge agents also name Chrome; the earlier category wins.
    EXPECT_EQ(browsers.MatchString("Mozilla/5.0 (Windows NT 10.0) Chrome/120 Edg/120"), 0);
    EXPECT_EQ(browsers.MatchString("mozilla/5.0 chrome/120 safari"), 1);  // any case
    EXPECT_EQ(browsers.MatchString("curl/8.0"), -1);
    EXPECT_EQ(browsers.MatchString(""), -1);
    EXPECT_EQ(browsers.GetNumMatches(0), 1u);
    EXPECT_EQ(browsers.GetNumMatches(1), 1u);
    EXPECT_EQ(browsers.GetNumMatches(2), 0u);
    EXPECT_EQ(browsers.GetNumMatches(3), 2u);
    EXPECT_EQ(browsers.GetFirstKeyword(0), "EDG/");
    EXPECT_EQ(browsers.GetNumKeywords(9), 0);
    EXPECT_EQ(browsers.GetName(-1), "");
}

TEST(GenericIdentificationTest, CatchAllKeywordsAreNeverTested) {
    COSIdentification oses;
    oses.AddCategory("Linux", {"Linux"});
    oses.AddCategory("Other OSes", {"Windows"});
    EXPECT_EQ(oses.MatchString("Windows NT"), -1);
    EXPECT_EQ(oses.GetNumMatches(1), 1u);
}

TEST(GenericIdentificationTest, MissingOrForeignFileGivesAnEmptyListThatCountsNothing) {
    COSIdentification oses;
    EXPECT_FALSE(oses.LoadXML((kData + "missing.xml").c_str()));
    EXPECT_EQ(oses.GetNum(), 0);
    EXPECT_EQ(oses.MatchString("Linux"), -1);
    // A browser file read as an OS list has the wrong root.
    EXPECT_FALSE(oses.LoadXML((kData + "browser.xml").c_str()));
    EXPECT_EQ(oses.GetNum(), 0);
}

TEST(SpiderIdentificationTest, UnknownAgentsAreNotCounted) {
    CSpiderIdentification spiders;
    ASSERT_TRUE(spiders.LoadXML((kData + "spider.xml").c_str()));
    CGenericIdentification& asGeneric = spiders;
    EXPECT_EQ(asGeneric.MatchString("Mozilla/5.0 (compatible; googlebot/2.1)"), 0);
    EXPECT_EQ(asGeneric.MatchString("SomeSpider 1.0"), 1);
    EXPECT_EQ(asGeneric.MatchString("Mozilla/5.0 Firefox/120"), -1);
    EXPECT_EQ(spiders.GetNumMatches(spiders.GetNum() - 1), 0u);
}

// --- search engines ------------------------------------------------------------------------

class SearchEngineTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engines.LoadXML((kData + "searchengines.xml").c_str())); }
    bool Match(const std::string& referrer) {
        return engines.Match(referrer.data(), referrer.size(), result);
    }
    CSearchEngineIdentification engines;
    search_match_t result;
};

TEST_F(SearchEngineTest, PhraseRunsFromTheKeyToTheNextAmpersandDecoded) {
    ASSERT_TRUE(Match("http://www.google.com/search?hl=en&q=web+log%20tools&ie=UTF-8"));
    EXPECT_EQ(result.engine, "Google");
    EXPECT_EQ(result.phrase, "web log tools");
    ASSERT_TRUE(Match("http://www.google.de/search?q=c%2B%2B"));
    EXPECT_EQ(result.phrase, "c++");
}

TEST_F(SearchEngineTest, AnEngineWithoutItsKeyGivesWayToTheNext) {
    ASSERT_TRUE(Match("http://finder.example/find?img=cats"));
    EXPECT_EQ(result.engine, "Finder Images");
    EXPECT_EQ(result.phrase, "cats");
}

TEST_F(SearchEngineTest, NoQueryOrNoDomainIsNoSearch) {
    EXPECT_FALSE(Match("http://www.google.com/q=x"));
    EXPECT_FALSE(Match("http://other.org/?q=x"));
    // The engine's domain in another site's query does not make that site an engine.
    EXPECT_FALSE(Match("http://other.org/go?u=google.com&q=x"));
    EXPECT_FALSE(Match("http://finder.example/?x=1"));
    EXPECT_EQ(engines.GetNum(), 3);
}

TEST(SearchEngineFile, MissingFileOrWrongRootIsAnEmptyTable) {
    CSearchEngineIdentification engines;
    EXPECT_FALSE(engines.LoadXML((kData + "missing.xml").c_str()));
    EXPECT_FALSE(engines.LoadXML((kData + "browser.xml").c_str()));
    search_match_t result;
    EXPECT_FALSE(engines.Match("http://google.com/?q=a", 22, result));
}

// --- domain suffixes -----------------------------------------------------------------------

TEST(DomainSuffixTableTest, SuffixesAreLowerCasedAndTheFirstEntryWins) {
    CDomainSuffixTable suffixes;
    ASSERT_TRUE(suffixes.LoadXML((kData + "suffixdata.xml").c_str()));
    EXPECT_EQ(suffixes.GetCount(), 2u);
    EXPECT_EQ(suffixes.Lookup("de"), "Germany");
    EXPECT_EQ(suffixes.Lookup("fr"), "France");
    EXPECT_EQ(suffixes.Lookup("DE"), "");
    EXPECT_EQ(suffixes.Lookup("xx"), "");
    EXPECT_FALSE(suffixes.LoadXML((kData + "missing.xml").c_str()));
    EXPECT_EQ(suffixes.GetCount(), 0u);
}

TEST(DomainSuffixTableTest, ManySuffixesSurviveGrowth) {
    CDomainSuffixTable suffixes;
    for (int i = 0; i < 2000; ++i)
        EXPECT_TRUE(suffixes.Add("s" + std::to_string(i), "Country " + std::to_string(i)));
    EXPECT_FALSE(suffixes.Add("s7", "again"));
    EXPECT_EQ(suffixes.Lookup("s1999"), "Country 1999");
    EXPECT_EQ(suffixes.Lookup("s7"), "Country 7");
}

TEST(DomainSuffixTableTest, ShippedFileLoads) {
    CDomainSuffixTable suffixes;
    ASSERT_TRUE(suffixes.LoadXML(LOGVANE_TEST_DATA_DIR "/../../data/suffixdata.xml"));
    EXPECT_GT(suffixes.GetCount(), 200u);
    EXPECT_EQ(suffixes.Lookup("ad"), "Andorra");
}

}  // namespace
