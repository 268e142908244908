// Parsing on a worker thread against parsing on the calling thread: the consumer must see the
// same calls with the same hits, batches, progress and errors, on the calling thread, in log
// order, whether the run ends normally, is told to end mid-file or loses its file under a view.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/scan/Scanner.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::TempDir;
using logvane::test::WriteFile;

// The fields of a hit as text, so that two runs compare field by field in a failure message.
std::string Describe(const hit_t& h) {
    std::string text;
    for (std::int64_t n : {std::int64_t(h.time), std::int64_t(h.hour), std::int64_t(h.dayOfWeek),
                           std::int64_t(h.method), h.bytes, std::int64_t(h.status),
                           std::int64_t(h.hostIsName), std::int64_t(h.referrerPresent),
                           std::int64_t(h.agentPresent), std::int64_t(h.cookiePresent)})
        text += std::to_string(n) + " ";
    for (std::string_view field :
         {h.Cookie(), h.Host(), h.Path(), h.Referrer(), h.Agent(), h.User(), h.Server()})
        text += "|" + std::string(field);
    return text;
}

// Everything a consumer can observe of a scan.
struct scan_trace_t {
    std::vector<std::string> hits;
    std::vector<std::size_t> batchSizes;
    std::vector<std::string> progressAtBatch;  // progress document when each batch arrives
    std::string progressAtEnd;
    bool completed = false;
    std::uint64_t accepted = 0;
    bool allOnCallingThread = true;
};

class CTracingConsumer : public CHitConsumer {
public:
    explicit CTracingConsumer(scan_trace_t& trace) : m_trace(trace) {}
    void ResolveBatch(std::span<hit_t> batch) override {
        Check();
        m_trace.batchSizes.push_back(batch.size());
        m_trace.progressAtBatch.push_back(CProgress::GetXML());
    }
    void ProcessHit(hit_t* hit) override {
        Check();
        m_trace.hits.push_back(Describe(*hit));
        if (onHit) onHit(m_trace.hits.size());
    }
    std::function<void(std::size_t)> onHit;

private:
    void Check() {
        if (std::this_thread::get_id() != m_thread) m_trace.allOnCallingThread = false;
    }
    scan_trace_t& m_trace;
    std::thread::id m_thread = std::this_thread::get_id();
};

class ScanOverlap : public ::testing::Test {
protected:
    void SetUp() override { CProgress::Initialize(); }
    void TearDown() override { CProgress::Initialize(); }

    scan_trace_t Run(const std::vector<scan_file_t>& files, bool overlap,
                     std::function<void(std::size_t)> onHit = {}) {
        CProgress::Initialize();
        scan_trace_t trace;
        CTracingConsumer consumer(trace);
        consumer.onHit = std::move(onHit);
        scan_options_t options = m_options;
        options.overlapParsing = overlap;
        options.parseThreads = m_workers;
        options.parallelChunkBytes = m_chunkBytes;
        options.parallelHelpAlways = m_helpAlways;
        trace.completed = ParseAllFiles(files, options, consumer, &trace.accepted);
        trace.progressAtEnd = CProgress::GetXML();
        return trace;
    }

    // Both paths over the same files; every observation must agree.
    void ExpectSameTrace(const std::vector<scan_file_t>& files,
                         const std::function<void(std::size_t)>& onHit = {}) {
        scan_trace_t single = Run(files, false, onHit);
        scan_trace_t overlapped = Run(files, true, onHit);
        EXPECT_TRUE(overlapped.allOnCallingThread);
        EXPECT_EQ(overlapped.completed, single.completed);
        EXPECT_EQ(overlapped.accepted, single.accepted);
        if (m_workers == 1) {
            EXPECT_EQ(overlapped.batchSizes, single.batchSizes);
            EXPECT_EQ(overlapped.progressAtBatch, single.progressAtBatch);
        } else {
            // Two workers also end a batch where a chunk of lines ends, so a run that ends
            // mid-batch may have offered more hits for resolution than it processed.
            if (single.completed) {
                EXPECT_EQ(Sum(overlapped.batchSizes), Sum(single.batchSizes));
            }
            m_lastMaxBatch = 0;
            for (std::size_t n : overlapped.batchSizes)
                m_lastMaxBatch = std::max(m_lastMaxBatch, n);
        }
        EXPECT_EQ(overlapped.progressAtEnd, single.progressAtEnd);
        ASSERT_EQ(overlapped.hits.size(), single.hits.size());
        for (std::size_t i = 0; i < single.hits.size(); ++i)
            ASSERT_EQ(overlapped.hits[i], single.hits[i]) << "hit " << i;
        m_lastHits = single.hits.size();
    }

