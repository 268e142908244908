#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/table/StringPool.h"
#include "utility/Progress.h"

namespace {

class StringPoolTest : public ::testing::Test {
protected:
    void SetUp() override { CProgress::Initialize(); }
    void TearDown() override { CProgress::Kill(); }
};

TEST_F(StringPoolTest, CopiesAreZeroTerminatedAndSurviveLaterChunks) {
    CStringPool pool(64);
    std::vector<std::pair<char*, std::string>> copies;
    for (int i = 0; i < 200; ++i) {
        const std::string text = "key-" + std::to_string(i);
        char* copy = pool.Copy(text.data(), text.size());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(copy) % 8, 0u);
        copies.emplace_back(copy, text);
    }
    EXPECT_GT(pool.GetChunkCount(), 1u);
    for (const auto& [copy, text] : copies) EXPECT_STREQ(copy, text.c_str());
}

// The parsing thread reads what it allocated while the counting thread writes what it did: a
// cache line holding both would move between the cores at every write. Blocks requested in
// turn by two threads, across stretches and chunks, never share a line, and each survives.
TEST_F(StringPoolTest, BlocksOfTwoThreadsNeverShareACacheLine) {
    CStringPool pool(32 * 1024);  // stretches of 1 KB
    std::vector<std::pair<char*, std::string>> copies[2];
    const auto take = [&](int who, int i) {
        const std::string text = std::to_string(who) + "-" + std::string(i % 40, 'x');
        char* copy = pool.Copy(text.data(), text.size());
        ASSERT_NE(copy, nullptr);
        copies[who].emplace_back(copy, text);
    };
    for (int i = 0; i < 3000; ++i) {
        take(0, i);
        std::thread([&] { take(1, i); }).join();
    }
    EXPECT_GT(pool.GetChunkCount(), 2u);
    std::set<std::uintptr_t> lines[2];
    for (int who = 0; who < 2; ++who) {
        for (const auto& [copy, text] : copies[who]) {
            EXPECT_STREQ(copy, text.c_str());
            const auto begin = reinterpret_cast<std::uintptr_t>(copy);
            for (std::uintptr_t line = begin / 64; line <= (begin + text.size()) / 64; ++line)
                lines[who].insert(line);
        }
    }
    for (const std::uintptr_t line : lines[0]) EXPECT_EQ(lines[1].count(line), 0u) << line;
}

// Threads allocate at the same time, each from its own cursor without the lock, and threads
// past the pool's cursors share the last one under the lock: no block overlaps another, and
// two pools used in turn by one thread keep their blocks apart.
TEST_F(StringPoolTest, ThreadsAllocatingAtOnceGetSeparateBlocks) {
    CStringPool pool(64 * 1024), other(64 * 1024);
    constexpr int kThreads = 11, kCopies = 4000;
    std::vector<std::vector<std::pair<char*, std::string>>> copies(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int i = 0; i < kCopies; ++i) {
                const std::string text = std::to_string(t) + ":" + std::to_string(i) +
                                         std::string(static_cast<std::size_t>(i % 23), 'y');
                CStringPool& from = t == 0 && i % 2 ? other : pool;
                char* copy = from.Copy(text.data(), text.size());
                if (!copy) return;
                copies[static_cast<std::size_t>(t)].emplace_back(copy, text);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::set<std::pair<std::uintptr_t, std::uintptr_t>> blocks;
    for (const auto& list : copies) {
        ASSERT_EQ(list.size(), std::size_t(kCopies));
        for (const auto& [copy, text] : list) {
            EXPECT_STREQ(copy, text.c_str());
            const auto begin = reinterpret_cast<std::uintptr_t>(copy);
            blocks.emplace(begin, begin + text.size() + 1);
        }
    }
    std::uintptr_t end = 0;
    for (const auto& [begin, stop] : blocks) {
        EXPECT_GE(begin, end) << "blocks overlap";
        end = stop;
    }
}

TEST_F(StringPoolTest, LargeRequestGetsAChunkOfItsOwnSize) {
    CStringPool pool(64);
    ASSERT_NE(pool.Alloc(10), nullptr);
    void* big = pool.Alloc(1000);
    ASSERT_NE(big, nullptr);
    std::memset(big, 'x', 1000);
    EXPECT_EQ(pool.GetChunkCount(), 2u);
    EXPECT_EQ(pool.GetBytesReserved(), 64u + 1000u);
}

TEST_F(StringPoolTest, EmptyCopyIsAnEmptyString) {
    CStringPool pool(64);
    char* copy = pool.Copy(nullptr, 0);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "");
}

TEST_F(StringPoolTest, RefusalEndsParsingAndReportsOnce) {
    CStringPool pool(64, 128);
    EXPECT_NE(pool.Alloc(60), nullptr);
    EXPECT_NE(pool.Alloc(60), nullptr);
    EXPECT_EQ(ParseShouldEnd(), 0);
    EXPECT_EQ(pool.Alloc(60), nullptr);
    EXPECT_EQ(pool.Copy("abc", 3), nullptr);
    EXPECT_EQ(ParseShouldEnd(), 1);
    const std::string xml = CProgress::GetXML();
    const std::string error = "<ERROR HelpFile=\"\">Memory Limit reached.</ERROR>";
    const size_t at = xml.find(error);
    ASSERT_NE(at, std::string::npos) << xml;
    EXPECT_EQ(xml.find(error, at + 1), std::string::npos) << "reported twice";
}

TEST_F(StringPoolTest, ImpossibleSizeIsRefusedNotWrapped) {
    CStringPool pool(64);
    EXPECT_EQ(pool.Alloc(SIZE_MAX - 2), nullptr);
    EXPECT_EQ(ParseShouldEnd(), 1);
}

TEST_F(StringPoolTest, EnginePoolExistsOnlyBetweenCreateAndDestroy) {
    EXPECT_EQ(PoolAlloc(8), nullptr);
    PoolCreate();
    ASSERT_NE(GetStringPool(), nullptr);
    EXPECT_EQ(CStringPool::kDefaultChunkSize % 4096, 0u);
    EXPECT_LE(CStringPool::kDefaultChunkSize, 25000000u);
    char* copy = PoolCopy("/index.html", 11);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "/index.html");
    PoolDestroy();
    EXPECT_EQ(GetStringPool(), nullptr);
}

}  // namespace

namespace {

TEST_F(StringPoolTest, RefusalInALaterRunEndsThatRunToo) {
    CStringPool pool(64, 64);
    EXPECT_EQ(pool.Alloc(100), nullptr);
    CProgress::SetParseEnd(false);  // what the driver does at the start of each run
    CProgress::ClearErrors();
    EXPECT_EQ(pool.Alloc(100), nullptr);
    EXPECT_EQ(ParseShouldEnd(), 1);
    EXPECT_NE(CProgress::GetXML().find("Memory Limit reached."), std::string::npos);
}

}  // namespace
