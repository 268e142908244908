#include "engine/remote/LinkScan.h"

#include <algorithm>
#include <cctype>

namespace {

size_t FindNoCase(std::string_view text, std::string_view needle, size_t from) {
    if (from > text.size()) return std::string_view::npos;
    const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                needle.begin(), needle.end(), [](char a, char b) {
                                    return std::toupper(static_cast<unsigned char>(a)) ==
                                           std::toupper(static_cast<unsigned char>(b));
                                });
    return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

std::string_view TrimSpaces(std::string_view value) {
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    return value;
}

}  // namespace

void ScanLinks(std::string_view page, std::vector<std::string>& links) {
    size_t pos = 0;
    for (;;) {
        const size_t frame = FindNoCase(page, "<FRAME ", pos);
        const size_t anchor = FindNoCase(page, "<A", pos);
        if (frame == std::string_view::npos && anchor == std::string_view::npos) return;
        const bool isFrame = frame < anchor;
        const size_t tag = isFrame ? frame : anchor;
        const size_t attribute = FindNoCase(page, isFrame ? "SRC" : "HREF", tag);
        if (attribute == std::string_view::npos) return;
        const size_t equals = page.find_first_of("=>", attribute);
        if (equals == std::string_view::npos || page[equals] == '>') return;
        size_t start = equals + 1;
        while (start < page.size() && page[start] == ' ') ++start;
        if (start < page.size() && (page[start] == '"' || page[start] == '\'')) ++start;
        size_t end = page.find_first_of("\"'>", start);
        if (end == std::string_view::npos) end = page.size();
        const std::string_view value = TrimSpaces(page.substr(start, end - start));
        if (!value.empty() && value.back() != '/' && value.front() != '?')
            links.emplace_back(value);
        pos = end;
    }
}
