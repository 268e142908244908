// The one-line descriptions of filters shown in the filter lists. The pieces are joined as the
// lists have always shown them, double blanks included ("files matching  'x'").

#include <cstdio>
#include <ctime>

#include "store/filter/FilterInformation.h"

namespace {

std::string LocalTimeText(std::int32_t seconds) {
    std::time_t t = seconds;
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    char buffer[96];
    std::size_t n = std::strftime(buffer, sizeof buffer, "%B %d, %Y, %I:%M:%S %p", &local);
    return std::string(buffer, n);
}

std::string HourText(int hour) {
    char buffer[32];
    if (hour == 0) return "12 AM";
    if (hour == 12) return "12 PM";
    if (hour >= 1 && hour <= 11)
        std::snprintf(buffer, sizeof buffer, "%d AM", hour);
    else if (hour >= 13 && hour <= 23)
        std::snprintf(buffer, sizeof buffer, "%d PM", hour - 12);
    else
        return {};
    return buffer;
}

// Day names by num1; a number out of range (a hand-edited file) names no day.
std::string DayText(int day) {
    static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    return day >= 0 && day < 7 ? kDays[day] : "";
}

std::string QuickText(int period) {
    static constexpr const char* kPeriods[] = {
        "hits from the past 24 hours",  "hits from today",
        "hits from yesterday",          "hits from the current week",
        "hits from the past 7 days",    "hits from the current month",
        "hits from the previous month", "hits from the past 30 days",
        "hits from the current year",   "hits from the previous year",
    };
    return period >= 0 && period < 10 ? kPeriods[period] : "";
}

std::string RequestText(request_t type) {
    switch (type) {
        case REQUEST_GET:
            return "all GET requests";
        case REQUEST_HEAD:
            return "all HEAD requests";
        case REQUEST_POST:
            return "all POST requests";
        default:
            return {};
    }
}

std::string Body(const filter_t& f) {
    const std::string quoted = " '" + f.string + "'";
    char buffer[96];
    switch (f.infoType) {
        case filter_t::DOMAIN:
        case filter_t::IP:
            return "domains matching" + quoted;
        case filter_t::FILE:
            return "files matching " + quoted;
        case filter_t::RANGE_DATES:
            return "dates from " + LocalTimeText(f.begin) + " to " + LocalTimeText(f.end);
        case filter_t::DOW:
            return "requests on " + DayText(f.num1);
        case filter_t::HOUR:
            return "Requests at  " + HourText(f.num1);
        case filter_t::REFERRER:
            return "referrers matching" + quoted;
        case filter_t::USEROS:
            return "Requests from the " + quoted + " OS";
        case filter_t::USERBROWSER:
            return "Requests from the " + quoted + " browser";
        case filter_t::SPIDER:
            return "Requests from the " + quoted + " spider";
        case filter_t::REQUEST:
            return RequestText(f.requestType);
        case filter_t::SUCCESS:
            std::snprintf(buffer, sizeof buffer, "success codes between %d and %d", f.num1, f.num2);
            return buffer;
        case filter_t::AUTHUSER:
            return "Requests from the users matching " + quoted;
        case filter_t::VIRTUALDOMAIN:
            return "Hits matching" + quoted;
        case filter_t::QUICKFILTER_DATE_TIME:
            return QuickText(f.quickFilter);
        case filter_t::QUICKFILTER_SPIDERS:
            return "all search engine spiders";
        case filter_t::QUERY_STRING:
            return "query string with " + f.string;
        default:
            return {};
    }
}

}  // namespace

std::string CFilterInformation::GetFilterDescription(const filter_t* f, int withPrefix) const {
    if (!f) return {};
    std::string text;
    if (withPrefix) {
        if (f->includeType == filter_t::INCLUDE)
            text = "Include ";
        else if (f->includeType == filter_t::EXCLUDE)
            text = "Exclude ";
    }
    text += Body(*f);
    if (!withPrefix)
        text.erase(0, text.find_first_not_of(' ') == std::string::npos
                          ? text.size()
                          : text.find_first_not_of(' '));
    return text;
}
