#pragma once

#include <cstddef>
#include <string_view>

// The query of a requested path: the text after its first "?" up to the first "#" after it;
// empty, with hasQuery false, when there is no "?".
struct url_query_t {
    bool hasQuery = false;
    std::string_view beforeQuery;  // the path up to and including the "?"
    std::string_view query;
};

inline url_query_t SplitQuery(std::string_view path) {
    url_query_t result;
    const std::size_t question = path.find('?');
    if (question == std::string_view::npos) return result;
    result.hasQuery = true;
    result.beforeQuery = path.substr(0, question + 1);
    std::string_view query = path.substr(question + 1);
    result.query = query.substr(0, query.find('#'));
    return result;
}

// Calls visit(name, value) for every parameter of `query` in order: parameters are separated
// by "&", a name runs to its first "=" and a name without "=" has an empty value. Empty
// parameters ("&&") are skipped. Stops early when visit returns true; returns whether it did.
template <class Visit>
bool ForEachQueryPair(std::string_view query, Visit&& visit) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        const std::size_t eq = pair.find('=');
        const std::string_view name = pair.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
        if (visit(name, value)) return true;
    }
    return false;
}
