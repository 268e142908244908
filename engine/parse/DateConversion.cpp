#include "engine/parse/DateConversion.h"

#include <climits>
#include <cstring>

#include "engine/parse/FieldCursor.h"

namespace {

constexpr int kLongestDateText = 100;

// Cumulative days before each month of a non-leap year, January based at -1 so that day 1 of
// January gives day 0.
constexpr int kDaysBeforeMonth[12] = {-1, 30, 58, 89, 119, 150, 180, 211, 242, 272, 303, 333};

// Reads the leading digits of the text up to `stop` and moves past `stop` (or to the end).
int NextPart(std::string_view& text, char stop) {
    std::size_t i = 0;
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < 1000000) value = value * 10 + (text[i] - '0');
        ++i;
    }
    while (i < text.size() && text[i] != stop) ++i;
    text.remove_prefix(i < text.size() ? i + 1 : i);
    return value;
}

int MonthFromName(std::string_view name) {
    char a = name.size() > 0 ? AsciiUpper(name[0]) : '\0';
    char b = name.size() > 1 ? AsciiUpper(name[1]) : '\0';
    char c = name.size() > 2 ? AsciiUpper(name[2]) : '\0';
    switch (a) {
        case 'A':
            return b == 'P' ? 3 : (b == 'U' ? 7 : 0);
        case 'D':
            return 11;
        case 'F':
            return 1;
        case 'J':
            return (b == 'U' && c == 'N') ? 5 : ((b == 'U' && c == 'L') ? 6 : 0);
        case 'M':
            return c == 'R' ? 2 : (c == 'Y' ? 4 : 0);
        case 'N':
            return 10;
        case 'O':
            return 9;
        case 'S':
            return 8;
        default:
            return 0;
    }
}

std::int32_t HourOfDay(int hour, int offsetHours) { return ((hour + offsetHours) % 24 + 24) % 24; }

std::int32_t DayOfWeek(std::int64_t stamp) {
    std::int64_t day = stamp >= 0 ? stamp / 86400 : 0;
    return static_cast<std::int32_t>((day + 4) % 7);
}

void SetHitTime(hit_t& hit, std::int64_t stamp, int hour, int offsetHours) {
    hit.time = static_cast<std::int32_t>(stamp);
    hit.hour = HourOfDay(hour, offsetHours);
    hit.dayOfWeek = DayOfWeek(stamp);
}

void Reject(hit_t& hit) {
    hit.time = -1;
    hit.hour = 0;
    hit.dayOfWeek = 0;
}

void ConvertTimeOfDay(std::string_view time, int y, int m, int d, int offsetHours, hit_t& hit) {
    int hour = NextPart(time, ':');
    int minute = NextPart(time, ':');
    int second = NextPart(time, ' ');
    std::int64_t stamp = ComputeHitTime(y, m, d, hour, minute, second, offsetHours);
    if (stamp == -1) return Reject(hit);
    SetHitTime(hit, stamp, hour, offsetHours);
}

}  // namespace

