#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/parse/HitRecord.h"
#include "engine/scan/PatternSearch.h"
#include "store/filter/Filter.h"

class CUrlNormalizer;

// What filter compilation takes from the run.
struct filter_compile_options_t {
    bool caseSensitive = false;
    bool andInclude = false;  // include filters combined with AND (else OR)
    bool andExclude = false;  // exclude filters combined with AND (else OR)
    // Keywords of the spider list: a QUICKFILTER_SPIDERS filter becomes one SPIDER filter each.
    std::vector<std::string> spiderKeywords;
    // FILE patterns are normalised like requested URLs; null leaves them as written.
    const CUrlNormalizer* normalizer = nullptr;
    // "Now" for the quick date periods (seconds since 1970).
    std::time_t now = 0;
};

// One filter as evaluation uses it.
struct compiled_filter_t {
    int includeType = filter_t::INCLUDE;
    int infoType = filter_t::INFO_BAD;
    bool wildcard = false;
    std::string pattern;                     // lower-cased unless the analysis is case sensitive
    std::unique_ptr<CPatternSearch> search;  // substring filters (browser, OS, spider)
    std::string queryName, queryValue;       // QUERY_STRING: the pattern split at "="
    bool queryNameWildcard = false, queryValueWildcard = false;
    bool hasQueryPattern = false;
    std::int32_t begin = 0, end = 0;  // local seconds, inclusive
    int num1 = 0, num2 = 0;
    int requestType = REQUEST_BAD;
};

// Seconds of `utc` as the local wall clock reads them (what log time stamps hold).
LOGVANE_ENGINE_API std::int32_t ToLocalSeconds(std::time_t utc);

// [begin, end] of a quick date period around `now`, in local seconds; false for an unknown
// period. Calendar periods run from the first second of their first day to the last second
// of their last day; weeks start on Sunday.
LOGVANE_ENGINE_API bool QuickFilterSpan(int period, std::time_t now, std::int32_t& begin,
                                        std::int32_t& end);

// The run's filters, global ones first: decides for every hit whether it counts.
class LOGVANE_ENGINE_API CFilterEvaluator {
public:
    // Replaces the compiled list by `filters` in order.
    void CompileFilters(const std::vector<filter_t>& filters,
                        const filter_compile_options_t& options);

    bool IsEmpty() const { return m_filters.empty(); }
    int GetNumIncludes() const { return m_includes; }
    int GetNumExcludes() const { return m_excludes; }
    const std::vector<compiled_filter_t>& GetFilters() const { return m_filters; }

    // True when the hit must not be counted. `hit` has been case-folded and `url` is its
    // normalised URL. Allocates nothing.
    bool IsFilteredOut(const hit_t& hit, std::string_view url) const;

private:
    void Add(const filter_t& filter, const filter_compile_options_t& options);
    bool Matches(const compiled_filter_t& filter, const hit_t& hit, std::string_view url) const;

    std::vector<compiled_filter_t> m_filters;
    int m_includes = 0;
    int m_excludes = 0;
    bool m_andInclude = false;
    bool m_andExclude = false;
};
