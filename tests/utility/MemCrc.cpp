#include "utility/MemCrc.h"

#include <gtest/gtest.h>

#include <bitset>
#include <string>
#include <unordered_set>

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
