#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/parse/HitRecord.h"

// The three date conversions of the log formats. Each sets the hit's time stamp, hour of day
// and day of week. The time stamp is -1 for a date out of range or unreadable text, and 0 or
// less for a date before 1970; the scanner accepts a hit only when it is above 0.

// Common time rule: y is years since 1900 (y < 70 means 2000 + y), m the month 0-11, d the day.
// Returns seconds since 1970 plus the offset, or -1 when a part is out of range or the result
// does not fit the 32-bit time stamp.
std::int64_t ComputeHitTime(int y, int m, int d, int hour, int minute, int second, int offsetHours);

// The last common-format date up to its minute, so that the lines of one minute convert only
// their seconds.
struct common_date_cache_t {
    char key[100];
    std::size_t keyLength = 0;  // 0: empty
    int offsetHours = 0;
    std::int64_t base = -1;  // time stamp at second 0 of the minute, -1 when out of range
    int hour = 0;
    // Hour of day and day of week of every second of the minute: a minute never straddles an
    // hour or a day, as the offset is in whole hours.
    std::int32_t hourOfDay = 0;
    std::int32_t dayOfWeek = 0;
};

// Conversion A, the bracketed common-format date such as 10/Oct/2000:13:55:36 -0700 (the text
// between "[" and "]"; the zone is not used). The cache, when given, is read and updated; the
// result is the same with or without it.
void ConvertCommonDate(std::string_view text, int offsetHours, hit_t& hit,
                       common_date_cache_t* cache = nullptr);

// ConvertCommonDate of a text in the cached minute with two digits of seconds, as most lines
// of a log are, done inline: true when done; false leaves the text to ConvertCommonDate.
inline bool ConvertCachedCommonDate(std::string_view text, int offsetHours, hit_t& hit,
                                    const common_date_cache_t& cache) {
#if defined(__SSE2__)
    const std::size_t key = cache.keyLength;
    if (key < 16 || text.size() < key + 2 || text.size() > 100 || cache.offsetHours != offsetHours)
        return false;
    // The key's first and last sixteen bytes cover all of it.
    const auto same16 = [](const char* a, const char* b) {
        return _mm_movemask_epi8(
                   _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)))) == 0xFFFF;
    };
    if (!same16(text.data(), cache.key) || !same16(text.data() + key - 16, cache.key + key - 16))
        return false;
    const unsigned tens = static_cast<unsigned char>(text[key]) - unsigned('0');
    const unsigned ones = static_cast<unsigned char>(text[key + 1]) - unsigned('0');
    if (tens > 9 || ones > 9 ||
        (text.size() > key + 2 && static_cast<unsigned char>(text[key + 2]) - unsigned('0') <= 9))
        return false;
    const std::int64_t stamp = cache.base + std::int64_t(tens * 10 + ones);
    if (cache.base == -1 || tens * 10 + ones > 59 || stamp > INT32_MAX) return false;
    hit.time = static_cast<std::int32_t>(stamp);
    hit.hour = cache.hourOfDay;
    hit.dayOfWeek = cache.dayOfWeek;
    return true;
#else
    (void)text;
    (void)offsetHours;
    (void)hit;
    (void)cache;
    return false;
#endif
}

// The last W3C date and time up to its minute, for the same purpose.
struct w3c_date_cache_t {
    char date[100];
    std::size_t dateLength = 0;
    char minute[100];              // the time text up to and including the minute's ":"
    std::size_t minuteLength = 0;  // 0: empty
    int offsetHours = 0;
    std::int64_t base = -1;
    int hour = 0;
    std::int32_t hourOfDay = 0;
    std::int32_t dayOfWeek = 0;
};

// Conversion B, W3C date 2007-05-14 and time 13:55:36. The cache, when given, is read and
// updated; the result is the same with or without it.
void ConvertW3CDate(std::string_view date, std::string_view time, int offsetHours, hit_t& hit,
                    w3c_date_cache_t* cache = nullptr);

// Conversion C, comma-separated formats: month/day/year, or day.month.year when european.
void ConvertCommaDate(std::string_view date, std::string_view time, bool european, int offsetHours,
                      hit_t& hit);
