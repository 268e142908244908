#include "ExampleLog.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace logvane::example {

namespace {

// The site's pages. Each lists the pages it links to; a visitor's next click is one of them.
enum page_id {
    kHome,
    kTeas,
    kGreen,
    kBlack,
    kOolong,
    kHerbal,
    kMatcha,  // removed from the site, still linked from the blog and a review elsewhere: 404
    kCoffee,
    kEspresso,
    kFilter,
    kAccessories,
    kTeapots,
    kGrinders,
    kBlog,
    kBrewing,
    kWater,
    kAbout,
    kContact,
    kProduct,
    kSearch,
    kCatalogue,  // the tracked download
    kChart,
    kCart,
    kCheckout,
    kThanks,  // a tracked page and the purchase tag
    kPageCount
};

struct page_t {
    const char* url;
    const char* image;  // shown on the page, nullptr for none
    std::array<int, 6> links;
    int linkCount;
    std::uint32_t bytes;
};

constexpr page_t kPages[kPageCount] = {
    {"/",
     "/images/banner-spring.jpg",
     {kTeas, kCoffee, kAccessories, kBlog, kAbout, kSearch},
     6,
     24310},
    {"/teas/index.html",
     "/images/teas/header.jpg",
     {kGreen, kBlack, kOolong, kHerbal, kProduct, kCatalogue},
     6,
     18225},
    {"/teas/green-tea.html",
     "/images/teas/green-tea.jpg",
     {kProduct, kTeas, kBrewing, kHome},
     4,
     15120},
    {"/teas/black-tea.html", "/images/teas/black-tea.jpg", {kProduct, kTeas, kHome}, 3, 14870},
    {"/teas/oolong.html", "/images/teas/oolong.jpg", {kProduct, kTeas, kWater}, 3, 13904},
    {"/teas/herbal.html", "/images/teas/herbal.jpg", {kProduct, kTeas, kHome}, 3, 14411},
    {"/teas/matcha.html", nullptr, {}, 0, 1245},
    {"/coffee/index.html",
     "/images/coffee/header.jpg",
     {kEspresso, kFilter, kProduct, kHome},
     4,
     17302},
    {"/coffee/espresso.html",
     "/images/coffee/espresso.jpg",
     {kProduct, kCoffee, kGrinders},
     3,
     12288},
    {"/coffee/filter.html", "/images/coffee/filter.jpg", {kProduct, kCoffee}, 2, 11730},
    {"/accessories/index.html",
     "/images/accessories/header.jpg",
     {kTeapots, kGrinders, kProduct},
     3,
     16034},
    {"/accessories/teapots.html",
     "/images/accessories/teapot.jpg",
     {kProduct, kAccessories, kBrewing},
     3,
     13516},
    {"/accessories/grinders.html",
     "/images/accessories/grinder.jpg",
     {kProduct, kAccessories, kEspresso},
     3,
     12940},
    {"/blog/index.html", nullptr, {kBrewing, kWater, kHome}, 3, 21877},
    {"/blog/brewing-guide.html",
     "/images/blog/brewing.jpg",
     {kMatcha, kGreen, kWater, kChart},
     4,
     28650},
    {"/blog/water-temperature.html",
     "/images/blog/kettle.jpg",
     {kBrewing, kOolong, kTeas},
     3,
     19433},
    {"/about.html", "/images/team.jpg", {kContact, kCatalogue, kHome}, 3, 9821},
    {"/contact.html", nullptr, {kHome}, 1, 7315},
    {"/product.php", nullptr, {kHome}, 1, 16600},
    {"/search.php", nullptr, {kProduct, kGreen, kOolong}, 3, 14250},
    {"/downloads/tea-catalogue.pdf", nullptr, {}, 0, 2483117},
    {"/downloads/brewing-chart.pdf", nullptr, {}, 0, 612480},
    {"/cart.php", nullptr, {}, 0, 9120},
    {"/checkout/index.html", "/images/secure.png", {}, 0, 11840},
    {"/checkout/thanks.html", nullptr, {}, 0, 6230},
};

struct agent_t {
    const char* text;
    int weight;
    bool apple;  // asks for /apple-touch-icon.png, which the site does not have
};

constexpr agent_t kAgents[] = {
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/122.0.0.0 Safari/537.36",
     30, false},
    {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_3 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
     "Gecko) Version/17.3 Mobile/15E148 Safari/604.1",
     18, true},
    {"Mozilla/5.0 (Linux; Android 14; Pixel 7) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/122.0.0.0 Mobile Safari/537.36",
     14, false},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/17.3 Safari/605.1.15",
     10, true},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/122.0.0.0 Safari/537.36 Edg/122.0.2365.66",
     8, false},
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:123.0) Gecko/20100101 Firefox/123.0", 6, false},
    {"Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 Firefox/123.0", 4, false},
    {"Mozilla/5.0 (Linux; Android 13; SM-A536B) AppleWebKit/537.36 (KHTML, like Gecko) "
     "SamsungBrowser/24.0 Chrome/117.0.0.0 Mobile Safari/537.36",
     4, false},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/122.0.0.0 Safari/537.36",
     4, false},
    {"Mozilla/5.0 (iPad; CPU OS 17_3 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/17.3 Mobile/15E148 Safari/604.1",
     2, true},
};

