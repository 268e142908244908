#pragma once

// A deterministic generator of realistic access logs for benchmarks: tens of thousands of
// clients and paths, query strings, referrers from search engines and the site itself, a few
// dozen user agents and a typical status mix. Lines are about 250 bytes in the combined form.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace logvane::bench {

enum class log_style_t { Common, Combined, CombinedCookieEnd, CombinedCookieBegin, W3C };

// Text form used on command lines: common, combined, cookie-end, cookie-begin, w3c.
inline const char* StyleName(log_style_t style) {
    switch (style) {
        case log_style_t::Common:
            return "common";
        case log_style_t::Combined:
            return "combined";
        case log_style_t::CombinedCookieEnd:
            return "cookie-end";
        case log_style_t::CombinedCookieBegin:
            return "cookie-begin";
        case log_style_t::W3C:
            return "w3c";
    }
    return "";
}

inline bool StyleFromName(std::string_view name, log_style_t& style) {
    for (log_style_t s :
         {log_style_t::Common, log_style_t::Combined, log_style_t::CombinedCookieEnd,
          log_style_t::CombinedCookieBegin, log_style_t::W3C}) {
        if (name == StyleName(s)) {
            style = s;
            return true;
        }
    }
    return false;
}

class CLogGenerator {
public:
    explicit CLogGenerator(std::uint64_t seed = 0x5eed) : m_state(seed | 1) {
        BuildClients(40000);
        BuildPaths(25000);
    }

    // Appends one line (with its line feed) of the given style.
    void AppendLine(log_style_t style, std::string& out) {
        m_time += Next() % 3;
        const std::string& client = m_clients[Zipf(m_clients.size())];
        const std::string& path = m_paths[Zipf(m_paths.size())];
        int status = PickStatus();
        unsigned bytes = status == 304 ? 0 : unsigned(200 + Next() % 90000);
        switch (style) {
            case log_style_t::Common:
                AppendNcsa(out, client, path, status, bytes);
                break;
            case log_style_t::Combined:
                AppendNcsa(out, client, path, status, bytes);
                AppendReferrerAgent(out);
                break;
            case log_style_t::CombinedCookieEnd:
                AppendNcsa(out, client, path, status, bytes);
                AppendReferrerAgent(out);
                out += " \"";
                AppendCookie(out, client);
                out += '"';
                break;
            case log_style_t::CombinedCookieBegin:
                out += '"';
                AppendCookie(out, client);
                out += "\" ";
                AppendNcsa(out, client, path, status, bytes);
                AppendReferrerAgent(out);
                break;
            case log_style_t::W3C:
                AppendW3C(out, client, path, status, bytes);
                break;
        }
        out += '\n';
    }

    // The lines a file of this style starts with (W3C directives; empty otherwise).
    static std::string Header(log_style_t style) {
        if (style != log_style_t::W3C) return {};
        return "#Software: Microsoft Internet Information Services 10.0\n#Version: 1.0\n"
               "#Date: 2024-03-01 00:00:00\n"
               "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username "
               "c-ip cs(User-Agent) cs(Cookie) cs(Referer) sc-status sc-substatus "
               "sc-win32-status sc-bytes time-taken\n";
    }

    // Writes a file of `lines` lines; returns the bytes written, 0 on failure.
    std::uint64_t WriteFile(const std::string& path, log_style_t style, std::uint64_t lines) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return 0;
        std::string buffer = Header(style);
        std::uint64_t written = 0;
        for (std::uint64_t i = 0; i < lines; ++i) {
            AppendLine(style, buffer);
            if (buffer.size() > (1 << 20)) {
                written += std::fwrite(buffer.data(), 1, buffer.size(), file);
                buffer.clear();
            }
        }
        written += std::fwrite(buffer.data(), 1, buffer.size(), file);
        return std::fclose(file) == 0 ? written : 0;
    }

