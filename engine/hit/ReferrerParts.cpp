#include "engine/hit/ReferrerParts.h"

#include "engine/run/CaseTables.h"

namespace {

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (logvane::casefold::kLower[static_cast<unsigned char>(text[i])] !=
            static_cast<unsigned char>(prefix[i]))
            return false;
    return true;
}

}  // namespace

referrer_origin_t ClassifyReferrerOrigin(std::string_view r) {
    const std::size_t n = r.size();
    if (n > 4 && StartsNoCase(r, "news:")) return ORIGIN_NEWS;
    if (n > 6 && StartsNoCase(r, "mailto:")) return ORIGIN_MAIL;
    if ((n > 4 && StartsNoCase(r, "http:")) || (n > 5 && StartsNoCase(r, "https:")) ||
        (n > 3 && StartsNoCase(r, "www.")))
        return ORIGIN_WEB;
    if (n > 3 && StartsNoCase(r, "ftp:")) return ORIGIN_FTP;
    if (n > 4 && StartsNoCase(r, "file:")) return ORIGIN_FILE;
    if (n == 0 || r == "-") return ORIGIN_NONE;
    if (n >= 4) return ORIGIN_OTHER;
    return ORIGIN_UNCOUNTED;
}

std::string_view ReferringDomain(std::string_view referrer) {
    const std::size_t slashes = referrer.find("//");
    if (slashes == std::string_view::npos) return {};
    std::string_view host = referrer.substr(slashes + 2);
    host = host.substr(0, host.find_first_of("/?#"));
    if (StartsNoCase(host, "www")) {
        std::size_t after = 3;
        if (after < host.size() && host[after] >= '1' && host[after] <= '9') ++after;
        // Only a "www" label is dropped: "wwwf.org" and a bare "www" keep their names.
        if (after < host.size() && host[after] == '.') host = host.substr(after + 1);
    }
    return host;
}
