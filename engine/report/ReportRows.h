#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "engine/table/FastHashTable.h"

// Small helpers the report builders share (not exported).
namespace report_rows {

// Rows of a statistic: its sorted items; an unsorted table has none to show.
template <class T>
unsigned long Count(const CFastHashTable<T>* table) {
    return table && table->IsSorted() ? table->GetItemCount() : 0;
}

inline std::string Text(const char* text, std::uint32_t length) {
    return text ? std::string(text, length) : std::string();
}

// The address of a page of the site: "http://" + the site domain + the page's path.
inline std::string RealUrl(const std::string& siteDomain, const std::string& path) {
    return "http://" + siteDomain + path;
}

inline std::int64_t Signed(std::uint64_t value) {
    return value > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX
                                                         : static_cast<std::int64_t>(value);
}

}  // namespace report_rows

namespace report_rows {

// `time` moved by the local clock's offset from UTC at that moment, for CFormat::FormatCTime,
// which shows a time as it stands.
inline long LocalClock(std::time_t time) {
    std::tm local{};
    const long offset = localtime_r(&time, &local) ? local.tm_gmtoff : 0;
    return static_cast<long>(time) + offset;
}

}  // namespace report_rows
