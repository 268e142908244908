#include "store/ident/GenericInformation.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {
const std::string kData = LOGVANE_TEST_DATA_DIR "/ident/";
}

TEST(GenericInformation, ReadsEntriesInOrderAndAddsTheCatchAll) {
    CGenericInformation browsers("browser", "Browser");
    ASSERT_TRUE(browsers.LoadXML((kData + "browser.xml").c_str()));
    ASSERT_EQ(browsers.GetNumElems(), 4);
    EXPECT_EQ(browsers.GetElemName(0), "Firefox");
    EXPECT_EQ(browsers.GetNumKeywords(0), 2);
    EXPECT_EQ(browsers.GetKeyword(0, 1), "Iceweasel");
    EXPECT_EQ(browsers.GetElemName(1), "Lynx");
    EXPECT_EQ(browsers.GetNumKeywords(1), 0);
    EXPECT_EQ(browsers.GetElemName(2), "Opera");
    ASSERT_EQ(browsers.GetNumKeywords(2), 3);
    EXPECT_EQ(browsers.GetKeyword(2, 1), "OPR/");
    EXPECT_EQ(browsers.GetKeyword(2, 2), "");
    EXPECT_EQ(browsers.GetElemName(3), "Other Browser");
    EXPECT_EQ(browsers.GetNumKeywords(3), 0);
}

TEST(GenericInformation, OutOfRangeIndicesGiveEmptyAnswers) {
    CGenericInformation browsers("BROWSER", "Browser");
    browsers.LoadXML((kData + "browser.xml").c_str());
    EXPECT_EQ(browsers.GetNumKeywords(99), -1);
    EXPECT_EQ(browsers.GetNumKeywords(-1), -1);
    EXPECT_EQ(browsers.GetKeyword(0, 99), "");
    EXPECT_EQ(browsers.GetKeyword(0, -1), "");
    EXPECT_EQ(browsers.GetKeyword(99, 0), "");
    EXPECT_EQ(browsers.GetElemName(4), "");
    EXPECT_EQ(browsers.GetElemName(-4), "");
}

TEST(GenericInformation, MissingOrForeignFilesGiveOnlyTheCatchAll) {
    TempDir dir;
    WriteFile(dir.file("broken.xml"), "<OSIDENTIFICATION><OS Name='Linux'>");
    const std::string cases[] = {dir.file("missing.xml"), dir.file("broken.xml"),
                                 kData + "browser.xml", dir.path().string()};
    for (const std::string& path : cases) {
        CGenericInformation os("OS", "Os");
        EXPECT_FALSE(os.LoadXML(path.c_str())) << path;
        ASSERT_EQ(os.GetNumElems(), 1) << path;
        EXPECT_EQ(os.GetElemName(0), "Other Os");
    }
}

TEST(GenericInformation, ReloadingReplacesTheList) {
    CGenericInformation spiders("spider", "Spiders");
    TempDir dir;
    WriteFile(dir.file("spider.xml"),
              "<SPIDERIDENTIFICATION><SPIDER Name='Crawler'><KEYWORD>bot</KEYWORD></SPIDER>"
              "</SPIDERIDENTIFICATION>");
    spiders.LoadXML(dir.file("spider.xml").c_str());
    spiders.LoadXML(dir.file("spider.xml").c_str());
    ASSERT_EQ(spiders.GetNumElems(), 2);
    EXPECT_EQ(spiders.GetKeyword(0, 0), "bot");
    EXPECT_EQ(spiders.GetElemName(1), "Other Spiders");
}