// Visitors' countries: a /16 of each country's address space in the shipped IP-to-country
// database, and the language their cookie carries.
struct country_t {
    int a, b;
    const char* lang;
    int weight;
};

constexpr country_t kCountries[] = {
    {2, 120, "en-GB", 30}, {3, 12, "en-US", 20}, {2, 160, "de", 10},   {4, 178, "fr", 7},
    {4, 180, "nl", 6},     {13, 74, "en-IE", 5}, {4, 204, "en-CA", 5}, {4, 165, "sv", 4},
    {2, 156, "it", 4},     {5, 40, "es", 3},     {3, 24, "en-AU", 3},  {1, 66, "ja", 3},
};

struct search_engine_t {
    const char* prefix;  // the referrer up to the phrase
    const char* suffix;  // what the engine puts after it
    int weight;
};

constexpr search_engine_t kEngines[] = {
    {"https://www.google.com/search?q=", "&hl=en", 42},
    {"https://www.google.co.uk/search?q=", "&source=hp", 18},
    {"https://www.bing.com/search?q=", "&form=QBLH", 18},
    {"https://duckduckgo.com/?q=", "&ia=web", 10},
    {"https://search.yahoo.com/search?p=", "&fr=yfp-t", 6},
    {"https://www.ecosia.org/search?q=", "&method=index", 6},
};

struct phrase_t {
    const char* query;  // as the engine encodes it
    int page;
    int weight;
};

constexpr phrase_t kPhrases[] = {
    {"green+tea+online", kGreen, 14},
    {"buy+loose+leaf+tea", kHome, 12},
    {"oolong+tea", kOolong, 8},
    {"how+to+brew+green+tea", kBrewing, 10},
    {"water+temperature+for+tea", kWater, 7},
    {"cast+iron+teapot", kTeapots, 7},
    {"%22earl+grey%22+loose", kBlack, 6},
    {"matcha+powder", kMatcha, 5},
    {"herbal+tea+gift", kHerbal, 5},
    {"espresso+beans", kEspresso, 5},
    {"hand+coffee+grinder", kGrinders, 4},
    {"tea+catalogue+pdf", kCatalogue, 3},
    {"tea+shop", kHome, 6},
};

struct referral_t {
    const char* referrer;
    int page;
    int weight;
};

