#pragma once

#include <memory>

#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"

// A text with its hits and a child table of the texts counted with it (a page and its
// referrers, a page and its query strings). The entry owns its child table.
struct nested_info_t {
    using child_table = CFastHashTable<referinfo_t>;

    const char* text = nullptr;
    uint32_t length = 0;
    uint64_t hits = 0;
    child_table* children = nullptr;

    void Release() {
        delete children;
        children = nullptr;
    }
    uint32_t Hash(uint32_t seed) const { return memcrc(text, length, seed); }
    bool Equals(const nested_info_t& o) const {
        return logvane::table::SameText(text, length, o.text, o.length);
    }
    int Compare(const nested_info_t& o) const {
        return logvane::table::CompareCounts(hits, o.hits);
    }
};

// Two-level table: every new parent entry gets its own child table of `childCapacity` slots.
class CNestedTable : public CFastHashTable<nested_info_t> {
public:
    CNestedTable(uint32_t capacity, uint32_t childCapacity)
        : CFastHashTable<nested_info_t>(capacity), m_childCapacity(childCapacity) {}

    // As CFastHashTable::Lookup; a new entry comes with an empty child table.
    nested_info_t* Lookup(const nested_info_t& key, bool& isNew, bool insert = true) {
        return Lookup(key, key.Hash(0), isNew, insert);
    }
    nested_info_t* Lookup(const nested_info_t& key, uint32_t hash, bool& isNew,
                          bool insert = true) {
        nested_info_t* entry = CFastHashTable<nested_info_t>::Lookup(key, hash, isNew, insert);
        if (entry && isNew) entry->children = new nested_info_t::child_table(m_childCapacity);
        return entry;
    }

    // Sorts the parents and then the children of every kept parent, most hits first.
    void SortWithChildren(uint32_t limit) {
        Sort(limit);
        ForEach([limit](nested_info_t& item) {
            if (item.children) item.children->Sort(limit);
        });
    }

    uint32_t GetChildCapacity() const { return m_childCapacity; }

private:
    uint32_t m_childCapacity;
};
