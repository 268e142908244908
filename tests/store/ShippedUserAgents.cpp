// Measures how well the shipped spider, browser and operating-system lists classify real user
// agents. The agents and their expected categories are in tests/data/useragents/labelled.tsv;
// the lists are read through CGenericInformation and matched the way the engine matches them:
// categories in file order, keywords in order, the first keyword found anywhere in the agent
// (without regard to case) wins, and the catch-all entry counts what matched nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "store/ident/GenericInformation.h"

namespace {

std::string DataFile(const char* name) {
    return std::string(LOGVANE_TEST_DATA_DIR "/../../data/") + name;
}

struct LabelledAgent {
    std::string agent, browser, os, source;
    bool spider = false;
};

std::vector<LabelledAgent> LoadLabelledAgents() {
    std::vector<LabelledAgent> rows;
    std::ifstream in(LOGVANE_TEST_DATA_DIR "/useragents/labelled.tsv", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
        if (f.size() != 5) {
            ADD_FAILURE() << "malformed line: " << line;
            continue;
        }
        rows.push_back({f[0], f[1], f[2], f[4], f[3] == "yes"});
    }
    return rows;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A loaded identification list with the engine's first-match rule over it.
class Classifier {
public:
    Classifier(const char* element, const char* label, const char* file) : m_list(element, label) {
        m_loaded = m_list.LoadXML(DataFile(file).c_str());
        for (int i = 0; i + 1 < m_list.GetNumElems(); ++i) {
            std::vector<std::string> keys;
            for (int k = 0; k < m_list.GetNumKeywords(i); ++k)
                keys.push_back(Upper(m_list.GetKeyword(i, k)));
            m_keywords.push_back(std::move(keys));
        }
    }
    bool Loaded() const { return m_loaded; }
    // Index of the matching category, -1 when none matches.
    int Match(const std::string& agent) const {
        const std::string text = Upper(agent);
        for (size_t i = 0; i < m_keywords.size(); ++i)
            for (const std::string& key : m_keywords[i])
                if (text.find(key) != std::string::npos) return static_cast<int>(i);
        return -1;
    }
    // The matching category's name, or the catch-all's.
    std::string Name(const std::string& agent) const {
        const int i = Match(agent);
        return m_list.GetElemName(i < 0 ? m_list.GetNumElems() - 1 : i);
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (int i = 0; i < m_list.GetNumElems(); ++i) names.insert(m_list.GetElemName(i));
        return names;
    }
    const CGenericInformation& List() const { return m_list; }

private:
    CGenericInformation m_list;
    std::vector<std::vector<std::string>> m_keywords;
    bool m_loaded = false;
};

class ShippedUserAgents : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_agents = new std::vector<LabelledAgent>(LoadLabelledAgents());
    }
    static void TearDownTestSuite() {
        delete s_agents;
        s_agents = nullptr;
    }
    static const std::vector<LabelledAgent>& Agents() { return *s_agents; }

    Classifier m_spiders{"SPIDER", "Spiders", "spider.xml"};
    Classifier m_browsers{"BROWSER", "Browser", "browser.xml"};
    Classifier m_oses{"OS", "Os", "os.xml"};

private:
    static std::vector<LabelledAgent>* s_agents;
};
std::vector<LabelledAgent>* ShippedUserAgents::s_agents = nullptr;

TEST_F(ShippedUserAgents, LabelledSetIsLargeDistinctAndMixed) {
    std::set<std::string> distinct;
    int spiders = 0, fromLogs = 0;
    for (const LabelledAgent& a : Agents()) {
        distinct.insert(a.agent);
        spiders += a.spider;
        fromLogs += a.source.rfind("corpus/", 0) == 0;
    }
    EXPECT_EQ(distinct.size(), Agents().size()) << "an agent is listed twice";
    EXPECT_GE(Agents().size(), 300u);
    EXPECT_GE(spiders, 100);
    EXPECT_GE(fromLogs, 150);
}

// A typo in a label would otherwise show up as a classification error.
TEST_F(ShippedUserAgents, LabelsNameCategoriesOfTheLists) {
    const std::set<std::string> browsers = m_browsers.Names(), oses = m_oses.Names();
    for (const LabelledAgent& a : Agents()) {
        if (a.spider) {
            EXPECT_EQ(a.browser, "-") << a.agent;
            EXPECT_EQ(a.os, "-") << a.agent;
            continue;
        }
        EXPECT_TRUE(browsers.count(a.browser)) << "unknown browser label " << a.browser;
        EXPECT_TRUE(oses.count(a.os)) << "unknown OS label " << a.os;
    }
}

