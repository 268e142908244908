#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/api/LogvaneEngine.h"
#include "engine/run/EngineState.h"
#include "engine/table/StringPool.h"
#include "store/project/ProjectInformation.h"
#include "store/style/ExportInformation.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

const std::string kLine =
    "10.0.0.1 - - [10/Oct/2024:13:55:36 +0000] \"GET /index.html HTTP/1.1\" 200 2326\n";

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { LogvaneInitialize("", dir.file("no-settings.xml").c_str()); }
    void TearDown() override { LogvaneKill(); }

    bool Start(const std::string& project, const std::string& output) {
        return LogvaneStartAnalysis(project.c_str(), "", "", "", "", "", "", "", output.c_str(), "",
                                    true);
    }

    std::string SaveProject(const std::vector<std::string>& paths) {
        CProjectInformation project;
        project.AllocateLogInfo(0);
        project.SetProjectName("Site");
        CLogfileInformation entry;
        for (const std::string& p : paths) entry.SetPath(-1, p);
        if (!paths.empty()) project.AddLogfileInformation(entry);
        const std::string path = dir.file("site.bvp");
        project.SaveXML(path.c_str());
        return path;
    }

    TempDir dir;
};

TEST_F(EngineTest, InitialiseGivesSettingsPoolAndAnEmptyProgress) {
    EXPECT_NE(EngineState().settings, nullptr);
    EXPECT_NE(GetStringPool(), nullptr);
    const std::string progress = LogvaneGetProgress();
    EXPECT_NE(progress.find("<PROGRESS>"), std::string::npos);
    EXPECT_EQ(progress.find("HelpFile"), std::string::npos);
}

// Blocks of a megabyte and more (large tables' slot arrays) keep mappings of their own, so
// each goes back to the system when freed. glibc would raise its threshold at the first such
// block freed and keep the next ones in the heap.
TEST_F(EngineTest, InitialiseKeepsLargeBlocksInMappingsOfTheirOwn) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator has no mapping threshold";
#else
    constexpr std::size_t kBlock = std::size_t{3} << 19;  // 1.5 MiB
    auto* first = static_cast<volatile char*>(std::malloc(kBlock));
    ASSERT_NE(first, nullptr);
    first[0] = 1;
    std::free(const_cast<char*>(first));
    const std::size_t mapped = mallinfo2().hblks;
    auto* second = static_cast<volatile char*>(std::malloc(kBlock));
    ASSERT_NE(second, nullptr);
    second[0] = 1;
    EXPECT_EQ(mallinfo2().hblks, mapped + 1);
    std::free(const_cast<char*>(second));
    EXPECT_EQ(mallinfo2().hblks, mapped);
#endif
}

TEST_F(EngineTest, ProgressBufferKeepsItsAddressUntilOutgrown) {
    const char* first = LogvaneGetProgress();
    EXPECT_EQ(LogvaneGetProgress(), first);
    CProgress::SetText(PROGRESS_PARSING, "x");
    const char* shorter = LogvaneGetProgress();
    CProgress::SetText(PROGRESS_PARSING, "");
    EXPECT_EQ(LogvaneGetProgress(), shorter);
    CProgress::SetText(PROGRESS_PARSING, std::string(5000, 'a'));
    const std::string grown = LogvaneGetProgress();
    EXPECT_NE(grown.find(std::string(5000, 'a')), std::string::npos);
}

TEST_F(EngineTest, UnloadableProjectFailsWithItsMessage) {
    const std::string path = dir.file("missing.bvp");
    EXPECT_FALSE(Start(path, dir.file("out.bvr")));
    EXPECT_NE(std::string(LogvaneGetProgress())
                  .find("<ERROR HelpFile=\"Trouble/ErrorCouldNotLoadProject.htm\">Could not load "
                        "the project XML file \"" +
                        path + "\"</ERROR>"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("out.bvr")));
}

TEST_F(EngineTest, EmptyFilesWriteNoReport) {
    WriteFile(dir.file("empty.log"), "");
    EXPECT_FALSE(Start(SaveProject({dir.file("empty.log")}), dir.file("out.bvr")));
    EXPECT_NE(std::string(LogvaneGetProgress()).find("zero bytes long"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("out.bvr")));
}

TEST_F(EngineTest, RealLogRunsEndToEndAndWritesTheReport) {
    WriteFile(dir.file("access.log"), kLine + kLine);
    EXPECT_TRUE(Start(SaveProject({dir.file("access.log")}), dir.file("out.bvr")));
    ASSERT_NE(EngineState().tables, nullptr);
    EXPECT_EQ(EngineState().tables->counters.totalHits, 2u);
    EXPECT_EQ(GetIsCookieData(), 0);
    EXPECT_NE(ReadFile(dir.file("out.bvr")).find("REPORTS"), std::string::npos);
}

TEST_F(EngineTest, TwoRunsWithoutKillGiveTheSameReport) {
    WriteFile(dir.file("access.log"), kLine + kLine);
    const std::string project = SaveProject({dir.file("access.log")});
    ASSERT_TRUE(Start(project, dir.file("first.bvr")));
    const uint64_t hits = EngineState().tables->counters.totalHits;
    ASSERT_TRUE(Start(project, dir.file("second.bvr")));
    EXPECT_EQ(EngineState().tables->counters.totalHits, hits);
    EXPECT_EQ(ReadFile(dir.file("first.bvr")).size(), ReadFile(dir.file("second.bvr")).size());
}

TEST_F(EngineTest, ExportEntryPointsOnlyReadTheReport) {
    WriteFile(dir.file("r.bvr"), "<REPORTS/>");
    CExportInformation info;
    info.SetExportPath(dir.file("export"));
    EXPECT_EQ(LogvaneExportToHTML(dir.file("r.bvr").c_str(), info), 1);
    EXPECT_EQ(LogvaneExportToCSV(dir.file("missing.bvr").c_str(), info), 1);
    EXPECT_FALSE(fs::exists(dir.file("export")));
}

TEST_F(EngineTest, DebugModeIsStored) {
    SetDebugMode(3);
    EXPECT_EQ(EngineState().debugMode, 3);
    SetDebugMode(0);
}

TEST(EngineLifecycleTest, KillReleasesEverythingAndRefusesLaterRuns) {
    LogvaneInitialize("", "");
    LogvaneKill();
    EXPECT_EQ(GetStringPool(), nullptr);
    EXPECT_EQ(EngineState().settings, nullptr);
    EXPECT_EQ(EngineState().tables, nullptr);
    EXPECT_FALSE(LogvaneStartAnalysis("x.bvp", "", "", "", "", "", "", "", "out.bvr", "", true));
    CProgress::Initialize();
}

}  // namespace
