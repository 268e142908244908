#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/parse/HitRecord.h"
#include "engine/parse/ParseContext.h"

// Bytes that may stand inside a field: 0x20-0x7E, tab and 0x80-0xFE.
inline constexpr bool IsFieldByte(unsigned char c) {
    return (c >= 0x20 && c != 0x7F && c != 0xFF) || c == '\t';
}

inline constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

// Copies n bytes (n < kHitTextSize) without reading or writing outside either range. Fields are
// short, and the compiler's inline expansion of memcpy for a bounded size (rep movs) costs more
// than the copy itself, so the copy uses sixteen-byte (or word) moves with an overlapping tail.
[[gnu::always_inline]] inline void CopyFieldBytes(char* dst, const char* src, std::size_t n) {
    if (n >= 16) {
#if defined(__SSE2__)
        std::size_t i = 0;
        for (; i + 16 <= n; i += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 16),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16)));
#else
        std::size_t i = 0;
        for (; i + 16 <= n; i += 16) {
            std::uint64_t a, b;
            std::memcpy(&a, src + i, 8);
            std::memcpy(&b, src + i + 8, 8);
            std::memcpy(dst + i, &a, 8);
            std::memcpy(dst + i + 8, &b, 8);
        }
        std::uint64_t a, b;
        std::memcpy(&a, src + n - 16, 8);
        std::memcpy(&b, src + n - 8, 8);
        std::memcpy(dst + n - 16, &a, 8);
        std::memcpy(dst + n - 8, &b, 8);
#endif
    } else if (n >= 8) {
        std::uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + n - 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + n - 8, &b, 8);
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, src, 4);
        std::memcpy(&b, src + n - 4, 4);
        std::memcpy(dst, &a, 4);
        std::memcpy(dst + n - 4, &b, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    }
}

// Copies a field into a hit text, cut to its first 249 characters, and records its length.
[[gnu::always_inline]] inline void StoreText(char (&dst)[kHitTextSize], std::int32_t& len,
                                             std::string_view text) {
    std::size_t n = text.size() < std::size_t(kHitTextMax) ? text.size() : kHitTextMax;
    CopyFieldBytes(dst, text.data(), n);
    dst[n] = '\0';
    len = static_cast<std::int32_t>(n);
}

inline void ClearText(char (&dst)[kHitTextSize], std::int32_t& len) {
    dst[0] = '\0';
    len = 0;
}

// Decimal value of the leading digits of a field; 0 when it does not start with one. Values too
// large for the result saturate instead of wrapping.
inline std::int64_t LeadingNumber(std::string_view text, std::int64_t limit = INT64_MAX) {
    std::uint64_t value = 0;
    std::size_t i = 0;
    // Eighteen digits cannot overflow; only longer numbers need the limit test per digit.
    const std::size_t safe = text.size() < 18 ? text.size() : 18;
    for (; i < safe; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
        if (digit > 9) break;
        value = value * 10 + digit;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (std::uint64_t(limit) - std::uint64_t(text[i] - '0')) / 10) return limit;
        value = value * 10 + std::uint64_t(text[i] - '0');
    }
    return value > std::uint64_t(limit) ? limit : static_cast<std::int64_t>(value);
}

inline bool IsDottedIPv4(std::string_view text) {
    int dots = 0, digits = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 3) return false;
        } else if (c == '.') {
            if (digits == 0 || ++dots > 3) return false;
            digits = 0;
        } else {
            return false;
        }
    }
    return dots == 3 && digits > 0;
}

