// The file scanner: views and lines that cross them, batches, file order, progress, errors,
// debug output, huge and shrinking files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/parse/LineParser.h"
#include "engine/scan/LogFileScanner.h"
#include "engine/scan/MappedFile.h"
#include "engine/scan/Scanner.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

// Keeps what the scanner hands on.
class CRecordingConsumer : public CHitConsumer {
public:
    void ResolveBatch(std::span<hit_t> batch) override { batchSizes.push_back(batch.size()); }
    void ProcessHit(hit_t* hit) override {
        paths.emplace_back(hit->Path());
        hits.push_back(*hit);
        if (onHit) onHit(*hit);
    }

    std::vector<std::string> paths;
    std::vector<hit_t> hits;
    std::vector<std::size_t> batchSizes;
    std::function<void(const hit_t&)> onHit;
};

// A common-format line for hit number i, padded so that line lengths vary.
std::string CommonLine(int i, int padding = 0, int day = 1) {
    char date[64];
    std::snprintf(date, sizeof(date), "%02d/Mar/2005:%02d:%02d:%02d +0000", day, (i / 3600) % 24,
                  (i / 60) % 60, i % 60);
    return "10.0." + std::to_string((i / 256) % 256) + "." + std::to_string(i % 256) + " - - [" +
           date + "] \"GET /page" + std::to_string(i) + std::string(padding, 'x') +
           " HTTP/1.0\" 200 " + std::to_string(i);
}

// The path of CommonLine(i, padding) as a hit holds it.
std::string ExpectedPath(int i, int padding = 0) {
    return ("/page" + std::to_string(i) + std::string(padding, 'x')).substr(0, kHitTextMax);
}

class ScanFixture : public ::testing::Test {
protected:
    void SetUp() override { CProgress::Initialize(); }
    void TearDown() override { CProgress::Initialize(); }

    bool Scan(const std::vector<std::string>& paths, int logType = SCAN_LOG_AUTO) {
        std::vector<scan_file_t> files;
        for (const std::string& path : paths) files.push_back({path, logType});
        return ParseAllFiles(files, m_options, m_consumer, &m_accepted);
    }

    std::string Progress() const { return CProgress::GetXML(); }

    TempDir m_dir;
    scan_options_t m_options;
    CRecordingConsumer m_consumer;
    std::uint64_t m_accepted = 0;
};

// Lines of varying length across views of a few pages: every line arrives whole and once.
class ScanAcrossViews : public ScanFixture, public ::testing::WithParamInterface<std::uint64_t> {};

