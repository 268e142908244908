#pragma once

// Small conversions shared by the readers and writers of the data library's files. Internal:
// not exported, not part of the library's interface.

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "utility/Markup.h"

namespace logvane::xml {

// The value as atoi reads it (leading blanks, sign, digits up to the first other byte), but
// clamped to the int range instead of overflowing; 0 when there are no digits.
inline int ToInt(const std::string& text) {
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

inline const char* BoolText(bool value) { return value ? "TRUE" : "FALSE"; }

// The day of saving written into the `date` attribute of stand-alone files.
inline std::string TodayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m/%d/%Y", &local);
    return buffer;
}

// Files of the data library are a few kilobytes; anything far larger is not ours and is refused
// before it is parsed, so a hostile file cannot exhaust memory.
constexpr long long kMaxDocumentBytes = 64LL * 1024 * 1024;

// Loads `path` into `doc`; false when it is missing, too large, unreadable or not well-formed.
bool LoadDocument(CMarkup& doc, const char* path);

}  // namespace logvane::xml
