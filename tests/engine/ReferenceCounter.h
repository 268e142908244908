#pragma once

// A plain model of the counts that hit processing and sessions must agree with, written
// without any of the engine's code: maps and strings, one obvious step at a time. Tests feed
// the same generated hits to both and compare.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/parse/HitRecord.h"

namespace logvane::test {

struct ref_hit_t {
    std::string host, path, referrer = "-", agent = "Mozilla/5.0", user = "-", cookie;
    std::int32_t time = 0;
    std::int32_t status = 200;
    std::int64_t bytes = 0;
};

// A hit record as a parser leaves it.
inline hit_t MakeHit(const ref_hit_t& r, bool withCookie) {
    hit_t hit{};
    const auto put = [](char* field, std::int32_t& length, const std::string& text) {
        const std::size_t n = std::min<std::size_t>(text.size(), kHitTextMax);
        std::memcpy(field, text.data(), n);
        field[n] = '\0';
        length = static_cast<std::int32_t>(n);
    };
    put(hit.host, hit.hostLen, r.host);
    put(hit.path, hit.pathLen, r.path);
    put(hit.referrer, hit.referrerLen, r.referrer);
    put(hit.agent, hit.agentLen, r.agent);
    put(hit.user, hit.userLen, r.user);
    put(hit.cookie, hit.cookieLen, withCookie ? r.cookie : std::string());
    put(hit.server, hit.serverLen, "www.example.com");
    hit.hostIsName = r.host.find_first_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") !=
                     std::string::npos;
    hit.time = r.time;
    hit.hour = (r.time % 86400) / 3600;
    hit.dayOfWeek = ((r.time / 86400) + 4) % 7;  // 1 January 1970 was a Thursday
    hit.status = r.status;
    hit.bytes = r.bytes;
    hit.referrerPresent = 1;
    hit.agentPresent = 1;
    hit.cookiePresent = hit.cookieLen != 0;
    return hit;
}

struct reference_options_t {
    bool caseSensitive = false;
    bool cookies = false;
    std::string defaultPage = "index.html";
    std::set<std::string> pageExtensions{"html", "htm", "php"};
    // Extensions that are neither pages nor files (images, misc. web).
    std::set<std::string> otherExtensions{"gif", "png", "css", "js"};
    std::function<bool(const ref_hit_t&)> keep;  // empty: every hit counts
};

struct reference_counts_t {
    std::uint64_t hits = 0, bytes = 0, pageViews = 0, notFound = 0, sessions = 0;
    std::map<std::string, std::uint64_t> pages, hosts, entryPages, exitPages, singleAccess;
};

class ReferenceCounter {
public:
    explicit ReferenceCounter(reference_options_t options) : m_options(std::move(options)) {}

    void Add(ref_hit_t hit) {
        if (!m_options.caseSensitive) {
            hit.host = Lower(hit.host);
            hit.path = Lower(hit.path);
        }
        if (m_options.keep && !m_options.keep(hit)) return;
        const std::uint64_t bytes = hit.bytes > 0 ? static_cast<std::uint64_t>(hit.bytes) : 0;
        ++m_counts.hits;
        m_counts.bytes += bytes;
        if (hit.status == 404) ++m_counts.notFound;
        m_counts.hosts[hit.host] += 1;

        std::string url = hit.path;
        const std::size_t tail = url.find_first_of("?#");
        if (tail != std::string::npos && tail > 0 && url[tail - 1] == '/')
            url.insert(tail, m_options.defaultPage);
        else if (!url.empty() && url.back() == '/')
            url += m_options.defaultPage;
        const std::string kind = Kind(url);
        const bool success = hit.status >= 200 && hit.status <= 399;
        const bool isPage = success && kind == "page";
        if (isPage) {
            ++m_counts.pageViews;
            ++m_counts.pages[url];
        }

        const std::string who = m_options.cookies && hit.cookie.size() > 2 ? hit.cookie : hit.host;
        auto found = m_visitors.find(who);
        if (found == m_visitors.end()) {
            found = m_visitors.emplace(who, Visitor{}).first;
        } else if (hit.time - found->second.last > 1800) {
            Close(found->second);
            found->second = Visitor{};
        }
        Visitor& v = found->second;
        v.last = hit.time;
        if (isPage) ++v.pageViews;
        if (success && (kind == "page" || kind == "file")) v.items.push_back(url);
    }

    reference_counts_t Finish() {
        for (auto& [who, visitor] : m_visitors) Close(visitor);
        m_visitors.clear();
        return m_counts;
    }

private:
    struct Visitor {
        std::int32_t last = 0;
        std::uint64_t pageViews = 0;
        std::vector<std::string> items;
    };

    static std::string Lower(std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    }

    std::string Kind(const std::string& url) const {
        const std::string stem = url.substr(0, url.find('?'));
        const std::size_t dot = stem.rfind('.');
        if (dot == std::string::npos) return "file";
        const std::string ext = stem.substr(dot + 1);
        if (m_options.pageExtensions.count(ext)) return "page";
        if (m_options.otherExtensions.count(ext)) return "other";
        return "file";
    }

    void Close(const Visitor& v) {
        ++m_counts.sessions;
        if (v.items.empty() || v.pageViews == 0) return;
        ++m_counts.entryPages[v.items.front()];
        ++m_counts.exitPages[v.items.back()];
        if (v.pageViews == 1) ++m_counts.singleAccess[v.items.front()];
    }

    reference_options_t m_options;
    reference_counts_t m_counts;
    std::map<std::string, Visitor> m_visitors;
};

// A log of `count` hits in time order: a few dozen hosts and cookies, mixed-case paths of
// every kind, statuses from 200 to 500, and gaps around the session time-out.
inline std::vector<ref_hit_t> GenerateHits(unsigned seed, int count) {
    std::mt19937 random(seed);
    const auto pick = [&random](const auto& list) {
        return list[std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(random)];
    };
    const std::vector<std::string> paths{"/",
                                         "/index.html",
                                         "/Index.html",
                                         "/about.htm",
                                         "/shop/",
                                         "/shop/item.php?id=3",
                                         "/Shop/Item.PHP?id=4",
                                         "/img/logo.gif",
                                         "/css/site.css",
                                         "/files/report.pdf",
                                         "/files/Data.ZIP",
                                         "/search.php?q=a.b&x=",
                                         "/blog/post.html#top",
                                         "/robots.txt"};
    const std::vector<int> statuses{200, 200, 200, 200, 200, 304, 404, 206, 302, 500};
    const std::vector<std::int32_t> gaps{0, 1, 30, 300, 1799, 1800, 1801, 4000};
    const std::vector<std::string> referrers{"-", "http://www.example.com/index.html",
                                             "https://www.google.com/search?q=logs",
                                             "http://other.org/links.html", ""};
    std::vector<ref_hit_t> hits;
    std::int32_t time = 1700000000;
    for (int i = 0; i < count; ++i) {
        ref_hit_t h;
        const int visitor = std::uniform_int_distribution<int>(0, 39)(random);
        h.host = "10.0." + std::to_string(visitor % 7) + "." + std::to_string(visitor);
        h.cookie = visitor % 5 == 0 ? "" : "sess" + std::to_string(visitor / 2);
        h.path = pick(paths);
        h.status = pick(statuses);
        h.bytes = std::uniform_int_distribution<std::int64_t>(0, 50000)(random);
        h.referrer = pick(referrers);
        time += pick(gaps) / 8;
        h.time = time;
        hits.push_back(std::move(h));
    }
    return hits;
}

}  // namespace logvane::test
