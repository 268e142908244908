#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/table/Prefetch.h"

// Open-addressing hash table of counting entries (see TableEntries.h for the entry contract).
// Probing rehashes the key with the previous hash as seed; the load factor stays at or below
// one half. Once sorted, the table becomes a read-only item array and cannot be looked up.
//
// A table starts compact: its first entries (up to kCompactSlots, and never more than half its
// capacity, so it never grows while compact) sit in a small array of 4 and then of up to 16
// slots, each with the slot index it would have in the full array, and the full array is built
// from them when one more entry comes. Slot order, and so every order that
// depends on it, is that of the full table; but the thousands of child tables (a page's
// referrers, a page's links) that never hold more than a few entries cost a few dozen bytes.
// A remembered entry of one table: valid while the table has not moved its entries since.
template <typename T>
struct CEntryMemo {
    T* entry = nullptr;
    uint64_t epoch = 0;
};

namespace logvane::table {
// Epochs are unique across every table of the process, so a memo of one table never matches
// another table's entries, even a child table created at a freed table's address.
inline uint64_t NextTableEpoch() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace logvane::table

// A look along a key's probe sequence ahead of its lookup (CFastHashTable::StartPeek, Peek).
struct table_peek_t {
    uint64_t epoch = 0;  // of the table looked at; 0: nothing (more) to look at
    uint32_t hash = 0;   // the key's Hash(0)
    uint32_t seed = 0;   // the hash that placed `index`
    uint32_t index = 0;
};

template <typename T>
class CFastHashTable {
public:
    struct Slot {
        T entry;
        bool used;
        // Hash(0) of the entry's key: compared before Equals, reused when the table grows.
        // It sits in the padding after `used`, so a slot is no larger for it.
        uint32_t hash;
    };

    static constexpr uint32_t kCompactSlots = 16;
    static constexpr uint32_t kCompactFirstSlots = 4;
    // Larger tables start full: compact entries keep their full-array index in 16 bits.
    static constexpr uint32_t kCompactMaxCapacity = 65536;

    // A table of `capacity` empty slots (at least one); only a table too small to start
    // compact allocates them at once.
    explicit CFastHashTable(uint32_t capacity) {
        capacity = std::max<uint32_t>(capacity, 1);
        m_compactMax = static_cast<uint8_t>(std::min(kCompactSlots, capacity / 2));
        if (m_compactMax >= kCompactFirstSlots && capacity <= kCompactMaxCapacity) {
            m_capacity = capacity;
            m_range = SlotRange(capacity);
            m_compact = true;
        } else {
            Allocate(capacity);
        }
    }
    ~CFastHashTable() { ReleaseAll(); }
    CFastHashTable(const CFastHashTable&) = delete;
    CFastHashTable& operator=(const CFastHashTable&) = delete;

    // Finds the entry whose key equals `key`. With `insert` a missing key gets a fresh slot
    // (only the used flag and the count change: the caller fills key and counters) and isNew
    // is set. Returns null when the key is absent and `insert` is false, or after sorting.
    T* Lookup(const T& key, bool& isNew, bool insert = true) {
        return Lookup(key, key.Hash(0), isNew, insert);
    }

    // Lookup with `hash` = key.Hash(0) already known, for a key counted in several tables.
    T* Lookup(const T& key, uint32_t hash, bool& isNew, bool insert = true) {
        isNew = false;
        if (m_sorted) return nullptr;
        if (m_compact) {
            if (T* entry = CompactLookup(key, hash, isNew, insert)) return entry;
            if (m_compact) return nullptr;  // absent and not inserted
        }
        if (insert && m_count > m_capacity / 2) Grow(m_capacity * 2);
        for (;;) {
            uint32_t index;
            const ProbeResult r = Probe(m_slots.get(), m_range, key, hash, index);
            if (r == ProbeResult::Found) return &m_slots[index].entry;
            if (!insert) return nullptr;
            if (r == ProbeResult::Free) {
                m_slots[index].used = true;
                m_slots[index].hash = hash;
                ++m_count;
                isNew = true;
                return &m_slots[index].entry;
            }
            Grow(m_capacity * 2);
        }
    }

