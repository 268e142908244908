#include "engine/parse/FieldCursor.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

bool AllFieldBytes(const char* text, std::size_t length) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: below 0x20 except tab, 0x7F and 0xFF are not field bytes.
    const __m128i belowSpace = _mm_set1_epi8(0x1F);
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i del = _mm_set1_epi8(0x7F);
    const __m128i high = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        __m128i control = _mm_cmpeq_epi8(_mm_subs_epu8(bytes, belowSpace), zero);
        control = _mm_andnot_si128(_mm_cmpeq_epi8(bytes, tab), control);
        __m128i bad = _mm_or_si128(
            control, _mm_or_si128(_mm_cmpeq_epi8(bytes, del), _mm_cmpeq_epi8(bytes, high)));
        if (_mm_movemask_epi8(bad) != 0) return false;
    }
#endif
    for (; i < length; ++i) {
        if (!IsFieldByte(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}
