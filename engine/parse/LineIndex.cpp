#include "engine/parse/LineIndex.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Indexes a line into spaces and quotes (CLineIndex::kChunks + 1 words each); returns its length,
// or kNotPlain.
using line_indexer_t = std::size_t (*)(const char* text, std::size_t available, bool stopsAtLineEnd,
                                       std::uint64_t* spaces, std::uint64_t* quotes);
constexpr std::size_t kNotPlain = ~std::size_t(0);

// The bytes of the chunk at `at`: in place, or for the line's last bytes a copy followed by line
// feeds that stand for its end, so that no byte past available is read. nullptr when the line
// ends right at the chunk's start.
inline const char* ChunkBytes(const char* text, std::size_t available, std::size_t at,
                              char (&tail)[64]) {
    if (available - at >= 64) return text + at;
    if (available == at) return nullptr;
    std::memset(tail, '\n', sizeof tail);
    std::memcpy(tail, text + at, available - at);
    return tail;
}

// The line's length when its first stop byte (below 0x20, 0x7F or 0xFF), at `end`, ends it: the
// end of the bytes given, or a line end where lines end.
inline std::size_t EndAt(std::size_t end, char stop, std::size_t available, bool stopsAtLineEnd) {
    if (end != available && (!stopsAtLineEnd || (stop != '\n' && stop != '\r'))) return kNotPlain;
    return end;
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
    for (std::size_t chunk = 0; chunk < CLineIndex::kChunks; ++chunk) {
        char tail[64];
        const char* bytes = ChunkBytes(text, available, chunk * 64, tail);
        if (!bytes) {
            spaces[chunk] = quotes[chunk] = 0;
            return chunk * 64;
        }
        std::uint64_t spaceBits = 0, quoteBits = 0, stopBits = 0;
        for (int part = 0; part < 4; ++part) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes) + part);
            const __m128i stops = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(b, low), b),
                                               _mm_cmpeq_epi8(_mm_or_si128(b, high), ff));
            spaceBits |= Bits16(_mm_cmpeq_epi8(b, space), part);
            quoteBits |= Bits16(_mm_cmpeq_epi8(b, quote), part);
            stopBits |= Bits16(stops, part);
        }
        spaces[chunk] = spaceBits;
        quotes[chunk] = quoteBits;
        if (stopBits == 0) continue;
        const std::size_t at = std::size_t(__builtin_ctzll(stopBits));
        return EndAt(chunk * 64 + at, bytes[at], available, stopsAtLineEnd);
    }
    return kNotPlain;
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
    for (std::size_t chunk = 0; chunk < CLineIndex::kChunks; ++chunk) {
        char tail[64];
        const char* bytes = ChunkBytes(text, available, chunk * 64, tail);
        if (!bytes) {
            spaces[chunk] = quotes[chunk] = 0;
            return chunk * 64;
        }
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32));
        const __m256i stopsA = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(a, low), a),
                                               _mm256_cmpeq_epi8(_mm256_or_si256(a, high), ff));
        const __m256i stopsB = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(b, low), b),
                                               _mm256_cmpeq_epi8(_mm256_or_si256(b, high), ff));
        spaces[chunk] = bits(_mm256_cmpeq_epi8(a, space), _mm256_cmpeq_epi8(b, space));
        quotes[chunk] = bits(_mm256_cmpeq_epi8(a, quote), _mm256_cmpeq_epi8(b, quote));
        const __m256i anyStop = _mm256_or_si256(stopsA, stopsB);
        if (_mm256_testz_si256(anyStop, anyStop)) continue;
        const std::size_t at = std::size_t(__builtin_ctzll(bits(stopsA, stopsB)));
        return EndAt(chunk * 64 + at, bytes[at], available, stopsAtLineEnd);
    }
    return kNotPlain;
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
    return true;
}
