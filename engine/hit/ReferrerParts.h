#pragma once

#include <cstddef>
#include <string_view>

// Where a referrer came from; the values index run_counters_t::referrerOrigins.
enum referrer_origin_t : int {
    ORIGIN_MAIL = 0,
    ORIGIN_NEWS = 1,
    ORIGIN_WEB = 2,
    ORIGIN_FTP = 3,
    ORIGIN_FILE = 4,
    ORIGIN_NONE = 5,
    ORIGIN_OTHER = 6,
    ORIGIN_UNCOUNTED = -1,  // 1 to 3 characters other than "-"
};

// The origin of a decoded referrer by its scheme, ignoring case ("https:" is a web page too).
referrer_origin_t ClassifyReferrerOrigin(std::string_view referrer);

// The host of a referrer, between the first "//" and the next "/" (or "?", "#" or the end),
// without a leading "www", "www2" ... "www9" before a "."; empty when there is no "//".
std::string_view ReferringDomain(std::string_view referrer);

// Calls visit(word) for every keyword of a search phrase: words are separated by blanks and
// "+"; a word that begins with a double or single quote runs to the next quote of either kind
// and keeps its blanks (the quotes are not part of it). Empty words are skipped.
template <class Visit>
void ForEachKeyword(std::string_view phrase, Visit&& visit) {
    std::size_t i = 0;
    while (i < phrase.size()) {
        const char c = phrase[i];
        if (c == ' ' || c == '+') {
            ++i;
            continue;
        }
        std::size_t begin = i, end;
        if (c == '"' || c == '\'') {
            begin = i + 1;
            end = phrase.find_first_of("\"'", begin);
            if (end == std::string_view::npos) end = phrase.size();
            i = end + 1;
        } else {
            end = phrase.find_first_of(" +", i);
            if (end == std::string_view::npos) end = phrase.size();
            i = end;
        }
        if (end > begin) visit(phrase.substr(begin, end - begin));
    }
}