#if defined(__SSE2__)
// IsDottedIPv4 of a hit's host, all sixteen bytes that an address can have at once: the record's
// host buffer is longer than that, so the load stays inside the record.
inline bool IsDottedIPv4Host(const hit_t& hit) {
    const int n = hit.hostLen;
    // "1.2.3.4" to "255.255.255.255"
    if (n < 7 || n > 15) return false;
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hit.host));
    const __m128i value = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    const unsigned within = (1u << n) - 1;
    const unsigned digits =
        unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(value, _mm_set1_epi8(9)), value))) &
        within;
    const unsigned dots =
        unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.')))) & within;
    // Only digits and three dots, none first, last or next to another, and no group of four
    // digits.
    // Three dots: clearing the lowest dot twice leaves exactly one.
    const unsigned lastTwo = dots & (dots - 1);
    const unsigned last = lastTwo & (lastTwo - 1);
    return (digits | dots) == within && last != 0 && (last & (last - 1)) == 0 && (dots & 1) == 0 &&
           (dots >> (n - 1)) == 0 && (dots & (dots >> 1)) == 0 &&
           (digits & (digits >> 1) & (digits >> 2) & (digits >> 3)) == 0;
}
#else
inline bool IsDottedIPv4Host(const hit_t& hit) { return IsDottedIPv4(hit.Host()); }
#endif

// The first byte equal to c in [begin, end), or nullptr. Inline and sixteen bytes at a time:
// fields are too short for a library call to pay off, and no byte at or past end is read.
inline const char* FindByte(const char* begin, const char* end, char c) {
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i needle = _mm_set1_epi8(c);
    if (end - p >= 16) {
        for (; end - p >= 16; p += 16) {
            int mask = _mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), needle));
            if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
        if (p == end) return nullptr;
        // The rest is shorter than sixteen bytes: one load that ends at `end`, its bytes before
        // p (already searched) masked off.
        const char* last = end - 16;
        int mask = _mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(last)), needle));
        mask &= static_cast<int>(~0u << (p - last));
        return mask != 0 ? last + __builtin_ctz(static_cast<unsigned>(mask)) : nullptr;
    }
#endif
    for (; p != end; ++p) {
        if (*p == c) return p;
    }
    return nullptr;
}

// The first space or tab in [begin, end), or end.
inline const char* FindBlank(const char* begin, const char* end) {
    const char* p = begin;
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i tab = _mm_set1_epi8('\t');
    if (end - p >= 16) {
        for (; end - p >= 16; p += 16) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            int mask = _mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, space), _mm_cmpeq_epi8(bytes, tab)));
            if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
        if (p == end) return end;
        const char* last = end - 16;
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last));
        int mask = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, space), _mm_cmpeq_epi8(bytes, tab)));
        mask &= static_cast<int>(~0u << (p - last));
        return mask != 0 ? last + __builtin_ctz(static_cast<unsigned>(mask)) : end;
    }
#endif
    while (p != end && !IsBlank(*p)) ++p;
    return p;
}

// Bytes below 0x20 (line ends, tab and the control bytes), 0x7F and 0xFF: every byte that is
// no field byte, and tab.
inline constexpr bool IsControlOrTab(unsigned char c) { return c < 0x20 || c == 0x7F || c == 0xFF; }

inline constexpr bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// Whether a scan for c stops at byte b: c itself, or no field byte (with kTabIsTarget a tab too).
template <bool kTabIsTarget>
inline constexpr bool StopsScan(unsigned char b, char c) {
    return b == static_cast<unsigned char>(c) || (IsControlOrTab(b) && (kTabIsTarget || b != '\t'));
}

#if defined(__SSE2__)
// Candidates for StopsScan: c, bytes below 0x20, 0x7F and every byte from 0x80 on (one signed
// comparison finds those below 0x20 and from 0x80 on together). Tabs and bytes 0x80-0xFE, rare in
// logs, are then passed over one by one.
inline __m128i ScanCandidates(const char* p, __m128i needle) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, needle), _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20))),
        _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)));
}
#endif

