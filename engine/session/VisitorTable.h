#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/Prefetch.h"
#include "engine/table/TableEntries.h"
#include "store/hyperlink/PageType.h"

// One page or file hit of a visit, and what led to it: an external referrer, a search text
// or the internal page it came from. Texts are pool memory.
struct path_item_t {
    const char* page = nullptr;
    std::uint32_t pageLength = 0;
    page_type_t pageType = page_type_t::NOTHING;
    const char* label = nullptr;  // null: nothing known led to the page
    std::uint32_t labelLength = 0;
    page_type_t labelType = page_type_t::REFERRER;
    // Hash(0) of the page and of the label, when the caller knows them; 0: worked out here.
    std::uint32_t pageHash = 0;
    std::uint32_t labelHash = 0;
};

// A visitor (by cookie or by host) and its open session.
// (Fields ordered so that a record takes 48 bytes, without padding.)
struct visitor_t {
    const char* key = nullptr;
    std::uint64_t pageViews = 0;
    path_item_t* path = nullptr;  // pool memory; a full array is replaced by one twice as large
    std::uint32_t length = 0;
    std::int32_t lastHit = 0;
    std::int32_t sessionStart = 0;
    std::int32_t count = 0;
    std::int32_t capacity = 0;
    std::int32_t first = -1;  // index of the session's first item, -1 while the path is empty

    void Release() {}
    std::uint32_t Hash(std::uint32_t seed) const { return memcrc(key, length, seed); }
    bool Equals(const visitor_t& o) const {
        return logvane::table::SameText(key, length, o.key, o.length);
    }
    int Compare(const visitor_t&) const { return 0; }
};
static_assert(sizeof(visitor_t) == 48);

// The visitors of a run. Records sit in chunks in order of first sight and never move, with
// a flat index of 8 bytes a slot by key hash: the lookup of every hit touches a few MB rather
// than a table of whole records at a load of a third. CloseAllSessions closes sessions in
// the slot order of a CFastHashTable<visitor_t> of the initial capacity, rebuilt at the end
// from the order of first sight (with the growth a last lookup after the last new visitor
// gave it), so counts are made in the order such a table gives.
class LOGVANE_ENGINE_API CVisitorTable {
public:
    // `slots`: initial capacity of the table whose order ForEachInSlotOrder follows.
    explicit CVisitorTable(std::uint32_t slots);
    ~CVisitorTable();
    CVisitorTable(const CVisitorTable&) = delete;
    CVisitorTable& operator=(const CVisitorTable&) = delete;

    // The visitor with key `key` (Hash(0) = `hash`); with `isNew` a fresh record whose key
    // the caller sets. Null only when no more records fit.
    visitor_t* Lookup(const char* key, std::uint32_t length, std::uint32_t hash, bool& isNew);
    // Stands for a Lookup of a known visitor that the caller found by its memo.
    void Touch() { m_lookupAfterInsert = true; }
    // A memo of `visitor`, and the visitor a memo of this table names (null otherwise).
    CEntryMemo<visitor_t> Remember(visitor_t* visitor) const { return {visitor, m_id}; }
    visitor_t* Recall(const CEntryMemo<visitor_t>& memo) const {
        return memo.epoch == m_id ? memo.entry : nullptr;
    }
    // Starts loading the index slot of a key with Hash(0) = `hash`.
    void Prefetch(std::uint32_t hash) const {
        logvane::table::PrefetchLine(&m_index[hash & m_indexMask]);
    }

    std::uint32_t GetCount() const { return m_count; }
    // Bytes of the records and the index.
    std::size_t GetBytes() const;

    // f(visitor_t&) for every visitor in the slot order described above.
    template <typename F>
    void ForEachInSlotOrder(F&& f) {
        for (std::uint32_t number : SlotOrder()) f(At(number));
    }

private:
    static constexpr unsigned kChunkBits = 12;

    visitor_t& At(std::uint32_t number) const {
        return m_chunks[number >> kChunkBits][number & ((1u << kChunkBits) - 1)];
    }
    void GrowIndex();
    std::vector<std::uint32_t> SlotOrder() const;

    std::uint32_t m_slots;
    std::uint64_t m_id;  // names this table in memos
    std::vector<std::unique_ptr<visitor_t[]>> m_chunks;
    std::uint32_t m_count = 0;
    // Each slot is 0 or (Hash(0) << 32 | record number + 1), probed linearly.
    std::unique_ptr<std::uint64_t[]> m_index;
    std::uint32_t m_indexMask;
    bool m_lookupAfterInsert = false;
};
