#include "engine/session/HyperlinkTable.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>

#include "engine/table/Prefetch.h"

namespace {

constexpr std::uint64_t kFirstIndexSlots = 1u << 12;

}  // namespace

CHyperlinkTable::CHyperlinkTable(std::uint32_t capacity, int numTriggers, std::uint32_t hitsWrap)
    : m_numTriggers(numTriggers > 0 ? numTriggers : 0),
      m_pageIndex(capacity),
      m_hitsWrap(hitsWrap > 0 ? hitsWrap : 1),
      m_linkIndex(std::make_unique<std::uint64_t[]>(kFirstIndexSlots)),
      m_linkIndexMask(kFirstIndexSlots - 1) {}

CHyperlinkTable::~CHyperlinkTable() = default;

std::uint32_t CHyperlinkTable::Page(std::string_view text, std::uint32_t hash, page_type_t type) {
    if (text.empty()) return kNoPage;
    page_key_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    const bool full = m_pages.size() > kPageMask;
    bool isNew = false;
    page_key_t* entry = m_pageIndex.Lookup(key, hash, isNew, !full);
    if (!entry) return kNoPage;
    m_pageLookupAfterInsert = !isNew;
    if (!isNew) return entry->index;
    key.index = static_cast<std::uint32_t>(m_pages.size());
    *entry = key;
    m_pages.push_back({key.text, key.length, hash, type, false, false});
    return key.index;
}

void CHyperlinkTable::AddChunk() {
    m_chunks.push_back(std::make_unique<link_t[]>(std::size_t{1} << kChunkBits));
    // Value-initialised: a link's tag counters start at 0.
    if (m_numTriggers > 0)
        m_tagChunks.push_back(std::make_unique<std::uint32_t[]>(
            (std::size_t{1} << kChunkBits) * static_cast<std::size_t>(m_numTriggers)));
}

// Keeps the index at most 3/4 full.
void CHyperlinkTable::GrowIndex() {
    const std::uint64_t slots = (m_linkIndexMask + 1) * 2;
    auto index = std::make_unique<std::uint64_t[]>(slots);
    for (std::uint64_t i = 0; i <= m_linkIndexMask; ++i) {
        const std::uint64_t slot = m_linkIndex[i];
        if (!slot) continue;
        std::uint64_t at = (slot >> 32) & (slots - 1);
        while (index[at]) at = (at + 1) & (slots - 1);
        index[at] = slot;
    }
    m_linkIndex = std::move(index);
    m_linkIndexMask = slots - 1;
}

// Inline, as Count below: a call between the exported class's functions goes through the PLT.
inline std::uint64_t CHyperlinkTable::FindOrAddLink(std::uint32_t from, page_type_t fromType,
                                                    std::uint32_t to, page_type_t toType,
                                                    bool& isNew) {
    isNew = false;
    const std::uint64_t hash = LinkHash(from, to);
    // The top half of the hash places the link and stays in its slot, so growing the index
    // reads no link.
    const std::uint64_t tag = hash >> 32 << 32;
    std::uint64_t at = (hash >> 32) & m_linkIndexMask;
    for (std::uint64_t slot; (slot = m_linkIndex[at]) != 0; at = (at + 1) & m_linkIndexMask) {
        if ((slot & ~0xffffffffull) != tag) continue;
        const std::uint64_t number = (slot & 0xffffffffu) - 1;
        const link_t& link = LinkAt(number);
        if ((link.from & kPageMask) == from && (link.to & kPageMask) == to) return number;
    }
    // Link numbers are stored plus one in 32 bits.
    if (m_linkCount >= UINT32_MAX - 1) return kNoLink;
    if ((m_linkCount >> kChunkBits) >= m_chunks.size()) AddChunk();
    const std::uint64_t number = m_linkCount++;
    link_t& link = LinkAt(number);
    link.from = from | static_cast<std::uint32_t>(fromType) << kTypeShift;
    link.to = to | static_cast<std::uint32_t>(toType) << kTypeShift;
    link.hits = 0;
    m_linkIndex[at] = tag | (number + 1);
    if (m_linkCount * 4 > (m_linkIndexMask + 1) * 3) GrowIndex();
    isNew = true;
    return number;
}

std::uint32_t CHyperlinkTable::Link(std::uint32_t from, page_type_t fromType, std::uint32_t to,
                                    page_type_t toType, const std::uint8_t* flags) {
    if (from == kNoPage || to == kNoPage) return kNoLinkNumber;
    bool isNew = false;
    const std::uint64_t number = FindOrAddLink(from, fromType, to, toType, isNew);
    if (number == kNoLink) return kNoLinkNumber;
    // A known link stands for a lookup of a known key in both of its pages' tables.
    m_pages[from].childLookupAfterInsert = !isNew;
    m_pages[to].parentLookupAfterInsert = !isNew;
    Count(number, flags);
    return static_cast<std::uint32_t>(number);
}