    static std::size_t Sum(const std::vector<std::size_t>& sizes) {
        std::size_t sum = 0;
        for (std::size_t n : sizes) sum += n;
        return sum;
    }

    // A consumer that ends parsing (as a full string pool does) and the user's cancel, each at
    // hit `stopAt`, stop both paths after the same hit, well before the end of the files.
    void ExpectBothEndingsStopAlike(const std::vector<scan_file_t>& files, std::size_t stopAt) {
        ExpectSameTrace(files, [stopAt](std::size_t n) {
            if (n == stopAt) ParseSetCancel(1);
        });
        EXPECT_LT(m_lastHits, 4500u);
        ExpectSameTrace(files, [stopAt](std::size_t n) {
            if (n == stopAt) CProgress::SetCancel();
        });
        EXPECT_LT(m_lastHits, 4500u);
    }

    TempDir m_dir;
    scan_options_t m_options;
    int m_workers = 1;               // parsing threads of the overlapped runs
    std::uint64_t m_chunkBytes = 0;  // their chunk size with two
    bool m_helpAlways = false;       // the second worker takes chunks however fast hits go
    std::size_t m_lastHits = 0;
    std::size_t m_lastMaxBatch = 0;  // largest batch of the last two-worker run
};

std::vector<scan_file_t> LogsUnder(const std::filesystem::path& folder) {
    std::vector<scan_file_t> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md")
            files.push_back({entry.path().string(), SCAN_LOG_AUTO});
    }
    std::sort(files.begin(), files.end(),
              [](const scan_file_t& a, const scan_file_t& b) { return a.path < b.path; });
    return files;
}

TEST_F(ScanOverlap, FixtureLogsGiveTheSameHitsOneByOneAndAllTogether) {
    std::vector<scan_file_t> files = LogsUnder(std::string(LOGVANE_TEST_DATA_DIR) + "/logs");
    ASSERT_GT(files.size(), 20u);
    for (const scan_file_t& file : files) {
        SCOPED_TRACE(file.path);
        ExpectSameTrace({file});
    }
    m_options.cookieName = "SID";
    ExpectSameTrace(files);
    EXPECT_GT(m_lastHits, 5000u);
}

TEST_F(ScanOverlap, SharedCorpusLogsGiveTheSameHits) {
    std::vector<scan_file_t> files = LogsUnder(LOGVANE_CORPUS_DIR);
    if (files.empty()) GTEST_SKIP() << "no shared corpus";
    m_options.viewSize = 65536;  // many views, so lines also cross view ends
    for (const scan_file_t& file : files) {
        SCOPED_TRACE(file.path);
        ExpectSameTrace({file});
    }
}

// Generated logs of every shape the scanner treats differently: cookies first and last, W3C
// with header blocks changing midway, damaged lines, lines crossing small views.
struct generated_case_t {
    const char* name;
    int logType;
    std::uint64_t viewSize;
    std::string (*make)(int lines, std::mt19937& random);
};

void PrintTo(const generated_case_t& c, std::ostream* out) { *out << c.name; }