TEST_P(ScanAcrossViews, EveryLineArrivesWholeAndOnce) {
    m_options.viewSize = GetParam();
    std::string text;
    const int kLines = 3000;
    for (int i = 0; i < kLines; ++i)
        text += CommonLine(i, (i * 37) % 300) + (i % 3 ? "\n" : "\r\n");
    std::string path = m_dir.file("access.log");
    WriteFile(path, text);
    ASSERT_TRUE(Scan({path}));
    ASSERT_EQ(m_consumer.paths.size(), std::size_t(kLines));
    for (int i = 0; i < kLines; ++i)
        ASSERT_EQ(m_consumer.paths[i], ExpectedPath(i, (i * 37) % 300));
    EXPECT_EQ(m_accepted, std::uint64_t(kLines));
    EXPECT_EQ(Progress().find("<ERROR>"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(ViewSizes, ScanAcrossViews,
                         ::testing::Values(1, 8192, 8192 + 4096, 65536, 0));

TEST_F(ScanFixture, ViewSizeIsFiftyMillionRoundedDownToThePage) {
    CLogFileScanner scanner(m_options, m_consumer);
    EXPECT_EQ(scanner.ViewSize(), 50000000 - 50000000 % PageSize());
    m_options.viewSize = 10000;
    CLogFileScanner small(m_options, m_consumer);
    EXPECT_EQ(small.ViewSize(), 2 * PageSize());
}

TEST_F(ScanFixture, LastLineWithoutFinalLineFeedIsParsed) {
    for (std::uint64_t view : {std::uint64_t(0), std::uint64_t(8192)}) {
        m_consumer.paths.clear();
        m_options.viewSize = view;
        std::string text;
        for (int i = 0; i < 200; ++i) text += CommonLine(i) + "\n";
        text += CommonLine(200);
        std::string path = m_dir.file("nofinal.log");
        WriteFile(path, text);
        ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
        ASSERT_EQ(m_consumer.paths.size(), 201u) << "view " << view;
        EXPECT_EQ(m_consumer.paths.back(), ExpectedPath(200));
    }
}

TEST_F(ScanFixture, ALineLongerThanAViewIsSkippedAndTheRestParsed) {
    m_options.viewSize = 8192;
    std::string text = CommonLine(0) + "\n" + CommonLine(1, 30000) + "\n" + CommonLine(2) + "\n";
    std::string path = m_dir.file("long.log");
    WriteFile(path, text);
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    EXPECT_EQ(m_consumer.paths, (std::vector<std::string>{ExpectedPath(0), ExpectedPath(2)}));
}

// The line is skipped to its end however many views it spans: the part of it that a third view
// begins with is no line of its own, even when it reads like one.
TEST_F(ScanFixture, ALineSpanningThreeViewsIsSkippedToItsEnd) {
    const std::string first = CommonLine(0) + "\n";
    const std::string text = first + std::string(16384 - first.size(), 'y') + CommonLine(7) + "\n" +
                             CommonLine(2) + "\n";
    std::string path = m_dir.file("three-views.log");
    WriteFile(path, text);
    m_options.viewSize = 8192;
    for (int workers : {0, 1, 2}) {
        m_options.overlapParsing = workers > 0;
        m_options.parseThreads = workers;
        m_options.parallelChunkBytes = 256;
        m_consumer = CRecordingConsumer();
        ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
        EXPECT_EQ(m_consumer.paths, (std::vector<std::string>{ExpectedPath(0), ExpectedPath(2)}))
            << workers << " workers";
    }
}

TEST_F(ScanFixture, AMultiMegabyteLineInOneViewIsParsedWithItsFieldsCut) {
    std::string text = CommonLine(0) + "\n" + CommonLine(1, 3000000) + "\n" + CommonLine(2);
    std::string path = m_dir.file("huge-line.log");
    WriteFile(path, text);
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    ASSERT_EQ(m_consumer.paths.size(), 3u);
    EXPECT_EQ(m_consumer.hits[1].pathLen, 249);
}

TEST_F(ScanFixture, ControlBytesAndCarriageReturnsSeparateLines) {
    std::string text = std::string("\0\0\0\x01\x7f\xff", 6) + CommonLine(0) + "\r" + CommonLine(1) +
                       std::string("\n\0\0\n", 4) + CommonLine(2) + "\n";
    std::string path = m_dir.file("ctl.log");
    WriteFile(path, text);
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    EXPECT_EQ(m_consumer.paths,
              (std::vector<std::string>{ExpectedPath(0), ExpectedPath(1), ExpectedPath(2)}));
}

TEST_F(ScanFixture, TrailingFieldsAfterAnAcceptedHitDoNotBecomeAnotherHit) {
    // Everything after the bytes field of a common line: the scanner resumes at the line end.
    std::string text = CommonLine(0) + " " + CommonLine(1) + "\n";
    std::string path = m_dir.file("trailing.log");
    WriteFile(path, text);
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    EXPECT_EQ(m_consumer.paths, (std::vector<std::string>{ExpectedPath(0)}));
}

TEST_F(ScanFixture, HandsHitsOnInBatchesOf250WithTheirFlagsSet) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += CommonLine(i) + "\n";
    text += "host.example.com - - [01/Mar/2005:00:00:00 +0000] \"GET /n HTTP/1.0\" 200 1\n";
    std::string path = m_dir.file("batches.log");
    WriteFile(path, text);
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    EXPECT_EQ(m_consumer.batchSizes, (std::vector<std::size_t>{250, 250, 101}));
    EXPECT_EQ(m_consumer.hits.front().hostIsName, 0);
    EXPECT_EQ(m_consumer.hits.back().hostIsName, 1);
    EXPECT_EQ(m_consumer.hits.front().referrerPresent, 0);
    EXPECT_EQ(m_consumer.hits.front().agentPresent, 0);
    EXPECT_EQ(m_consumer.hits.front().cookiePresent, 0);
}

TEST_F(ScanFixture, CookieAndPresenceFlagsFollowTheFormat) {
    m_options.cookieName = "SID";
    std::string line =
        R"L(1.2.3.4 - - [01/Mar/2005:00:00:00 +0000] "GET / HTTP/1.0" 200 1 "-" "UA" "SID=xyz")L";
    std::string path = m_dir.file("cookies.log");
    WriteFile(path, line + "\n" + line + "\n");
    ASSERT_TRUE(Scan({path}, SCAN_LOG_ELFEND));
    ASSERT_EQ(m_consumer.hits.size(), 2u);
    EXPECT_EQ(m_consumer.hits[0].Cookie(), "xyz");
    EXPECT_EQ(m_consumer.hits[0].cookiePresent, 1);
    EXPECT_EQ(m_consumer.hits[0].referrerPresent, 1);
    EXPECT_EQ(m_consumer.hits[0].agentPresent, 1);
}

TEST_F(ScanFixture, FilesAreParsedInOrderOfTheirFirstTimeStamp) {
    std::string late = m_dir.file("late.log"), early = m_dir.file("early.log");
    std::string undated = m_dir.file("undated.log"), sameA = m_dir.file("sameA.log");
    std::string sameB = m_dir.file("sameB.log");
    WriteFile(late, CommonLine(1, 0, 20) + "\n");
    WriteFile(early, CommonLine(2, 0, 2) + "\n");
    WriteFile(sameA, CommonLine(3, 0, 10) + "\n");
    WriteFile(sameB, CommonLine(3, 0, 10) + "\n" + CommonLine(4, 0, 10) + "\n");
    WriteFile(undated,
              "#Fields: date time c-ip cs-uri-stem sc-status\n"
              "2005-03-01 00:00:01 1.2.3.4 /w3c 200\n");
    ASSERT_TRUE(Scan({late, sameA, early, undated, sameB}));
    EXPECT_EQ(m_consumer.paths,
              (std::vector<std::string>{"/w3c", ExpectedPath(2), ExpectedPath(3), ExpectedPath(3),
                                        ExpectedPath(4), ExpectedPath(1)}));
}

TEST_F(ScanFixture, W3CFieldsChangingMidwayApplyFromThatLineOn) {
    std::string path = m_dir.file("w3c.log");
    WriteFile(path,
              "#Software: test\r\n#Date: 2005-03-01 00:00:00\r\n"
              "#Fields: time c-ip cs-uri-stem sc-status\r\n"
              "00:00:01 1.1.1.1 /first 200\r\n"
              "#Fields: date time cs-uri-stem c-ip sc-status cs(Cookie)\r\n"
              "2005-03-02 00:00:02 /second 2.2.2.2 404 SID=abc;+x=1\r\n"
              "#fields: time c-ip cs-uri-stem sc-status\r\n"
              "00:00:03 3.3.3.3 /third 200\r\n");
    m_options.cookieName = "SID";
    ASSERT_TRUE(Scan({path}));
    ASSERT_EQ(m_consumer.hits.size(), 3u);
    EXPECT_EQ(m_consumer.hits[0].Host(), "1.1.1.1");
    EXPECT_EQ(m_consumer.hits[0].time, 1109635201);
    EXPECT_EQ(m_consumer.hits[1].Host(), "2.2.2.2");
    EXPECT_EQ(m_consumer.hits[1].status, 404);
    EXPECT_EQ(m_consumer.hits[1].Cookie(), "abc");
    EXPECT_EQ(m_consumer.hits[2].Path(), "/third");
    EXPECT_EQ(m_consumer.hits[2].cookiePresent, 0);
}

TEST_F(ScanFixture, W3CLinesWithoutADateColumnTakeTheLatestHeaderDate) {
    std::string path = m_dir.file("ftp.log");
    WriteFile(path,
              "#Date: 2005-03-01 00:00:00\n#Fields: time c-ip cs-uri-stem sc-status\n"
              "10:00:00 1.1.1.1 /day1 200\n"
              "#Date: 2005-03-02 00:00:00\n#Fields: time c-ip cs-uri-stem sc-status\n"
              "10:00:00 1.1.1.1 /day2 200\n"
              "#date: 2005-03-03\n"
              "10:00:00 1.1.1.1 /nodate 200\n");
    ASSERT_TRUE(Scan({path}));
    ASSERT_EQ(m_consumer.hits.size(), 2u);  // a "#Date: " line without a time gives no date
    EXPECT_EQ(m_consumer.hits[0].time, 1109671200);
    EXPECT_EQ(m_consumer.hits[1].time, 1109671200 + 86400);
}

TEST_F(ScanFixture, CommentLinesNeverReachAParser) {
    m_options.debugOutput = true;
    m_options.debugOutputPath = m_dir.file("logOutput.txt");
    std::string path = m_dir.file("comments.log");
    std::string longLine = CommonLine(1, 1200);
    WriteFile(path, "# comment\n" + CommonLine(0) + "\n#another\n" + longLine + "\n");
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    EXPECT_EQ(m_consumer.paths.size(), 2u);
    EXPECT_EQ(ReadFile(m_options.debugOutputPath),
              CommonLine(0) + "\r\n" + longLine.substr(0, 500) + "\r\n");
}

TEST_F(ScanFixture, ProgressNamesTheFileAndEndsAt100Percent) {
    std::string path = m_dir.file("progress.log");
    WriteFile(path, CommonLine(0) + "\n" + CommonLine(1) + "\n");
    ASSERT_TRUE(Scan({path}));
    std::string progress = Progress();
    EXPECT_NE(progress.find("Analyzing progress.log"), std::string::npos) << progress;
    EXPECT_NE(progress.find("100"), std::string::npos) << progress;
}

TEST_F(ScanFixture, EmptyFileGivesNoHitsAndNoError) {
    std::string path = m_dir.file("empty.log");
    WriteFile(path, "");
    ASSERT_TRUE(Scan({path}));
    EXPECT_TRUE(m_consumer.paths.empty());
    EXPECT_EQ(Progress().find("<ERROR>"), std::string::npos);
}

TEST_F(ScanFixture, FilesThatCannotBeOpenedAreReportedAndTheRunGoesOn) {
    std::string good = m_dir.file("good.log");
    WriteFile(good, CommonLine(0) + "\n");
    std::string missing = m_dir.file("vanished.log");
    std::string folder = m_dir.file("folder.log");
    std::filesystem::create_directory(folder);
    std::string fifo = m_dir.file("fifo.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(Scan({missing, folder, fifo, good}));
    EXPECT_EQ(m_consumer.paths, (std::vector<std::string>{ExpectedPath(0)}));
    std::string progress = Progress();
    for (const std::string& bad : {missing, folder, fifo})
        EXPECT_NE(progress.find("There was an error opening the following log file: " + bad),
                  std::string::npos)
            << progress;
    EXPECT_NE(progress.find("Trouble/ErrorCannotOpenLogFile.htm"), std::string::npos);
}

TEST_F(ScanFixture, W3CWithoutFieldsIsInAnUnexpectedFormat) {
    std::string path = m_dir.file("nofields.log");
    WriteFile(path, "#Software: x\n2005-03-01 00:00:01 1.2.3.4 /a 200\n");
    ASSERT_TRUE(Scan({path}, SCAN_LOG_W3C));
    EXPECT_TRUE(m_consumer.paths.empty());
    EXPECT_NE(Progress().find("The following log file was in an unexpected format: " + path),
              std::string::npos);
}

TEST_F(ScanFixture, ALogTypeWithoutParserCannotBeOpened) {
    std::string path = m_dir.file("five.log");
    WriteFile(path, CommonLine(0) + "\n");
    ASSERT_TRUE(Scan({path}, 5));
    EXPECT_NE(Progress().find("There was an error opening the following log file: " + path),
              std::string::npos);
    CProgress::Initialize();
    ASSERT_TRUE(Scan({path}, 6));
    EXPECT_NE(Progress().find("The following log file was in an unexpected format: " + path),
              std::string::npos);
}

TEST_F(ScanFixture, ParseEndStopsTheRunAndLaterFiles) {
    std::string first = m_dir.file("a.log"), second = m_dir.file("b.log");
    std::string text;
    for (int i = 0; i < 1000; ++i) text += CommonLine(i) + "\n";
    WriteFile(first, text);
    WriteFile(second, CommonLine(5, 0, 9) + "\n");
    m_consumer.onHit = [](const hit_t&) { ParseSetCancel(1); };
    EXPECT_FALSE(Scan({first, second}));
    EXPECT_EQ(m_consumer.paths.size(), 250u);  // the batch under way is still handed on
    EXPECT_EQ(Progress().find("<ERROR>"), std::string::npos);
}

TEST_F(ScanFixture, BinaryGarbageGivesNoHitsAndNoCrash) {
    std::string garbage;
    std::uint32_t state = 12345;
    for (int i = 0; i < 300000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    std::string path = m_dir.file("garbage.bin");
    WriteFile(path, garbage + "\n" + CommonLine(7) + "\n");
    m_options.viewSize = 8192;
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    ASSERT_FALSE(m_consumer.paths.empty());
    EXPECT_EQ(m_consumer.paths.back(), ExpectedPath(7));
}

// The scanner must hand on exactly the hits that parsing each line by itself gives, whatever
// bytes the lines hold and wherever the views end.
TEST_F(ScanFixture, HandsOnWhatParsingEachLineAloneGives) {
    std::mt19937 random(4242);
    const char interesting[] = "\"[]/ \t\r\n\0\x01\x7f\xff-#";
    std::string text;
    for (int i = 0; i < 4000; ++i) {
        std::string line = CommonLine(i, int(random() % 300));
        if (random() % 3 == 0) {
            std::size_t pos = random() % line.size();
            char byte = interesting[random() % (sizeof(interesting) - 1)];
            if (random() % 2)
                line.insert(pos, 1, byte);
            else
                line[pos] = byte;
        }
        text += line + ((random() % 4) ? "\n" : "\r\n");
    }
    std::string path = m_dir.file("mixed.log");
    WriteFile(path, text);

    std::vector<std::string> expected;
    auto hit = std::make_unique<hit_t>();
    parse_context_t context;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size()) {
            unsigned char c = static_cast<unsigned char>(text[pos]);
            if (!((c < 32 && c != '\t') || c == 127 || c == 255)) break;
            ++pos;
        }
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        if (end > pos && text[pos] != '#' &&
            ParseCommonLine(text.data() + pos, end - pos, *hit, context) > 0 && hit->time > 0)
            expected.emplace_back(hit->Path());
        pos = end;
    }
    for (std::uint64_t view : {std::uint64_t(8192), std::uint64_t(0)}) {
        m_consumer.paths.clear();
        m_options.viewSize = view;
        ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
        EXPECT_EQ(m_consumer.paths, expected) << "view " << view;
    }
    EXPECT_GT(expected.size(), 2000u);
    EXPECT_LT(expected.size(), 4000u);
}

// A file shrinking under the mapping (copytruncate rotation) ends that file with the open error;
// the next file is still parsed. The exact count needs the path without read-ahead; the
// overlapped path is held to the same error and a prefix of the hits in ScanOverlap.
TEST_F(ScanFixture, AFileTruncatedWhileReadEndsWithAnErrorAndTheRunGoesOn) {
    m_options.overlapParsing = false;
    std::string rotated = m_dir.file("rotated.log"), next = m_dir.file("next.log");
    std::string text;
    for (int i = 0; i < 20000; ++i) text += CommonLine(i, 20) + "\n";
    WriteFile(rotated, text);
    WriteFile(next, CommonLine(1, 0, 30) + "\n");
    m_consumer.onHit = [&](const hit_t&) {
        if (m_consumer.hits.size() == 1) {
            ASSERT_EQ(truncate(rotated.c_str(), 0), 0);
        }
    };
    ASSERT_TRUE(Scan({rotated, next}, SCAN_LOG_CLF));
    EXPECT_EQ(m_consumer.paths.size(), 251u);
    EXPECT_EQ(m_consumer.paths.back(), ExpectedPath(1));
    EXPECT_NE(Progress().find("There was an error opening the following log file: " + rotated),
              std::string::npos);
}

// Cut between or inside small views: the file still ends with the error.
class ScanTruncatedBetweenViews : public ScanFixture,
                                  public ::testing::WithParamInterface<off_t> {};

TEST_P(ScanTruncatedBetweenViews, EndsTheFileWithTheOpenError) {
    m_options.viewSize = 8192;
    std::string path = m_dir.file("cut.log");
    std::string text;
    for (int i = 0; i < 2000; ++i) text += CommonLine(i) + "\n";
    WriteFile(path, text);
    const off_t cut = GetParam();
    m_consumer.onHit = [&](const hit_t&) {
        if (m_consumer.hits.size() == 1) {
            ASSERT_EQ(truncate(path.c_str(), cut), 0);
        }
    };
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    EXPECT_LT(m_consumer.paths.size(), 2000u);
    EXPECT_NE(Progress().find("There was an error opening the following log file: " + path),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(CutAt, ScanTruncatedBetweenViews,
                         ::testing::Values(off_t(0), off_t(4096), off_t(8192), off_t(12288),
                                           off_t(20000)));

TEST_F(ScanFixture, AFileTruncatedByAnotherThreadNeverCrashesTheScan) {
    std::string path = m_dir.file("racing.log");
    std::string text;
    for (int i = 0; i < 40000; ++i) text += CommonLine(i, 100) + "\n";
    for (int round = 0; round < 5; ++round) {
        CProgress::Initialize();
        m_consumer.paths.clear();
        m_consumer.hits.clear();
        WriteFile(path, text);
        std::atomic<bool> started{false};
        m_consumer.onHit = [&](const hit_t&) { started = true; };
        std::thread truncater([&] {
            while (!started) std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::microseconds(200 * round));
            truncate(path.c_str(), 4096 * round);
        });
        Scan({path}, SCAN_LOG_CLF);
        truncater.join();
        const bool complete = m_consumer.paths.size() == 40000u;
        const bool reported = Progress().find("There was an error opening") != std::string::npos;
        EXPECT_TRUE(complete || reported) << "round " << round << ": " << m_consumer.paths.size();
    }
}

// A sparse file whose lines lie past 4 GB: 64-bit offsets through views, the date sort and
// the progress arithmetic.
TEST_F(ScanFixture, LinesPast4GBOfASparseFileAreParsed) {
    std::string path = m_dir.file("sparse.log");
    const std::uint64_t kFar = (std::uint64_t(1) << 32) + 12345;
    {
        int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        std::string head = CommonLine(0) + "\n";
        std::string tail = "\n" + CommonLine(1) + "\n" + CommonLine(2);
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), off_t(kFar)), ssize_t(tail.size()));
        ::close(fd);
    }
    ASSERT_TRUE(Scan({path}, SCAN_LOG_CLF));
    EXPECT_EQ(m_consumer.paths,
              (std::vector<std::string>{ExpectedPath(0), ExpectedPath(1), ExpectedPath(2)}));
    EXPECT_NE(Progress().find("100"), std::string::npos);
    int fd = ::open(path.c_str(), O_RDONLY);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

}  // namespace
