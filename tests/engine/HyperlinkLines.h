#pragma once

// The hyperlink table as text, one line per page and one per link, so that a mismatch between
// two ways of counting shows where they part.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session/HyperlinkTable.h"

using Lines = std::vector<std::string>;

inline std::string LinkLine(const char* side, std::string_view name, int type, std::uint64_t hits,
                            const std::uint32_t* tags, int triggers) {
    std::string line = std::string("  ") + side + " " + std::string(name) + " type " +
                       std::to_string(type) + " hits " + std::to_string(hits);
    for (int i = 0; i < triggers; ++i) line += " tag " + std::to_string(tags ? tags[i] : 0);
    return line;
}

// The pages and links as the per-page connection tables of ForEach give them.
inline Lines ReadTables(CHyperlinkTable& table) {
    Lines lines;
    const int triggers = table.GetNumTriggers();
    table.ForEach([&](hyperlink_hash_t& page) {
        lines.push_back(std::string(page.text, page.length) + " type " +
                        std::to_string(static_cast<int>(page.type)));
        for (auto [side, links] : {std::pair{"child", page.children}, {"parent", page.parents}})
            links->ForEach([&](const hyperlink_connection_hash_t& link) {
                lines.push_back(LinkLine(side, {link.text, link.length},
                                         static_cast<int>(link.type), link.hits, link.tagCounts,
                                         triggers));
            });
    });
    return lines;
}
