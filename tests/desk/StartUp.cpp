#include "desk/cli/StartUp.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

class RefreshSettingsFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(shipped.file("browser.xml"), "<BROWSERS>new</BROWSERS>");
        WriteFile(shipped.file("settings.xml"), "<SETTINGS>shipped</SETTINGS>");
        WriteFile(shipped.file("globalfilters.xml"), "<FILTERS>shipped</FILTERS>");
        WriteFile(shipped.file(".hidden"), "x");
    }
    std::string Settings(const std::string& name) {
        return (home.path() / "Settings" / name).string();
    }

    TempDir shipped, home;
};

TEST_F(RefreshSettingsFolderTest, FirstStartCopiesEveryShippedFile) {
    RefreshSettingsFolder(shipped.path().string(), (home.path() / "Settings").string());
    EXPECT_EQ(ReadFile(Settings("browser.xml")), "<BROWSERS>new</BROWSERS>");
    EXPECT_EQ(ReadFile(Settings("settings.xml")), "<SETTINGS>shipped</SETTINGS>");
    EXPECT_EQ(ReadFile(Settings("globalfilters.xml")), "<FILTERS>shipped</FILTERS>");
    EXPECT_FALSE(std::filesystem::exists(Settings(".hidden")));
}

TEST_F(RefreshSettingsFolderTest, LaterStartsRefreshListsButKeepTheUsersChoices) {
    const std::string dir = (home.path() / "Settings").string();
    RefreshSettingsFolder(shipped.path().string(), dir);
    WriteFile(Settings("settings.xml"), "<SETTINGS>user</SETTINGS>");
    WriteFile(Settings("globalfilters.xml"), "<FILTERS>user</FILTERS>");
    WriteFile(Settings("browser-custom.xml"), "<BROWSERS>custom</BROWSERS>");
    WriteFile(shipped.file("browser.xml"), "<BROWSERS>newer</BROWSERS>");

    RefreshSettingsFolder(shipped.path().string(), dir);
    EXPECT_EQ(ReadFile(Settings("settings.xml")), "<SETTINGS>user</SETTINGS>");
    EXPECT_EQ(ReadFile(Settings("globalfilters.xml")), "<FILTERS>user</FILTERS>");
    EXPECT_EQ(ReadFile(Settings("browser-custom.xml")), "<BROWSERS>custom</BROWSERS>");
    EXPECT_EQ(ReadFile(Settings("browser.xml")), "<BROWSERS>newer</BROWSERS>");
    for (const auto& e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find("refresh-tmp"), std::string::npos) << e.path();
}

TEST_F(RefreshSettingsFolderTest, MissingShippedFolderStillCreatesTheSettingsFolder) {
    RefreshSettingsFolder("", (home.path() / "Settings").string());
    EXPECT_TRUE(std::filesystem::is_directory(home.path() / "Settings"));
}
