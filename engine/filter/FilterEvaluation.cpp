#include "engine/filter/FilterEvaluation.h"

#include "engine/filter/WildcardMatch.h"
#include "engine/hit/QueryPairs.h"
#include "engine/hit/UrlNormalizer.h"
#include "engine/run/CaseTables.h"

namespace {

constexpr std::int32_t kDay = 86400;

std::string Lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(logvane::casefold::kLower[static_cast<unsigned char>(c)]);
    return text;
}

bool UsesPattern(int infoType) {
    switch (infoType) {
        case filter_t::DOMAIN:
        case filter_t::IP:
        case filter_t::FILE:
        case filter_t::REFERRER:
        case filter_t::USEROS:
        case filter_t::USERBROWSER:
        case filter_t::SPIDER:
        case filter_t::AUTHUSER:
        case filter_t::VIRTUALDOMAIN:
        case filter_t::QUERY_STRING:
        case filter_t::COOKIE:
            return true;
        default:
            return false;
    }
}

bool IsSubstringType(int infoType) {
    return infoType == filter_t::USEROS || infoType == filter_t::USERBROWSER ||
           infoType == filter_t::SPIDER;
}

// A local calendar date as local seconds of its first second.
std::int32_t DayStart(int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month;  // timegm normalises months outside 0-11 and day 0
    t.tm_mday = day;
    return static_cast<std::int32_t>(timegm(&t));
}

