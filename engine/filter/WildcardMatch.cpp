#include "engine/filter/WildcardMatch.h"

bool WildcardMatch(const char* pattern, std::size_t patternLength, const char* text,
                   std::size_t textLength) {
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
        } else if (p < patternLength && (pattern[p] == '?' || pattern[p] == text[t])) {
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