// The first byte in [begin, end) that is c or no field byte (a line end, a control byte, 0x7F or
// 0xFF), or end. A tab stops the scan only with kTabIsTarget (then c is a space and the scan finds
// blanks). One pass, sixteen and then thirty-two bytes at a time, so that finding a field also
// checks its bytes; no byte at or past end is read.
template <bool kTabIsTarget>
[[gnu::always_inline]] inline const char* ScanToStop(const char* begin, const char* end, char c) {
    const char* p = begin;
#if defined(__SSE2__)
    if (end - p >= 16) {
        const __m128i needle = _mm_set1_epi8(c);
        // Most fields end in their first sixteen bytes; longer ones go on thirty-two at a time.
        std::uint32_t mask = std::uint32_t(_mm_movemask_epi8(ScanCandidates(p, needle)));
        std::ptrdiff_t step = 16;
        while (true) {
            for (; mask != 0; mask &= mask - 1) {
                const char* at = p + __builtin_ctz(mask);
                if (StopsScan<kTabIsTarget>(static_cast<unsigned char>(*at), c)) return at;
            }
            p += step;
            if (end - p >= 32) {
                const __m128i low = ScanCandidates(p, needle);
                const __m128i high = ScanCandidates(p + 16, needle);
                mask = _mm_movemask_epi8(_mm_or_si128(low, high)) == 0
                           ? 0
                           : std::uint32_t(_mm_movemask_epi8(low)) |
                                 (std::uint32_t(_mm_movemask_epi8(high)) << 16);
                step = 32;
            } else if (end - p >= 16) {
                mask = std::uint32_t(_mm_movemask_epi8(ScanCandidates(p, needle)));
                step = 16;
            } else {
                if (p == end) return end;
                // The rest: one load that ends at `end`, its bytes before p (scanned) masked off.
                const char* last = end - 16;
                mask = std::uint32_t(_mm_movemask_epi8(ScanCandidates(last, needle))) &
                       (~0u << (p - last));
                for (; mask != 0; mask &= mask - 1) {
                    const char* at = last + __builtin_ctz(mask);
                    if (StopsScan<kTabIsTarget>(static_cast<unsigned char>(*at), c)) return at;
                }
                return end;
            }
        }
    }
#endif
    for (; p != end; ++p) {
        if (StopsScan<kTabIsTarget>(static_cast<unsigned char>(*p), c)) return p;
    }
    return end;
}

// What the two line readers below share: a position between a begin and an end.
class CCursorPosition {
public:
    CCursorPosition(const char* text, std::size_t length)
        : m_begin(text), m_pos(text), m_end(text + length) {}

    char Peek() const { return *m_pos; }
    std::size_t Offset() const { return static_cast<std::size_t>(m_pos - m_begin); }
    const char* Position() const { return m_pos; }

    void SkipBlanks() {
        while (m_pos != m_end && IsBlank(*m_pos)) ++m_pos;
    }

    bool Expect(char c) {
        if (m_pos == m_end || *m_pos != c) return false;
        ++m_pos;
        return true;
    }

protected:
    // A quote after an odd number of backslashes is escaped, as servers write a quote inside a
    // request or a cookie; `start` is just after the opening quote.
    static bool IsEscapedQuote(const char* start, const char* quote) {
        std::size_t backslashes = 0;
        while (quote - backslashes > start && quote[-1 - std::ptrdiff_t(backslashes)] == '\\')
            ++backslashes;
        return backslashes % 2 != 0;
    }

    const char* m_begin;
    const char* m_pos;
    const char* m_end;
};

// A forward reader over the bytes of one line, with the readers of CFieldCursor. Every byte it
// consumes is found by ScanToStop or compared with a field's delimiter, so a consumed byte that
// is no field byte is seen as it is read and rejects the line: Finish needs no second pass.
// With kStopsAtLineEnd the reader is given the rest of a view and the line ends at the first CR
// or LF; without it the reader is given the line alone and a CR or LF in it is a control byte.
template <bool kStopsAtLineEnd>
class CScanCursor : public CCursorPosition {
public:
    using CCursorPosition::CCursorPosition;

    bool AtEnd() const { return m_pos == m_end || (kStopsAtLineEnd && IsLineEnd(*m_pos)); }

    // The consumed length, or 0 (line rejected) when a scan met a byte that is no field byte.
    std::size_t Finish(const parse_context_t&) const { return m_bad ? 0 : Offset(); }

    // A field up to the next space or tab, or the line end; never empty.
    bool ReadToken(std::string_view& out) {
        const char* start = m_pos;
        const char* at = ScanToStop<true>(m_pos, m_end, ' ');
        if (at != m_end && !IsBlank(*at) && !EndsLine(*at)) return Fail(at);
        out = std::string_view(start, static_cast<std::size_t>(at - start));
        m_pos = at;
        return at != start;
    }