// Links from elsewhere; the last two make the "Other" and "Local Files" referrer origins.
constexpr referral_t kReferrals[] = {
    {"https://blog.example.org/2024/02/five-green-teas-to-try.html", kGreen, 20},
    {"https://blog.example.org/2024/02/five-green-teas-to-try.html", kMatcha, 6},
    {"https://forum.example.net/t/best-cast-iron-teapot/4471", kTeapots, 14},
    {"https://www.example.net/links/tea-shops.html", kHome, 12},
    {"http://recipes.example.org/chai-latte", kBlack, 8},
    {"https://mail.example.com/", kHome, 6},
    {"android-app://com.example.reader/", kBrewing, 4},
    {"file:///C:/Users/Public/Documents/tea-order.html", kHome, 2},
};

struct spider_t {
    const char* agent;
    const char* host;
    int perDay;
    bool images;
};

constexpr spider_t kSpiders[] = {
    {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "3.12.88.17", 34,
     false},
    {"Googlebot-Image/1.0", "3.12.88.21", 8, true},
    {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "3.12.91.140", 20,
     false},
    {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", "2.160.7.33", 6, false},
    {"Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)", "4.180.12.9", 10, false},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/13.1.1 Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)",
     "3.12.77.5", 5, false},
    {"DuckDuckBot/1.1; (+http://duckduckgo.com/duckduckbot.html)", "3.12.60.200", 4, false},
};

// Share of visits in each hour of the day, in tenths of a percent.
constexpr int kHourWeights[24] = {20,  10,  10,  10,  10,  20,  40,  70,  90,  100, 110, 120,
                                  120, 110, 100, 100, 100, 110, 120, 130, 130, 110, 70,  40};

constexpr const char* kSearchTerms[] = {"oolong", "green+tea", "teapot",
                                        "decaf",  "chai",      "gift+card"};

const std::string kSitePrefix = "https://" + std::string(kSiteDomain);

std::string HexCookie(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

void AppendDate(std::string& out, std::int64_t time) {
    std::time_t when = static_cast<std::time_t>(time);
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[40];
    std::strftime(text, sizeof text, "[%d/%b/%Y:%H:%M:%S +0000]", &parts);
    out += text;
}

}  // namespace

CExampleLog::CExampleLog(std::uint64_t seed) : m_seed(seed), m_state(seed | 1) {}

std::uint64_t CExampleLog::Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return m_state;
}

int CExampleLog::Weighted(const int* weights, int count) {
    int total = 0;
    for (int i = 0; i < count; ++i) total += weights[i];
    int r = static_cast<int>(Below(static_cast<std::uint32_t>(total)));
    for (int i = 0; i < count; ++i) {
        if (r < weights[i]) return i;
        r -= weights[i];
    }
    return count - 1;
}

template <typename T, std::size_t N>
static std::array<int, N> WeightsOf(const T (&table)[N]) {
    std::array<int, N> weights{};
    for (std::size_t i = 0; i < N; ++i) weights[i] = table[i].weight;
    return weights;
}

void CExampleLog::Emit(const request_t& r) {
    std::string text;
    text.reserve(360);
    text += r.host;
    text += " - ";
    text += r.user;
    text += ' ';
    AppendDate(text, r.time);
    text += " \"";
    text += r.method;
    text += ' ';
    text += r.url;
    text += " HTTP/1.1\" ";
    text += std::to_string(r.status);
    text += ' ';
    text += std::to_string(r.bytes);
    text += " \"";
    text += r.referrer;
    text += "\" \"";
    text += r.agent;
    text += "\" \"";
    text += r.cookie;
    text += "\"\n";
    m_lines.push_back({r.time, static_cast<std::uint32_t>(m_lines.size()), std::move(text)});
}

