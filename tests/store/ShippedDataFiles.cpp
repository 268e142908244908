// The data files shipped in data/ (copied into xml/ beside the program): each loads through its
// reader, has the structure that reader expects, and holds what users rely on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "store/filter/FilterInformation.h"
#include "store/format/Url.h"
#include "store/ident/FileTypeIdentification.h"
#include "store/ident/GenericInformation.h"
#include "store/settings/Settings.h"
#include "store/settings/SettingsFolder.h"
#include "store/style/Styles.h"
#include "support/SettingsDefaults.h"
#include "support/TempDir.h"
#include "utility/Markup.h"

using logvane::test::ReadFile;
using logvane::test::ScopedHome;

namespace {

const std::string kDataDir = LOGVANE_TEST_DATA_DIR "/../../data/";
std::string DataFile(const std::string& name) { return kDataDir + name; }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Children of the root, in order: tag name plus the loaded document positioned on it.
std::vector<std::string> ChildTags(const std::string& file) {
    CMarkup doc;
    std::vector<std::string> tags;
    if (!doc.Load(DataFile(file)) || !doc.FindElem()) return tags;
    doc.IntoElem();
    while (doc.FindElem()) tags.push_back(doc.GetTagName());
    return tags;
}

// ---------------------------------------------------------------------------------------------
// Every file

struct ShippedFile {
    const char* name;
    const char* root;
};

const ShippedFile kXmlFiles[] = {
    {"settings.xml", "SETTINGS"},
    {"styles.xml", "STYLES"},
    {"globalfilters.xml", "FILTERS"},
    {"browser.xml", "BROWSERIDENTIFICATION"},
    {"spider.xml", "SPIDERIDENTIFICATION"},
    {"os.xml", "OSIDENTIFICATION"},
    {"filetypeidentification.xml", "FILETYPEIDENTIFICATION"},
    {"searchengines.xml", "SEARCHENGINES"},
    {"suffixdata.xml", "SUFFIXDATA"},
};

void PrintTo(const ShippedFile& f, std::ostream* os) { *os << f.name; }

class EveryShippedFile : public ::testing::TestWithParam<ShippedFile> {};

TEST_P(EveryShippedFile, LoadsWithItsRootElement) {
    CMarkup doc;
    ASSERT_TRUE(doc.Load(DataFile(GetParam().name))) << doc.GetError();
    ASSERT_TRUE(doc.FindElem());
    EXPECT_EQ(doc.GetTagName(), GetParam().root);
}

// Texts are Windows-1252 bytes; the files keep to printable ASCII so that they read the same in
// every editor, and declare their code page.
TEST_P(EveryShippedFile, IsPlainAsciiWithTheCodePageDeclared) {
    const std::string bytes = ReadFile(DataFile(GetParam().name));
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n", 0), 0u);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        ASSERT_TRUE((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t')
            << "byte " << int(c) << " at offset " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(DataFiles, EveryShippedFile, ::testing::ValuesIn(kXmlFiles),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             return n.substr(0, n.find('.'));
                         });

// A file added to data/ without a test here would ship unchecked.
TEST(ShippedDataFiles, EveryXmlFileInTheFolderIsChecked) {
    std::set<std::string> known;
    for (const ShippedFile& f : kXmlFiles) known.insert(f.name);
    for (const auto& entry : std::filesystem::directory_iterator(kDataDir)) {
        if (entry.path().extension() == ".xml") {
            EXPECT_TRUE(known.count(entry.path().filename().string())) << entry.path();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Browser, spider and operating-system lists

struct GenericFile {
    const char* name;
    const char* element;
    const char* label;
    int minimumEntries;
};

void PrintTo(const GenericFile& f, std::ostream* os) { *os << f.name; }

class ShippedIdentificationList : public ::testing::TestWithParam<GenericFile> {
protected:
    void SetUp() override { ASSERT_TRUE(m_list.LoadXML(DataFile(GetParam().name).c_str())); }
    int Named() const { return m_list.GetNumElems() - 1; }  // without the catch-all
    CGenericInformation m_list{GetParam().element, GetParam().label};
};

TEST_P(ShippedIdentificationList, HasItsEntriesAndTheCatchAllLast) {
    EXPECT_GE(Named(), GetParam().minimumEntries);
    EXPECT_EQ(m_list.GetElemName(Named()), std::string("Other ") + GetParam().label);
    // Every entry element was read: none is misspelt or nested wrongly.
    const std::vector<std::string> tags = ChildTags(GetParam().name);
    EXPECT_EQ(static_cast<int>(tags.size()), Named());
    for (const std::string& tag : tags) EXPECT_EQ(tag, GetParam().element);
}

TEST_P(ShippedIdentificationList, NamesAreUniqueAndEveryEntryHasKeywords) {
    std::set<std::string> names;
    for (int i = 0; i < Named(); ++i) {
        const std::string name = m_list.GetElemName(i);
        EXPECT_FALSE(name.empty()) << "entry " << i;
        EXPECT_TRUE(names.insert(Lower(name)).second) << "duplicate category " << name;
        EXPECT_GT(m_list.GetNumKeywords(i), 0) << name;
    }
}

// An empty keyword occurs in every text and would swallow everything after it; the engine
// prepares at most 255 bytes of a keyword.
TEST_P(ShippedIdentificationList, KeywordsAreNonEmptyAndShort) {
    for (int i = 0; i < Named(); ++i)
        for (int k = 0; k < m_list.GetNumKeywords(i); ++k) {
            const std::string key = m_list.GetKeyword(i, k);
            EXPECT_FALSE(key.empty()) << m_list.GetElemName(i) << " keyword " << k;
            EXPECT_LE(key.size(), 255u) << key;
        }
}

// Matching ignores case and takes the first keyword found, so a keyword that contains an
// earlier one can never decide anything: the earlier one always matches first. The order of the
// file is then wrong. Within one entry a second capitalisation of a keyword is allowed (a spider
// filter in a case-sensitive analysis needs it).
TEST_P(ShippedIdentificationList, NoKeywordIsHiddenByAnEarlierOne) {
    struct Seen {
        std::string key;
        int entry;
    };
    std::vector<Seen> seen;
    for (int i = 0; i < Named(); ++i)
        for (int k = 0; k < m_list.GetNumKeywords(i); ++k) {
            const std::string key = m_list.GetKeyword(i, k);
            for (const Seen& s : seen) {
                const bool hidden = Lower(key).find(Lower(s.key)) != std::string::npos;
                const bool caseVariant = s.entry == i && key.find(s.key) == std::string::npos;
                EXPECT_FALSE(hidden && !caseVariant)
                    << "\"" << key << "\" of " << m_list.GetElemName(i) << " is hidden by \""
                    << s.key << "\" of " << m_list.GetElemName(s.entry);
            }
            seen.push_back({key, i});
        }
}

INSTANTIATE_TEST_SUITE_P(Lists, ShippedIdentificationList,
                         ::testing::Values(GenericFile{"browser.xml", "BROWSER", "Browser", 60},
                                           GenericFile{"spider.xml", "SPIDER", "Spiders", 150},
                                           GenericFile{"os.xml", "OS", "Os", 40}),
                         [](const auto& info) { return std::string(info.param.element); });

// ---------------------------------------------------------------------------------------------
// File types

TEST(ShippedFileTypes, EveryEntryIsALowerCaseExtensionOfAKnownType) {
    CFileTypeIdentification types;
    ASSERT_TRUE(types.LoadXML(DataFile("filetypeidentification.xml").c_str()));
    ASSERT_GE(types.GetNumEntries(), 50);
    std::set<std::string> extensions;
    for (int i = 0; i < types.GetNumEntries(); ++i) {
        const std::string ext = types.GetExtension(i), type = types.GetPageType(i);
        EXPECT_TRUE(type == "PAGE" || type == "IMAGE" || type == "MISCWEB") << ext << " " << type;
        EXPECT_FALSE(ext.empty());
        EXPECT_EQ(ext, Lower(ext));
        EXPECT_EQ(ext.find('.'), std::string::npos) << ext;
        EXPECT_TRUE(extensions.insert(ext).second) << "duplicate extension " << ext;
    }
}

TEST(ShippedFileTypes, ClassifiesTheExtensionsOfTodaysSites) {
    CFileTypeIdentification types;
    ASSERT_TRUE(types.LoadXML(DataFile("filetypeidentification.xml").c_str()));
    std::map<std::string, std::string> byExtension;
    for (int i = 0; i < types.GetNumEntries(); ++i)
        byExtension[types.GetExtension(i)] = types.GetPageType(i);
    const std::map<std::string, std::vector<const char*>> expected = {
        {"PAGE",
         {"html", "htm", "shtml", "xhtml", "php", "asp", "aspx", "jsp", "cfm", "cgi", "pl", "nsf"}},
        {"IMAGE", {"gif", "jpg", "jpeg", "png", "webp", "avif", "svg", "ico", "bmp"}},
        {"MISCWEB",
         {"css", "js", "mjs", "json", "xml", "rss", "woff", "woff2", "ttf", "map", "txt"}},
    };
    for (const auto& [type, list] : expected)
        for (const char* ext : list) EXPECT_EQ(byExtension[ext], type) << ext;
    // Downloads stay files.
    for (const char* ext : {"pdf", "zip", "exe", "mp4", "gz"})
        EXPECT_EQ(byExtension.count(ext), 0u) << ext;
}

// ---------------------------------------------------------------------------------------------
// Settings

using logvane::test::kSettingsElements;

TEST(ShippedSettings, GivesExactlyTheDocumentedDefaults) {
    ScopedHome home;
    CSettings s;
    s.LoadXML(DataFile("settings.xml").c_str());
    // The file names no project folder, so every user gets one in their own documents folder.
    logvane::test::ExpectDocumentedDefaults(s, UrlAddLocalFile(GetHomeDir(), "Logvane Projects"));

    // Field by field the same as a missing file, which takes every default: both save alike.
    CSettings missing;
    missing.LoadXML((home.path() / "no-such-settings.xml").c_str());
    const std::string shippedCopy = (home.path() / "shipped.xml").string();
    const std::string defaultsCopy = (home.path() / "defaults.xml").string();
    ASSERT_TRUE(s.SaveXML(shippedCopy.c_str()));
    ASSERT_TRUE(missing.SaveXML(defaultsCopy.c_str()));
    EXPECT_EQ(ReadFile(shippedCopy), ReadFile(defaultsCopy));
}

// The reader scans forward, so an element out of order would silently read as its default.
TEST(ShippedSettings, ElementsStandInTheOrderTheReaderScans) {
    std::vector<std::string> expected = kSettingsElements;
    expected.erase(std::find(expected.begin(), expected.end(), "PROJECTFOLDER"));
    EXPECT_EQ(ChildTags("settings.xml"), expected);
}

// ---------------------------------------------------------------------------------------------
// Styles

// The report IDs of the report catalogue that a style may include.
const std::set<std::string> kReportIds = {"GS",
                                          "DN",
                                          "GA",
                                          "VWB",
                                          "VOS",
                                          "SSP",
                                          "AU",
                                          "PAGETYPESHITS",
                                          "PAGETYPESBANDW",
                                          "MRRR",
                                          "MRQP",
                                          "MPOPFILES",
                                          "MPOPIMGS",
                                          "MPOPMISCWEB",
                                          "MRQDIR",
                                          "LEASTMRRR",
                                          "LEASTMRQP",
                                          "LEASTMPOPFILES",
                                          "LEASTMPOPIMGS",
                                          "LEASTMPOPMISCWEB",
                                          "LEASTMRQDIR",
                                          "HITSDAY",
                                          "BANDWIDTHDAY",
                                          "PVDAY",
                                          "VISITORSDAY",
                                          "DOWHIST",
                                          "HOURSHITS",
                                          "QS",
                                          "REFOR",
                                          "REFD",
                                          "REFP",
                                          "INDIVPR",
                                          "SEARCHPERF",
                                          "SEARCHKEY",
                                          "SEARCHENGINEPHRASES",
                                          "404ERR",
                                          "404PR",
                                          "MISCERR"};

TEST(ShippedStyles, OffersBasicStylesAndOneAdvancedStyleWithItsFiles) {
    CStyles styles;
    ASSERT_TRUE(styles.LoadXML(DataFile("styles.xml").c_str()));
    ASSERT_GE(styles.GetNumStyles(), 3);
    std::set<std::string> names;
    int basic = 0, advanced = 0;
    for (int i = 0; i < styles.GetNumStyles(); ++i) {
        const CStyle& s = *styles.GetStyle(i);
        EXPECT_TRUE(names.insert(Lower(s.GetName())).second) << "duplicate style " << s.GetName();
        EXPECT_GT(s.GetNumReports(), 0) << s.GetName();
        for (int r = 0; r < s.GetNumReports(); ++r)
            EXPECT_TRUE(kReportIds.count(s.GetReport(r))) << s.GetReport(r);
        if (s.GetStyleType() == CStyle::basic) {
            ++basic;
            continue;
        }
        ++advanced;
        for (const std::string& file : {s.GetStyleFile(), s.GetHeaderFile(), s.GetFooterFile()}) {
            ASSERT_FALSE(file.empty()) << s.GetName();
            EXPECT_TRUE(std::filesystem::is_regular_file(DataFile(file))) << file;
        }
    }
    EXPECT_GE(basic, 2);
    EXPECT_GE(advanced, 1);
    // A project whose export names the default style finds it (names compare without case).
    EXPECT_TRUE(names.count("default"));
}

// An unknown colour-style ID is skipped silently by the reader; every style must set all seven.
TEST(ShippedStyles, EveryStyleSetsAllSevenColourStyles) {
    CMarkup doc;
    ASSERT_TRUE(doc.Load(DataFile("styles.xml")));
    ASSERT_TRUE(doc.FindElem("STYLES"));
    doc.IntoElem();
    int styles = 0;
    while (doc.FindElem("STYLE")) {
        ++styles;
        std::vector<std::string> ids;
        while (doc.FindChildElem("COLORSTYLE")) ids.push_back(doc.GetChildAttrib("ID"));
        EXPECT_EQ(ids, (std::vector<std::string>{"ReportName", "ReportList", "Table1", "Table2",
                                                 "TableHeader", "Description", "ReportLinks"}))
            << doc.GetAttrib("name");
    }
    EXPECT_GE(styles, 3);
}

// Text and background of each part differ, so nothing exported is unreadable.
TEST(ShippedStyles, NoPartHasItsTextInItsBackgroundColour) {
    CStyles styles;
    ASSERT_TRUE(styles.LoadXML(DataFile("styles.xml").c_str()));
    for (int i = 0; i < styles.GetNumStyles(); ++i) {
        const CStyle& s = *styles.GetStyle(i);
        for (const CColorStyle& c :
             {s.GetStyleReportName(), s.GetStyleReportList(), s.GetStyleTable1(),
              s.GetStyleTable2(), s.GetStyleTableHeader(), s.GetStyleDescription(),
              s.GetStyleReportLinks()}) {
            EXPECT_NE(c.GetFontColor(), c.GetBgColor()) << s.GetName();
            EXPECT_GT(c.GetSize(), 0);
            EXPECT_FALSE(c.GetFontName().empty());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Global filters

TEST(ShippedGlobalFilters, HoldNoFilterButAWorkingExample) {
    CFilterInformation filters;
    EXPECT_TRUE(filters.LoadXML(DataFile("globalfilters.xml").c_str()));
    EXPECT_EQ(filters.GetNumFilters(), 0);

    // The example in the file's comment, once uncommented, is a valid filter.
    const std::string text = ReadFile(DataFile("globalfilters.xml"));
    const size_t begin = text.find("<FILTER>"), end = text.find("</FILTER>");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const std::string wrapped = "<FILTERS>" + text.substr(begin, end + 9 - begin) + "</FILTERS>";
    CMarkup example(wrapped.c_str());
    ASSERT_TRUE(example.FindElem("FILTERS"));
    CFilterInformation parsed;
    parsed.LoadXML(example);
    ASSERT_EQ(parsed.GetNumFilters(), 1);
    EXPECT_EQ(parsed.GetFilterInfo(0).includeType, filter_t::EXCLUDE);
    EXPECT_EQ(parsed.GetFilterInfo(0).infoType, filter_t::QUICKFILTER_SPIDERS);
}

// ---------------------------------------------------------------------------------------------
// Search engines

struct Engine {
    std::string name, domain;
    std::vector<std::string> keys;
};

std::vector<Engine> LoadEngines() {
    std::vector<Engine> engines;
    CMarkup doc;
    if (!doc.Load(DataFile("searchengines.xml")) || !doc.FindElem("SEARCHENGINES")) return engines;
    doc.IntoElem();
    while (doc.FindElem("ENGINE")) {
        Engine e{doc.GetAttrib("Name"), doc.GetAttrib("Domain"), {}};
        while (doc.FindChildElem("QUERYSTRING")) e.keys.push_back(doc.GetChildData());
        engines.push_back(e);
    }
    return engines;
}

// The engine's rule: the first engine whose domain occurs before the "?" (with case) and one of
// whose keys occurs after it; the phrase runs from the key to the next "&", URL-decoded.
bool MatchReferrer(const std::vector<Engine>& engines, const std::string& referrer,
                   std::string& name, std::string& phrase) {
    const size_t question = referrer.find('?');
    if (question == std::string::npos) return false;
    const std::string query = referrer.substr(question + 1);
    for (const Engine& e : engines) {
        if (referrer.substr(0, question).find(e.domain) == std::string::npos) continue;
        for (const std::string& key : e.keys) {
            const size_t at = query.find(key);
            if (at == std::string::npos) continue;
            const size_t start = at + key.size();
            phrase = UrlDecode(query.substr(start, query.find('&', start) - start));
            name = e.name;
            return true;
        }
    }
    return false;
}

TEST(ShippedSearchEngines, EveryEngineHasANameADomainAndQueryKeys) {
    const std::vector<Engine> engines = LoadEngines();
    ASSERT_GE(engines.size(), 50u);
    std::set<std::string> domains;
    for (const Engine& e : engines) {
        EXPECT_FALSE(e.name.empty());
        EXPECT_GE(e.domain.size(), 4u) << e.name;
        EXPECT_TRUE(domains.insert(e.domain).second) << "duplicate domain " << e.domain;
        ASSERT_FALSE(e.keys.empty()) << e.name;
        for (const std::string& key : e.keys) EXPECT_EQ(key.back(), '=') << e.name << " " << key;
    }
}

struct ReferrerCase {
    const char* referrer;
    const char* engine;
    const char* phrase;
};

class ShippedSearchEngineReferrers : public ::testing::TestWithParam<ReferrerCase> {};

TEST_P(ShippedSearchEngineReferrers, NameTheEngineAndThePhrase) {
    static const std::vector<Engine> engines = LoadEngines();
    std::string name, phrase;
    const ReferrerCase& c = GetParam();
    if (!c.engine) {
        EXPECT_FALSE(MatchReferrer(engines, c.referrer, name, phrase)) << name;
        return;
    }
    ASSERT_TRUE(MatchReferrer(engines, c.referrer, name, phrase)) << c.referrer;
    EXPECT_EQ(name, c.engine);
    EXPECT_EQ(phrase, c.phrase);
}

INSTANTIATE_TEST_SUITE_P(
    Referrers, ShippedSearchEngineReferrers,
    ::testing::Values(
        ReferrerCase{"https://www.google.com/search?q=web+log+analysis&client=firefox-b-d",
                     "Google", "web log analysis"},
        // "aq=" and "oq=" stand before the real "q=": the "&q=" key comes first.
        ReferrerCase{"http://www.google.de/search?hl=de&aq=f&oq=x&q=apache+logs", "Google",
                     "apache logs"},
        ReferrerCase{"https://www.google.co.uk/url?sa=t&q=&url=https%3A%2F%2Fexample.org", "Google",
                     ""},
        ReferrerCase{"https://www.bing.com/search?q=access%20log&form=QBLH", "Bing", "access log"},
        ReferrerCase{"https://search.yahoo.com/search?fr=yfp&p=log+viewer", "Yahoo!", "log viewer"},
        ReferrerCase{"https://search.yahoo.co.jp/search?p=%E3%83%AD%E3%82%B0", "Yahoo! Japan",
                     "\xE3\x83\xAD\xE3\x82\xB0"},
        ReferrerCase{"https://duckduckgo.com/?q=goaccess+alternative&t=h_", "DuckDuckGo",
                     "goaccess alternative"},
        ReferrerCase{"https://www.baidu.com/s?ie=utf-8&wd=nginx", "Baidu", "nginx"},
        ReferrerCase{"https://yandex.ru/search/?text=%D0%BB%D0%BE%D0%B3&lr=213", "Yandex",
                     "\xD0\xBB\xD0\xBE\xD0\xB3"},
        ReferrerCase{"https://ya.ru/search/?text=iis", "Yandex", "iis"},
        ReferrerCase{"https://www.ecosia.org/search?method=index&q=tree+logs", "Ecosia",
                     "tree logs"},
        ReferrerCase{"https://www.qwant.com/?q=statistiques&t=web", "Qwant", "statistiques"},
        ReferrerCase{"https://www.startpage.com/do/search?query=privacy", "Startpage", "privacy"},
        ReferrerCase{"https://search.brave.com/search?q=brave&source=web", "Brave Search", "brave"},
        ReferrerCase{"https://search.naver.com/search.naver?where=nexearch&query=seoul", "Naver",
                     "seoul"},
        ReferrerCase{"https://search.seznam.cz/?q=praha", "Seznam", "praha"},
        ReferrerCase{"https://search.aol.com/aol/search?q=dial+up", "AOL Search", "dial up"},
        ReferrerCase{"https://www.ask.com/web?q=who+am+i", "Ask", "who am i"},
        ReferrerCase{"http://www.altavista.com/web/results?q=babel+fish", "AltaVista",
                     "babel fish"},
        ReferrerCase{"http://search.msn.com/results.aspx?q=msn", "MSN Search", "msn"},
        // Not searches.
        ReferrerCase{"https://www.google.com/", nullptr, nullptr},
        ReferrerCase{"https://www.example.com/page?q=1", nullptr, nullptr},
        ReferrerCase{"https://www.lego.com/en-us/search?q=bricks", nullptr, nullptr},
        ReferrerCase{"https://www.example.com/?from=www.google.com&q=x", nullptr, nullptr}));

// ---------------------------------------------------------------------------------------------
// Domain suffixes

TEST(ShippedSuffixes, CoverEveryCountryAndTheGenericDomains) {
    CMarkup doc;
    ASSERT_TRUE(doc.Load(DataFile("suffixdata.xml")));
    ASSERT_TRUE(doc.FindElem("SUFFIXDATA"));
    doc.IntoElem();
    std::map<std::string, std::string> countries;
    while (doc.FindElem("COUNTRY")) {
        const std::string suffix = doc.GetAttrib("suffix"), name = doc.GetData();
        EXPECT_FALSE(name.empty()) << suffix;
        ASSERT_FALSE(suffix.empty());
        EXPECT_TRUE(std::all_of(suffix.begin(), suffix.end(), [](char c) {
            return c >= 'a' && c <= 'z';
        })) << suffix;
        EXPECT_TRUE(countries.emplace(suffix, name).second) << "duplicate suffix " << suffix;
    }
    int twoLetter = 0;
    for (const auto& [suffix, name] : countries) twoLetter += suffix.size() == 2;
    EXPECT_GE(twoLetter, 249);  // every ISO 3166 code, plus uk, eu, ac and retired ones
    EXPECT_EQ(countries["de"], "Germany");
    EXPECT_EQ(countries["uk"], "United Kingdom");
    EXPECT_EQ(countries["gb"], "United Kingdom");
    EXPECT_EQ(countries["jp"], "Japan");
    EXPECT_EQ(countries["ci"], "Cote d'Ivoire");
    for (const char* generic :
         {"com", "net", "org", "edu", "gov", "mil", "int", "arpa", "info", "biz"})
        EXPECT_TRUE(countries.count(generic)) << generic;
}

}  // namespace