    // The text up to the byte `stop` (not included, may be empty); the cursor stays on `stop`.
    bool ReadUntil(char stop, std::string_view& out) {
        const char* at = ScanToStop<false>(m_pos, m_end, stop);
        if (at == m_end || *at != stop) return Fail(at);
        out = std::string_view(m_pos, static_cast<std::size_t>(at - m_pos));
        m_pos = at;
        return true;
    }

    // A double-quoted field; out is the text inside the quotes (see IsEscapedQuote).
    bool ReadQuoted(std::string_view& out) {
        if (!Expect('"')) return false;
        const char* start = m_pos;
        const char* search = m_pos;
        while (true) {
            const char* quote = ScanToStop<false>(search, m_end, '"');
            if (quote == m_end || *quote != '"') return Fail(quote);
            if (!IsEscapedQuote(start, quote)) {
                out = std::string_view(start, static_cast<std::size_t>(quote - start));
                m_pos = quote + 1;
                return true;
            }
            search = quote + 1;
        }
    }

private:
    bool EndsLine(char c) const { return kStopsAtLineEnd && IsLineEnd(c); }

    // A scan stopped at `at` short of what it looked for: at the line's end the field is just
    // missing; at any other byte the line holds a byte that is no field byte where a field was
    // read, and is rejected whatever the parser does next.
    bool Fail(const char* at) {
        if (at != m_end && !EndsLine(*at)) m_bad = true;
        return false;
    }

    bool m_bad = false;
};

// The reader of a line handed over alone, and of a line at the start of a view's rest.
using CLineCursor = CScanCursor<false>;
using CViewCursor = CScanCursor<true>;

// True when every byte of the range is a field byte. Parsers scan fields with fast searches and
// check the bytes they consumed once at the end: a line with a control byte inside a field it
// read is rejected, one with a control byte only after its last field is not.
bool AllFieldBytes(const char* text, std::size_t length);

// A forward reader over one log line (without its CR or LF). Readers return false, leaving the
// line to be rejected, when the line ends where a field was expected. They do not look at byte
// classes; the parser checks its consumed bytes with AllFieldBytes.
class CFieldCursor : public CCursorPosition {
public:
    using CCursorPosition::CCursorPosition;

    bool AtEnd() const { return m_pos == m_end; }
    const char* End() const { return m_end; }
    void SetPosition(const char* pos) { m_pos = pos; }

    // The consumed length when every consumed byte is a field byte, else 0 (line rejected).
    // The first context.checkedLength bytes are known to be field bytes already.
    std::size_t Finish(const parse_context_t& context) const {
        std::size_t used = Offset();
        if (used <= context.checkedLength) return used;
        return AllFieldBytes(m_begin, used) ? used : 0;
    }

    // A field up to the next space or tab, or the line end; never empty.
    bool ReadToken(std::string_view& out) {
        const char* start = m_pos;
        m_pos = FindBlank(m_pos, m_end);
        out = std::string_view(start, static_cast<std::size_t>(m_pos - start));
        return m_pos != start;
    }

    // The text up to the byte `stop` (not included, may be empty); the cursor stays on `stop`.
    bool ReadUntil(char stop, std::string_view& out) {
        const char* at = FindByte(m_pos, m_end, stop);
        if (!at) return false;
        out = std::string_view(m_pos, static_cast<std::size_t>(at - m_pos));
        m_pos = at;
        return true;
    }

    // A double-quoted field; out is the text inside the quotes (see IsEscapedQuote).
    bool ReadQuoted(std::string_view& out) {
        if (!Expect('"')) return false;
        const char* start = m_pos;
        const char* search = m_pos;
        while (true) {
            const char* quote = FindByte(search, m_end, '"');
            if (!quote) return false;
            if (!IsEscapedQuote(start, quote)) {
                out = std::string_view(start, static_cast<std::size_t>(quote - start));
                m_pos = quote + 1;
                return true;
            }
            search = quote + 1;
        }
    }
};
