#include "utility/MemCrc.h"

#include <cstring>

namespace {

// Multiply-fold mixing: one 64x64->128 multiply per 8 or 16 bytes, so short URL keys hash in a
// handful of cycles. The constants are odd and have balanced bits.
constexpr uint64_t kP0 = 0xa0761d6478bd642fULL;
constexpr uint64_t kP1 = 0xe7037ed1a0b428dbULL;
constexpr uint64_t kP2 = 0x8ebc6af09c88c6e3ULL;
constexpr uint64_t kP3 = 0x589965cc75374cc3ULL;

inline uint64_t Fold(uint64_t a, uint64_t b) {
    __extension__ typedef unsigned __int128 Wide;
    const Wide r = static_cast<Wide>(a) * b;
    return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
}

inline uint64_t Load64(const unsigned char* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The last 1 to 7 bytes as a little-endian number, as a copy into a zeroed word would give.
// GCC turns that copy into byte stores and one wide load, which waits for the stores to
// retire: a third of the function's time on short keys.
inline uint64_t LoadTail(const unsigned char* p, size_t n) {
    if (n >= 4) {
        uint32_t low, high;
        std::memcpy(&low, p, sizeof low);
        std::memcpy(&high, p + n - 4, sizeof high);
        return low | (static_cast<uint64_t>(high) >> (8 * (8 - n)) << 32);
    }
    return p[0] | static_cast<uint64_t>(p[n >> 1]) << (8 * (n >> 1)) |
           static_cast<uint64_t>(p[n - 1]) << (8 * (n - 1));
}

}  // namespace

extern "C" uint32_t memcrc(const void* data, size_t length, uint32_t seed) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint64_t h = Fold(seed ^ kP0, length ^ kP1);
    size_t n = length;
    while (n >= 16) {
        h = Fold(Load64(p) ^ kP1, Load64(p + 8) ^ h);
        p += 16;
        n -= 16;
    }
    if (n >= 8) {
        h = Fold(Load64(p) ^ kP2, h ^ kP3);
        p += 8;
        n -= 8;
    }
    const uint64_t tail = n ? LoadTail(p, n) : 0;
    h = Fold(tail ^ kP3 ^ n, h ^ kP0);
    h = Fold(h ^ kP1, h ^ kP2);
    return static_cast<uint32_t>(h ^ (h >> 32));
}
