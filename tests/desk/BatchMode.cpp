#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "desk/cli/BatchMode.h"
#include "desk/cli/CommandLineInfo.h"
#include "store/project/ProjectInformation.h"
#include "store/settings/Settings.h"
#include "store/settings/SettingsFolder.h"
#include "support/TempDir.h"

namespace {

using logvane::test::ScopedHome;
using logvane::test::TempDir;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

struct RunResult {
    std::string out;
    int exitCode = -1;
};

// Runs the built program with the arguments (already shell-quoted) and captures stdout.
RunResult RunProgram(const std::string& arguments, const std::string& environment = "") {
    const std::string command =
        environment + std::string(LOGVANE_BIN_DIR) + "/logvane " + arguments;
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;) result.out.append(block, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Every run gets its own home, so the program's settings folder is a temporary one.
class BatchModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(std::string(LOGVANE_BIN_DIR) + "/logvane"))
            GTEST_SKIP() << "the program is not built";
        // The expected texts below are those of runs that fail before parsing; the country
        // database stage, which a first start runs, would print its own lines before them.
        CSettings settings;
        settings.LoadXML(GetSettingsFile("settings").c_str());
        settings.SetIp2Country(false);
        fs::create_directories(GetSettingsDir());
        ASSERT_TRUE(settings.SaveXML(GetSettingsFile("settings").c_str()));
    }

    std::string SaveProject(const std::vector<std::string>& logPaths) {
        CProjectInformation project;
        project.AllocateLogInfo(0);
        project.SetProjectName("Batch");
        if (!logPaths.empty()) {
            CLogfileInformation entry;
            for (const std::string& p : logPaths) entry.SetPath(-1, p);
            project.AddLogfileInformation(entry);
        }
        const std::string path = dir.file("Site.BVP");
        EXPECT_TRUE(project.SaveXML(path.c_str()));
        return path;
    }

    std::string Failed(const std::vector<std::string>& errors) {
        std::string text = std::string(GetBatchBanner()) + "(100%)Analysis failed:\r\n";
        for (const std::string& e : errors) text += "Error: " + e + "\r\n";
        return text;
    }

    ScopedHome home;
    TempDir dir;
};

TEST_F(BatchModeTest, HelpFlagPrintsTheUsageText) {
    for (const char* flag : {"/HELP", "-h", "--help"}) {
        const RunResult r = RunProgram(flag);
        EXPECT_EQ(r.out, GetUsageText()) << flag;
        EXPECT_EQ(r.exitCode, 0);
    }
}

// The loader must not look for libraries in the folder the program is started from, where
// anyone who can leave a file (a log folder, a download folder) could plant one.
TEST_F(BatchModeTest, LibrariesInTheCurrentFolderAreNotLoaded) {
    for (const char* name : {"libc.so.6", "libstdc++.so.6", "liblogvane-engine.so.4"})
        WriteFile(dir.file(name), "not a library");
    const RunResult r = RunProgram("--help 2>&1", "cd " + Quoted(dir.path().string()) + " && ");
    EXPECT_EQ(r.out, GetUsageText());
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(BatchModeTest, ProjectThatCannotBeLoaded) {
    const std::string project = dir.file("Missing.Bvp");
    const RunResult r = RunProgram(Quoted(project) + " " + Quoted(dir.file("out.bvr")));
    EXPECT_EQ(r.out, Failed({"Could not load the project XML file \"" + project + "\""}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir.file("out.bvr")));
}

TEST_F(BatchModeTest, ProjectWithoutLogFiles) {
    const RunResult r = RunProgram(Quoted(SaveProject({})) + " " + Quoted(dir.file("out.bvr")));
    EXPECT_EQ(r.out, Failed({"No files matched the paths you specified."}));
}

TEST_F(BatchModeTest, ProjectWhoseFilesAreAllEmpty) {
    WriteFile(dir.file("a.log"), "");
    WriteFile(dir.file("b.log"), "");
    const std::string project = SaveProject({dir.file("a.log"), dir.file("b.log")});
    const RunResult r = RunProgram(Quoted(project) + " " + Quoted(dir.file("out.bvr")));
    EXPECT_EQ(r.out, Failed({"The files you specified did not have any information in them "
                             "(i.e. they were all zero bytes long)."}));
    EXPECT_FALSE(fs::exists(dir.file("out.bvr")));
}

TEST_F(BatchModeTest, ProjectAloneDoesNotRunBatchMode) {
    // A project alone asks for the window; an unknown display plugin makes that end at once.
    const RunResult r = RunProgram(Quoted(SaveProject({})) + " 2>/dev/null",
                                   "QT_QPA_PLATFORM=logvane-no-display DISPLAY= ");
    EXPECT_EQ(r.out.find("Logvane 4\n"), std::string::npos);
}

TEST_F(BatchModeTest, StartUpFillsTheSettingsFolderFromTheShippedFiles) {
    RunProgram("--help");
    const fs::path settings = home.path() / ".config" / "Zentrik Labs" / "Logvane4" / "Settings";
    EXPECT_TRUE(fs::is_directory(settings));
    if (fs::exists(std::string(LOGVANE_BIN_DIR) + "/xml/settings.xml")) {
        EXPECT_TRUE(fs::exists(settings / "settings.xml"));
    }
}

TEST_F(BatchModeTest, BannerStartsWithTheProductLine) {
    const std::string banner = GetBatchBanner();
    EXPECT_EQ(banner.rfind("Logvane 4\n", 0), 0u);
    EXPECT_EQ(banner.substr(banner.size() - 2), "\n\n");
}

}  // namespace
