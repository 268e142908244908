#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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
