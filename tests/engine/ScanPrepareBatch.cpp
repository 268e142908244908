// Every batch reaches the consumer's PrepareBatch once, in log order, before its hits reach
// ProcessHit, whether the file is parsed on the calling thread, on one worker or on two.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/scan/Scanner.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::TempDir;
using logvane::test::WriteFile;

class CPreparingConsumer : public CHitConsumer {
public:
    void PrepareBatch(std::span<hit_t> batch) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::this_thread::get_id() != m_thread) preparedElsewhere = true;
        for (hit_t& hit : batch) {
            prepared.emplace_back(hit.Path());
            // The mark tells ProcessHit that this very record was prepared.
            hit.method = kPreparedMark;
        }
    }
    void ProcessHit(hit_t* hit) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (hit->method != kPreparedMark) ++unprepared;
        hit->method = 0;
        processed.emplace_back(hit->Path());
    }

    static constexpr std::int32_t kPreparedMark = 0x5eed;
    std::vector<std::string> prepared, processed;
    int unprepared = 0;
    bool preparedElsewhere = false;

private:
    std::mutex m_mutex;
    std::thread::id m_thread = std::this_thread::get_id();
};

struct prepare_case_t {
    bool overlap;
    int workers;
};

class ScanPrepareBatch : public testing::TestWithParam<prepare_case_t> {
protected:
    void SetUp() override { CProgress::Initialize(); }
    void TearDown() override { CProgress::Initialize(); }
};

TEST_P(ScanPrepareBatch, EveryHitIsPreparedOnceInLogOrderBeforeItIsProcessed) {
    TempDir dir;
    std::string log;
    for (int i = 0; i < 20000; ++i)
        log += "10.0.0." + std::to_string(i % 250) +
               " - - [01/Mar/2024:10:" + std::to_string(10 + i % 50) + ":00 +0000] \"GET /p" +
               std::to_string(i) + ".html HTTP/1.1\" 200 " + std::to_string(i) +
               " \"-\" \"agent\"\n";
    const std::string path = dir.file("access.log");
    WriteFile(path, log);

    scan_options_t options;
    options.overlapParsing = GetParam().overlap;
    options.parseThreads = GetParam().workers;
    options.parallelChunkBytes = 8192;
    options.parallelHelpAlways = true;
    CPreparingConsumer consumer;
    ASSERT_TRUE(ParseAllFiles({{path, SCAN_LOG_ELF}}, options, consumer));

    ASSERT_EQ(consumer.processed.size(), 20000u);
    EXPECT_EQ(consumer.unprepared, 0);
    EXPECT_EQ(consumer.prepared, consumer.processed);
    for (std::size_t i = 0; i < consumer.processed.size(); i += 4999)
        EXPECT_EQ(consumer.processed[i], "/p" + std::to_string(i) + ".html");
    // A worker prepares what it fills; only batches parsed by two workers are prepared on the
    // consumer's thread, where they come back in order.
    if (GetParam().overlap && GetParam().workers == 1) {
        EXPECT_TRUE(consumer.preparedElsewhere);
    }
}

// A consumer with work of its own that any thread may do, and a slow side that holds its first
// batch until the other thread has come for that work (or ten seconds have passed): the other
// thread finds its ring full (a slow consumer) or empty (a slow parser) meanwhile.
class CHelpedConsumer : public CHitConsumer {
public:
    explicit CHelpedConsumer(bool slowParser) : m_slowParser(slowParser) {}
    void PrepareBatch(std::span<hit_t>) override {
        if (m_slowParser) AwaitHelp(helpedHere);
    }
    void ProcessHit(hit_t* hit) override {
        if (!m_slowParser && paths.empty()) AwaitHelp(helpedElsewhere);
        paths.emplace_back(hit->Path());
    }
    bool HelpWhileWaiting() override {
        ++(std::this_thread::get_id() == m_thread ? helpedHere : helpedElsewhere);
        return false;  // nothing to do: the thread then waits as it would have
    }

    std::vector<std::string> paths;
    std::atomic<int> helpedHere{0}, helpedElsewhere{0};

private:
    static void AwaitHelp(const std::atomic<int>& helped) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (helped == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }

    bool m_slowParser;
    std::thread::id m_thread = std::this_thread::get_id();
};

TEST(ScanHelpWhileWaiting, TheThreadThatWouldWaitDoesTheConsumersWork) {
    CProgress::Initialize();
    TempDir dir;
    std::string log;
    for (int i = 0; i < 5000; ++i)
        log += "10.0.0.1 - - [01/Mar/2024:10:00:00 +0000] \"GET /p" + std::to_string(i) +
               ".html HTTP/1.1\" 200 1 \"-\" \"agent\"\n";
    const std::string path = dir.file("access.log");
    WriteFile(path, log);
    scan_options_t options;
    options.overlapParsing = true;
    options.parseThreads = 1;
    for (const bool slowParser : {false, true}) {
        SCOPED_TRACE(slowParser ? "slow parser" : "slow consumer");
        CHelpedConsumer consumer(slowParser);
        ASSERT_TRUE(ParseAllFiles({{path, SCAN_LOG_ELF}}, options, consumer));
        ASSERT_EQ(consumer.paths.size(), 5000u);
        EXPECT_EQ(consumer.paths[4999], "/p4999.html");
        // Help comes from the thread that waits: the parser for a slow consumer, the
        // consumer's own thread for a slow parser.
        EXPECT_GT((slowParser ? consumer.helpedHere : consumer.helpedElsewhere).load(), 0);
    }
    CProgress::Initialize();
}

INSTANTIATE_TEST_SUITE_P(Modes, ScanPrepareBatch,
                         testing::Values(prepare_case_t{false, 1}, prepare_case_t{true, 1},
                                         prepare_case_t{true, 2}),
                         [](const testing::TestParamInfo<prepare_case_t>& info) {
                             return std::string(info.param.overlap ? "Overlapped" : "Calling") +
                                    std::to_string(info.param.workers) + "Workers";
                         });

}  // namespace