TEST_F(ShippedUserAgents, NoBrowserIsTakenForASpider) {
    ASSERT_TRUE(m_spiders.Loaded());
    for (const LabelledAgent& a : Agents())
        if (!a.spider) {
            const int i = m_spiders.Match(a.agent);
            EXPECT_EQ(i, -1) << a.agent << " taken for spider " << m_spiders.List().GetElemName(i);
        }
}

// A bare "libwww" is a library, but no substring rule can tell it from the "libwww-FM" token
// that every Lynx browser sends; it is the one robot the lists let through.
TEST_F(ShippedUserAgents, EverySpiderIsRecognised) {
    const std::set<std::string> knownMisses = {"libwww"};
    for (const LabelledAgent& a : Agents())
        if (a.spider && !knownMisses.count(a.agent)) {
            EXPECT_GE(m_spiders.Match(a.agent), 0) << a.agent << " (" << a.source << ")";
        }
}

TEST_F(ShippedUserAgents, BrowsersAndSystemsAreClassifiedCorrectly) {
    ASSERT_TRUE(m_browsers.Loaded());
    ASSERT_TRUE(m_oses.Loaded());
    int people = 0, browserRight = 0, osRight = 0;
    for (const LabelledAgent& a : Agents()) {
        if (a.spider || m_spiders.Match(a.agent) >= 0) continue;
        ++people;
        const std::string browser = m_browsers.Name(a.agent), os = m_oses.Name(a.agent);
        browserRight += browser == a.browser;
        osRight += os == a.os;
        if (browser != a.browser)
            std::printf("browser %s, expected %s: %s\n", browser.c_str(), a.browser.c_str(),
                        a.agent.c_str());
        if (os != a.os)
            std::printf("OS %s, expected %s: %s\n", os.c_str(), a.os.c_str(), a.agent.c_str());
    }
    ASSERT_GT(people, 0);
    const double browserShare = 100.0 * browserRight / people, osShare = 100.0 * osRight / people;
    std::printf("%d browser agents: browser %.1f%% correct, OS %.1f%% correct\n", people,
                browserShare, osShare);
    RecordProperty("BrowserPercentCorrect", std::to_string(browserShare));
    RecordProperty("OsPercentCorrect", std::to_string(osShare));
    EXPECT_GE(browserShare, 97.0);
    EXPECT_GE(osShare, 97.0);
}

// A case-insensitive analysis lower-cases every agent before it is classified.
TEST_F(ShippedUserAgents, LowerCasedAgentsGetTheSameCategories) {
    for (const LabelledAgent& a : Agents()) {
        const std::string low = Lower(a.agent);
        ASSERT_EQ(m_spiders.Match(low), m_spiders.Match(a.agent)) << a.agent;
        if (m_spiders.Match(a.agent) >= 0) continue;
        EXPECT_EQ(m_browsers.Name(low), m_browsers.Name(a.agent)) << a.agent;
        EXPECT_EQ(m_oses.Name(low), m_oses.Name(a.agent)) << a.agent;
    }
}

// The "all search engine spiders" quick filter becomes one substring filter per spider keyword,
// compared case-sensitively in a case-sensitive analysis: it should exclude the same agents as
// the spider report counts.
TEST_F(ShippedUserAgents, SpiderFilterKeywordsCatchWhatTheSpiderListCounts) {
    const CGenericInformation& list = m_spiders.List();
    std::vector<std::string> keywords;
    for (int i = 0; i < list.GetNumElems(); ++i)
        for (int k = 0; k < list.GetNumKeywords(i); ++k) keywords.push_back(list.GetKeyword(i, k));
    for (const LabelledAgent& a : Agents()) {
        if (m_spiders.Match(a.agent) < 0) continue;
        const bool caught =
            std::any_of(keywords.begin(), keywords.end(),
                        [&](const std::string& k) { return a.agent.find(k) != std::string::npos; });
        EXPECT_TRUE(caught) << a.agent;
    }
}

}  // namespace
