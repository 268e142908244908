#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/EngineApi.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"
#include "store/hyperlink/HyperlinkTableView.h"
#include "store/hyperlink/PageType.h"

// A page linked from or to the page that owns the connection table, with the number of links
// and, per tag trigger, the links made in sessions that met the trigger (pool memory; null
// without triggers).
struct hyperlink_connection_hash_t {
    const char* text = nullptr;
    std::uint32_t length = 0;
    page_type_t type = page_type_t::NOTHING;
    std::uint64_t hits = 0;
    std::uint32_t* tagCounts = nullptr;

    void Release() {}
    std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
    bool Equals(const hyperlink_connection_hash_t& o) const {
        return logvane::table::SameText(text, length, o.text, o.length);
    }
    int Compare(const hyperlink_connection_hash_t& o) const {
        return logvane::table::CompareCounts(hits, o.hits);
    }
};

// A page of the hyperlink tree with the pages it led to (children) and the pages that led to
// it (parents). The entry owns both tables.
struct hyperlink_hash_t {
    using child_table = CFastHashTable<hyperlink_connection_hash_t>;

    const char* text = nullptr;
    std::uint32_t length = 0;
    page_type_t type = page_type_t::NOTHING;
    child_table* children = nullptr;
    child_table* parents = nullptr;

    void Release() {
        delete children;
        delete parents;
        children = parents = nullptr;
    }
    std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
    bool Equals(const hyperlink_hash_t& o) const {
        return logvane::table::SameText(text, length, o.text, o.length);
    }
    int Compare(const hyperlink_hash_t&) const { return 0; }
};

// Page -> the pages it led to and came from, with counts per link and per tag trigger. Never
// sorted: the hyperlink tree report reads it slot by slot.
class LOGVANE_ENGINE_API CHyperlinkTable : public CFastHashTable<hyperlink_hash_t> {
public:
    // `numTriggers`: counters per connection.
    explicit CHyperlinkTable(std::uint32_t capacity, int numTriggers = 0)
        : CFastHashTable<hyperlink_hash_t>(capacity), m_numTriggers(numTriggers) {}

    // Counts one link from `from` to `to` in both directions and adds `flags` (one 0/1 per
    // trigger) to both connections' tag counters. Texts must be pool memory (or static); an
    // empty text on either side adds nothing. A page entry takes the type of its first use.
    void AddLink(std::string_view from, page_type_t fromType, std::string_view to,
                 page_type_t toType, const std::uint8_t* flags);

    // AddLink with the texts' Hash(0) already known.
    void AddLink(std::string_view from, std::uint32_t fromHash, page_type_t fromType,
                 std::string_view to, std::uint32_t toHash, page_type_t toType,
                 const std::uint8_t* flags);

    int GetNumTriggers() const { return m_numTriggers; }

    // Connection tables start with this many slots.
    static constexpr std::uint32_t kConnectionSlots = 50;

private:
    hyperlink_hash_t* Page(std::string_view text, std::uint32_t hash, page_type_t type);
    void Connect(hyperlink_hash_t::child_table& table, std::string_view text, std::uint32_t hash,
                 page_type_t type, const std::uint8_t* flags);

    int m_numTriggers;
};

// The hyperlink tree report's view of the table: every page with its children and parents.
// The table must outlive the range and not change while it is read.
LOGVANE_ENGINE_API std::unique_ptr<CEntryRange<hyperlink_page_view_t>> MakeHyperlinkPageRange(
    CHyperlinkTable& table);