void CHyperlinkTable::CountLink(std::uint32_t number, const std::uint8_t* flags) {
    if (number >= m_linkCount) return;
    const link_t& link = LinkAt(number);
    m_pages[link.from & kPageMask].childLookupAfterInsert = true;
    m_pages[link.to & kPageMask].parentLookupAfterInsert = true;
    Count(number, flags);
}

inline void CHyperlinkTable::Count(std::uint64_t number, const std::uint8_t* flags) {
    link_t& link = LinkAt(number);
    if (link.hits == m_hitsWrap) {
        link.hits = 0;
        ++m_carries[number];
    }
    ++link.hits;
    if (m_numTriggers > 0 && flags) {
        std::uint32_t* tags = TagsAt(number);
        for (int i = 0; i < m_numTriggers; ++i) tags[i] += flags[i];
    }
}

std::uint64_t CHyperlinkTable::HitsOf(std::uint64_t number) const {
    std::uint64_t hits = LinkAt(number).hits;
    if (!m_carries.empty()) {
        const auto carried = m_carries.find(number);
        if (carried != m_carries.end()) hits += carried->second * m_hitsWrap;
    }
    return hits;
}

void CHyperlinkTable::AddLink(std::string_view from, page_type_t fromType, std::string_view to,
                              page_type_t toType, const std::uint8_t* flags) {
    if (from.empty() || to.empty()) return;
    // Pages and connections are keyed by the same texts: each is hashed once.
    AddLink(from, memcrc(from.data(), from.size(), 0), fromType, to,
            memcrc(to.data(), to.size(), 0), toType, flags);
}

void CHyperlinkTable::AddLink(std::string_view from, std::uint32_t fromHash, page_type_t fromType,
                              std::string_view to, std::uint32_t toHash, page_type_t toType,
                              const std::uint8_t* flags) {
    if (from.empty() || to.empty()) return;
    const std::uint32_t source = Page(from, fromHash, fromType);
    const std::uint32_t target = Page(to, toHash, toType);
    Link(source, fromType, target, toType, flags);
}

// The lookup that a table over half full saw after its last insertion grew it; links counted
// without looking their pages up owe the page table that growth.
void CHyperlinkTable::SettlePageTable() {
    if (!m_pageLookupAfterInsert || m_pages.empty()) return;
    const page_t& last = m_pages.back();
    page_key_t key;
    key.text = last.text;
    key.length = last.length;
    bool isNew = false;
    m_pageIndex.Lookup(key, last.hash, isNew);
}

CHyperlinkTable::link_lists_t CHyperlinkTable::BuildLinkLists() const {
    link_lists_t lists;
    const std::size_t pages = m_pages.size();
    lists.childStart.assign(pages + 1, 0);
    lists.parentStart.assign(pages + 1, 0);
    for (std::uint64_t n = 0; n < m_linkCount; ++n) {
        const link_t& link = LinkAt(n);
        ++lists.childStart[(link.from & kPageMask) + 1];
        ++lists.parentStart[(link.to & kPageMask) + 1];
    }
    for (std::size_t p = 0; p < pages; ++p) {
        lists.childStart[p + 1] += lists.childStart[p];
        lists.parentStart[p + 1] += lists.parentStart[p];
    }
    lists.childLinks.resize(m_linkCount);
    lists.parentLinks.resize(m_linkCount);
    std::vector<std::uint32_t> nextChild(lists.childStart.begin(), lists.childStart.end() - 1);
    std::vector<std::uint32_t> nextParent(lists.parentStart.begin(), lists.parentStart.end() - 1);
    for (std::uint64_t n = 0; n < m_linkCount; ++n) {
        const link_t& link = LinkAt(n);
        lists.childLinks[nextChild[link.from & kPageMask]++] = static_cast<std::uint32_t>(n);
        lists.parentLinks[nextParent[link.to & kPageMask]++] = static_cast<std::uint32_t>(n);
    }
    return lists;
}

