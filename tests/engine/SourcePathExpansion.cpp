#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/source/PathExpansion.h"
#include "support/TempDir.h"

namespace {

using logvane::test::TempDir;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

struct MatchCase {
    const char* pattern;
    const char* text;
    bool matches;
};

class WildcardMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(WildcardMatchTest, MatchesByteByByte) {
    const MatchCase c = GetParam();
    EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.matches) << c.pattern << " vs " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WildcardMatchTest,
    ::testing::Values(MatchCase{"*", "", true}, MatchCase{"*", "access.log", true},
                      MatchCase{"*.log", "access.log", true},
                      MatchCase{"*.log", "access.LOG", false},
                      MatchCase{"access?.log", "access1.log", true},
                      MatchCase{"access?.log", "access.log", false},
                      MatchCase{"a*b*c", "aXbYbZc", true}, MatchCase{"a*b*c", "aXbYbZ", false},
                      MatchCase{"*.log", "access.log.gz", false},
                      MatchCase{"*log*", "mylogfile", true}, MatchCase{"ex*.log", "ex.log", true},
                      MatchCase{"??", "abc", false}, MatchCase{"", "", true},
                      MatchCase{"", "a", false}, MatchCase{"**a", "bba", true}));

// A tree of logs:
//   logs/a.log  logs/b.txt  logs/.hidden.log  logs/.cache/c.log
//   logs/sub/d.log  logs/sub/deeper/e.log  logs/archive.log/f.txt  other.log
class PathExpansionTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"logs/.cache", "logs/sub/deeper", "logs/archive.log"})
            fs::create_directories(dir.path() / folder);
        for (const char* file :
             {"logs/a.log", "logs/b.txt", "logs/.hidden.log", "logs/.cache/c.log", "logs/sub/d.log",
              "logs/sub/deeper/e.log", "logs/archive.log/f.txt", "other.log"})
            WriteFile(dir.file(file), "x");
    }

    std::vector<std::string> Expand(const std::vector<std::string>& paths) {
        std::vector<std::string> files;
        ExpandLocalPaths(paths, files);
        return files;
    }

    std::string P(const std::string& relative) { return dir.file(relative); }

    TempDir dir;
};

TEST_F(PathExpansionTest, FolderYieldsEveryFileRecursivelyWithoutDotNames) {
    EXPECT_EQ(
        Expand({P("logs")}),
        (std::vector<std::string>{P("logs/a.log"), P("logs/archive.log/f.txt"), P("logs/b.txt"),
                                  P("logs/sub/d.log"), P("logs/sub/deeper/e.log")}));
}

TEST_F(PathExpansionTest, FolderWithTrailingSlashJoinsOnce) {
    EXPECT_EQ(Expand({P("logs/sub/")}),
              (std::vector<std::string>{P("logs/sub/d.log"), P("logs/sub/deeper/e.log")}));
}

TEST_F(PathExpansionTest, WildcardTakesMatchingFilesAndEverythingInMatchingFolders) {
    EXPECT_EQ(Expand({P("logs/*.log")}),
              (std::vector<std::string>{P("logs/a.log"), P("logs/archive.log/f.txt")}));
}

TEST_F(PathExpansionTest, StarDotStarMeansEveryEntryEvenWithoutADot) {
    WriteFile(P("logs/sub/nodot"), "x");
    EXPECT_EQ(Expand({P("logs/sub/*.*")}),
              (std::vector<std::string>{P("logs/sub/d.log"), P("logs/sub/deeper/e.log"),
                                        P("logs/sub/nodot")}));
}

TEST_F(PathExpansionTest, QuestionMarkMatchesOneByte) {
    WriteFile(P("logs/ex1.log"), "x");
    WriteFile(P("logs/ex12.log"), "x");
    EXPECT_EQ(Expand({P("logs/ex?.log")}), std::vector<std::string>{P("logs/ex1.log")});
}

TEST_F(PathExpansionTest, PlainFileIsTakenAsGivenAndMissingPathsYieldNothing) {
    EXPECT_EQ(Expand({"", P("missing.log"), P("other.log"), P("nowhere/*.log")}),
              std::vector<std::string>{P("other.log")});
}

TEST_F(PathExpansionTest, PathsKeepTheirOrder) {
    EXPECT_EQ(Expand({P("other.log"), P("logs/a.log")}),
              (std::vector<std::string>{P("other.log"), P("logs/a.log")}));
}

TEST_F(PathExpansionTest, TwoPatternsOnOneFolderBothExpand) {
    EXPECT_EQ(Expand({P("logs/*.txt"), P("logs/a.*")}),
              (std::vector<std::string>{P("logs/b.txt"), P("logs/a.log")}));
}

TEST_F(PathExpansionTest, SymbolicLinkLoopEnds) {
    fs::create_directory_symlink(P("logs/sub"), P("logs/sub/deeper/loop"));
    const std::vector<std::string> files = Expand({P("logs/sub")});
    EXPECT_EQ(files, (std::vector<std::string>{P("logs/sub/d.log"), P("logs/sub/deeper/e.log")}));
}

TEST_F(PathExpansionTest, RelativePatternUsesTheCurrentFolder) {
    const fs::path old = fs::current_path();
    fs::current_path(P("logs/sub"));
    const std::vector<std::string> files = Expand({"*.log"});
    fs::current_path(old);
    EXPECT_EQ(files, std::vector<std::string>{"d.log"});
}

}  // namespace
