#include "engine/session/VisitorTable.h"

namespace {

constexpr std::uint32_t kFirstIndexSlots = 1u << 12;

// A visitor's place in the table whose slot order the end of the run follows.
struct visitor_ref_t {
    const char* key = nullptr;
    std::uint32_t length = 0;
    std::uint32_t number = 0;

    void Release() {}
    std::uint32_t Hash(std::uint32_t seed) const { return memcrc(key, length, seed); }
    bool Equals(const visitor_ref_t& o) const {
        return logvane::table::SameText(key, length, o.key, o.length);
    }
    int Compare(const visitor_ref_t&) const { return 0; }
};

}  // namespace

CVisitorTable::CVisitorTable(std::uint32_t slots)
    : m_slots(slots),
      m_id(logvane::table::NextTableEpoch()),
      m_index(std::make_unique<std::uint64_t[]>(kFirstIndexSlots)),
      m_indexMask(kFirstIndexSlots - 1) {}

CVisitorTable::~CVisitorTable() = default;

visitor_t* CVisitorTable::Lookup(const char* key, std::uint32_t length, std::uint32_t hash,
                                 bool& isNew) {
    isNew = false;
    const std::uint64_t tag = static_cast<std::uint64_t>(hash) << 32;
    std::uint32_t at = hash & m_indexMask;
    for (std::uint64_t slot; (slot = m_index[at]) != 0; at = (at + 1) & m_indexMask) {
        if ((slot & ~0xffffffffull) != tag) continue;
        visitor_t& visitor = At(static_cast<std::uint32_t>(slot) - 1);
        if (logvane::table::SameText(visitor.key, visitor.length, key, length)) {
            m_lookupAfterInsert = true;
            return &visitor;
        }
    }
    if (m_count >= UINT32_MAX - 1) return nullptr;
    if ((m_count >> kChunkBits) >= m_chunks.size())
        m_chunks.push_back(std::make_unique<visitor_t[]>(std::size_t{1} << kChunkBits));
    const std::uint32_t number = m_count++;
    m_index[at] = tag | (number + 1);
    if (static_cast<std::uint64_t>(m_count) * 4 > (std::uint64_t{m_indexMask} + 1) * 3) GrowIndex();
    m_lookupAfterInsert = false;
    isNew = true;
    visitor_t& visitor = At(number);
    visitor = visitor_t{};
    visitor.key = key;
    visitor.length = length;
    return &visitor;
}

// Keeps the index at most 3/4 full.
void CVisitorTable::GrowIndex() {
    const std::uint64_t slots = (std::uint64_t{m_indexMask} + 1) * 2;
    const std::uint32_t mask = static_cast<std::uint32_t>(slots - 1);
    auto index = std::make_unique<std::uint64_t[]>(slots);
    for (std::uint64_t i = 0; i <= m_indexMask; ++i) {
        const std::uint64_t slot = m_index[i];
        if (!slot) continue;
        std::uint32_t at = static_cast<std::uint32_t>(slot >> 32) & mask;
        while (index[at]) at = (at + 1) & mask;
        index[at] = slot;
    }
    m_index = std::move(index);
    m_indexMask = mask;
}

// Fed in order of first sight, a table of the initial capacity takes the slots it would have
// taken had every hit looked its visitor up in it.
std::vector<std::uint32_t> CVisitorTable::SlotOrder() const {
    // The index holds each key's Hash(0): the order's array lends itself to them by record
    // number, rather than every key being hashed again.
    std::vector<std::uint32_t> order(m_count);
    for (std::uint64_t i = 0; i <= m_indexMask; ++i)
        if (const std::uint64_t slot = m_index[i])
            order[static_cast<std::uint32_t>(slot) - 1] = static_cast<std::uint32_t>(slot >> 32);
    CFastHashTable<visitor_ref_t> table(m_slots);
    visitor_ref_t ref;
    // Visitors whose key copy the pool refused share the empty key; they are closed last.
    std::vector<std::uint32_t> keyless;
    for (std::uint32_t n = 0; n < m_count; ++n) {
        const visitor_t& visitor = At(n);
        ref.key = visitor.key;
        ref.length = visitor.length;
        ref.number = n;
        bool isNew = false;
        // The index hashed the key the visitor was found by, which an empty key replaced
        // only when the pool refused its copy.
        const std::uint32_t hash = visitor.length > 0 ? order[n] : ref.Hash(0);
        visitor_ref_t* entry = table.Lookup(ref, hash, isNew);
        if (isNew)
            *entry = ref;
        else
            keyless.push_back(n);
    }
    if (m_lookupAfterInsert && m_count > 0) {
        bool isNew = false;
        table.Lookup(ref, isNew);
    }
    order.clear();
    table.ForEach([&order](const visitor_ref_t& entry) { order.push_back(entry.number); });
    order.insert(order.end(), keyless.begin(), keyless.end());
    return order;
}

std::size_t CVisitorTable::GetBytes() const {
    return m_chunks.size() * (std::size_t{1} << kChunkBits) * sizeof(visitor_t) +
           (std::size_t{m_indexMask} + 1) * sizeof(std::uint64_t);
}