    // The entry a memo of this table remembers, or null when the table moved its entries (it
    // grew, left its compact form or was sorted) since the memo was taken. Entries are never
    // removed while the table counts, so a valid memo names the entry Lookup would find.
    // Also null while the table is over half full: the next inserting Lookup grows it, found
    // key or not, and a memo must not let the table skip that growth (slot order would differ).
    T* Recall(const CEntryMemo<T>& memo) const {
        return memo.epoch == m_epoch && m_count <= m_capacity / 2 ? memo.entry : nullptr;
    }
    // A memo of `entry`, which must be an entry of this table as it stands.
    CEntryMemo<T> Remember(T* entry) const { return {entry, entry ? m_epoch : 0}; }

    // Starts loading the first slot a key with Hash(0) = `hash` probes, so that the lookups of
    // one hit in several large tables wait for memory together rather than one after another.
    // A compact table loads the entry whose tag matches, else the one an insertion would fill.
    void Prefetch(uint32_t hash) const {
        if (!m_slots) return;
        if (!m_compact) {
            logvane::table::PrefetchLine(&m_slots[m_range(hash)]);
            return;
        }
        const uint8_t tag = static_cast<uint8_t>(hash >> 24);
        for (uint32_t i = 0; i < m_count; ++i) {
            if (m_tag[i] == tag) {
                logvane::table::PrefetchLine(&m_slots[i]);
                return;
            }
        }
        if (m_count < m_compactSize) logvane::table::PrefetchLine(&m_slots[m_count]);
    }

    // Starts loading what lookups and Recall read of this object: its first 64 bytes, which
    // straddle two lines unless the object starts on one (child tables come from new).
    void PrefetchHead() const {
        logvane::table::PrefetchLine(this);
        logvane::table::PrefetchLine(&m_epoch);
    }

    // Starts a look at the probe sequence of a key with Hash(0) = `hash`: loads its first
    // slot. Nothing to look at in a compact or sorted table.
    table_peek_t StartPeek(uint32_t hash) const {
        if (!m_slots || m_compact || m_sorted) return {};
        const uint32_t index = m_range(hash);
        logvane::table::PrefetchLine(&m_slots[index]);
        return {m_epoch, hash, hash, index};
    }

    // One step along the sequence, once its slot has had time to load: calls load(entry) when
    // the slot holds a key of the same hash, or loads the next slot, where the lookup of `key`
    // will go on, when it holds another key. Stops at a free slot and once the table moved its
    // entries. So that lookups whose first slot is taken by another key, about one in five
    // in a table up to half full, find their slots loaded too. Reads only this table.
    template <typename F>
    void Peek(table_peek_t& peek, const T& key, F&& load) const {
        if (peek.epoch == 0) return;
        if (peek.epoch != m_epoch) {
            peek.epoch = 0;
            return;
        }
        const Slot& slot = m_slots[peek.index];
        if (!slot.used || slot.hash == peek.hash) {
            if (slot.used) load(slot.entry);
            peek.epoch = 0;
            return;
        }
        peek.seed = key.Hash(peek.seed);
        peek.index = m_range(peek.seed);
        logvane::table::PrefetchLine(&m_slots[peek.index]);
    }

    // Turns the table into its item array of at most `limit` entries, most hits (or larger
    // keys) first, fewest first with `ascending`; equal entries keep their slot order.
    // Costs about count + limit x log(limit) comparisons. Frees the slot array.
    void Sort(uint32_t limit, bool ascending = false) {
        if (m_compact && m_count > 0) Expand();
        // Entries are ordered through pointers into one array, so address order is the slot
        // order (or the previous item order when a sorted table is sorted again).
        std::vector<T*> order;
        if (m_sorted) {
            for (T& item : m_items) order.push_back(&item);
        } else if (!m_compact) {
            order.reserve(m_count);
            for (uint32_t i = 0; i < m_capacity; ++i)
                if (m_slots[i].used) order.push_back(&m_slots[i].entry);
        }
        const auto before = [ascending](const T* a, const T* b) {
            const int c = a->Compare(*b);
            if (c != 0) return ascending ? c > 0 : c < 0;
            return a < b;
        };
        const size_t keep = std::min<size_t>(limit, order.size());
        // The order is total (ties fall back to addresses), so selecting the first `keep`
        // and then sorting them gives exactly the order of a full sort in n + keep log keep.
        if (keep < order.size())
            std::nth_element(order.begin(), order.begin() + keep, order.end(), before);
        std::sort(order.begin(), order.begin() + keep, before);
        for (size_t i = keep; i < order.size(); ++i) order[i]->Release();
        std::vector<T> items;
        items.reserve(keep);
        for (size_t i = 0; i < keep; ++i) items.push_back(*order[i]);
        m_items = std::move(items);
        m_slots.reset();
        m_epoch = logvane::table::NextTableEpoch();
        m_capacity = 0;
        m_range = SlotRange(1);
        m_count = 0;
        m_sorted = true;
        m_compact = false;
    }

    // Sort with every entry kept.
    void SortAll(bool ascending = false) { Sort(GetCount(), ascending); }

    // A compact copy for a second sort: capacity equals count, the used entries copied in
    // slot order (key pointers shared). Only Sort may be called on it. Kinds that own
    // something (two-level entries) cannot be cloned.
    std::unique_ptr<CFastHashTable> Clone() const {
        static_assert(
            !requires { typename T::child_table; },
            "entries that own a child table cannot be shared");
        auto copy = std::make_unique<CFastHashTable>(0);
        copy->Allocate(std::max<uint32_t>(m_count, 1));
        uint32_t next = 0;
        ForEachSlot([&](const Slot& slot) { copy->m_slots[next++] = slot; });
        copy->m_count = next;
        return copy;
    }

    bool IsSorted() const { return m_sorted; }
    bool IsCompact() const { return m_compact; }
    uint32_t GetCapacity() const { return m_capacity; }
    uint32_t GetCount() const { return m_sorted ? static_cast<uint32_t>(m_items.size()) : m_count; }
    uint32_t GetItemCount() const { return static_cast<uint32_t>(m_items.size()); }
    // The i-th entry of the sorted item array.
    const T& GetItem(uint32_t i) const { return m_items[i]; }
    T& GetItem(uint32_t i) { return m_items[i]; }

    // Calls f(entry) for every used slot in slot order (before sorting) or every item.
    template <typename F>
    void ForEach(F&& f) {
        if (m_sorted) {
            for (T& item : m_items) f(item);
            return;
        }
        ForEachSlot([&f](Slot& slot) { f(slot.entry); });
    }

private:
    enum class ProbeResult { Found, Free, Exhausted };

    // h mod capacity without a division (Lemire's fastmod; exact for every 32-bit h).
    struct SlotRange {
        uint32_t capacity;
        uint64_t inverse;
        explicit SlotRange(uint32_t n) : capacity(n), inverse(UINT64_MAX / n + 1) {}
        uint32_t operator()(uint32_t h) const {
            __extension__ typedef unsigned __int128 wide_t;
            return static_cast<uint32_t>((static_cast<wide_t>(inverse * h) * capacity) >> 64);
        }
    };

    static ProbeResult Probe(const Slot* slots, const SlotRange& range, const T& key, uint32_t hash,
                             uint32_t& index) {
        uint32_t h = hash;
        index = range(h);
        for (uint32_t i = 0; slots[index].used; ++i) {
            if (slots[index].hash == hash && slots[index].entry.Equals(key))
                return ProbeResult::Found;
            if (i >= range.capacity) return ProbeResult::Exhausted;
            h = key.Hash(h);
            index = range(h);
        }
        return ProbeResult::Free;
    }

    // f(slot) for every used slot in slot order (of the full array, for a compact table).
    template <typename F>
    void ForEachSlot(F&& f) const {
        if (!m_compact) {
            for (uint32_t i = 0; i < m_capacity; ++i)
                if (m_slots[i].used) f(m_slots[i]);
            return;
        }
        uint32_t order[kCompactSlots];
        for (uint32_t i = 0; i < m_count; ++i) order[i] = i;
        std::sort(order, order + m_count,
                  [this](uint32_t a, uint32_t b) { return m_home[a] < m_home[b]; });
        for (uint32_t i = 0; i < m_count; ++i) f(m_slots[order[i]]);
    }

    bool CompactHomeUsed(uint32_t index) const {
        for (uint32_t i = 0; i < m_count; ++i)
            if (m_home[i] == index) return true;
        return false;
    }

