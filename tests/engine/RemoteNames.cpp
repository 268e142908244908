#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/remote/FtpSession.h"
#include "engine/remote/LinkScan.h"
#include "engine/remote/LocalFiles.h"
#include "support/TempDir.h"

namespace {

struct links_case_t {
    const char* page;
    std::vector<std::string> links;
};

class LinkScanTest : public ::testing::TestWithParam<links_case_t> {};

TEST_P(LinkScanTest, FindsLinkTargetsInPageOrder) {
    std::vector<std::string> links;
    ScanLinks(GetParam().page, links);
    EXPECT_EQ(links, GetParam().links);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LinkScanTest,
    ::testing::Values(
        links_case_t{"<a href=\"a.log\">a</a> <A HREF='b.log'>b</A>", {"a.log", "b.log"}},
        links_case_t{"<a href=c.log>c</a>", {"c.log"}},
        links_case_t{"<a href = \"  spaced.log \">", {"spaced.log"}},
        links_case_t{"<frameset><FRAME SRC=\"left.html\"><frame src='right.html'>",
                     {"left.html", "right.html"}},
        links_case_t{"<frame src=\"f.html\"><a href=\"x.log\">", {"f.html", "x.log"}},
        links_case_t{"<a href=\"../\">up</a><a href=\"sub/\">sub</a><a href=\"?C=M;O=A\">sort"
                     "</a><a href=\"\">empty</a><a href=\"ok.log\">",
                     {"ok.log"}},
        links_case_t{"<a href=\"/logs/root.log\">", {"/logs/root.log"}},
        links_case_t{"<a name=\"top\">top</a> text <a href=\"later.log\">", {"later.log"}},
        links_case_t{"<a href>bare</a><a href=\"never.log\">", {}},  // no value ends the scan
        links_case_t{"<A HREF=\"unterminated.log", {"unterminated.log"}},
        links_case_t{"no links at all", {}}, links_case_t{"", {}}));

struct join_case_t {
    const char* relative;
    const char* expected;
};

class JoinInsideFolderTest : public ::testing::TestWithParam<join_case_t> {};

TEST_P(JoinInsideFolderTest, NeverLeavesTheFolder) {
    EXPECT_EQ(JoinInsideFolder("/dl/project", GetParam().relative), GetParam().expected);
    EXPECT_EQ(JoinInsideFolder("/dl/project/", GetParam().relative), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, JoinInsideFolderTest,
    ::testing::Values(join_case_t{"access.log", "/dl/project/access.log"},
                      join_case_t{"/logs/a.log", "/dl/project/logs/a.log"},
                      join_case_t{"/../../etc/passwd", "/dl/project/etc/passwd"},
                      join_case_t{"..\\..\\x.log", "/dl/project/x.log"},
                      join_case_t{"logs/../../../x", "/dl/project/logs/x"},
                      join_case_t{"..", "/dl/project/_"}, join_case_t{"/", "/dl/project/_"},
                      join_case_t{"", "/dl/project/_"},
                      join_case_t{"a/./b//c", "/dl/project/a/b/c"},
                      join_case_t{"a\nb\x7f", "/dl/project/a_b_"},
                      join_case_t{"...", "/dl/project/..."}));

TEST(DownloadFolder, SitsBesideTheSettingsFolderWithAValidName) {
    logvane::test::ScopedHome home;
    const std::string base = (home.path() / ".config/Zentrik Labs/Logvane4/").string();
    EXPECT_EQ(GetDownloadFolder("My Site"), base + "My Site");
    EXPECT_EQ(GetDownloadFolder("a/b:c?"), base + "abc");
    EXPECT_EQ(GetDownloadFolder(".."), base + "_..");
    EXPECT_EQ(GetDownloadFolder(""), base + "_");
}

TEST(FtpPaths, ResolveAgainstTheCurrentFolder) {
    EXPECT_EQ(CCurlFtpConnection::ResolvePath("/", "logs"), "/logs");
    EXPECT_EQ(CCurlFtpConnection::ResolvePath("/home/web", "logs/"), "/home/web/logs");
    EXPECT_EQ(CCurlFtpConnection::ResolvePath("/home/web", "../x"), "/home/x");
    EXPECT_EQ(CCurlFtpConnection::ResolvePath("/home/web", "/var/log/"), "/var/log");
    EXPECT_EQ(CCurlFtpConnection::ResolvePath("/a", "../../.."), "/");
    EXPECT_EQ(CCurlFtpConnection::ResolvePath("/a", ""), "/a");
}

TEST(FtpListing, MlsdLinesGiveNameSizeTimeAndKind) {
    ftp_entry_t entry;
    ASSERT_TRUE(
        ParseMlsdLine("modify=20261208061817;perm=r;size=6;type=file;unique=fe0; a b.log", entry));
    EXPECT_EQ(entry.name, "a b.log");
    EXPECT_EQ(entry.size, 6);
    EXPECT_EQ(entry.modified, 1796710697);  // 2026-12-08 06:18:17 UTC
    EXPECT_FALSE(entry.isFolder);

    ASSERT_TRUE(ParseMlsdLine("Type=dir;Modify=20200101000000.123; archive", entry));
    EXPECT_TRUE(entry.isFolder);
    EXPECT_EQ(entry.size, -1);
    EXPECT_EQ(entry.modified, 1577836800);

    EXPECT_FALSE(ParseMlsdLine("type=file; ", entry));
    EXPECT_FALSE(ParseMlsdLine("no-space-here", entry));
}

TEST(TempFile, ReplacesTheTargetOnlyWhenCommitted) {
    logvane::test::TempDir dir;
    const std::string target = dir.file("a.log");
    logvane::test::WriteFile(target, "old");
    {
        CTempFile file;
        ASSERT_TRUE(file.Open(target));
        ASSERT_TRUE(file.Write("new", 3));
    }  // abandoned
    EXPECT_EQ(logvane::test::ReadFile(target), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    CTempFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Commit(1000000000));
    EXPECT_EQ(logvane::test::ReadFile(target), "new");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000000);
}

}  // namespace
