// Scanning allocates per file, never per line: the allocation count of a scan does not grow
// with the number of lines.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "engine/scan/Scanner.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

std::atomic<long> g_allocations{0};

class CCountingConsumer : public CHitConsumer {
public:
    void ProcessHit(hit_t*) override { ++hits; }
    long hits = 0;
};

struct format_sample_t {
    const char* name;
    int logType;
    std::string header;
    std::string line;
};

void PrintTo(const format_sample_t& s, std::ostream* out) { *out << s.name; }

class ScanAllocations : public ::testing::TestWithParam<format_sample_t> {
protected:
    // Allocations made by scanning a file of `lines` copies of the sample line.
    long AllocationsFor(int lines, long& hits, std::uint64_t chunkBytes = 0) {
        const format_sample_t& sample = GetParam();
        std::string text = sample.header;
        for (int i = 0; i < lines; ++i) text += sample.line + "\n";
        std::string path = m_dir.file("alloc.log");
        logvane::test::WriteFile(path, text);
        std::vector<scan_file_t> files{{path, sample.logType}};
        scan_options_t options;
        options.cookieName = "SID";
        options.parallelChunkBytes = chunkBytes;
        CCountingConsumer consumer;
        CProgress::Initialize();
        long before = g_allocations.load();
        ParseAllFiles(files, options, consumer);
        long used = g_allocations.load() - before;
        hits = consumer.hits;
        return used;
    }
    logvane::test::TempDir m_dir;
};

TEST_P(ScanAllocations, DoNotGrowWithTheNumberOfLines) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "allocations are counted in plain builds";
#endif
    long fewHits = 0, manyHits = 0;
    AllocationsFor(10, fewHits);  // first-use set-up of the progress record and signal handler
    long few = AllocationsFor(300, fewHits);
    long many = AllocationsFor(30000, manyHits);
    EXPECT_EQ(fewHits, 300);
    EXPECT_EQ(manyHits, 30000);
    EXPECT_EQ(few, many);
}

// Chunks of 4 KiB put both files on two parsing threads (the W3C one stays on one).
TEST_P(ScanAllocations, OnTwoThreadsDoNotGrowWithTheNumberOfLines) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "allocations are counted in plain builds";
#endif
    long fewHits = 0, manyHits = 0;
    AllocationsFor(10, fewHits);
    long few = AllocationsFor(3000, fewHits, 4096);
    long many = AllocationsFor(30000, manyHits, 4096);
    EXPECT_EQ(fewHits, 3000);
    EXPECT_EQ(manyHits, 30000);
    EXPECT_EQ(few, many);
}

const format_sample_t kFormats[] = {
    {"Common", 0, "", R"(1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] "GET /a.gif HTTP/1.0" 200 2326)"},
    {"CookiesAtEnd", 10, "",
     R"L(1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] "GET /a HTTP/1.0" 200 1 "-" "UA" "SID=1; b=2")L"},
    {"CookiesFirst", 11, "",
     R"L("SID=1; b=2" 1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] "GET /a HTTP/1.0" 200 1 "-" "UA")L"},
    {"W3C", 4, "#Fields: date time c-ip cs-uri-stem cs-uri-query sc-status cs(Cookie)\n",
     "2005-03-01 10:00:00 1.2.3.4 /a q=1 200 SID=1;+b=2"},
    {"CommaLong", 3, "",
     "1.2.3.4, -, 5/14/07, 13:05:00, W3SVC2, SERVER, 1.1.1.1, 1, 2, 3, 200, 0, GET, /a.htm, UA, -"},
    {"Detected", 9, "",
     R"L(1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] "GET /a HTTP/1.0" 200 1 "-" "Mozilla/4.0")L"},
};

INSTANTIATE_TEST_SUITE_P(Formats, ScanAllocations, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// AddressSanitizer brings its own operator new, so counting is done in plain builds only.
#ifndef __SANITIZE_ADDRESS__
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif
