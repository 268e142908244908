#include "store/settings/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "support/SettingsDefaults.h"
#include "support/TempDir.h"
#include "utility/Markup.h"

using logvane::test::ReadFile;
using logvane::test::ScopedHome;
using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {

const std::string kData = std::string(LOGVANE_TEST_DATA_DIR) + "/settings/";

// Expects every field at its documented default; the project folder lies under `home`.
void ExpectDefaults(const CSettings& s, const std::string& home) {
    logvane::test::ExpectDocumentedDefaults(s, home + "/Documents/Logvane Projects");
}

// Every field away from its default.
CSettings NonDefault() {
    CSettings s;
    s.SetEuropeanFormat(true);
    s.SetAndIncludeFilters(false);
    s.SetAndExcludeFilters(true);
    s.SetCaseSensitive(false);
    s.SetNumRecentDomainItems(7);
    s.SetDoNotDisplayPound(false);
    s.SetDoNotDisplayQuestionMark(false);
    s.SetRemoveFirstDot(true);
    s.SetWhenLookupTooOld(21);
    s.SetWhenBadLookupTooOld(3);
    s.SetTimeOffset(-11);
    s.SetPassiveFTP(true);
    s.SetProxyEnabled(true);
    s.SetProxyServerName("proxy.<lan>&\"co\":8080");
    s.SetAllowHTViewFiles(false);
    s.SetAllowHTViewImages(true);
    s.SetAllowHTViewPages(false);
    s.SetAllowHTViewReferrer(false);
    s.SetPrefilterDNSLookup(false);
    s.SetIp2Country(false);
    s.SetNumDNSThreads(4);
    s.SetNumTruncateReports(500);
    s.SetNumTruncateExporting(77);
    s.SetProjectFolder("/srv/M\xFCller's projects");
    s.SetDefaultLogfileType(logfiletype_t::ELFEND);
    return s;
}

class SettingsTest : public testing::Test {
protected:
    std::string Home() const { return m_home.path().string(); }
    CSettings Load(const std::string& path) {
        CSettings s = NonDefault();
        s.LoadXML(path.c_str());
        return s;
    }

    ScopedHome m_home;
    TempDir m_dir;
};

TEST_F(SettingsTest, NewObjectHoldsTheDefaults) { ExpectDefaults(CSettings(), Home()); }

TEST_F(SettingsTest, MissingFileGivesDefaultsOverEarlierValues) {
    ExpectDefaults(Load(m_dir.file("missing.xml")), Home());
}

TEST_F(SettingsTest, MalformedFilesGiveDefaults) {
    ExpectDefaults(Load(kData + "truncated.xml"), Home());
    WriteFile(m_dir.file("other.xml"), "<STYLES><EUROPEANFORMAT>TRUE</EUROPEANFORMAT></STYLES>");
    ExpectDefaults(Load(m_dir.file("other.xml")), Home());
    WriteFile(m_dir.file("binary.xml"), std::string("\x00\xFF\xFEgarbage", 10));
    ExpectDefaults(Load(m_dir.file("binary.xml")), Home());
    WriteFile(m_dir.file("empty.xml"), "");
    ExpectDefaults(Load(m_dir.file("empty.xml")), Home());
}

TEST_F(SettingsTest, RoundTripKeepsEveryField) {
    const std::string path = m_dir.file("settings.xml");
    ASSERT_TRUE(NonDefault().SaveXML(path.c_str()));
    CSettings back;
    back.LoadXML(path.c_str());
    const CSettings want = NonDefault();
    EXPECT_EQ(back.GetEuropeanFormat(), want.GetEuropeanFormat());
    EXPECT_EQ(back.GetAndIncludeFilters(), want.GetAndIncludeFilters());
    EXPECT_EQ(back.GetAndExcludeFilters(), want.GetAndExcludeFilters());
    EXPECT_EQ(back.GetCaseSensitive(), want.GetCaseSensitive());
    EXPECT_EQ(back.GetNumRecentDomainItems(), want.GetNumRecentDomainItems());
    EXPECT_EQ(back.GetDoNotDisplayPound(), want.GetDoNotDisplayPound());
    EXPECT_EQ(back.GetDoNotDisplayQuestionMark(), want.GetDoNotDisplayQuestionMark());
    EXPECT_EQ(back.GetRemoveFirstDot(), want.GetRemoveFirstDot());
    EXPECT_EQ(back.GetWhenLookupTooOld(), want.GetWhenLookupTooOld());
    EXPECT_EQ(back.GetWhenBadLookupTooOld(), want.GetWhenBadLookupTooOld());
    EXPECT_EQ(back.GetTimeOffset(), want.GetTimeOffset());
    EXPECT_EQ(back.GetPassiveFTP(), want.GetPassiveFTP());
    EXPECT_EQ(back.GetProxyEnabled(), want.GetProxyEnabled());
    EXPECT_EQ(back.GetProxyServerName(), want.GetProxyServerName());
    EXPECT_EQ(back.GetAllowHTViewFiles(), want.GetAllowHTViewFiles());
    EXPECT_EQ(back.GetAllowHTViewImages(), want.GetAllowHTViewImages());
    EXPECT_EQ(back.GetAllowHTViewPages(), want.GetAllowHTViewPages());
    EXPECT_EQ(back.GetAllowHTViewReferrer(), want.GetAllowHTViewReferrer());
    EXPECT_EQ(back.GetPrefilterDNSLookup(), want.GetPrefilterDNSLookup());
    EXPECT_EQ(back.GetIp2Country(), want.GetIp2Country());
    EXPECT_EQ(back.GetNumDNSThreads(), want.GetNumDNSThreads());
    EXPECT_EQ(back.GetNumTruncateReports(), want.GetNumTruncateReports());
    EXPECT_EQ(back.GetNumTruncateExporting(), want.GetNumTruncateExporting());
    EXPECT_EQ(back.GetProjectFolder(), want.GetProjectFolder());
    EXPECT_EQ(back.GetDefaultLogfileType(), want.GetDefaultLogfileType());
}

TEST_F(SettingsTest, WritesAllElementsInFileOrder) {
    const std::string path = m_dir.file("settings.xml");
    ASSERT_TRUE(CSettings().SaveXML(path.c_str()));
    CMarkup xml;
    ASSERT_TRUE(xml.Load(path));
    ASSERT_TRUE(xml.FindElem("SETTINGS"));
    EXPECT_EQ(xml.GetAttrib("version"), "1");
    EXPECT_TRUE(std::regex_match(xml.GetAttrib("date"), std::regex(R"(\d\d/\d\d/\d{4})")));
    std::vector<std::string> tags, data;
    while (xml.FindChildElem()) {
        tags.push_back(xml.GetChildTagName());
        data.push_back(xml.GetChildData());
    }
    const std::vector<std::string>& want = logvane::test::kSettingsElements;
    EXPECT_EQ(tags, want);
    ASSERT_EQ(data.size(), 25u);
    EXPECT_EQ(data[0], "FALSE");
    EXPECT_EQ(data[1], "TRUE");
    EXPECT_EQ(data[4], "30");
    EXPECT_EQ(data[13], "");
    EXPECT_EQ(data[24], "AUTO");
}

TEST_F(SettingsTest, ElementsBeforeOneReadEarlierAreNotFound) {
    const CSettings s = Load(kData + "reordered.xml");
    EXPECT_TRUE(s.GetEuropeanFormat()) << "\"True\" reads as true";
    EXPECT_FALSE(s.GetAndIncludeFilters()) << "\"1\" is not true";
    EXPECT_EQ(s.GetWhenLookupTooOld(), 42);
    EXPECT_EQ(s.GetWhenBadLookupTooOld(), 7);
    EXPECT_EQ(s.GetTimeOffset(), 0) << "stands before WHENLOOKUPTOOOLD";
    EXPECT_EQ(s.GetNumTruncateReports(), 250);
    EXPECT_EQ(s.GetNumTruncateExporting(), 55) << "only the NUN spelling counts";
    EXPECT_EQ(s.GetDefaultLogfileType(), logfiletype_t::ELFBEG);
    EXPECT_TRUE(s.GetCaseSensitive()) << "absent: default";
}

struct ValueCase {
    const char* element;
    const char* data;
    int number;  // expected GetTimeOffset, or 1/0 for EUROPEANFORMAT
};

class SettingsValue : public testing::TestWithParam<ValueCase> {
protected:
    ScopedHome m_home;
    TempDir m_dir;
};

TEST_P(SettingsValue, ConvertsLikeAtoiAndCaseFreeTrue) {
    const ValueCase& c = GetParam();
    const std::string path = m_dir.file("s.xml");
    WriteFile(path, std::string("<SETTINGS><") + c.element + ">" + c.data + "</" + c.element +
                        "></SETTINGS>");
    CSettings s;
    s.LoadXML(path.c_str());
    if (std::string(c.element) == "TIMEOFFSET")
        EXPECT_EQ(s.GetTimeOffset(), c.number) << c.data;
    else
        EXPECT_EQ(s.GetEuropeanFormat(), c.number != 0) << c.data;
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, SettingsValue,
    testing::Values(ValueCase{"TIMEOFFSET", "-3", -3}, ValueCase{"TIMEOFFSET", "12abc", 12},
                    ValueCase{"TIMEOFFSET", "abc", 0}, ValueCase{"TIMEOFFSET", "  +4", 4},
                    ValueCase{"TIMEOFFSET", "", 0}, ValueCase{"EUROPEANFORMAT", "TRUE", 1},
                    ValueCase{"EUROPEANFORMAT", "tRuE", 1}, ValueCase{"EUROPEANFORMAT", "1", 0},
                    ValueCase{"EUROPEANFORMAT", "yes", 0}, ValueCase{"EUROPEANFORMAT", "truer", 0},
                    ValueCase{"EUROPEANFORMAT", "", 0}));

class DefaultLogType : public testing::TestWithParam<std::pair<const char*, logfiletype_t>> {
protected:
    ScopedHome m_home;
    TempDir m_dir;
};

TEST_P(DefaultLogType, ReadsShortFormsInAnyCase) {
    const std::string path = m_dir.file("s.xml");
    WriteFile(path, std::string("<SETTINGS><DEFAULTLOGFILETYPE>") + GetParam().first +
                        "</DEFAULTLOGFILETYPE></SETTINGS>");
    CSettings s;
    s.SetDefaultLogfileType(logfiletype_t::CLF);
    s.LoadXML(path.c_str());
    EXPECT_EQ(s.GetDefaultLogfileType(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Forms, DefaultLogType,
                         testing::Values(std::make_pair("AUTO", logfiletype_t::AUTO),
                                         std::make_pair("clf", logfiletype_t::CLF),
                                         std::make_pair("Elf", logfiletype_t::ELF),
                                         std::make_pair("W3C", logfiletype_t::W3C),
                                         std::make_pair("domino", logfiletype_t::DOMINO),
                                         std::make_pair("ELFEND", logfiletype_t::ELFEND),
                                         std::make_pair("ELFBEG", logfiletype_t::ELFBEG),
                                         // unknown texts mean "detect it"
                                         std::make_pair("NCSA Common Format", logfiletype_t::AUTO),
                                         std::make_pair("XYZ", logfiletype_t::AUTO),
                                         std::make_pair("", logfiletype_t::AUTO)));

TEST_F(SettingsTest, FormatWithoutTextFormIsWrittenAsAuto) {
    const std::string path = m_dir.file("s.xml");
    CSettings s;
    s.SetDefaultLogfileType(logfiletype_t::SPARSE);
    ASSERT_TRUE(s.SaveXML(path.c_str()));
    EXPECT_NE(ReadFile(path).find("<DEFAULTLOGFILETYPE>AUTO</DEFAULTLOGFILETYPE>"),
              std::string::npos);
}

TEST_F(SettingsTest, SaveReportsFailureAndKeepsTheOldFile) {
    EXPECT_FALSE(CSettings().SaveXML(m_dir.file("no/such/folder/s.xml").c_str()));
    EXPECT_FALSE(CSettings().SaveXML(nullptr));
    const std::string path = m_dir.file("s.xml");
    ASSERT_TRUE(NonDefault().SaveXML(path.c_str()));
    const std::string before = ReadFile(path);
    if (geteuid() != 0) {
        chmod(m_dir.path().c_str(), 0500);
        EXPECT_FALSE(CSettings().SaveXML(path.c_str()));
        chmod(m_dir.path().c_str(), 0700);
        EXPECT_EQ(ReadFile(path), before);
    }
}

}  // namespace
