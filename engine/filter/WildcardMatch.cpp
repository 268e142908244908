#include "engine/filter/WildcardMatch.h"

#include "engine/run/CaseTables.h"

namespace {

template <bool Fold>
bool Match(const char* pattern, std::size_t patternLength, const char* text,
           std::size_t textLength) {
    const auto same = [](char p, char t) {
        if constexpr (Fold)
            return logvane::casefold::kLower[static_cast<unsigned char>(p)] ==
                   logvane::casefold::kLower[static_cast<unsigned char>(t)];
        else
            return p == t;
    };
    std::size_t p = 0, t = 0;
    // Backtracking to the last "*" only is enough: an earlier star can never need to take
    // more text than the last one may.
    bool haveStar = false;
    std::size_t starP = 0, starT = 0;
    while (t < textLength) {
        if (p < patternLength && pattern[p] == '*') {
            haveStar = true;
            starP = ++p;
            starT = t;
        } else if (p < patternLength && (pattern[p] == '?' || same(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (haveStar) {
            p = starP;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == '*') ++p;
    return p == patternLength;
}

}  // namespace

bool WildcardMatch(const char* pattern, std::size_t patternLength, const char* text,
                   std::size_t textLength) {
    return Match<false>(pattern, patternLength, text, textLength);
}

bool WildcardMatchNoCase(std::string_view pattern, std::string_view text) {
    return Match<true>(pattern.data(), pattern.size(), text.data(), text.size());
}
