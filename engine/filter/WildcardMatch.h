#pragma once

#include <cstddef>
#include <string_view>

// True when the whole of `text` matches `pattern`, where "*" matches any run of bytes (also
// none) and "?" exactly one byte; every other byte must be equal. Allocates nothing and takes
// at most length(pattern) x length(text) steps.
bool WildcardMatch(const char* pattern, std::size_t patternLength, const char* text,
                   std::size_t textLength);

inline bool WildcardMatch(std::string_view pattern, std::string_view text) {
    return WildcardMatch(pattern.data(), pattern.size(), text.data(), text.size());
}

// WildcardMatch with ASCII letters compared regardless of case.
bool WildcardMatchNoCase(std::string_view pattern, std::string_view text);

// True when the pattern holds "*" or "?".
inline bool HasWildcard(std::string_view pattern) {
    return pattern.find_first_of("*?") != std::string_view::npos;
}

// The filter and trigger rule: a pattern with wildcards is matched as such, any other must
// equal the text.
inline bool WildcardOrEqual(std::string_view pattern, bool wildcard, std::string_view text) {
    return wildcard ? WildcardMatch(pattern, text) : pattern == text;
}

// The rule for URL patterns (FILE filters, tracked files): the normalised URL matches, or, when
// it has a query or fragment, the URL without them does, so that "/shop/" and "*.pdf" also
// take "/shop/?id=1" and "/paper.pdf?dl=1".
inline bool UrlPatternMatch(std::string_view pattern, bool wildcard, std::string_view url) {
    if (WildcardOrEqual(pattern, wildcard, url)) return true;
    const std::size_t tail = url.find_first_of("?#");
    return tail != std::string_view::npos &&
           WildcardOrEqual(pattern, wildcard, url.substr(0, tail));
}