// Filters that test nothing leave the combination as it is.
bool HasEffect(const compiled_filter_t& f) {
    switch (f.infoType) {
        case filter_t::QUERY_STRING:
            return f.hasQueryPattern;
        case filter_t::DOMAIN:
        case filter_t::IP:
        case filter_t::FILE:
        case filter_t::RANGE_DATES:
        case filter_t::DOW:
        case filter_t::HOUR:
        case filter_t::REFERRER:
        case filter_t::USEROS:
        case filter_t::USERBROWSER:
        case filter_t::SPIDER:
        case filter_t::REQUEST:
        case filter_t::SUCCESS:
        case filter_t::AUTHUSER:
        case filter_t::VIRTUALDOMAIN:
        case filter_t::COOKIE:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::int32_t ToLocalSeconds(std::time_t utc) {
    std::tm local{};
    localtime_r(&utc, &local);
    // tm_gmtoff already holds daylight saving time when it is in force.
    return static_cast<std::int32_t>(utc + local.tm_gmtoff);
}

bool QuickFilterSpan(int period, std::time_t now, std::int32_t& begin, std::int32_t& end) {
    const std::int32_t local = ToLocalSeconds(now);
    std::tm date{};
    const std::time_t localTime = local;
    gmtime_r(&localTime, &date);
    const int y = date.tm_year + 1900, m = date.tm_mon, d = date.tm_mday;
    const std::int32_t today = DayStart(y, m, d);
    switch (period) {
        case filter_t::QUICK_24HOURS:
            begin = local - kDay, end = local;
            return true;
        case filter_t::QUICK_LAST_WEEK:
            begin = local - 7 * kDay, end = local;
            return true;
        case filter_t::QUICK_LAST_MONTH:
            begin = local - 30 * kDay, end = local;
            return true;
        case filter_t::QUICK_TODAY:
            begin = today, end = today + kDay - 1;
            return true;
        case filter_t::QUICK_YESTERDAY:
            begin = today - kDay, end = today - 1;
            return true;
        case filter_t::QUICK_CURRENT_WEEK:
            begin = today - date.tm_wday * kDay, end = begin + 7 * kDay - 1;
            return true;
        case filter_t::QUICK_CURRENT_MONTH:
            begin = DayStart(y, m, 1), end = DayStart(y, m + 1, 1) - 1;
            return true;
        case filter_t::QUICK_PREVIOUS_MONTH:
            begin = DayStart(y, m - 1, 1), end = DayStart(y, m, 1) - 1;
            return true;
        case filter_t::QUICK_YEAR_TO_DATE:
            begin = DayStart(y, 0, 1), end = today + kDay - 1;
            return true;
        case filter_t::QUICK_PREVIOUS_YEAR:
            begin = DayStart(y - 1, 0, 1), end = DayStart(y, 0, 1) - 1;
            return true;
        default:
            return false;
    }
}

void CFilterEvaluator::CompileFilters(const std::vector<filter_t>& filters,
                                      const filter_compile_options_t& options) {
    m_filters.clear();
    m_includes = m_excludes = 0;
    m_andInclude = options.andInclude;
    m_andExclude = options.andExclude;
    for (const filter_t& filter : filters) {
        if (filter.infoType == filter_t::QUICKFILTER_SPIDERS) {
            for (const std::string& keyword : options.spiderKeywords) {
                filter_t spider = filter;
                spider.infoType = filter_t::SPIDER;
                spider.string = keyword;
                Add(spider, options);
            }
            continue;
        }
        Add(filter, options);
    }
}

void CFilterEvaluator::Add(const filter_t& filter, const filter_compile_options_t& options) {
    compiled_filter_t c;
    c.includeType = filter.includeType == filter_t::EXCLUDE ? filter_t::EXCLUDE : filter_t::INCLUDE;
    c.infoType = filter.infoType;
    c.num1 = filter.num1;
    c.num2 = filter.num2;
    c.requestType = filter.requestType;
    c.begin = ToLocalSeconds(filter.begin);
    c.end = ToLocalSeconds(filter.end);
    if (filter.infoType == filter_t::QUICKFILTER_DATE_TIME) {
        c.infoType = filter_t::RANGE_DATES;
        if (!QuickFilterSpan(filter.quickFilter, options.now, c.begin, c.end))
            c.infoType = filter_t::INFO_BAD;  // an unknown period tests nothing
    }
    if (UsesPattern(c.infoType)) {
        // Cookie values are never folded, so neither is their pattern.
        const bool fold = !options.caseSensitive && c.infoType != filter_t::COOKIE;
        c.pattern = fold ? Lowered(filter.string) : filter.string;
        if (c.infoType == filter_t::FILE && options.normalizer)
            c.pattern = options.normalizer->Normalized(c.pattern, true);
        c.wildcard = !IsSubstringType(c.infoType) && HasWildcard(c.pattern);
        if (IsSubstringType(c.infoType))
            c.search = std::make_unique<CPatternSearch>(c.pattern, false);
    }
    if (c.infoType == filter_t::QUERY_STRING) {
        const std::size_t eq = c.pattern.find('=');
        c.hasQueryPattern = eq != std::string::npos;
        if (c.hasQueryPattern) {
            c.queryName = c.pattern.substr(0, eq);
            c.queryValue = c.pattern.substr(eq + 1);
        }
    }
    // A filter that tests nothing must not turn the include start value to false either.
    if (!HasEffect(c)) return;
    (c.includeType == filter_t::EXCLUDE ? m_excludes : m_includes) += 1;
    m_filters.push_back(std::move(c));
}

bool CFilterEvaluator::Matches(const compiled_filter_t& f, const hit_t& hit,
                               std::string_view url) const {
    switch (f.infoType) {
        case filter_t::DOMAIN:
        case filter_t::IP:
            return WildcardOrEqual(f.pattern, f.wildcard, hit.Host());
        case filter_t::FILE:
            return UrlPatternMatch(f.pattern, f.wildcard, url);
        case filter_t::RANGE_DATES:
            return f.begin <= hit.time && hit.time <= f.end;
        case filter_t::DOW:
            return hit.dayOfWeek == f.num1;
        case filter_t::HOUR:
            return hit.hour == f.num1;
        case filter_t::REFERRER:
            return WildcardOrEqual(f.pattern, f.wildcard, hit.Referrer());
        case filter_t::USEROS:
        case filter_t::USERBROWSER:
        case filter_t::SPIDER:
            return f.search->Find(hit.agent, static_cast<std::size_t>(hit.agentLen)) >= 0;
        case filter_t::REQUEST:
            return hit.method == f.requestType;
        case filter_t::SUCCESS:
            return f.num1 <= hit.status && hit.status <= f.num2;
        case filter_t::AUTHUSER:
            return WildcardOrEqual(f.pattern, f.wildcard, hit.User());
        case filter_t::VIRTUALDOMAIN:
            return WildcardOrEqual(f.pattern, f.wildcard, hit.Server());
        case filter_t::COOKIE:
            return WildcardOrEqual(f.pattern, f.wildcard, hit.Cookie());
        case filter_t::QUERY_STRING: {
            const url_query_t query = SplitQuery(hit.Path());
            if (!query.hasQuery) return false;
            return ForEachQueryPair(query.query, [&f](std::string_view n, std::string_view v) {
                return WildcardMatch(f.queryName, n) && WildcardMatch(f.queryValue, v);
            });
        }
        default:
            return false;
    }
}

bool CFilterEvaluator::IsFilteredOut(const hit_t& hit, std::string_view url) const {
    bool include = m_andInclude || m_includes == 0;
    bool exclude = m_andExclude && m_excludes > 0;
    for (const compiled_filter_t& f : m_filters) {
        const bool match = Matches(f, hit, url);
        bool& result = f.includeType == filter_t::EXCLUDE ? exclude : include;
        const bool andMode = f.includeType == filter_t::EXCLUDE ? m_andExclude : m_andInclude;
        result = andMode ? (result && match) : (result || match);
    }
    return !include || exclude;
}
