#pragma once

// The log of the example project: three weeks of a small online tea shop at shop.example.com,
// in the combined format with the session cookie at the end of each line. Visits follow the
// site's own links, arrive from search engines with phrases, from other sites, newsletters or
// typed addresses, and come back on later days under the same cookie; spiders crawl without
// cookies, staff sign in to an admin area, and a monitor polls a health check from the
// internal network (the example project filters it out). Everything derives from one seed, so
// the same seed always gives the same bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace logvane::example {

inline constexpr std::string_view kSiteDomain = "shop.example.com";
inline constexpr std::string_view kCookieName = "shopsid";
inline constexpr std::uint64_t kDefaultSeed = 20240304;
// Monday 4 March 2024, 00:00:00 UTC; the log covers this day and the 20 after it.
inline constexpr std::int64_t kFirstDay = 1709510400;
inline constexpr int kDays = 21;

class CExampleLog {
public:
    explicit CExampleLog(std::uint64_t seed = kDefaultSeed);

    // Every line of the log in time order, each ending in a line feed; the same for every call.
    std::string Generate();
    // Writes Generate() to `path` through a temporary file beside it; false when it cannot be
    // written (the old file, if any, is then untouched).
    bool WriteFile(const std::string& path);

private:
    struct visitor_t {
        std::string host;
        std::string cookie;  // the whole cookie header, session cookie included
        int agent = 0;
        int country = 0;
        int visits = 0;
    };
    struct line_t {
        std::int64_t time;
        std::uint32_t order;  // generation order, which keeps a visit's lines in sequence
        std::string text;
    };
    struct request_t {
        std::int64_t time = 0;
        std::string_view host;
        std::string_view user = "-";
        std::string_view method = "GET";
        std::string url;
        int status = 200;
        std::uint32_t bytes = 0;
        std::string referrer = "-";
        std::string_view agent;
        std::string_view cookie = "-";
    };

    std::uint64_t Next();
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
    bool Chance(std::uint32_t perMille) { return Below(1000) < perMille; }
    int Weighted(const int* weights, int count);

    void Emit(const request_t& r);
    std::int64_t VisitStart(int day);
    visitor_t& PickVisitor();
    std::string NewAddress(int country);

    void DayOfVisits(int day);
    void Visit(visitor_t& v, std::int64_t start, bool newsletter);
    int Landing(request_t& first, bool newsletter);
    std::int64_t PageView(visitor_t& v, int page, std::string url, std::string referrer,
                          std::int64_t time, bool firstOfVisit);
    void PageResources(const visitor_t& v, int page, const std::string& pageUrl, std::int64_t time,
                       bool firstOfVisit);
    // One click from `page` (shown at `url`): both become the next page, page -1 when the
    // visit ends. Returns the time of the next click.
    std::int64_t FollowLink(visitor_t& v, int& page, std::string& url, std::int64_t time);
    std::int64_t Purchase(visitor_t& v, const std::string& product, const std::string& referrer,
                          std::int64_t time);
    void Spiders(int day);
    void Staff(int day);
    void Monitor(int day);
    void Probes(int day);

    std::uint64_t m_seed;
    std::uint64_t m_state;
    std::vector<visitor_t> m_visitors;
    std::vector<line_t> m_lines;
};

}  // namespace logvane::example
