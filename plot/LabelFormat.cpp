#include "plot/LabelFormat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace plot {
namespace {

const char* const kMonthNames[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

struct civil_t {
    long year;
    unsigned month, day;
};

civil_t CivilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long>(yoe) + era * 400 + (m <= 2), m, d};
}

bool IsDatePattern(std::string_view pattern) {
    for (char c : pattern)
        if (c == 'm' || c == 'd' || c == 'y') return true;
    return false;
}

size_t CountRun(std::string_view s, size_t i) {
    size_t n = 1;
    while (i + n < s.size() && s[i + n] == s[i]) ++n;
    return n;
}

std::string FormatValueField(std::string_view pattern, double value) {
    if (IsDatePattern(pattern)) return FormatDate(value, pattern);
    int decimals = 0;
    size_t i = 0;
    while (i < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[i])))
        decimals = decimals * 10 + (pattern[i++] - '0');
    decimals = std::min(decimals, 12);
    const char thousands = i < pattern.size() ? pattern[i++] : 0;
    const char point = i < pattern.size() ? pattern[i] : '.';
    return FormatNumber(value, decimals, thousands == '~' ? 0 : thousands, point);
}

std::string ExpandField(std::string_view name, std::string_view pattern, bool hasPattern,
                        const label_fields_t& fields, bool& known) {
    known = true;
    if (name == "label") return std::string(fields.label);
    if (name == "value" || name == "percent") {
        const double v = name == "value" ? fields.value : fields.percent;
        if (hasPattern) return FormatValueField(pattern, v);
        const bool whole = std::fabs(v - std::round(v)) < 1e-9;
        return FormatNumber(v, whole ? 0 : 2, ',', '.');
    }
    known = false;
    return {};
}

}  // namespace

double ChartTime(int year, int month, int day) {
    return static_cast<double>(
               DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day))) *
           86400.0;
}

std::string FormatNumber(double value, int decimals, char thousands, char point) {
    if (!std::isfinite(value)) return "0";
    // Round half away from zero on the scaled value, then place the point by hand.
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", std::round(std::fabs(value) * std::pow(10.0, decimals)));
    std::string digits = buf;
    if (decimals > 0) {
        if (digits.size() <= static_cast<size_t>(decimals))
            digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
    }
    const size_t dot = digits.find('.');
    const std::string whole = digits.substr(0, dot);
    std::string out;
    const bool negative = value < 0 && digits.find_first_not_of("0.") != std::string::npos;
    if (negative) out += '-';
    for (size_t i = 0; i < whole.size(); ++i) {
        if (thousands && i > 0 && (whole.size() - i) % 3 == 0) out += thousands;
        out += whole[i];
    }
    if (dot != std::string::npos) {
        out += point;
        out += digits.substr(dot + 1);
    }
    return out;
}

std::string FormatDate(double chartTime, std::string_view pattern) {
    const long days = static_cast<long>(std::floor(chartTime / 86400.0));
    const civil_t date = CivilFromDays(days);
    const char* month = kMonthNames[(date.month - 1) % 12];
    std::string out;
    char buf[16];
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        const size_t run = (c == 'y' || c == 'm' || c == 'd') ? CountRun(pattern, i) : 1;
        if (c == 'y') {
            std::snprintf(buf, sizeof buf, run >= 4 ? "%04ld" : "%02ld",
                          run >= 4 ? date.year : date.year % 100);
            out += buf;
        } else if (c == 'm' && run >= 3) {
            out += run >= 4 ? std::string(month) : std::string(month, 3);
        } else if (c == 'm' || c == 'd') {
            const unsigned v = c == 'm' ? date.month : date.day;
            std::snprintf(buf, sizeof buf, run >= 2 ? "%02u" : "%u", v);
            out += buf;
        } else {
            out += c;
        }
        i += run;
    }
    return out;
}

std::string ExpandLabelFormat(std::string_view format, const label_fields_t& fields) {
    std::string out;
    size_t i = 0;
    while (i < format.size()) {
        const size_t open = format.find('{', i);
        const size_t close = open == std::string_view::npos ? open : format.find('}', open);
        if (close == std::string_view::npos) {
            out.append(format.substr(i));
            break;
        }
        out.append(format.substr(i, open - i));
        const std::string_view inner = format.substr(open + 1, close - open - 1);
        const size_t bar = inner.find('|');
        const std::string_view name = inner.substr(0, bar);
        const std::string_view pattern =
            bar == std::string_view::npos ? std::string_view{} : inner.substr(bar + 1);
        bool known = false;
        std::string field =
            ExpandField(name, pattern, bar != std::string_view::npos, fields, known);
        out += known ? field : std::string(format.substr(open, close - open + 1));
        i = close + 1;
    }
    return out;
}

}  // namespace plot