    // Lookup while compact. Returns the entry found or made; null when the key is absent and
    // not inserted, or after expanding (the caller then goes on with the full array).
    T* CompactLookup(const T& key, uint32_t hash, bool& isNew, bool insert) {
        // The tags sit in the table object: a key that is not there costs no slot loads.
        const uint8_t tag = static_cast<uint8_t>(hash >> 24);
        for (uint32_t i = 0; i < m_count; ++i)
            if (m_tag[i] == tag && m_slots[i].hash == hash && m_slots[i].entry.Equals(key))
                return &m_slots[i].entry;
        if (!insert) return nullptr;
        if (m_count == m_compactMax) {
            Expand();
            return nullptr;
        }
        // The index a full array would give it: the first free one of its probe sequence.
        uint32_t h = hash;
        uint32_t index = m_range(h);
        for (uint32_t i = 0; CompactHomeUsed(index); ++i) {
            if (i >= m_capacity) {
                Expand();
                return nullptr;
            }
            h = key.Hash(h);
            index = m_range(h);
        }
        if (m_count == m_compactSize) {
            // 4 slots first, then all the compact form may hold.
            m_compactSize =
                m_compactSize == 0 ? static_cast<uint8_t>(kCompactFirstSlots) : m_compactMax;
            auto slots = std::make_unique<Slot[]>(m_compactSize);
            for (uint32_t i = 0; i < m_count; ++i) slots[i] = m_slots[i];
            m_slots = std::move(slots);
            m_epoch = logvane::table::NextTableEpoch();
        }
        Slot& slot = m_slots[m_count];
        slot.used = true;
        slot.hash = hash;
        m_home[m_count] = static_cast<uint16_t>(index);
        m_tag[m_count] = static_cast<uint8_t>(hash >> 24);
        ++m_count;
        isNew = true;
        return &slot.entry;
    }

    // Moves the compact entries to their indexes in a full slot array.
    void Expand() {
        auto slots = std::make_unique<Slot[]>(m_capacity);
        for (uint32_t i = 0; i < m_count; ++i) slots[m_home[i]] = m_slots[i];
        m_slots = std::move(slots);
        m_epoch = logvane::table::NextTableEpoch();
        m_compact = false;
    }

    void Allocate(uint32_t capacity) {
        m_slots = std::make_unique<Slot[]>(capacity);
        m_capacity = capacity;
        m_range = SlotRange(capacity);
    }

    // Rehashes every used entry into a larger array. Integer keys that were apart before stay
    // apart after doubling, but a chain that still collides doubles again rather than loop.
    void Grow(uint32_t capacity) {
        for (;;) {
            auto slots = std::make_unique<Slot[]>(capacity);
            const SlotRange range(capacity);
            bool placed = true;
            for (uint32_t i = 0; i < m_capacity && placed; ++i) {
                if (!m_slots[i].used) continue;
                uint32_t index;
                placed = Probe(slots.get(), range, m_slots[i].entry, m_slots[i].hash, index) ==
                         ProbeResult::Free;
                if (placed) slots[index] = m_slots[i];
            }
            if (placed) {
                m_slots = std::move(slots);
                m_epoch = logvane::table::NextTableEpoch();
                m_capacity = capacity;
                m_range = range;
                return;
            }
            capacity *= 2;
        }
    }

    void ReleaseItems() {
        for (T& item : m_items) item.Release();
        m_items.clear();
    }

    void ReleaseAll() {
        ReleaseItems();
        if (m_sorted || !m_slots) return;
        const uint32_t slots = m_compact ? m_count : m_capacity;
        for (uint32_t i = 0; i < slots; ++i)
            if (m_slots[i].used) m_slots[i].entry.Release();
    }

    // What every lookup reads comes first, in 56 bytes, then the epoch Recall reads, so that
    // it takes one or two cache lines: the thousands of child tables are each looked up at
    // random.
    std::unique_ptr<Slot[]> m_slots;
    SlotRange m_range{1};
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
    bool m_sorted = false;
    bool m_compact = false;
    uint8_t m_compactMax = 0;   // entries the compact form holds at most
    uint8_t m_compactSize = 0;  // slots of the compact array
    // While compact: the top byte of each entry's hash.
    uint8_t m_tag[kCompactSlots] = {};
    uint64_t m_epoch = logvane::table::NextTableEpoch();  // changes whenever entries move
    // While compact: each entry's full-array index.
    uint16_t m_home[kCompactSlots] = {};
    std::vector<T> m_items;
};