std::string CExampleLog::Generate() {
    m_state = m_seed | 1;
    m_lines.clear();
    m_visitors.clear();
    for (int day = 0; day < kDays; ++day) {
        DayOfVisits(day);
        Spiders(day);
        Staff(day);
        Monitor(day);
        Probes(day);
    }
    // A visit that starts late on the last day must not run past the three weeks.
    const std::int64_t end = kFirstDay + std::int64_t(kDays) * 86400;
    std::erase_if(m_lines, [end](const line_t& l) { return l.time >= end; });
    std::sort(m_lines.begin(), m_lines.end(), [](const line_t& a, const line_t& b) {
        return a.time != b.time ? a.time < b.time : a.order < b.order;
    });
    std::string out;
    std::size_t size = 0;
    for (const line_t& l : m_lines) size += l.text.size();
    out.reserve(size);
    for (const line_t& l : m_lines) out += l.text;
    return out;
}

bool CExampleLog::WriteFile(const std::string& path) {
    const std::string text = Generate();
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

std::int64_t CExampleLog::VisitStart(int day) {
    const int hour = Weighted(kHourWeights, 24);
    return kFirstDay + std::int64_t(day) * 86400 + hour * 3600 + Below(3600);
}

std::string CExampleLog::NewAddress(int country) {
    // Drawn one at a time: the operands of "+" have no fixed order of evaluation, and the
    // log must not depend on the compiler.
    const country_t& c = kCountries[country];
    const std::uint32_t third = Below(256);
    const std::uint32_t fourth = 1 + Below(254);
    return std::to_string(c.a) + "." + std::to_string(c.b) + "." + std::to_string(third) + "." +
           std::to_string(fourth);
}

CExampleLog::visitor_t& CExampleLog::PickVisitor() {
    if (!m_visitors.empty() && Chance(280)) {
        visitor_t& v = m_visitors[Below(static_cast<std::uint32_t>(m_visitors.size()))];
        // Phones change addresses between visits; the cookie still ties the visits together.
        if (v.host.find(".example.") == std::string::npos && Chance(300))
            v.host = NewAddress(v.country);
        ++v.visits;
        return v;
    }
    static const auto countryWeights = WeightsOf(kCountries);
    static const auto agentWeights = WeightsOf(kAgents);
    visitor_t v;
    v.country = Weighted(countryWeights.data(), static_cast<int>(countryWeights.size()));
    v.agent = Weighted(agentWeights.data(), static_cast<int>(agentWeights.size()));
    if (Chance(60)) {
        const bool cable = Chance(500);
        const std::uint32_t first = Below(256);
        const std::uint32_t second = Below(256);
        v.host = (cable ? "cpe-" : "dsl-") + std::to_string(first) + "-" + std::to_string(second) +
                 (cable ? ".cable.example.net" : ".adsl.example.org");
    } else {
        v.host = NewAddress(v.country);
    }
    // A few visitors refuse cookies; they are told apart by their address alone.
    if (!Chance(40)) {
        v.cookie = "lang=" + std::string(kCountries[v.country].lang) + "; " +
                   std::string(kCookieName) + "=" + HexCookie(Next()) + "; consent=yes";
    } else {
        v.cookie = "-";
    }
    v.visits = 1;
    m_visitors.push_back(std::move(v));
    return m_visitors.back();
}

void CExampleLog::DayOfVisits(int day) {
    static constexpr int kWeekdayShare[7] = {100, 104, 100, 96, 92, 72, 68};  // Monday first
    const int count = 86 * kWeekdayShare[day % 7] * (100 + 2 * day) / 10000;
    for (int i = 0; i < count; ++i) {
        visitor_t& v = PickVisitor();
        Visit(v, VisitStart(day), false);
    }
    // The spring newsletter goes out on Tuesday of the second week at ten.
    const int newsletter = day == 8 ? 46 : day == 9 ? 14 : 0;
    for (int i = 0; i < newsletter; ++i) {
        visitor_t& v = PickVisitor();
        const std::int64_t start = kFirstDay + std::int64_t(day) * 86400 +
                                   (day == 8 ? 36000 + Below(9 * 3600) : Below(86400));
        Visit(v, start, true);
    }
}

int CExampleLog::Landing(request_t& first, bool newsletter) {
    if (newsletter) {
        first.url = "/?utm_source=newsletter&utm_medium=email&utm_campaign=spring-teas";
        return kHome;
    }
    const std::uint32_t kind = Below(1000);
    if (kind < 360) {
        static const auto engineWeights = WeightsOf(kEngines);
        static const auto phraseWeights = WeightsOf(kPhrases);
        const search_engine_t& e =
            kEngines[Weighted(engineWeights.data(), static_cast<int>(engineWeights.size()))];
        const phrase_t& p =
            kPhrases[Weighted(phraseWeights.data(), static_cast<int>(phraseWeights.size()))];
        first.referrer = std::string(e.prefix) + p.query + e.suffix;
        return p.page;
    }
    if (kind < 560) {
        static const auto referralWeights = WeightsOf(kReferrals);
        const referral_t& r =
            kReferrals[Weighted(referralWeights.data(), static_cast<int>(referralWeights.size()))];
        first.referrer = r.referrer;
        return r.page;
    }
    return kHome;
}

void CExampleLog::Visit(visitor_t& v, std::int64_t start, bool newsletter) {
    request_t first;
    int page = Landing(first, newsletter);
    std::int64_t time = start;
    if (page == kHome && first.referrer == "-" && !newsletter && Chance(60)) {
        // A typed address without its slash is redirected first.
        request_t r;
        r.time = time;
        r.host = v.host;
        r.url = "/teas";
        r.status = 301;
        r.bytes = 238;
        r.agent = kAgents[v.agent].text;
        r.cookie = v.cookie;
        Emit(r);
        page = kTeas;
        time += 1;
    }
    std::string url = first.url.empty() ? std::string(kPages[page].url) : first.url;
    time = PageView(v, page, url, first.referrer, time, true);
    for (int clicks = 0; clicks < 12 && page >= 0 && Chance(640); ++clicks)
        time = FollowLink(v, page, url, time);
}

std::int64_t CExampleLog::PageView(visitor_t& v, int page, std::string url, std::string referrer,
                                   std::int64_t time, bool firstOfVisit) {
    const page_t& p = kPages[page];
    request_t r;
    r.time = time;
    r.host = v.host;
    r.agent = kAgents[v.agent].text;
    r.cookie = v.cookie;
    r.referrer = std::move(referrer);
    r.url = std::move(url);
    r.bytes = p.bytes - 400 + Below(800);
    if (page == kMatcha) {
        r.status = 404;
        r.bytes = p.bytes;
    } else if (page == kSearch && Chance(70)) {
        r.status = 500;
        r.bytes = 531;
    } else if (page == kCatalogue || page == kChart) {
        r.bytes = p.bytes;
        // Some downloads are broken off and resumed as a range request.
        if (Chance(200)) {
            r.status = 206;
            r.bytes = 65536u * (1 + Below(20));
        }
    }
    Emit(r);
    if (r.status == 200 && page != kCatalogue && page != kChart)
        PageResources(v, page, r.url, time, firstOfVisit);
    return time + 12 + Below(150);
}

void CExampleLog::PageResources(const visitor_t& v, int page, const std::string& pageUrl,
                                std::int64_t time, bool firstOfVisit) {
    const bool returning = v.visits > 1;
    request_t r;
    r.host = v.host;
    r.agent = kAgents[v.agent].text;
    r.cookie = v.cookie;
    const std::string referrer = kSitePrefix + pageUrl;
    auto resource = [&](std::string_view url, std::uint32_t bytes, int status) {
        r.time = time + Below(3);
        r.url = url;
        r.status = status;
        r.bytes = status == 200 ? bytes : status == 404 ? 1245 : 0;
        r.referrer = status == 404 ? "-" : referrer;
        Emit(r);
    };
    const int cached = returning ? 304 : 200;
    if (firstOfVisit) {
        resource("/css/site.css", 18432, cached);
        resource("/js/shop.js", 46210, cached);
        resource("/images/logo.png", 6120, cached);
        if (!returning) resource("/favicon.ico", 1150, 200);
        // Apple devices look for an icon the site does not have, without a referrer.
        if (!returning && kAgents[v.agent].apple && Chance(500))
            resource("/apple-touch-icon.png", 0, 404);
    }
    if (kPages[page].image) {
        const std::uint32_t bytes = 24000 + Below(110000);
        resource(kPages[page].image, bytes, returning && Chance(500) ? 304 : 200);
    }
    const std::size_t id = pageUrl.find("?id=");
    if (page == kProduct && id != std::string::npos)
        resource("/images/products/" + pageUrl.substr(id + 4, 3) + ".jpg", 30000 + Below(60000),
                 200);
}

std::int64_t CExampleLog::FollowLink(visitor_t& v, int& page, std::string& url, std::int64_t time) {
    const page_t& p = kPages[page];
    std::string referrer = kSitePrefix + url;
    if (p.linkCount == 0) {
        page = -1;
        return time;
    }
    if (page == kProduct && url.find("?id=") != std::string::npos && Chance(300)) {
        page = -1;
        return Purchase(v, url.substr(url.find("?id=") + 4, 3), referrer, time);
    }
    const int from = page;
    const int to = p.links[Below(static_cast<std::uint32_t>(p.linkCount))];
    std::string next = kPages[to].url;
    if (to == kProduct) {
        const int group = from >= kCoffee && from <= kFilter          ? 200
                          : from >= kAccessories && from <= kGrinders ? 300
                                                                      : 100;
        next = "/product.php?id=" + std::to_string(group + 1 + static_cast<int>(Below(8)));
        if (group == 100) next += Chance(500) ? "&size=100g" : "&size=250g";
    } else if (to == kSearch) {
        next = std::string("/search.php?q=") + kSearchTerms[Below(std::size(kSearchTerms))];
    } else if (to == kCatalogue) {
        next += std::string("?lang=") + (Chance(700) ? "en" : Chance(500) ? "de" : "fr");
    }
    time = PageView(v, to, next, std::move(referrer), time, false);
    // After a download or a missing page the visitor goes back, or leaves.
    if (to == kCatalogue || to == kChart || to == kMatcha) {
        if (Chance(500)) page = -1;
        return time;
    }
    page = to;
    url = std::move(next);
    return time;
}

std::int64_t CExampleLog::Purchase(visitor_t& v, const std::string& product,
                                   const std::string& referrer, std::int64_t time) {
    request_t r;
    r.host = v.host;
    r.agent = kAgents[v.agent].text;
    r.cookie = v.cookie;
    r.time = time;
    r.url = "/cart.php?add=" + product + "&qty=" + std::to_string(1 + Below(3));
    r.referrer = referrer;
    r.status = 302;
    r.bytes = 0;
    Emit(r);
    time = PageView(v, kCart, "/cart.php", referrer, time + 1, false);
    if (!Chance(560)) return time;
    time = PageView(v, kCheckout, "/checkout/index.html", kSitePrefix + "/cart.php", time, false);
    if (!Chance(800)) return time;
    // Payment happens at the payment provider, which sends the buyer back with the order.
    const std::string payment = "https://pay.example.net/";
    time += 60 + Below(120);
    // Order numbers grow with time, as the shop's database hands them out.
    const std::int64_t order = 240000 + (time - kFirstDay) / 60;
    return PageView(v, kThanks, "/checkout/thanks.html?order=" + std::to_string(order), payment,
                    time, false);
}

void CExampleLog::Spiders(int day) {
    static constexpr int kCrawled[] = {kHome,        kTeas,    kGreen,    kBlack,    kOolong,
                                       kHerbal,      kMatcha,  kCoffee,   kEspresso, kFilter,
                                       kAccessories, kTeapots, kGrinders, kBlog,     kBrewing,
                                       kWater,       kAbout,   kContact,  kCatalogue};
    for (const spider_t& s : kSpiders) {
        request_t r;
        r.host = s.host;
        r.agent = s.agent;
        std::int64_t time = kFirstDay + std::int64_t(day) * 86400 + Below(3600);
        if (!s.images) {
            r.time = time;
            r.url = "/robots.txt";
            r.bytes = 142;
            Emit(r);
        }
        for (int i = 1; i < s.perDay; ++i) {
            time += 600 + Below(2400);
            r.time = time;
            if (s.images) {
                const int page = kCrawled[Below(std::size(kCrawled))];
                r.url = kPages[page].image ? kPages[page].image : "/images/logo.png";
                r.status = 200;
                r.bytes = 24000 + Below(110000);
            } else if (i == 1) {
                r.url = "/sitemap.xml";
                r.status = 200;
                r.bytes = 3012;
            } else {
                const int page = kCrawled[Below(std::size(kCrawled))];
                r.url = kPages[page].url;
                r.status = page == kMatcha ? 404 : 200;
                r.bytes = kPages[page].bytes;
            }
            Emit(r);
        }
    }
}

void CExampleLog::Staff(int day) {
    if (day % 7 >= 5) return;  // the shop's staff do not work at weekends
    struct staff_t {
        const char* user;
        const char* host;
        const char* cookie;
    };
    static constexpr staff_t kManager = {"manager", "2.120.14.77",
                                         "lang=en-GB; shopsid=5a7e0c3b9d2f4e61; consent=yes"};
    static constexpr staff_t kEditor = {"editor", "2.120.14.78",
                                        "lang=en-GB; shopsid=c41d9e07a2b35f18; consent=yes"};
    const staff_t& staff = day % 7 == 1 || day % 7 == 3 ? kEditor : kManager;
    request_t r;
    r.host = staff.host;
    r.agent = kAgents[0].text;
    r.cookie = staff.cookie;
    r.time = kFirstDay + std::int64_t(day) * 86400 + 8 * 3600 + 1800 + Below(1800);
    // After a weekend the browser has forgotten the password and the server asks again.
    if (day % 7 == 0) {
        r.url = "/admin/index.php";
        r.status = 401;
        r.bytes = 381;
        Emit(r);
    }
    r.user = staff.user;
    r.status = 200;
    for (const char* url :
         {"/admin/index.php", "/admin/orders.php", "/admin/stock.php", "/admin/orders.php"}) {
        r.time += 20 + Below(300);
        r.url = url;
        r.bytes = 8000 + Below(9000);
        Emit(r);
        r.referrer = kSitePrefix + "/admin/index.php";
    }
}

void CExampleLog::Monitor(int day) {
    request_t r;
    r.host = "10.0.0.5";
    r.agent = "uptime-probe/2.1";
    r.url = "/health";
    r.bytes = 2;
    for (int slot = 0; slot < 48; ++slot) {
        r.time = kFirstDay + std::int64_t(day) * 86400 + slot * 1800 + 7;
        Emit(r);
    }
}

void CExampleLog::Probes(int day) {
    static constexpr const char* kProbed[] = {"/wp-login.php", "/.env", "/xmlrpc.php",
                                              "/admin/config.php.bak", "/phpmyadmin/index.php"};
    const int count = 2 + static_cast<int>(Below(4));
    request_t r;
    const std::string host = NewAddress(static_cast<int>(Below(std::size(kCountries))));
    r.host = host;
    r.agent = day % 2 ? "python-requests/2.31.0" : "Mozilla/5.0 zgrab/0.x";
    r.time = VisitStart(day);
    r.status = 404;
    r.bytes = 1245;
    for (int i = 0; i < count; ++i) {
        r.time += 1 + Below(3);
        r.url = kProbed[Below(std::size(kProbed))];
        Emit(r);
    }
}

}  // namespace logvane::example
