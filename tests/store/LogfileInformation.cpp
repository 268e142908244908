#include "store/project/LogfileInformation.h"

#include <gtest/gtest.h>

#include "ProjectSamples.h"
#include "utility/Markup.h"

TEST(LogfileInformation, PathsOutOfRangeAndAppendingSetters) {
    CLogfileInformation e;
    EXPECT_EQ(e.SetPath(-1, "/a"), 0);
    EXPECT_EQ(e.SetPathFileType(0, file_t::WILDCARD), 0);
    EXPECT_EQ(e.SetPath(1, "/b"), 1);
    EXPECT_EQ(e.GetPath(5), "");
    EXPECT_EQ(e.GetPathFileType(5), file_t::DIR);
    EXPECT_EQ(e.GetPathFileType(1), file_t::DIR);
    EXPECT_EQ(e.SetPath(5, "/c"), 2);
    EXPECT_EQ(e.GetPath(2), "/c");
    EXPECT_EQ(e.SetPathFileType(9, file_t::FILE), 3);
    EXPECT_EQ(e.GetPath(3), "");
}

TEST(LogfileInformation, ConstructionAndClear) {
    CLogfileInformation e = logvane::test::SampleEntry(import_t::WEB, logfiletype_t::W3C, 4);
    e.Clear();
    EXPECT_EQ(e.GetNumPaths(), 0);
    EXPECT_EQ(e.GetImportType(), import_t::LOCAL);
    EXPECT_EQ(e.GetPortNum(), 0);
    EXPECT_EQ(e.GetServerName(), "");
    EXPECT_EQ(e.GetPassword(), "");
    EXPECT_FALSE(e.GetPasswordProtected());
    EXPECT_EQ(e.GetLogfileType(), logfiletype_t::AUTO);
    EXPECT_EQ(CLogfileInformation().GetPortNum(), 21);
    EXPECT_EQ(CLogfileInformation::ImportTypeToString(import_t::WEB), "WEB");
    EXPECT_EQ(CLogfileInformation::PathTypeToString(file_t::WILDCARD), "WILDCARD");
    EXPECT_EQ(CLogfileInformation::PathTypeToString(static_cast<file_t>(8)), "");
}

class LogfileFormats : public ::testing::TestWithParam<logfiletype_t> {};

TEST_P(LogfileFormats, EveryFormatWithAShortFormRoundTrips) {
    for (import_t import : {import_t::FTP, import_t::LOCAL, import_t::WEB}) {
        const CLogfileInformation original = logvane::test::SampleEntry(import, GetParam(), 7);
        CMarkup doc;
        original.SaveXML(doc);
        CMarkup reread(doc.GetDoc().c_str());
        reread.FindElem();
        CLogfileInformation loaded;
        loaded.LoadXML(reread);
        EXPECT_EQ(loaded, original);
    }
}

INSTANTIATE_TEST_SUITE_P(AllShortForms, LogfileFormats,
                         ::testing::Values(logfiletype_t::AUTO, logfiletype_t::CLF,
                                           logfiletype_t::ELF, logfiletype_t::W3C,
                                           logfiletype_t::DOMINO, logfiletype_t::ELFBEG,
                                           logfiletype_t::ELFEND));

TEST(LogfileInformation, ReadsNothingFromAnotherElement) {
    CMarkup doc("<LOGFILE Type='FTP'><PATHS><PATH>/x</PATH></PATHS></LOGFILE>");
    doc.FindElem();
    CLogfileInformation e;
    EXPECT_TRUE(e.LoadXML(doc));
    EXPECT_EQ(e, CLogfileInformation());
}

TEST(LogfileInformation, ServerInfoWithoutPathsIsStillRead) {
    CMarkup doc(
        "<LOGFILEENTRY Format='w3c'><SERVERINFO PASSWORD='FALSE'><SERVERNAME>h</SERVERNAME>"
        "<PORTNUM>-80</PORTNUM></SERVERINFO></LOGFILEENTRY>");
    doc.FindElem();
    CLogfileInformation e;
    e.LoadXML(doc);
    EXPECT_EQ(e.GetLogfileType(), logfiletype_t::W3C);
    EXPECT_EQ(e.GetServerName(), "h");
    EXPECT_EQ(e.GetPortNum(), -80);
    EXPECT_EQ(e.GetUsername(), "");
}