std::int64_t ComputeHitTime(int y, int m, int d, int hour, int minute, int second,
                            int offsetHours) {
    if (y < 70) y += 100;
    if (y < 69 || y > 139 || m < 0 || m > 11 || d < 1 || d > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return -1;
    std::int64_t days =
        d + kDaysBeforeMonth[m] + (y - 1) / 4 + 365LL * y - ((y % 4 != 0 || m < 2) ? 1 : 0) - 25566;
    std::int64_t stamp =
        ((days * 24 + hour) * 60 + minute) * 60 + second + std::int64_t(offsetHours) * 3600;
    // Dates after January 2038 do not fit the record's 32-bit time stamp.
    if (stamp > INT32_MAX || stamp < INT32_MIN) return -1;
    return stamp;
}

namespace {

void FinishMinute(std::int64_t base, int hour, std::string_view secondsText, int offsetHours,
                  hit_t& hit) {
    int second = NextPart(secondsText, ' ');
    if (base == -1 || second < 0 || second > 59 || base + second > INT32_MAX) return Reject(hit);
    SetHitTime(hit, base + second, hour, offsetHours);
}

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The seconds of a cached minute: two digits and no third need no general number reading,
// and the hour and day of the minute are already known.
template <class Cache>
void FinishCachedMinute(const Cache& cache, std::string_view secondsText, int offsetHours,
                        hit_t& hit) {
    if (secondsText.size() < 2 || !IsDigit(secondsText[0]) || !IsDigit(secondsText[1]) ||
        (secondsText.size() > 2 && IsDigit(secondsText[2])))
        return FinishMinute(cache.base, cache.hour, secondsText, offsetHours, hit);
    const int second = (secondsText[0] - '0') * 10 + (secondsText[1] - '0');
    if (cache.base == -1 || second > 59 || cache.base + second > INT32_MAX) return Reject(hit);
    hit.time = static_cast<std::int32_t>(cache.base + second);
    hit.hour = cache.hourOfDay;
    hit.dayOfWeek = cache.dayOfWeek;
}

// Remembers a minute: base is a whole minute, so every second of it has the same day.
template <class Cache>
void RememberMinute(Cache& cache, std::int64_t base, int hour, int offsetHours) {
    cache.offsetHours = offsetHours;
    cache.base = base;
    cache.hour = hour;
    cache.hourOfDay = HourOfDay(hour, offsetHours);
    cache.dayOfWeek = DayOfWeek(base);
}

bool StartsWith(std::string_view text, const char* prefix, std::size_t length) {
    return length > 0 && text.size() >= length && std::memcmp(text.data(), prefix, length) == 0;
}

}  // namespace

void ConvertCommonDate(std::string_view text, int offsetHours, hit_t& hit,
                       common_date_cache_t* cache) {
    if (text.empty() || text.size() > kLongestDateText) return Reject(hit);
    if (cache && cache->keyLength > 0 && cache->offsetHours == offsetHours &&
        text.size() >= cache->keyLength &&
        std::memcmp(text.data(), cache->key, cache->keyLength) == 0)
        return FinishCachedMinute(*cache, text.substr(cache->keyLength), offsetHours, hit);

    const std::string_view whole = text;
    int day = NextPart(text, '/');
    std::size_t slash = text.find('/');
    int month = MonthFromName(text.substr(0, slash));
    text = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    int year = NextPart(text, ':');
    int hour = NextPart(text, ':');
    const std::size_t beforeMinute = text.size();
    int minute = NextPart(text, ':');
    std::int64_t base = ComputeHitTime(year - 1900, month, day, hour, minute, 0, offsetHours);
    // The prefix read so far decides every part but the seconds, provided the minute ended at
    // its own ":". A text that ends earlier ("01/Jun/2006:") must not become a key: every later
    // date of that day would read as its midnight.
    std::size_t keyLength = whole.size() - text.size();
    if (cache && beforeMinute > text.size() && whole[keyLength - 1] == ':') {
        std::memcpy(cache->key, whole.data(), keyLength);
        cache->keyLength = keyLength;
        RememberMinute(*cache, base, hour, offsetHours);
    }
    FinishMinute(base, hour, text, offsetHours, hit);
}

void ConvertW3CDate(std::string_view date, std::string_view time, int offsetHours, hit_t& hit,
                    w3c_date_cache_t* cache) {
    if (date.empty() || date.size() > kLongestDateText || time.empty() ||
        time.size() > kLongestDateText)
        return Reject(hit);
    if (cache && cache->offsetHours == offsetHours && date.size() == cache->dateLength &&
        std::memcmp(date.data(), cache->date, date.size()) == 0 &&
        StartsWith(time, cache->minute, cache->minuteLength))
        return FinishCachedMinute(*cache, time.substr(cache->minuteLength), offsetHours, hit);

    const std::string_view wholeDate = date, wholeTime = time;
    int year = NextPart(date, '-');
    int month = NextPart(date, '-');
    int day = NextPart(date, ' ');
    int hour = NextPart(time, ':');
    const std::size_t beforeMinute = time.size();
    int minute = NextPart(time, ':');
    std::int64_t base = ComputeHitTime(year - 1900, month - 1, day, hour, minute, 0, offsetHours);
    // As for the common format: the minute must have ended at its own ":".
    std::size_t minuteLength = wholeTime.size() - time.size();
    if (cache && beforeMinute > time.size() && wholeTime[minuteLength - 1] == ':') {
        std::memcpy(cache->date, wholeDate.data(), wholeDate.size());
        cache->dateLength = wholeDate.size();
        std::memcpy(cache->minute, wholeTime.data(), minuteLength);
        cache->minuteLength = minuteLength;
        RememberMinute(*cache, base, hour, offsetHours);
    }
    FinishMinute(base, hour, time, offsetHours, hit);
}

void ConvertCommaDate(std::string_view date, std::string_view time, bool european, int offsetHours,
                      hit_t& hit) {
    if (date.empty() || date.size() > kLongestDateText || time.empty() ||
        time.size() > kLongestDateText)
        return Reject(hit);
    int first = NextPart(date, european ? '.' : '/');
    int second = NextPart(date, european ? '.' : '/');
    int year = NextPart(date, ' ');
    int month = european ? second : first;
    int day = european ? first : second;
    // Four-digit years are unambiguous; taking them as written would reject every line of a
    // server configured to write them.
    if (year >= 1970) year -= 1900;
    ConvertTimeOfDay(time, year, month - 1, day, offsetHours, hit);
}
