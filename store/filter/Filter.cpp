#include "store/filter/Filter.h"

#include <ctime>
#include <iterator>

namespace {

// Indexed by information type; null where a value has no text form.
constexpr const char* kInfoTexts[] = {
    "DOMAIN",
    "IP",
    "FILE",
    "RANGE_DATES",
    "DOW",
    "HOUR",
    "REFERRER",
    "USEROS",
    "USERBROWSER",
    "SPIDER",
    "REQUEST",
    "SUCCESS",
    "AUTHUSER",
    "VIRTUALDOMAIN",
    "QUICKFILTER_DATE_TIME",
    "QUICKFILTER_SPIDERS",
    "QUERY_STRING",
    nullptr,
    "COOKIE",
};

constexpr const char* kQuickTexts[] = {
    "24HOURS",       "TODAY",          "YESTERDAY",  "CURRENT_WEEK", "LAST_WEEK",
    "CURRENT_MONTH", "PREVIOUS_MONTH", "LAST_MONTH", "YEAR_TO_DATE", "PREVIOUS_YEAR",
};

template <size_t N>
const char* TextAt(const char* const (&table)[N], int value) {
    return value >= 0 && static_cast<size_t>(value) < N ? table[value] : nullptr;
}

template <size_t N>
int IndexOf(const char* const (&table)[N], const std::string& text, int missing) {
    for (size_t i = 0; i < N; ++i)
        if (table[i] && text == table[i]) return static_cast<int>(i);
    return missing;
}

}  // namespace

filter_t::filter_t() {
    std::time_t now = std::time(nullptr);
    begin = static_cast<std::int32_t>(now);
    end = begin;
}

const char* IncludeTypeToString(int includeType) {
    if (includeType == filter_t::INCLUDE) return "INCLUDE";
    if (includeType == filter_t::EXCLUDE) return "EXCLUDE";
    return nullptr;
}

int StringToIncludeType(const std::string& text) {
    if (text == "INCLUDE") return filter_t::INCLUDE;
    if (text == "EXCLUDE") return filter_t::EXCLUDE;
    return -1;
}

const char* InfoTypeToString(int infoType) { return TextAt(kInfoTexts, infoType); }

int StringToInfoType(const std::string& text) {
    return IndexOf(kInfoTexts, text, filter_t::INFO_BAD);
}

const char* QuickFilterToString(int period) { return TextAt(kQuickTexts, period); }

int StringToQuickFilter(const std::string& text) {
    return IndexOf(kQuickTexts, text, filter_t::QUICK_BAD);
}
