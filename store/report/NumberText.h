#pragma once

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

// Locale-independent number texts of the report file and report cells. The desktop program
// switches the C locale to the user's, which would turn "12.50" into "12,50" in printf and
// make atof stop at the '.'; report files must read the same everywhere.
namespace report_text {

inline const char* SkipSpace(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    return p;
}

// Leading decimal integer as _atoi64 reads it: optional blanks and sign, digits up to the
// first non-digit; 0 when there are none; saturates instead of overflowing.
inline std::int64_t ParseInt64(const char* text) {
    if (!text) return 0;
    const char* p = SkipSpace(text);
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    std::uint64_t value = 0;
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    for (; *p >= '0' && *p <= '9'; ++p) {
        const unsigned digit = unsigned(*p - '0');
        if (value > (limit - digit) / 10) {
            value = limit;
            break;
        }
        value = value * 10 + digit;
    }
    if (!negative) return std::int64_t(value);
    return value == (std::uint64_t{1} << 63) ? std::numeric_limits<std::int64_t>::min()
                                             : -std::int64_t(value);
}
inline std::int64_t ParseInt64(const std::string& text) { return ParseInt64(text.c_str()); }

// As ParseInt64, clamped to 32 bits (what atoi gives for texts that fit).
inline std::int32_t ParseInt32(const std::string& text) {
    const std::int64_t v = ParseInt64(text.c_str());
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(v);
}

// Leading floating number as atof reads it (in the "C" locale); 0 when there is none.
inline double ParseDouble(const std::string& text) {
    const char* p = SkipSpace(text.c_str());
    if (*p == '+') ++p;
    double value = 0;
    const auto result = std::from_chars(p, text.c_str() + text.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

// "%0.2f" of `value` in the "C" locale.
inline std::string FormatFixed2(double value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0.00");
}

}  // namespace report_text
