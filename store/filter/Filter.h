#pragma once

#include <cstdint>
#include <string>

#include "store/StoreApi.h"

// Request method tested by a REQUEST filter.
enum request_t : int { REQUEST_GET = 0, REQUEST_HEAD = 1, REQUEST_POST = 2, REQUEST_BAD = 3 };

// One filter of a project, a scenario or the global filters file. Which fields matter depends on
// the information type: a pattern in `string`, numbers in `num1`/`num2`, a date range in
// `begin`/`end`, a period in `quickFilter` or a method in `requestType`.
struct LOGVANE_STORE_API filter_t {
    enum include_t : int { INCLUDE = 0, EXCLUDE = 1 };

    // What the filter tests; INFO_BAD (17) is the invalid value.
    enum info_t : int {
        DOMAIN = 0,
        IP = 1,
        FILE = 2,
        RANGE_DATES = 3,
        DOW = 4,
        HOUR = 5,
        REFERRER = 6,
        USEROS = 7,
        USERBROWSER = 8,
        SPIDER = 9,
        REQUEST = 10,
        SUCCESS = 11,
        AUTHUSER = 12,
        VIRTUALDOMAIN = 13,
        QUICKFILTER_DATE_TIME = 14,
        QUICKFILTER_SPIDERS = 15,
        QUERY_STRING = 16,
        INFO_BAD = 17,
        COOKIE = 18,
    };

    // Period of a QUICKFILTER_DATE_TIME filter; QUICK_BAD (10) is the invalid value.
    enum quickfilter_t : int {
        QUICK_24HOURS = 0,
        QUICK_TODAY = 1,
        QUICK_YESTERDAY = 2,
        QUICK_CURRENT_WEEK = 3,
        QUICK_LAST_WEEK = 4,  // the past 7 days
        QUICK_CURRENT_MONTH = 5,
        QUICK_PREVIOUS_MONTH = 6,
        QUICK_LAST_MONTH = 7,    // the past 30 days
        QUICK_YEAR_TO_DATE = 8,  // the current year
        QUICK_PREVIOUS_YEAR = 9,
        QUICK_BAD = 10,
    };

    // An include DOMAIN filter for the current month with an empty string, no numbers, begin
    // and end at the current time and no request method (REQUEST_BAD).
    filter_t();

    bool operator==(const filter_t&) const = default;

    int includeType = INCLUDE;
    int infoType = DOMAIN;
    int quickFilter = QUICK_CURRENT_MONTH;
    std::string string;
    int num1 = 0;
    int num2 = 0;
    std::int32_t begin = 0;  // seconds since 1970
    std::int32_t end = 0;    // seconds since 1970
    request_t requestType = REQUEST_BAD;
};

// Text forms used in the XML files. Each To-text function returns null for a value that has no
// text form; each From-text function compares exactly and returns the invalid value (-1 for the
// include type, INFO_BAD, QUICK_BAD) for an unknown text.
LOGVANE_STORE_API const char* IncludeTypeToString(int includeType);
LOGVANE_STORE_API int StringToIncludeType(const std::string& text);
LOGVANE_STORE_API const char* InfoTypeToString(int infoType);
LOGVANE_STORE_API int StringToInfoType(const std::string& text);
LOGVANE_STORE_API const char* QuickFilterToString(int period);
LOGVANE_STORE_API int StringToQuickFilter(const std::string& text);
