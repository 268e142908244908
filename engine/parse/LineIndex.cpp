#include "engine/parse/LineIndex.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Indexes a line into spaces and quotes (CLineIndex::kChunks words each); returns its length, or
// kNotPlain.
using line_indexer_t = std::size_t (*)(const char* text, std::size_t available, bool stopsAtLineEnd,
                                       std::uint64_t* spaces, std::uint64_t* quotes);
constexpr std::size_t kNotPlain = ~std::size_t(0);

// The line's length when its first stop byte (below 0x20, 0x7F or 0xFF), at `end`, ends it: the
// end of the bytes given, or a line end where lines end.
inline std::size_t EndAt(std::size_t end, char stop, std::size_t available, bool stopsAtLineEnd) {
    if (end != available && (!stopsAtLineEnd || (stop != '\n' && stop != '\r'))) return kNotPlain;
    return end;
}

// Indexes a line sixty-four bytes at a time with `chunkStops`, which stores a chunk's space and
// quote bits and returns its stop bits. Whole chunks are read in place; the line's last bytes,
// when fewer than sixty-four are left, from a copy followed by line feeds that stand for the end
// of the bytes given, so that no byte past available is read. The copy stays out of the loop,
// which then keeps its constants in registers.
template <class ChunkStops>
[[gnu::always_inline]] inline std::size_t IndexChunks(const char* text, std::size_t available,
                                                      bool stopsAtLineEnd, std::uint64_t* spaces,
                                                      std::uint64_t* quotes,
                                                      ChunkStops chunkStops) {
    std::size_t chunk = 0;
    for (; chunk < CLineIndex::kChunks && available - chunk * 64 >= 64; ++chunk) {
        const char* bytes = text + chunk * 64;
        const std::uint64_t stops = chunkStops(bytes, spaces + chunk, quotes + chunk);
        if (stops == 0) continue;
        const std::size_t at = std::size_t(__builtin_ctzll(stops));
        return EndAt(chunk * 64 + at, bytes[at], available, stopsAtLineEnd);
    }
    if (chunk == CLineIndex::kChunks) return kNotPlain;
    const std::size_t at = chunk * 64;
    if (available == at) {
        spaces[chunk] = quotes[chunk] = 0;
        return at;
    }
    char tail[64];
    std::memset(tail, '\n', sizeof tail);
    std::memcpy(tail, text + at, available - at);
    // The padding makes a stop certain.
    const std::size_t end =
        std::size_t(__builtin_ctzll(chunkStops(tail, spaces + chunk, quotes + chunk)));
    return EndAt(at + end, tail[end], available, stopsAtLineEnd);
}

#if defined(__SSE2__)
inline std::uint64_t Bits16(__m128i mask, int part) {
    return std::uint64_t(unsigned(_mm_movemask_epi8(mask))) << (16 * part);
}

std::size_t IndexLineNarrow(const char* text, std::size_t available, bool stopsAtLineEnd,
                            std::uint64_t* spaces, std::uint64_t* quotes) {
    const __m128i low = _mm_set1_epi8(0x1F), high = _mm_set1_epi8(char(0x80));
    const __m128i ff = _mm_set1_epi8(char(0xFF)), space = _mm_set1_epi8(' ');
    const __m128i quote = _mm_set1_epi8('"');
    auto chunkStops = [&](const char* bytes, std::uint64_t* spaceBits, std::uint64_t* quoteBits) {
        std::uint64_t spaceMask = 0, quoteMask = 0, stopMask = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes) + part);
            const __m128i stops = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(b, low), b),
                                               _mm_cmpeq_epi8(_mm_or_si128(b, high), ff));
            spaceMask |= Bits16(_mm_cmpeq_epi8(b, space), part);
            quoteMask |= Bits16(_mm_cmpeq_epi8(b, quote), part);
            stopMask |= Bits16(stops, part);
        }
        *spaceBits = spaceMask;
        *quoteBits = quoteMask;
        return stopMask;
    };
    return IndexChunks(text, available, stopsAtLineEnd, spaces, quotes, chunkStops);
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define LOGVANE_HAVE_AVX2_INDEX 1

__attribute__((target("avx2"))) std::size_t IndexLineWide(const char* text, std::size_t available,
                                                          bool stopsAtLineEnd,
                                                          std::uint64_t* spaces,
                                                          std::uint64_t* quotes) {
    const __m256i low = _mm256_set1_epi8(0x1F), high = _mm256_set1_epi8(char(0x80));
    const __m256i ff = _mm256_set1_epi8(char(0xFF)), space = _mm256_set1_epi8(' ');
    const __m256i quote = _mm256_set1_epi8('"');
    auto bits = [](__m256i a, __m256i b) __attribute__((target("avx2"))) {
        return std::uint64_t(std::uint32_t(_mm256_movemask_epi8(a))) |
               (std::uint64_t(std::uint32_t(_mm256_movemask_epi8(b))) << 32);
    };
    auto chunkStops = [&](const char* bytes, std::uint64_t* spaceBits, std::uint64_t* quoteBits)
        __attribute__((target("avx2"))) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32));
        const __m256i stopsA = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(a, low), a),
                                               _mm256_cmpeq_epi8(_mm256_or_si256(a, high), ff));
        const __m256i stopsB = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(b, low), b),
                                               _mm256_cmpeq_epi8(_mm256_or_si256(b, high), ff));
        *spaceBits = bits(_mm256_cmpeq_epi8(a, space), _mm256_cmpeq_epi8(b, space));
        *quoteBits = bits(_mm256_cmpeq_epi8(a, quote), _mm256_cmpeq_epi8(b, quote));
        const __m256i anyStop = _mm256_or_si256(stopsA, stopsB);
        return _mm256_testz_si256(anyStop, anyStop) ? std::uint64_t(0) : bits(stopsA, stopsB);
    };
    return IndexChunks(text, available, stopsAtLineEnd, spaces, quotes, chunkStops);
}
#endif

line_indexer_t ChooseIndexer(CLineIndex::width_t width) {
#if defined(LOGVANE_HAVE_AVX2_INDEX)
    if (width == CLineIndex::width_t::Best && __builtin_cpu_supports("avx2")) return IndexLineWide;
#endif
    (void)width;
#if defined(__SSE2__)
    return IndexLineNarrow;
#else
    return nullptr;
#endif
}

// Chosen once: the processor does not change under the process.
line_indexer_t g_indexer = ChooseIndexer(CLineIndex::width_t::Best);

}  // namespace

void CLineIndex::UseWidth(width_t width) { g_indexer = ChooseIndexer(width); }

bool CLineIndex::Build(const char* text, std::size_t available, bool stopsAtLineEnd) {
    const line_indexer_t indexer = g_indexer;
    if (!indexer) return false;
    const std::size_t length = indexer(text, available, stopsAtLineEnd, m_spaces, m_quotes);
    if (length == kNotPlain) return false;
    m_length = length;
    // Bits past the line's end are dropped and one is set at the end itself, in both maps, so
    // that Next needs no bound: every search from inside the line stops there at the latest.
    const std::size_t last = length / 64;
    const std::uint64_t below = (std::uint64_t(1) << (length % 64)) - 1;
    m_spaces[last] = (m_spaces[last] & below) | (below + 1);
    m_quotes[last] = (m_quotes[last] & below) | (below + 1);
    return true;
}