void CHyperlinkTable::FillConnections(const link_lists_t& lists, std::uint32_t page,
                                      hyperlink_hash_t::child_table& children,
                                      hyperlink_hash_t::child_table& parents) const {
    // Fed in creation order, each table takes the slots it would have taken while counting.
    const auto fill = [this](hyperlink_hash_t::child_table& table, const std::uint32_t* first,
                             const std::uint32_t* last, bool toSide, bool lookupAfterInsert) {
        hyperlink_connection_hash_t key;
        for (const std::uint32_t* n = first; n != last; ++n) {
            const link_t& link = LinkAt(*n);
            const std::uint32_t end = toSide ? link.to : link.from;
            const page_t& other = m_pages[end & kPageMask];
            key.text = other.text;
            key.length = other.length;
            key.type = static_cast<page_type_t>(end >> kTypeShift);
            key.hits = HitsOf(*n);
            key.tagCounts = m_numTriggers > 0 ? TagsAt(*n) : nullptr;
            bool isNew = false;
            if (hyperlink_connection_hash_t* entry = table.Lookup(key, other.hash, isNew))
                *entry = key;
        }
        if (lookupAfterInsert && first != last) {
            bool isNew = false;
            table.Lookup(key, key.Hash(0), isNew);
        }
    };
    const page_t& self = m_pages[page];
    fill(children, lists.childLinks.data() + lists.childStart[page],
         lists.childLinks.data() + lists.childStart[page + 1], true, self.childLookupAfterInsert);
    fill(parents, lists.parentLinks.data() + lists.parentStart[page],
         lists.parentLinks.data() + lists.parentStart[page + 1], false,
         self.parentLookupAfterInsert);
}

std::size_t CHyperlinkTable::GetLinkBytes() const {
    const std::size_t chunkLinks = std::size_t{1} << kChunkBits;
    return m_chunks.size() * chunkLinks * sizeof(link_t) +
           m_tagChunks.size() * chunkLinks * sizeof(std::uint32_t) *
               static_cast<std::size_t>(m_numTriggers) +
           (m_linkIndexMask + 1) * sizeof(std::uint64_t) + m_pages.capacity() * sizeof(page_t);
}

namespace {

// h mod n exactly as CFastHashTable places a hash.
struct slot_range_t {
    std::uint32_t capacity;
    std::uint64_t inverse;
    explicit slot_range_t(std::uint32_t n) : capacity(n), inverse(UINT64_MAX / n + 1) {}
    std::uint32_t operator()(std::uint32_t h) const {
        __extension__ typedef unsigned __int128 wide_t;
        return static_cast<std::uint32_t>((static_cast<wide_t>(inverse * h) * capacity) >> 64);
    }
};

}  // namespace

// Lays out one page's links of one direction in the slot order that a connection table of
// kConnectionSlots slots, fed with them in creation order, would end in: the table's probing
// (the key rehashed with the previous hash as seed), its growth when over half full and its
// regrowth when a probe runs out, on bare slot arrays that are reused from page to page. The
// links of one page and direction are distinct pages, so no probe ever meets its own key.
class CHyperlinkTable::CConnectionOrder {
public:
    explicit CConnectionOrder(const CHyperlinkTable& table) : m_table(table) {}

    // Fills `out` with the links [first, last) of the child (toSide) or parent lists.
    void Lay(const std::uint32_t* first, const std::uint32_t* last, bool toSide,
             bool lookupAfterInsert, std::vector<hyperlink_link_view_t>& out) {
        out.clear();
        if (first == last) return;
        m_items.clear();
        for (const std::uint32_t* n = first; n != last; ++n) {
            // A popular page has thousands of links all over memory: each is loaded 16 links
            // ahead and its other page 8 ahead.
            if (last - n > 16) logvane::table::PrefetchLine(&m_table.LinkAt(n[16]));
            if (last - n > 8) {
                const link_t& ahead = m_table.LinkAt(n[8]);
                logvane::table::PrefetchLine(
                    &m_table.m_pages[(toSide ? ahead.to : ahead.from) & kPageMask]);
            }
            const link_t& link = m_table.LinkAt(*n);
            const std::uint32_t end = toSide ? link.to : link.from;
            const std::uint32_t page = end & kPageMask;
            m_items.push_back({m_table.m_pages[page].hash, page, *n, end >> kTypeShift});
        }
        m_capacity = kConnectionSlots;
        m_range = slot_range_t(m_capacity);
        m_slots.assign(m_capacity, kFree);
        m_used.clear();
        for (std::uint32_t item = 0; item < m_items.size(); ++item) {
            if (m_used.size() > m_capacity / 2) Grow(m_capacity * 2);
            std::uint32_t index;
            while (!Probe(m_slots, m_range, item, index)) Grow(m_capacity * 2);
            m_slots[index] = item;
            m_used.push_back(index);
        }
        // A lookup of a known key grows a table over half full, as an insertion does.
        if (lookupAfterInsert && m_used.size() > m_capacity / 2) Grow(m_capacity * 2);
        // Slot order: the few used slots of a page sorted, rather than all slots read.
        std::sort(m_used.begin(), m_used.end());
        for (const std::uint32_t slot : m_used) {
            const item_t& i = m_items[m_slots[slot]];
            const page_t& other = m_table.m_pages[i.page];
            out.push_back({std::string_view(other.text, other.length),
                           static_cast<std::int64_t>(m_table.HitsOf(i.link)),
                           static_cast<page_type_t>(i.type),
                           m_table.m_numTriggers > 0 ? m_table.TagsAt(i.link) : nullptr});
        }
    }

private:
    static constexpr std::uint32_t kFree = UINT32_MAX;