private:
    std::uint64_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }

    // Skewed choice: low indexes are much more frequent, as popular pages and heavy clients are.
    std::size_t Zipf(std::size_t n) {
        std::uint64_t a = Next() % n, b = Next() % n;
        return std::size_t(a < b ? a * b / n : b * a / n);
    }

    int PickStatus() {
        unsigned r = unsigned(Next() % 1000);
        if (r < 780) return 200;
        if (r < 870) return 304;
        if (r < 920) return 404;
        if (r < 950) return 301;
        if (r < 975) return 302;
        if (r < 990) return 206;
        if (r < 996) return 403;
        return 500;
    }

    void BuildClients(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (i % 9 == 0) {
                m_clients.push_back("host-" + std::to_string(Next() % 100000) + ".dyn." +
                                    kDomains[Next() % std::size(kDomains)]);
            } else {
                m_clients.push_back(
                    std::to_string(1 + Next() % 223) + "." + std::to_string(Next() % 256) + "." +
                    std::to_string(Next() % 256) + "." + std::to_string(1 + Next() % 254));
            }
        }
    }

    void BuildPaths(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            std::string path;
            int depth = 1 + int(Next() % 3);
            for (int d = 0; d < depth; ++d)
                path += "/" + std::string(kWords[Next() % std::size(kWords)]);
            path +=
                std::string("-") + std::to_string(i) + kExtensions[Next() % std::size(kExtensions)];
            if (Next() % 4 == 0)
                path += "?id=" + std::to_string(Next() % 100000) +
                        "&ref=" + kWords[Next() % std::size(kWords)] + "&utm_source=newsletter";
            m_paths.push_back(path);
        }
    }

    void AppendDate(std::string& out) {
        std::time_t when = std::time_t(m_time);
        std::tm parts{};
        gmtime_r(&when, &parts);
        char text[40];
        std::strftime(text, sizeof(text), "[%d/%b/%Y:%H:%M:%S +0000]", &parts);
        out += text;
    }

    void AppendNcsa(std::string& out, const std::string& client, const std::string& path,
                    int status, unsigned bytes) {
        out += client;
        out += (Next() % 50 == 0) ? " - alice " : " - - ";
        AppendDate(out);
        unsigned m = unsigned(Next() % 100);
        out += m < 88 ? " \"GET " : (m < 97 ? " \"POST " : " \"HEAD ");
        out += path;
        out += " HTTP/1.1\" ";
        out += std::to_string(status);
        out += ' ';
        out += std::to_string(bytes);
    }

    void AppendReferrerAgent(std::string& out) {
        unsigned r = unsigned(Next() % 10);
        out += " \"";
        if (r < 3) {
            out += '-';
        } else if (r < 6) {
            out += "https://www.example-shop.com";
            out += m_paths[Zipf(m_paths.size())];
        } else {
            out += kSearch[Next() % std::size(kSearch)];
            out += kWords[Next() % std::size(kWords)];
            out += '+';
            out += kWords[Next() % std::size(kWords)];
        }
        out += "\" \"";
        out += kAgents[Zipf(std::size(kAgents))];
        out += '"';
    }

    void AppendCookie(std::string& out, const std::string& client) {
        out += "lang=en; SID=";
        out += std::to_string(std::hash<std::string>{}(client) % 1000000007);
        out += "; _ga=GA1.2.";
        out += std::to_string(Next() % 1000000000);
    }

    void AppendW3C(std::string& out, const std::string& client, const std::string& path, int status,
                   unsigned bytes) {
        std::time_t when = std::time_t(m_time);
        std::tm parts{};
        gmtime_r(&when, &parts);
        char text[40];
        std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &parts);
        out += text;
        out += " 10.0.0.5 GET ";
        std::size_t query = path.find('?');
        out.append(path, 0, query);
        out += ' ';
        out += query == std::string::npos ? "-" : path.substr(query + 1);
        out += " 443 - ";
        out += client;
        out += ' ';
        for (const char* a = kAgents[Zipf(std::size(kAgents))]; *a; ++a)
            out += *a == ' ' ? '+' : *a;
        out += " SID=";
        out += std::to_string(std::hash<std::string>{}(client) % 1000000007);
        out += " https://www.example-shop.com/ ";
        out += std::to_string(status);
        out += " 0 0 ";
        out += std::to_string(bytes);
        out += ' ';
        out += std::to_string(Next() % 900);
    }

    static constexpr const char* kDomains[] = {"comcast.net", "t-online.de", "orange.fr",
                                               "bt.com",      "verizon.net", "telia.se"};
    static constexpr const char* kWords[] = {
        "products", "blog",    "news",   "shoes",  "garden",  "about", "contact", "images",
        "static",   "archive", "2023",   "sale",   "kitchen", "books", "music",   "travel",
        "help",     "account", "search", "offers", "style",   "media", "assets",  "docs"};
    static constexpr const char* kExtensions[] = {".html", ".php", ".jpg", ".png", ".css",
                                                  ".js",   "",     ".gif", ".pdf", ".htm"};
    static constexpr const char* kSearch[] = {
        "https://www.google.com/search?q=", "https://www.bing.com/search?q=",
        "https://duckduckgo.com/?q=", "https://search.yahoo.com/search?p="};
    static constexpr const char* kAgents[] = {
        "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/122.0.0.0 Safari/537.36",
        "Mozilla/5.0 (iPhone; CPU iPhone OS 17_3 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
        "Gecko) Version/17.3 Mobile/15E148 Safari/604.1",
        "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) "
        "Version/17.2 Safari/605.1.15",
        "Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 Firefox/123.0",
        "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
        "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/122.0.0.0 Mobile Safari/537.36",
        "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)",
        "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/122.0.0.0 Safari/537.36 Edg/122.0.0.0",
        "curl/8.5.0",
        "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)",
        "Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)",
        "python-requests/2.31.0"};

    std::uint64_t m_state;
    std::uint64_t m_time = 1709251200;  // 2024-03-01 00:00:00 UTC
    std::vector<std::string> m_clients;
    std::vector<std::string> m_paths;
};

}  // namespace logvane::bench
