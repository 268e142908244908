#include "desk/cli/StartUp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

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

// A start rewrites only what changed since the last: an unchanged copy keeps its file, while a
// newer shipped file of the same size, or an edited copy, is refreshed.
TEST_F(RefreshSettingsFolderTest, UnchangedCopiesAreLeftAloneAndChangedOnesRefreshed) {
    namespace fs = std::filesystem;
    const std::string dir = (home.path() / "Settings").string();
    WriteFile(shipped.file("os.xml"), "<OS>one</OS>");
    RefreshSettingsFolder(shipped.path().string(), dir);
    const auto inode = [](const std::string& path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return info.st_ino;
    };
    const auto browserFile = inode(Settings("browser.xml"));
    const auto osFile = inode(Settings("os.xml"));

    // Same size, new content, a later time: a newer program's list.
    WriteFile(shipped.file("os.xml"), "<OS>two</OS>");
    fs::last_write_time(shipped.file("os.xml"),
                        fs::last_write_time(Settings("os.xml")) + std::chrono::seconds(5));
    // Same size, edited in the settings folder.
    WriteFile(Settings("browser.xml"), "<BROWSERS>old</BROWSERS>");
    fs::last_write_time(Settings("browser.xml"),
                        fs::last_write_time(shipped.file("browser.xml")) - std::chrono::seconds(5));
    RefreshSettingsFolder(shipped.path().string(), dir);
    EXPECT_EQ(ReadFile(Settings("os.xml")), "<OS>two</OS>");
    EXPECT_EQ(ReadFile(Settings("browser.xml")), "<BROWSERS>new</BROWSERS>");
    EXPECT_NE(inode(Settings("browser.xml")), browserFile);

    const auto refreshed = inode(Settings("os.xml"));
    EXPECT_NE(refreshed, osFile);
    RefreshSettingsFolder(shipped.path().string(), dir);
    EXPECT_EQ(inode(Settings("os.xml")), refreshed) << "an unchanged copy is not rewritten";
    EXPECT_EQ(ReadFile(Settings("os.xml")), "<OS>two</OS>");
}

TEST_F(RefreshSettingsFolderTest, MissingShippedFolderStillCreatesTheSettingsFolder) {
    RefreshSettingsFolder("", (home.path() / "Settings").string());
    EXPECT_TRUE(std::filesystem::is_directory(home.path() / "Settings"));
}
