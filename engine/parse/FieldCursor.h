#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/parse/HitRecord.h"

// Bytes that may stand inside a field: 0x20-0x7E, tab and 0x80-0xFE.
inline constexpr bool IsFieldByte(unsigned char c) {
    return (c >= 0x20 && c != 0x7F && c != 0xFF) || c == '\t';
}

inline constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

// Copies a field into a hit text, cut to its first 249 characters, and records its length.
inline void StoreText(char (&dst)[kHitTextSize], std::int32_t& len, std::string_view text) {
    std::size_t n = text.size() < std::size_t(kHitTextMax) ? text.size() : kHitTextMax;
    std::memcpy(dst, text.data(), n);
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
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        int digit = c - '0';
        if (value > (limit - digit) / 10) return limit;
        value = value * 10 + digit;
    }
    return value;
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

// A forward reader over one log line. Every reader returns false, leaving the line to be
// rejected, when the line ends where a field was expected or a byte outside IsFieldByte is met.
class CFieldCursor {
public:
    CFieldCursor(const char* line, std::size_t length)
        : m_begin(line), m_pos(line), m_end(line + length) {}

    bool AtEnd() const { return m_pos == m_end; }
    char Peek() const { return *m_pos; }
    std::size_t Offset() const { return static_cast<std::size_t>(m_pos - m_begin); }
    const char* Position() const { return m_pos; }
    const char* End() const { return m_end; }
    void SetPosition(const char* pos) { m_pos = pos; }

    void SkipBlanks() {
        while (m_pos != m_end && IsBlank(*m_pos)) ++m_pos;
    }

    bool Expect(char c) {
        if (m_pos == m_end || *m_pos != c) return false;
        ++m_pos;
        return true;
    }

    // A field up to the next space or tab, or the line end; never empty.
    bool ReadToken(std::string_view& out) {
        const char* start = m_pos;
        while (m_pos != m_end && !IsBlank(*m_pos)) {
            if (!IsFieldByte(static_cast<unsigned char>(*m_pos))) return false;
            ++m_pos;
        }
        out = std::string_view(start, static_cast<std::size_t>(m_pos - start));
        return m_pos != start;
    }

    // The text up to the byte `stop` (not included, may be empty); the cursor stays on `stop`.
    bool ReadUntil(char stop, std::string_view& out) {
        const char* start = m_pos;
        while (m_pos != m_end && *m_pos != stop) {
            if (!IsFieldByte(static_cast<unsigned char>(*m_pos))) return false;
            ++m_pos;
        }
        if (m_pos == m_end) return false;
        out = std::string_view(start, static_cast<std::size_t>(m_pos - start));
        return true;
    }

    // A double-quoted field; out is the text inside the quotes. A backslash escapes the next
    // byte, as servers write a quote inside a request or a cookie.
    bool ReadQuoted(std::string_view& out) {
        if (!Expect('"')) return false;
        const char* start = m_pos;
        while (m_pos != m_end && *m_pos != '"') {
            if (!IsFieldByte(static_cast<unsigned char>(*m_pos))) return false;
            if (*m_pos == '\\' && m_pos + 1 != m_end &&
                IsFieldByte(static_cast<unsigned char>(m_pos[1])))
                ++m_pos;
            ++m_pos;
        }
        if (m_pos == m_end) return false;
        out = std::string_view(start, static_cast<std::size_t>(m_pos - start));
        ++m_pos;
        return true;
    }

private:
    const char* m_begin;
    const char* m_pos;
    const char* m_end;
};
