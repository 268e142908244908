#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/source/Preprocess.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

const std::string kLog =
    "127.0.0.1 - - [10/Oct/2024:13:55:36 +0000] \"GET /index.html HTTP/1.1\" 200 2326\n"
    "127.0.0.2 - - [10/Oct/2024:13:56:01 +0000] \"GET /a.png HTTP/1.1\" 200 512\n";

void WriteGzip(const std::string& path, const std::string& bytes) {
    gzFile out = gzopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size())),
              static_cast<int>(bytes.size()));
    ASSERT_EQ(gzclose(out), Z_OK);
}

class PreprocessTest : public ::testing::Test {
protected:
    void SetUp() override { CProgress::Initialize(); }
    void TearDown() override { CProgress::Kill(); }

    preprocess_result_t Run(const std::vector<std::string>& files, bool isLocal = true) {
        preprocess_result_t result;
        PreprocessFiles(files, isLocal, result);
        return result;
    }

    // Files in the folder that are not the test's own.
    std::vector<std::string> Leftovers() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind(".logvane", 0) == 0)
                names.push_back(e.path().filename().string());
        return names;
    }

    TempDir dir;
};

TEST_F(PreprocessTest, DetectsGzAnywhereInAnyCase) {
    EXPECT_TRUE(IsCompressedPath("/logs/access.log.gz"));
    EXPECT_TRUE(IsCompressedPath("/logs/ACCESS.LOG.GZ"));
    EXPECT_TRUE(IsCompressedPath("/logs.Gz/access.log"));
    EXPECT_TRUE(IsCompressedPath("/logs/access.log.gzip"));
    EXPECT_FALSE(IsCompressedPath("/logs/access.log.g.z"));
    EXPECT_FALSE(IsCompressedPath("/logs/gz"));
    EXPECT_EQ(DecompressedPath("/logs/access.log.GZ"), "/logs/access.log");
}

TEST_F(PreprocessTest, DecompressesBesideTheSourceAndKeepsTheSource) {
    const std::string gz = dir.file("access.log.gz");
    WriteGzip(gz, kLog);
    const std::string plain = dir.file("plain.log");
    WriteFile(plain, "abc");
    const preprocess_result_t r = Run({gz, plain});
    ASSERT_EQ(r.files, (std::vector<std::string>{dir.file("access.log"), plain}));
    EXPECT_EQ(ReadFile(dir.file("access.log")), kLog);
    EXPECT_TRUE(fs::exists(gz));
    EXPECT_EQ(r.fileCount, 2u);
    EXPECT_EQ(r.byteTotal, kLog.size() + 3);
    EXPECT_TRUE(Leftovers().empty());
    const std::string xml = CProgress::GetXML();
    EXPECT_NE(xml.find("<TEXT>Decompressing access.log.gz...</TEXT>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<PERCENTAGE>100</PERCENTAGE>"), std::string::npos) << xml;
}

TEST_F(PreprocessTest, LocalCopyNeverReplacesAnotherFile) {
    const std::string gz = dir.file("access.log.gz");
    WriteGzip(gz, kLog);
    WriteFile(dir.file("access.log"), "the user's own file");
    const preprocess_result_t r = Run({gz});
    ASSERT_EQ(r.files, std::vector<std::string>{dir.file("access.log-1")});
    EXPECT_EQ(ReadFile(dir.file("access.log")), "the user's own file");
    EXPECT_EQ(ReadFile(dir.file("access.log-1")), kLog);
}

TEST_F(PreprocessTest, SecondRunReusesItsIdenticalCopy) {
    const std::string gz = dir.file("access.log.gz");
    WriteGzip(gz, kLog);
    Run({gz});
    const preprocess_result_t again = Run({gz});
    EXPECT_EQ(again.files, std::vector<std::string>{dir.file("access.log")});
    EXPECT_FALSE(fs::exists(dir.file("access.log-1")));
}