std::string NcsaLine(int i, std::mt19937& random) {
    char date[40];
    std::snprintf(date, sizeof(date), "%02d/%s/2006:%02d:%02d:%02d +0100", 1 + i / 86400 % 28,
                  (i / 7) % 2 ? "Jun" : "jul", i / 3600 % 24, i / 60 % 60, i % 60);
    return "10." + std::to_string(random() % 256) + ".0." + std::to_string(i % 256) + " - " +
           (random() % 5 ? "-" : "\"jo e\"") + " [" + date + "] \"" +
           (random() % 3 ? "GET" : "POST") + " /p/" + std::to_string(random() % 1000) +
           std::string(random() % 400, 'q') + " HTTP/1.1\" " + (random() % 4 ? "200" : "404") +
           " " + (random() % 6 ? std::to_string(random() % 90000) : "-") +
           " \"http://ref.example/" + std::to_string(random() % 50) + "\" \"Agent/" +
           std::to_string(random() % 9) + " (x; y)\"";
}

// Inserts a damaging byte into some lines and ends lines with LF or CR LF.
std::string Damaged(std::string line, std::mt19937& random) {
    static const char kBytes[] = "\"[] \t\x01\x7f\xff#";
    if (random() % 11 == 0)
        line.insert(random() % line.size(), 1, kBytes[random() % (sizeof(kBytes) - 1)]);
    return line + (random() % 5 ? "\n" : "\r\n");
}

std::string MakeCombined(int lines, std::mt19937& random) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += Damaged(NcsaLine(i, random), random);
    return text;
}

std::string MakeCookiesLast(int lines, std::mt19937& random) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += Damaged(
            NcsaLine(i, random) + " \"a=1; SID=" + std::to_string(random() % 300) + "; b=2\"",
            random);
    return text;
}

std::string MakeCookiesFirst(int lines, std::mt19937& random) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += Damaged("SID=" + std::to_string(random() % 300) + "; z=1 " + NcsaLine(i, random),
                        random);
    return text;
}

std::string MakeW3C(int lines, std::mt19937& random) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i % 700 == 0) {
            text +=
                "#Software: test\n#Date: 2007-05-" + std::to_string(10 + i / 700) + " 00:00:00\n";
            text += i % 1400 ? "#Fields: time c-ip cs-method cs-uri-stem sc-status cs(Cookie)\n"
                             : "#Fields: date time c-ip cs-uri-stem cs-uri-query sc-status "
                               "sc-bytes cs(User-Agent)\n";
        }
        char time[16];
        std::snprintf(time, sizeof(time), "%02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60);
        std::string ip = "192.168.0." + std::to_string(random() % 256);
        std::string page = "/w/" + std::to_string(random() % 500);
        if (i / 700 % 2)
            text += Damaged(std::string(time) + " " + ip + " GET " + page +
                                " 200 SID=" + std::to_string(random() % 40) + ";+x=y",
                            random);
        else
            text += Damaged("2007-05-14 " + std::string(time) + " " + ip + " " + page +
                                " q=" + std::to_string(random() % 9) + " 200 " +
                                std::to_string(random() % 5000) + " Mozilla/4.0+(compatible)",
                            random);
    }
    return text;
}

class ScanOverlapGenerated : public ScanOverlap,
                             public ::testing::WithParamInterface<generated_case_t> {
protected:
    std::vector<scan_file_t> Generate(int lines) {
        std::mt19937 random(20061);
        std::string path = m_dir.file(std::string(GetParam().name) + ".log");
        WriteFile(path, GetParam().make(lines, random));
        m_options.viewSize = GetParam().viewSize;
        m_options.cookieName = "SID";
        return {{path, GetParam().logType}};
    }
};

TEST_P(ScanOverlapGenerated, GivesTheSameHitsInTheSameBatches) {
    ExpectSameTrace(Generate(6000));
    EXPECT_GT(m_lastHits, 4000u);
}

