#include "store/project/LogfileType.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

struct NameCase {
    logfiletype_t type;
    const char* shortName;
    const char* displayName;
};

class LogfileTypeNames : public testing::TestWithParam<NameCase> {};

TEST_P(LogfileTypeNames, BothTextFormsRoundTrip) {
    const NameCase& c = GetParam();
    EXPECT_EQ(ConvertLogfileTypeToString(c.type), c.displayName);
    EXPECT_EQ(ConvertStringToLogfileType(c.displayName), c.type);
    EXPECT_EQ(LogfileTypeToShortName(c.type), c.shortName);
    logfiletype_t read = logfiletype_t::SPARSE;
    EXPECT_TRUE(ShortNameToLogfileType(c.shortName, read));
    EXPECT_EQ(read, c.type);
}

TEST_P(LogfileTypeNames, MatchingIgnoresCase) {
    const NameCase& c = GetParam();
    std::string lower = c.displayName, shortLower = c.shortName;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (char& ch : shortLower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(ConvertStringToLogfileType(lower), c.type);
    logfiletype_t read = logfiletype_t::SPARSE;
    EXPECT_TRUE(ShortNameToLogfileType(shortLower, read));
    EXPECT_EQ(read, c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LogfileTypeNames,
    testing::Values(
        NameCase{logfiletype_t::AUTO, "AUTO", "Auto Detect"},
        NameCase{logfiletype_t::CLF, "CLF", "NCSA Common Format"},
        NameCase{logfiletype_t::ELFEND, "ELFEND", "NCSA Combined Format (Cookies at End)"},
        NameCase{logfiletype_t::ELFBEG, "ELFBEG", "NCSA Combined Format (Cookies at Beginning)"},
        NameCase{logfiletype_t::ELF, "ELF", "NCSA Combined Format (No Cookies)"},
        NameCase{logfiletype_t::W3C, "W3C", "W3C Extended Format (IIS)"},
        NameCase{logfiletype_t::DOMINO, "DOMINO", "*Domino Log Format"}));

TEST(LogfileType, NumericValuesAreStable) {
    EXPECT_EQ(static_cast<int>(logfiletype_t::CLF), 0);
    EXPECT_EQ(static_cast<int>(logfiletype_t::ELF), 1);
    EXPECT_EQ(static_cast<int>(logfiletype_t::W3C), 4);
    EXPECT_EQ(static_cast<int>(logfiletype_t::DOMINO), 8);
    EXPECT_EQ(static_cast<int>(logfiletype_t::AUTO), 9);
    EXPECT_EQ(static_cast<int>(logfiletype_t::ELFEND), 10);
    EXPECT_EQ(static_cast<int>(logfiletype_t::ELFBEG), 11);
}

TEST(LogfileType, DisplayListIsInDropDownOrder) {
    const logtype_t names = GetLogTypes();
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names.front(), "Auto Detect");
    EXPECT_EQ(names[2], "NCSA Combined Format (Cookies at End)");
    EXPECT_EQ(names.back(), "*Domino Log Format");
    for (const std::string& name : names)
        EXPECT_EQ(ConvertLogfileTypeToString(ConvertStringToLogfileType(name)), name);
}

TEST(LogfileType, FormsWithoutTextHaveEmptyNames) {
    for (int v : {2, 3, 5, 6, 7, 12, -1}) {
        const auto type = static_cast<logfiletype_t>(v);
        EXPECT_EQ(ConvertLogfileTypeToString(type), "") << v;
        EXPECT_EQ(LogfileTypeToShortName(type), "") << v;
    }
}

TEST(LogfileType, UnknownTextsAreNotGuessed) {
    EXPECT_EQ(ConvertStringToLogfileType("NCSA"), logfiletype_t::AUTO);
    EXPECT_EQ(ConvertStringToLogfileType("CLF"), logfiletype_t::AUTO) << "short form";
    EXPECT_EQ(ConvertStringToLogfileType(std::string("NCSA Common Format\0", 19)),
              logfiletype_t::AUTO);
    logfiletype_t type = logfiletype_t::W3C;
    EXPECT_FALSE(ShortNameToLogfileType("Auto Detect", type));
    EXPECT_FALSE(ShortNameToLogfileType("", type));
    EXPECT_FALSE(ShortNameToLogfileType(std::string("CLF\0", 4), type));
    EXPECT_EQ(type, logfiletype_t::W3C) << "left untouched";
}

TEST(EntryEnums, TextForms) {
    EXPECT_EQ(ImportTypeShortName(import_t::FTP), "FTP");
    EXPECT_EQ(ImportTypeShortName(import_t::LOCAL), "LOCAL");
    EXPECT_EQ(ImportTypeShortName(import_t::WEB), "WEB");
    EXPECT_EQ(ImportTypeShortName(static_cast<import_t>(3)), "");
    EXPECT_EQ(PathTypeShortName(file_t::DIR), "DIR");
    EXPECT_EQ(PathTypeShortName(file_t::FILE), "FILE");
    EXPECT_EQ(PathTypeShortName(file_t::WILDCARD), "WILDCARD");
    EXPECT_EQ(PathTypeShortName(static_cast<file_t>(-1)), "");
    EXPECT_EQ(static_cast<int>(import_t::LOCAL), 1);
    EXPECT_EQ(static_cast<int>(file_t::WILDCARD), 2);
}

}  // namespace