TEST_F(PreprocessTest, DownloadFolderCopyIsReplaced) {
    const std::string gz = dir.file("access.log.gz");
    WriteGzip(gz, kLog);
    WriteFile(dir.file("access.log"), "stale copy");
    const preprocess_result_t r = Run({gz}, false);
    ASSERT_EQ(r.files, std::vector<std::string>{dir.file("access.log")});
    EXPECT_EQ(ReadFile(dir.file("access.log")), kLog);
}

TEST_F(PreprocessTest, CorruptGzipIsReportedAndSkipped) {
    const std::string good = dir.file("good.log.gz");
    WriteGzip(good, kLog);
    std::string broken = ReadFile(good);
    broken.resize(broken.size() / 2);  // cut the deflate stream and its trailer
    const std::string bad = dir.file("bad.log.gz");
    WriteFile(bad, broken);
    const preprocess_result_t r = Run({bad, good});
    EXPECT_EQ(r.files, std::vector<std::string>{dir.file("good.log")});
    EXPECT_FALSE(fs::exists(dir.file("bad.log")));
    EXPECT_TRUE(Leftovers().empty());
    const std::string xml = CProgress::GetXML();
    EXPECT_NE(xml.find("<ERROR HelpFile=\"Trouble/ErrorDecompressing.htm\">There was an error "
                       "decompressing the following file: " +
                       bad + "</ERROR>"),
              std::string::npos)
        << xml;
}

TEST_F(PreprocessTest, MissingGzipIsReported) {
    const preprocess_result_t r = Run({dir.file("gone.log.gz")});
    EXPECT_TRUE(r.files.empty());
    EXPECT_NE(CProgress::GetXML().find("decompressing the following file"), std::string::npos);
}

TEST_F(PreprocessTest, CancelStopsBeforeTheNextFile) {
    WriteFile(dir.file("a.log"), "a");
    CProgress::SetCancel();
    const preprocess_result_t r = Run({dir.file("a.log")});
    EXPECT_TRUE(r.files.empty());
    EXPECT_EQ(CProgress::GetXML().find("HelpFile"), std::string::npos);
}

TEST_F(PreprocessTest, LargeFileSurvivesManyBlocks) {
    std::string big;
    for (int i = 0; big.size() < 300000; ++i) big += kLog + std::to_string(i) + "\n";
    WriteGzip(dir.file("big.log.gz"), big);
    const preprocess_result_t r = Run({dir.file("big.log.gz")});
    ASSERT_EQ(r.files.size(), 1u);
    EXPECT_EQ(ReadFile(r.files[0]), big);
    EXPECT_EQ(r.byteTotal, big.size());
}

}  // namespace

namespace {

TEST_F(PreprocessTest, ReadOnlyFolderDecompressesIntoAScratchFolder) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    const std::string gz = dir.file("ro/access.log.2.gz");
    fs::create_directory(dir.file("ro"));
    WriteGzip(gz, kLog);
    fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    const preprocess_result_t r = Run({gz});
    fs::permissions(dir.file("ro"), fs::perms::owner_all);
    ASSERT_EQ(r.files.size(), 1u);
    ASSERT_EQ(r.scratchFolders.size(), 1u);
    EXPECT_EQ(r.files[0], r.scratchFolders[0] + "/access.log.2");
    EXPECT_EQ(ReadFile(r.files[0]), kLog);
    fs::remove_all(r.scratchFolders[0]);
}

TEST_F(PreprocessTest, ScratchFolderIsOnlyUsedWhenAsked) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    fs::create_directory(dir.file("ro"));
    WriteGzip(dir.file("ro/a.log.gz"), kLog);
    fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    const std::string copy = DecompressFile(dir.file("ro/a.log.gz"), true);
    fs::permissions(dir.file("ro"), fs::perms::owner_all);
    EXPECT_EQ(copy, "");
}

}  // namespace