    struct item_t {
        std::uint32_t hash;  // the linked page's Hash(0)
        std::uint32_t page;
        std::uint32_t link;
        std::uint32_t type;
    };

    // The free slot that the item's probe sequence reaches first; false when the probe runs
    // through as many slots as the table has.
    bool Probe(const std::vector<std::uint32_t>& slots, const slot_range_t& range,
               std::uint32_t item, std::uint32_t& index) const {
        const item_t& i = m_items[item];
        std::uint32_t h = i.hash;
        index = range(h);
        for (std::uint32_t step = 0; slots[index] != kFree; ++step) {
            if (step >= range.capacity) return false;
            h = step == 0 ? SecondHash(i.page) : Rehash(i.page, h);
            index = range(h);
        }
        return true;
    }

    std::uint32_t Rehash(std::uint32_t page, std::uint32_t h) const {
        const page_t& other = m_table.m_pages[page];
        return memcrc(other.text, other.length, h);
    }

    // A page's second probe hash, the same in every table it is linked in: worked out once
    // per walk (0 stands for not yet, and a page whose hash is 0 just works it out again).
    std::uint32_t SecondHash(std::uint32_t page) const {
        if (m_secondHashes.empty()) m_secondHashes.assign(m_table.m_pages.size(), 0);
        std::uint32_t& second = m_secondHashes[page];
        if (second == 0) second = Rehash(page, m_table.m_pages[page].hash);
        return second;
    }

    // Moves the items, in slot order, into `capacity` slots (doubled again while a probe
    // runs out).
    void Grow(std::uint32_t capacity) {
        for (;;) {
            m_spare.assign(capacity, kFree);
            const slot_range_t range(capacity);
            bool placed = true;
            m_used.clear();
            for (std::uint32_t s = 0; s < m_capacity && placed; ++s) {
                if (m_slots[s] == kFree) continue;
                std::uint32_t index;
                placed = Probe(m_spare, range, m_slots[s], index);
                if (placed) m_spare[index] = m_slots[s];
                m_used.push_back(index);
            }
            if (placed) {
                m_slots.swap(m_spare);
                m_capacity = capacity;
                m_range = range;
                return;
            }
            capacity *= 2;
        }
    }

    const CHyperlinkTable& m_table;
    std::vector<item_t> m_items;
    std::vector<std::uint32_t> m_slots, m_spare;
    std::vector<std::uint32_t> m_used;                  // the slots taken, in order of taking
    mutable std::vector<std::uint32_t> m_secondHashes;  // by page
    std::uint32_t m_capacity = kConnectionSlots;
    slot_range_t m_range{kConnectionSlots};
};

// The pages in slot order and their links by page, read by every thread that walks them.
struct CHyperlinkTable::page_walk_t {
    link_lists_t lists;
    std::vector<std::uint32_t> order;
};

std::shared_ptr<const CHyperlinkTable::page_walk_t> CHyperlinkTable::PrepareWalk() {
    SettlePageTable();
    auto walk = std::make_shared<page_walk_t>();
    walk->lists = BuildLinkLists();
    walk->order.reserve(m_pages.size());
    m_pageIndex.ForEach([&walk](const page_key_t& key) { walk->order.push_back(key.index); });
    return walk;
}

void CHyperlinkTable::ForEachPageView(
    const std::function<void(const hyperlink_page_view_t&)>& visit) {
    const auto walk = PrepareWalk();
    WalkPages(*walk, walk->order.size(), 0, 1,
              [&visit](std::size_t, const hyperlink_page_view_t& page) { visit(page); });
}