// A consumer that ends parsing (as a full string pool does) stops both paths after the same
// batch; so does the user's cancel.
TEST_P(ScanOverlapGenerated, EndingParsingMidFileStopsAfterTheSameHit) {
    std::vector<scan_file_t> files = Generate(6000);
    for (std::size_t stopAt : {std::size_t(1), std::size_t(250), std::size_t(251),
                               std::size_t(1234), std::size_t(3999)}) {
        SCOPED_TRACE(stopAt);
        ExpectBothEndingsStopAlike(files, stopAt);
    }
}

const generated_case_t kGenerated[] = {
    {"Combined", SCAN_LOG_ELF, 0, MakeCombined},
    {"CombinedSmallViews", SCAN_LOG_ELF, 8192, MakeCombined},
    {"CombinedDetected", SCAN_LOG_AUTO, 12288, MakeCombined},
    {"CookiesLast", SCAN_LOG_ELFEND, 16384, MakeCookiesLast},
    {"CookiesFirst", SCAN_LOG_ELFBEG, 0, MakeCookiesFirst},
    {"W3CHeaderBlocks", SCAN_LOG_W3C, 8192, MakeW3C},
};

INSTANTIATE_TEST_SUITE_P(Logs, ScanOverlapGenerated, ::testing::ValuesIn(kGenerated));

// Two parsing threads racing for chunks of a few lines each, so that nearly every line meets a
// chunk end or a view end: the same hits in the same order, however the run ends. The calling
// thread parses a batch of its own before each one it hands on (help always), or only while the
// next batch is not ready.
class ScanTwoWorkersGenerated : public ScanOverlapGenerated {
protected:
    void SetUp() override {
        ScanOverlapGenerated::SetUp();
        m_workers = 2;
        m_chunkBytes = 3000;
    }
};

TEST_P(ScanTwoWorkersGenerated, GivesTheSameHitsInOrder) {
    for (bool helpAlways : {true, false}) {
        SCOPED_TRACE(helpAlways ? "help always" : "help on demand");
        m_helpAlways = helpAlways;
        ExpectSameTrace(Generate(6000));
        EXPECT_GT(m_lastHits, 4000u);
        // W3C files stay on one worker: their directives change how later lines read.
        if (GetParam().logType != SCAN_LOG_W3C) {
            EXPECT_LT(m_lastMaxBatch, 250u);
        }
    }
}

// A consumer slower than parsing finds every batch ready, so the worker parses nearly all
// chunks; one that pauses now and then lets both threads take turns in between.
TEST_P(ScanTwoWorkersGenerated, ConsumersOfEverySpeedGetTheSameHits) {
    std::vector<scan_file_t> files = Generate(6000);
    for (int pauseEvery : {5, 97, 1500}) {
        SCOPED_TRACE(pauseEvery);
        ExpectSameTrace(files, [pauseEvery](std::size_t n) {
            if (n % std::size_t(pauseEvery) == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(pauseEvery == 5 ? 2 : 300));
        });
        EXPECT_GT(m_lastHits, 4000u);
    }
}

