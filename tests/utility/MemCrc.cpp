#include "utility/MemCrc.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <bitset>
#include <cstring>
#include <random>
#include <string>
#include <unordered_set>

namespace {

// The hash as plainly written: the last bytes copied into a zeroed word.
uint32_t PlainMemCrc(const unsigned char* p, size_t length, uint32_t seed) {
    const auto fold = [](uint64_t a, uint64_t b) {
        __extension__ typedef unsigned __int128 Wide;
        const Wide r = static_cast<Wide>(a) * b;
        return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
    };
    const auto load = [](const unsigned char* q) {
        uint64_t v;
        std::memcpy(&v, q, 8);
        return v;
    };
    const uint64_t k0 = 0xa0761d6478bd642fULL, k1 = 0xe7037ed1a0b428dbULL,
                   k2 = 0x8ebc6af09c88c6e3ULL, k3 = 0x589965cc75374cc3ULL;
    uint64_t h = fold(seed ^ k0, length ^ k1);
    size_t n = length;
    for (; n >= 16; n -= 16, p += 16) h = fold(load(p) ^ k1, load(p + 8) ^ h);
    if (n >= 8) {
        h = fold(load(p) ^ k2, h ^ k3);
        p += 8;
        n -= 8;
    }
    uint64_t tail = 0;
    for (size_t i = 0; i < n; ++i) tail |= static_cast<uint64_t>(p[i]) << (8 * i);
    h = fold(tail ^ k3 ^ n, h ^ k0);
    h = fold(h ^ k1, h ^ k2);
    return static_cast<uint32_t>(h ^ (h >> 32));
}

}  // namespace

// Keys end right before an unreadable page, so a read past the last byte faults.
TEST(MemCrc, EveryLengthHashesItsBytesAloneAsPlainlyDefined) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    auto* base = static_cast<unsigned char*>(map);
    ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    std::mt19937 random(7);
    for (size_t length = 0; length <= 72; ++length) {
        unsigned char* key = base + page - length;
        for (int round = 0; round < 20; ++round) {
            for (size_t i = 0; i < length; ++i) key[i] = static_cast<unsigned char>(random());
            const uint32_t seed = round == 0 ? 0 : static_cast<uint32_t>(random());
            ASSERT_EQ(memcrc(key, length, seed), PlainMemCrc(key, length, seed))
                << "length " << length << " round " << round;
        }
    }
    munmap(map, 2 * page);
}

TEST(MemCrc, SameInputSameValueAndEveryByteCounts) {
    const std::string url = "/products/widgets/index.html?id=42";
    const uint32_t h = memcrc(url.data(), url.size(), 0);
    EXPECT_EQ(h, memcrc(url.data(), url.size(), 0));
    for (size_t i = 0; i < url.size(); ++i) {
        std::string changed = url;
        changed[i] ^= 1;
        EXPECT_NE(memcrc(changed.data(), changed.size(), 0), h) << "byte " << i;
    }
    EXPECT_NE(memcrc(url.data(), url.size() - 1, 0), h);
}

TEST(MemCrc, SeedChainingGivesNewValues) {
    const char key[] = "/index.html";
    uint32_t h = memcrc(key, sizeof key - 1, 0);
    std::unordered_set<uint32_t> probes{h};
    for (int i = 0; i < 64; ++i) {
        h = memcrc(key, sizeof key - 1, h);
        probes.insert(h);
    }
    EXPECT_EQ(probes.size(), 65u) << "a probe sequence must not cycle early";
}

TEST(MemCrc, EmptyAndShortKeysAreDistinct) {
    std::unordered_set<uint32_t> seen;
    seen.insert(memcrc("", 0, 0));
    std::string key;
    for (int len = 1; len <= 40; ++len) {
        key += 'a';
        seen.insert(memcrc(key.data(), key.size(), 0));
    }
    EXPECT_EQ(seen.size(), 41u) << "keys differing only in length (zero tail bytes) collide";
    const char zeros[8] = {};
    EXPECT_NE(memcrc(zeros, 3, 0), memcrc(zeros, 4, 0));
}

TEST(MemCrc, SpreadsSequentialKeysOverLowBits) {
    // Tables index with the low bits of the hash, so sequential keys must fill the buckets evenly.
    constexpr int kBuckets = 1024, kKeys = 100000;
    std::vector<int> counts(kBuckets);
    for (int i = 0; i < kKeys; ++i) {
        const std::string key =
            "192.168." + std::to_string(i / 256) + "." + std::to_string(i % 256);
        ++counts[memcrc(key.data(), key.size(), 0) % kBuckets];
    }
    const double expected = double(kKeys) / kBuckets;
    double chi2 = 0;
    for (int c : counts) chi2 += (c - expected) * (c - expected) / expected;
    EXPECT_LT(chi2, 1200.0) << "chi-square far beyond a uniform spread";
}

TEST(MemCrc, FlippingOneInputBitFlipsAboutHalfTheOutput) {
    std::string key = "GET /a/b/c.html HTTP/1.1";
    const uint32_t base = memcrc(key.data(), key.size(), 7);
    double total = 0;
    int n = 0;
    for (size_t i = 0; i < key.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            std::string k = key;
            k[i] ^= static_cast<char>(1 << bit);
            total += std::bitset<32>(base ^ memcrc(k.data(), k.size(), 7)).count();
            ++n;
        }
    EXPECT_NEAR(total / n, 16.0, 1.5);
}
