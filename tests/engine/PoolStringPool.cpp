#include <gtest/gtest.h>

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
