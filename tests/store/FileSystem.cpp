#include "store/format/FileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "store/format/FtpConnection.h"
#include "support/TempDir.h"

using logvane::test::TempDir;
using logvane::test::WriteFile;

namespace {

class FileSystemTest : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(m_dir.file("a.log"), "hello");
        std::filesystem::create_directory(m_dir.path() / "sub");
    }
    std::string Path(const std::string& name) const { return m_dir.file(name); }

    TempDir m_dir;
};

TEST_F(FileSystemTest, FileExistsOnlyForNonFolders) {
    EXPECT_EQ(FileExists(Path("a.log").c_str()), 1);
    EXPECT_EQ(FileExists(Path("sub").c_str()), 0);
    EXPECT_EQ(FileExists(Path("missing").c_str()), 0);
    EXPECT_EQ(FileExists(nullptr), 0);
}

TEST_F(FileSystemTest, DirExistsOnlyForFoldersAndKeepsTheCurrentFolder) {
    const auto before = std::filesystem::current_path();
    EXPECT_EQ(DirExists(Path("sub").c_str()), 1);
    EXPECT_EQ(DirExists(Path("a.log").c_str()), 0);
    EXPECT_EQ(DirExists(Path("missing").c_str()), 0);
    EXPECT_EQ(DirExists(nullptr), 0);
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(FileSystemTest, DirExistsNeedsSearchPermission) {
    if (geteuid() == 0) GTEST_SKIP() << "root enters any folder";
    std::filesystem::permissions(Path("sub"), std::filesystem::perms::owner_read);
    EXPECT_EQ(DirExists(Path("sub").c_str()), 0);
    std::filesystem::permissions(Path("sub"), std::filesystem::perms::owner_all);
}

TEST_F(FileSystemTest, FileSizeOfFilesOnly) {
    EXPECT_EQ(GetFileSizeName(Path("a.log").c_str()), 5u);
    EXPECT_EQ(GetFileSizeName(Path("sub").c_str()), 0u);
    EXPECT_EQ(GetFileSizeName(Path("missing").c_str()), 0u);
    EXPECT_EQ(GetFileSizeName(nullptr), 0u);
}

TEST_F(FileSystemTest, FileSizeBeyondFourGigabytesIsNotCut) {
    const std::uint64_t size = (5ULL << 30) + 7;
    const int fd = open(Path("big.log").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const bool sized = ftruncate(fd, static_cast<off_t>(size)) == 0;
    close(fd);
    if (!sized) GTEST_SKIP() << "no sparse files here";
    EXPECT_EQ(GetFileSizeName(Path("big.log").c_str()), size);
}

TEST_F(FileSystemTest, RecursiveCreateDirMakesEveryMissingParent) {
    EXPECT_EQ(RecursiveCreateDir(Path("x/y/z")), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Path("x/y/z")));
    EXPECT_EQ(RecursiveCreateDir(Path("x/y/z")), 0) << "already there";
    EXPECT_EQ(RecursiveCreateDir(Path("p/q///")), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Path("p/q")));
    EXPECT_EQ(RecursiveCreateDir(Path("sub\\w")), 1) << "a backslash is part of the name";
    EXPECT_TRUE(std::filesystem::is_directory(Path("sub\\w")));
}

TEST_F(FileSystemTest, RecursiveCreateDirFailsUnderAFile) {
    EXPECT_EQ(RecursiveCreateDir(Path("a.log/x/y")), 0);
    EXPECT_EQ(RecursiveCreateDir(""), 0);
    EXPECT_EQ(RecursiveCreateDir("///"), 0);
}

// An FTP server's folder tree in memory, with a log of the calls made on it.
class FakeFtp : public CFtpConnection {
public:
    std::set<std::string> folders{"/", "/pub"};
    std::string current = "/pub";
    std::vector<std::string> created;
    bool refuseGetCurrent = false;

    bool GetCurrentDirectory(std::string& folder) override {
        if (refuseGetCurrent) return false;
        folder = current;
        return true;
    }
    bool SetCurrentDirectory(const std::string& folder) override {
        if (!folders.count(folder)) return false;
        current = folder;
        return true;
    }
    bool CreateDirectory(const std::string& folder) override {
        const std::string parent = folder.substr(0, folder.find_last_of('/'));
        if (folders.count(folder) || !folders.count(parent.empty() ? "/" : parent)) return false;
        folders.insert(folder);
        created.push_back(folder);
        return true;
    }
};

TEST(FtpFolders, FTPDirExistsRestoresTheCurrentFolder) {
    FakeFtp ftp;
    EXPECT_EQ(FTPDirExists(&ftp, "/"), 1);
    EXPECT_EQ(ftp.current, "/pub");
    EXPECT_EQ(FTPDirExists(&ftp, "/nope"), 0);
    EXPECT_EQ(ftp.current, "/pub");
    EXPECT_EQ(FTPDirExists(nullptr, "/"), 0);
}

TEST(FtpFolders, RecursiveFTPCreateDirCreatesParentsFirst) {
    FakeFtp ftp;
    EXPECT_EQ(RecursiveFTPCreateDir(&ftp, "/pub/a/b/"), 1);
    EXPECT_EQ(ftp.created, (std::vector<std::string>{"/pub/a", "/pub/a/b"}));
    EXPECT_EQ(ftp.current, "/pub");
    EXPECT_EQ(RecursiveFTPCreateDir(&ftp, "/pub/a/b"), 0) << "already there";
    EXPECT_EQ(RecursiveFTPCreateDir(nullptr, "/x"), 0);
}

TEST(FtpFolders, ParentThatCannotBeCreatedStopsEarly) {
    FakeFtp ftp;
    ftp.folders = {"/pub"};  // the server refuses everything at the top
    EXPECT_EQ(RecursiveFTPCreateDir(&ftp, "/top/a"), 0);
    EXPECT_TRUE(ftp.created.empty());
}

class LocalTime : public testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (old) m_old = old;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool m_had = false;
    std::string m_old;
};

TEST_F(LocalTime, ConvertCTimeToTimeKeepsTheInstant) {
    // Summer, winter, and both sides of the night the clocks went back (2023-10-29).
    for (time_t t : {time_t{0}, time_t{1690000000}, time_t{1700000000}, time_t{1698539400},
                     time_t{1698543000}}) {
        EXPECT_EQ(ConvertCTimeToTime(t), static_cast<long>(t)) << t;
        struct tm parts {};
        localtime_r(&t, &parts);
        // 02:30 local happens twice that night; the broken-down form cannot tell which.
        const bool ambiguous = t == 1698539400 || t == 1698543000;
        if (!ambiguous) {
            EXPECT_EQ(ConvertCTimeToTime(parts), static_cast<long>(t)) << t;
        }
    }
}

TEST_F(LocalTime, BrokenDownTimeIsReadAsLocal) {
    struct tm parts {};
    parts.tm_year = 124;
    parts.tm_mon = 6;
    parts.tm_mday = 1;
    parts.tm_hour = 12;
    parts.tm_isdst = 0;  // ignored: July in Berlin is summer time
    EXPECT_EQ(ConvertCTimeToTime(parts), 1719828000L);
}

}  // namespace
