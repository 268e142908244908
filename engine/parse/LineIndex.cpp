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

// The loop over the 64-byte chunks of a line. indexChunk fills the space and quote bits of one
// chunk and returns the bits of its stop bytes: bytes below 0x20 (line ends, tab, control
// bytes), 0x7F and 0xFF.
template <class ChunkIndexer>
[[gnu::always_inline]] inline std::size_t IndexLine(ChunkIndexer indexChunk, const char* text,
                                                    std::size_t available, bool stopsAtLineEnd,
                                                    std::uint64_t* spaces, std::uint64_t* quotes) {
    for (std::size_t chunk = 0; chunk < CLineIndex::kChunks; ++chunk) {
        const std::size_t at = chunk * 64;
        const char* bytes = text + at;
        char tail[64];
        if (available - at < 64) {
            if (available == at) {
                spaces[chunk] = quotes[chunk] = 0;
                return at;
            }
            // The line's last bytes, then line feeds that stand for its end.
            std::memset(tail, '\n', sizeof tail);
            std::memcpy(tail, bytes, available - at);
            bytes = tail;
        }
        const std::uint64_t stops = indexChunk(bytes, spaces[chunk], quotes[chunk]);
        if (stops == 0) continue;
        const std::size_t end = at + std::size_t(__builtin_ctzll(stops));
        const char c = bytes[end - at];
        // The end of the bytes given, or a line end where lines end.
        if (end != available && (!stopsAtLineEnd || (c != '\n' && c != '\r'))) return kNotPlain;
        return end;
    }
    return kNotPlain;
}

#if defined(__SSE2__)
inline __m128i StopBytes(__m128i b) {
    const __m128i below = _mm_cmpeq_epi8(_mm_min_epu8(b, _mm_set1_epi8(0x1F)), b);
    return _mm_or_si128(below, _mm_cmpeq_epi8(_mm_or_si128(b, _mm_set1_epi8(char(0x80))),
                                              _mm_set1_epi8(char(0xFF))));
}

inline std::uint64_t Bits16(__m128i mask, int part) {
    return std::uint64_t(unsigned(_mm_movemask_epi8(mask))) << (16 * part);
}

inline std::uint64_t IndexChunkNarrow(const char* bytes, std::uint64_t& spaces,
                                      std::uint64_t& quotes) {
    __m128i b[4], stops[4];
    for (int i = 0; i < 4; ++i) {
        b[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes) + i);
        stops[i] = StopBytes(b[i]);
    }
    spaces = quotes = 0;
    for (int i = 0; i < 4; ++i) {
        spaces |= Bits16(_mm_cmpeq_epi8(b[i], _mm_set1_epi8(' ')), i);
        quotes |= Bits16(_mm_cmpeq_epi8(b[i], _mm_set1_epi8('"')), i);
    }
    const __m128i any =
        _mm_or_si128(_mm_or_si128(stops[0], stops[1]), _mm_or_si128(stops[2], stops[3]));
    if (_mm_movemask_epi8(any) == 0) return 0;
    return Bits16(stops[0], 0) | Bits16(stops[1], 1) | Bits16(stops[2], 2) | Bits16(stops[3], 3);
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
#define LOGVANE_HAVE_AVX2_INDEX 1

__attribute__((target("avx2"))) inline std::uint64_t Bits32(__m256i mask, int part) {
    return std::uint64_t(std::uint32_t(_mm256_movemask_epi8(mask))) << (32 * part);
}

__attribute__((target("avx2"))) inline std::uint64_t IndexChunkWide(const char* bytes,
                                                                    std::uint64_t& spaces,
                                                                    std::uint64_t& quotes) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32));
    const __m256i low = _mm256_set1_epi8(0x1F), high = _mm256_set1_epi8(char(0x80));
    const __m256i ff = _mm256_set1_epi8(char(0xFF));
    const __m256i stopsA = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(a, low), a),
                                           _mm256_cmpeq_epi8(_mm256_or_si256(a, high), ff));
    const __m256i stopsB = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(b, low), b),
                                           _mm256_cmpeq_epi8(_mm256_or_si256(b, high), ff));
    const __m256i space = _mm256_set1_epi8(' '), quote = _mm256_set1_epi8('"');
    spaces = Bits32(_mm256_cmpeq_epi8(a, space), 0) | Bits32(_mm256_cmpeq_epi8(b, space), 1);
    quotes = Bits32(_mm256_cmpeq_epi8(a, quote), 0) | Bits32(_mm256_cmpeq_epi8(b, quote), 1);
    if (_mm256_testz_si256(_mm256_or_si256(stopsA, stopsB), _mm256_or_si256(stopsA, stopsB)))
        return 0;
    return Bits32(stopsA, 0) | Bits32(stopsB, 1);
}
#endif

#if defined(__SSE2__)
std::size_t IndexLineNarrow(const char* text, std::size_t available, bool stopsAtLineEnd,
                            std::uint64_t* spaces, std::uint64_t* quotes) {
    return IndexLine(IndexChunkNarrow, text, available, stopsAtLineEnd, spaces, quotes);
}
#endif

#if defined(LOGVANE_HAVE_AVX2_INDEX)
__attribute__((target("avx2"))) std::size_t IndexLineWide(const char* text, std::size_t available,
                                                          bool stopsAtLineEnd,
                                                          std::uint64_t* spaces,
                                                          std::uint64_t* quotes) {
    return IndexLine(IndexChunkWide, text, available, stopsAtLineEnd, spaces, quotes);
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