TEST_P(ScanTwoWorkersGenerated, EndingParsingMidFileStopsAfterTheSameHit) {
    std::vector<scan_file_t> files = Generate(6000);
    for (bool helpAlways : {true, false}) {
        m_helpAlways = helpAlways;
        for (std::size_t stopAt : {std::size_t(1), std::size_t(7), std::size_t(1234)}) {
            SCOPED_TRACE(std::to_string(stopAt) + (helpAlways ? " help always" : ""));
            ExpectBothEndingsStopAlike(files, stopAt);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Logs, ScanTwoWorkersGenerated, ::testing::ValuesIn(kGenerated));

TEST_F(ScanOverlap, TwoWorkersGiveTheSameHitsForFixtureAndCorpusLogs) {
    m_workers = 2;
    m_chunkBytes = 1024;
    std::vector<scan_file_t> files = LogsUnder(std::string(LOGVANE_TEST_DATA_DIR) + "/logs");
    std::vector<scan_file_t> corpus = LogsUnder(LOGVANE_CORPUS_DIR);
    files.insert(files.end(), corpus.begin(), corpus.end());
    ASSERT_GT(files.size(), 20u);
    m_options.cookieName = "SID";
    for (std::uint64_t view : {std::uint64_t(0), std::uint64_t(65536)}) {
        m_options.viewSize = view;
        for (const scan_file_t& file : files) {
            SCOPED_TRACE(file.path + " view " + std::to_string(view));
            ExpectSameTrace({file});
        }
    }
}

// A file cut short while the worker reads ahead: the hits handed on are the file's first hits,
// at least those the single-threaded path hands on, the file ends with the open error and the
// next file is parsed.
TEST_F(ScanOverlap, AFileTruncatedWhileReadEndsWithTheErrorAfterAPrefixOfItsHits) {
    std::mt19937 random(7);
    const std::string full = MakeCombined(20000, random);
    std::string rotated = m_dir.file("rotated.log"), next = m_dir.file("next.log");
    WriteFile(next, NcsaLine(100, random) + "\n");
    std::vector<scan_file_t> files{{rotated, SCAN_LOG_ELF}, {next, SCAN_LOG_ELF}};
    WriteFile(rotated, full);
    scan_trace_t whole = Run(files, true);
    ASSERT_GT(whole.hits.size(), 15000u);

    for (off_t cut : {off_t(0), off_t(4096), off_t(300000)}) {
        for (std::uint64_t view :
             {std::uint64_t(0), std::uint64_t(65536), std::uint64_t(1), std::uint64_t(2)}) {
            // Views 1 and 2 stand for two parsing threads over chunks of 4 KiB in 64 KiB views,
            // the calling thread parsing chunks always (1) or while it waits for hits (2).
            m_workers = view <= 2 && view > 0 ? 2 : 1;
            m_chunkBytes = 4096;
            m_helpAlways = view == 1;
            SCOPED_TRACE("cut " + std::to_string(cut) + " view " + std::to_string(view));
            m_options.viewSize = m_workers == 2 ? 65536 : view;
            scan_trace_t traces[2];
            for (bool overlap : {false, true}) {
                WriteFile(rotated, full);
                traces[overlap] = Run(files, overlap, [&](std::size_t n) {
                    if (n == 1) {
                        ASSERT_EQ(truncate(rotated.c_str(), cut), 0);
                    }
                });
            }
            const scan_trace_t& single = traces[0];
            const scan_trace_t& overlapped = traces[1];
            EXPECT_TRUE(overlapped.allOnCallingThread);
            EXPECT_TRUE(overlapped.completed);
            EXPECT_NE(overlapped.progressAtEnd.find(
                          "There was an error opening the following log file: " + rotated),
                      std::string::npos);
            // One worker reads a whole batch ahead; two threads read chunks of a few lines.
            if (m_workers == 1) {
                ASSERT_GE(overlapped.hits.size(), single.hits.size());
            }
            ASSERT_LT(overlapped.hits.size(), whole.hits.size());
            // All but the last hit (from the next file) are the rotated file's first hits.
            for (std::size_t i = 0; i + 1 < overlapped.hits.size(); ++i)
                ASSERT_EQ(overlapped.hits[i], whole.hits[i]) << "hit " << i;
            EXPECT_EQ(overlapped.hits.back(), whole.hits.back());
        }
    }
}

TEST_F(ScanOverlap, FilesWithErrorsAreReportedInTheSameOrder) {
    std::mt19937 random(3);
    std::string good = m_dir.file("good.log"), w3c = m_dir.file("nofields.log");
    WriteFile(good, MakeCombined(900, random));
    WriteFile(w3c, "2007-05-14 00:00:01 1.2.3.4 /a 200\n");
    ExpectSameTrace({{m_dir.file("missing.log"), SCAN_LOG_ELF},
                     {good, SCAN_LOG_ELF},
                     {w3c, SCAN_LOG_W3C},
                     {m_dir.path().string(), SCAN_LOG_ELF},
                     {good, SCAN_LOG_AUTO}});
    EXPECT_GT(m_lastHits, 1500u);
}

}  // namespace
