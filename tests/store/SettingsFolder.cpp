#include "store/settings/SettingsFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

using logvane::test::ScopedHome;
using logvane::test::WriteFile;

namespace {

class SettingsFolderTest : public testing::Test {
protected:
    std::string Home() const { return m_home.path().string(); }
    std::string Config() const { return Home() + "/.config"; }
    std::string Settings() const { return Config() + "/Zentrik Labs/Logvane4/Settings"; }
    void WriteUserDirs(const std::string& text) {
        std::filesystem::create_directories(Config());
        WriteFile(Config() + "/user-dirs.dirs", text);
    }

    ScopedHome m_home;
};

TEST_F(SettingsFolderTest, SettingsDirLiesUnderTheConfigFolder) {
    EXPECT_EQ(GetSettingsDir(), Settings());
    EXPECT_FALSE(std::filesystem::exists(Settings())) << "not created on asking";
}

TEST_F(SettingsFolderTest, ConfigFolderFallsBackToHomeDotConfig) {
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(GetSettingsDir(), Home() + "/.config/Zentrik Labs/Logvane4/Settings");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(GetSettingsDir(), Home() + "/.config/Zentrik Labs/Logvane4/Settings");
    setenv("XDG_CONFIG_HOME", (Home() + "/elsewhere").c_str(), 1);
    EXPECT_EQ(GetSettingsDir(), Home() + "/elsewhere/Zentrik Labs/Logvane4/Settings");
}

TEST_F(SettingsFolderTest, CustomCopyWinsWhenItExists) {
    std::filesystem::create_directories(Settings());
    EXPECT_EQ(GetSettingsFile("styles"), Settings() + "/styles.xml") << "neither";
    WriteFile(Settings() + "/styles.xml", "<STYLES/>");
    EXPECT_EQ(GetSettingsFile("styles"), Settings() + "/styles.xml") << "shipped only";
    WriteFile(Settings() + "/styles-custom.xml", "<STYLES/>");
    EXPECT_EQ(GetSettingsFile("styles"), Settings() + "/styles-custom.xml") << "both";
    std::filesystem::remove(Settings() + "/styles.xml");
    EXPECT_EQ(GetSettingsFile("styles"), Settings() + "/styles-custom.xml") << "custom only";
}

TEST_F(SettingsFolderTest, CustomFolderDoesNotCountAsACopy) {
    std::filesystem::create_directories(Settings() + "/os-custom.xml");
    EXPECT_EQ(GetSettingsFile("os"), Settings() + "/os.xml");
}

TEST_F(SettingsFolderTest, DocumentsDefaultToHomeDocuments) {
    EXPECT_EQ(GetHomeDir(), Home() + "/Documents");
}

struct UserDirsCase {
    const char* file;
    const char* documents;  // relative to home when it does not start with '/'
};

class UserDirs : public SettingsFolderTest, public testing::WithParamInterface<UserDirsCase> {};

TEST_P(UserDirs, ReadsXdgDocumentsDir) {
    WriteUserDirs(GetParam().file);
    const std::string want = GetParam().documents;
    EXPECT_EQ(GetHomeDir(), want[0] == '/' ? want : Home() + "/" + want);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UserDirs,
    testing::Values(
        UserDirsCase{"# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                     "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
                     "Dokumente"},
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n", "/srv/docs"},
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"${HOME}/My Docs\"", "My Docs"},
        UserDirsCase{"  XDG_DOCUMENTS_DIR=\"$HOME/a\\\"b\"\n", "a\"b"},
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"$HOME/first\"\nXDG_DOCUMENTS_DIR=\"$HOME/last\"\n",
                     "last"},
        // unusable values leave the default
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"relative/docs\"\n", "Documents"},
        UserDirsCase{"XDG_DOCUMENTS_DIR=$HOME/unquoted\n", "Documents"},
        UserDirsCase{"# XDG_DOCUMENTS_DIR=\"$HOME/commented\"\n", "Documents"},
        UserDirsCase{"XDG_DOCUMENTS_DIRX=\"$HOME/other\"\n", "Documents"},
        UserDirsCase{"XDG_DOCUMENTS_DIR=\"\"\n", "Documents"},
        UserDirsCase{"\x01\xFF garbage", "Documents"}));

TEST_F(SettingsFolderTest, DocumentsDirOfHomeItselfMeansHome) {
    WriteUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
    EXPECT_EQ(GetHomeDir(), Home());
}

TEST(ExecutableDirectory, HoldsTheRunningTestProgram) {
    const std::string dir = GetExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "/test-store-SettingsFolder"));
}

}  // namespace