void CHyperlinkTable::WalkPages(
    const page_walk_t& walk, std::size_t blockSize, std::size_t part, std::size_t parts,
    const std::function<void(std::size_t, const hyperlink_page_view_t&)>& visit) const {
    const link_lists_t& lists = walk.lists;
    const std::vector<std::uint32_t>& order = walk.order;
    if (blockSize == 0 || parts == 0) return;
    // The i-th page of this part's blocks, as a position in slot order.
    const auto position = [blockSize, part, parts](std::size_t i) {
        return (i / blockSize * parts + part) * blockSize + i % blockSize;
    };
    const std::uint32_t* childLinks = lists.childLinks.data();
    const std::uint32_t* parentLinks = lists.parentLinks.data();
    // So that a page's links are laid out from memory already loaded, the walk loads, a few
    // pages of its part ahead: the page's list entries, its links, then the pages they lead
    // to. The first links of a page's two lists only: long lists keep the processor busy
    // without help.
    constexpr std::uint32_t kLinksAhead = 8;
    const auto forLinks = [&](std::uint32_t page, auto&& f) {
        const std::uint32_t childBegin = lists.childStart[page];
        const std::uint32_t childEnd =
            std::min(lists.childStart[page + 1], childBegin + kLinksAhead);
        for (std::uint32_t i = childBegin; i < childEnd; ++i) f(childLinks[i], true);
        const std::uint32_t parentBegin = lists.parentStart[page];
        const std::uint32_t parentEnd =
            std::min(lists.parentStart[page + 1], parentBegin + kLinksAhead);
        for (std::uint32_t i = parentBegin; i < parentEnd; ++i) f(parentLinks[i], false);
    };
    const auto prefetchAhead = [&](std::size_t i) {
        if (const std::size_t at = position(i + 12); at < order.size()) {
            const std::uint32_t page = order[at];
            logvane::table::PrefetchLine(&lists.childStart[page]);
            logvane::table::PrefetchLine(&lists.parentStart[page]);
            logvane::table::PrefetchLine(&m_pages[page]);
        }
        if (const std::size_t at = position(i + 8); at < order.size()) {
            const std::uint32_t page = order[at];
            logvane::table::PrefetchLine(childLinks + lists.childStart[page]);
            logvane::table::PrefetchLine(parentLinks + lists.parentStart[page]);
        }
        if (const std::size_t at = position(i + 4); at < order.size())
            forLinks(order[at],
                     [this](std::uint32_t n, bool) { logvane::table::PrefetchLine(&LinkAt(n)); });
        if (const std::size_t at = position(i + 2); at < order.size())
            forLinks(order[at], [this](std::uint32_t n, bool toSide) {
                const link_t& link = LinkAt(n);
                logvane::table::PrefetchLine(&m_pages[(toSide ? link.to : link.from) & kPageMask]);
            });
    };
    CConnectionOrder layout(*this);
    std::vector<hyperlink_link_view_t> children, parents;
    for (std::size_t i = 0;; ++i) {
        const std::size_t at = position(i);
        if (at >= order.size()) break;
        prefetchAhead(i);
        const std::uint32_t index = order[at];
        const page_t& page = m_pages[index];
        layout.Lay(childLinks + lists.childStart[index], childLinks + lists.childStart[index + 1],
                   true, page.childLookupAfterInsert, children);
        layout.Lay(parentLinks + lists.parentStart[index],
                   parentLinks + lists.parentStart[index + 1], false, page.parentLookupAfterInsert,
                   parents);
        const CSpanEntryRange<hyperlink_link_view_t> childRange(children), parentRange(parents);
        visit(at / blockSize, hyperlink_page_view_t{std::string_view(page.text, page.length),
                                                    page.type, &childRange, &parentRange});
    }
}

namespace {

// The report's view of the table. Walks by blocks share one preparation, made by whichever
// walk comes first.
class CHyperlinkPageRange : public CEntryRange<hyperlink_page_view_t> {
public:
    explicit CHyperlinkPageRange(CHyperlinkTable& table) : m_table(table) {}

    void ForEach(const std::function<void(const hyperlink_page_view_t&)>& visit) const override {
        m_table.ForEachPageView(visit);
    }
    bool CanWalkInBlocks() const override { return true; }
    void ForEachInBlocks(std::size_t blockSize, std::size_t part, std::size_t parts,
                         const std::function<void(std::size_t, const hyperlink_page_view_t&)>&
                             visit) const override {
        std::call_once(m_prepared, [this] { m_walk = m_table.PrepareWalk(); });
        m_table.WalkPages(*m_walk, blockSize, part, parts, visit);
    }

private:
    CHyperlinkTable& m_table;
    mutable std::once_flag m_prepared;
    mutable std::shared_ptr<const CHyperlinkTable::page_walk_t> m_walk;
};

}  // namespace

std::unique_ptr<CEntryRange<hyperlink_page_view_t>> MakeHyperlinkPageRange(CHyperlinkTable& table) {
    return std::make_unique<CHyperlinkPageRange>(table);
}
