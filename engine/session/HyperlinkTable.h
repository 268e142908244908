#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/Prefetch.h"
#include "engine/table/TableEntries.h"
#include "store/hyperlink/HyperlinkTableView.h"
#include "store/hyperlink/PageType.h"

// A page linked from or to a page, as the hyperlink tree hands it out: the number of links
// and, per tag trigger, the links made in sessions that met the trigger (null without
// triggers).
struct hyperlink_connection_hash_t {
    const char* text = nullptr;
    std::uint32_t length = 0;
    page_type_t type = page_type_t::NOTHING;
    std::uint64_t hits = 0;
    const std::uint32_t* tagCounts = nullptr;

    void Release() {}
    std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
    bool Equals(const hyperlink_connection_hash_t& o) const {
        return logvane::table::SameText(text, length, o.text, o.length);
    }
    int Compare(const hyperlink_connection_hash_t& o) const {
        return logvane::table::CompareCounts(hits, o.hits);
    }
};

// A page of the hyperlink tree as CHyperlinkTable::ForEach hands it out, with the pages it
// led to (children) and the pages that led to it (parents). The tables live only for the
// visit call.
struct hyperlink_hash_t {
    using child_table = CFastHashTable<hyperlink_connection_hash_t>;

    const char* text = nullptr;
    std::uint32_t length = 0;
    page_type_t type = page_type_t::NOTHING;
    child_table* children = nullptr;
    child_table* parents = nullptr;
};

// Page -> the pages it led to and came from, with counts per link and per tag trigger. Never
// sorted: the hyperlink tree report reads it page by page in the page table's slot order, and
// each page's links in the slot order their own table would have.
//
// Every link is stored once, in order of creation, with a flat index by its two page numbers;
// a page's children and parents are rebuilt only when read, into tables of
// kConnectionSlots fed in creation order. Such a table ends in the very state it would have
// reached had it been counted into all along, so the order is that of a table per page and
// direction while the run holds a fraction of the memory. The one thing creation order does
// not tell is whether a lookup of a known key came after the last insertion and grew the
// table, so each page remembers that per direction.
class LOGVANE_ENGINE_API CHyperlinkTable {
public:
    // `capacity`: initial slots of the page table; `numTriggers`: counters per link;
    // `hitsWrap`: the count at which a link's 32-bit counter carries into its overflow (the
    // full range but in tests).
    explicit CHyperlinkTable(std::uint32_t capacity, int numTriggers = 0,
                             std::uint32_t hitsWrap = UINT32_MAX);
    ~CHyperlinkTable();
    CHyperlinkTable(const CHyperlinkTable&) = delete;
    CHyperlinkTable& operator=(const CHyperlinkTable&) = delete;

    static constexpr std::uint32_t kNoPage = UINT32_MAX;

    // Counts one link from `from` to `to` in both directions and adds `flags` (one 0/1 per
    // trigger) to its tag counters. Texts must be pool memory (or static); an empty text on
    // either side adds nothing. A page takes the type of its first use, a link the types of
    // its pages at its first count.
    void AddLink(std::string_view from, page_type_t fromType, std::string_view to,
                 page_type_t toType, const std::uint8_t* flags);
    // AddLink with the texts' Hash(0) already known.
    void AddLink(std::string_view from, std::uint32_t fromHash, page_type_t fromType,
                 std::string_view to, std::uint32_t toHash, page_type_t toType,
                 const std::uint8_t* flags);

    // The two halves of AddLink for callers that know a page from an earlier step. Page finds
    // or makes the page of a non-empty pool text (type: of its first use) and returns its
    // number, which never changes, or kNoPage when the text is empty. Touch stands for
    // a Page call on a page whose number the caller already holds; a link's two pages are
    // looked up (or touched) in the order from, to, before Link counts it.
    std::uint32_t Page(std::string_view text, std::uint32_t hash, page_type_t type);
    void Touch() { m_pageLookupAfterInsert = true; }
    // Returns the link's number, which never changes, or kNoLinkNumber when nothing was
    // counted (a page is kNoPage, or no more links fit).
    std::uint32_t Link(std::uint32_t from, page_type_t fromType, std::uint32_t to,
                       page_type_t toType, const std::uint8_t* flags);
    // Counts again the link that Link numbered `number`, as Link on its two pages would,
    // without looking it up.
    void CountLink(std::uint32_t number, const std::uint8_t* flags);
    static constexpr std::uint32_t kNoLinkNumber = UINT32_MAX;

    // Starts loading the page-table slot of a text with Hash(0) = `hash`.
    void Prefetch(std::uint32_t hash) const { m_pageIndex.Prefetch(hash); }
    // Starts loading the index slot of the link between two pages.
    void PrefetchLink(std::uint32_t from, std::uint32_t to) const {
        logvane::table::PrefetchLine(&m_linkIndex[(LinkHash(from, to) >> 32) & m_linkIndexMask]);
    }
    // Starts loading the link that Link numbered `number`.
    void PrefetchLinkNumber(std::uint32_t number) const {
        logvane::table::PrefetchLine(&LinkAt(number));
    }

    int GetNumTriggers() const { return m_numTriggers; }
    // Number of pages.
    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(m_pages.size()); }
    // Number of distinct links.
    std::uint64_t GetLinkCount() const { return m_linkCount; }
    // Bytes held for links, their index and the page list (not the page table's slots).
    std::size_t GetLinkBytes() const;

    // Calls f(hyperlink_hash_t&) for every page in slot order, its child and parent tables
    // filled for the call. The table must not change meanwhile.
    template <typename F>
    void ForEach(F&& f) {
        SettlePageTable();
        const link_lists_t lists = BuildLinkLists();
        m_pageIndex.ForEach([&](const page_key_t& key) {
            hyperlink_hash_t::child_table children(kConnectionSlots), parents(kConnectionSlots);
            FillConnections(lists, key.index, children, parents);
            hyperlink_hash_t page;
            page.text = key.text;
            page.length = key.length;
            page.type = m_pages[key.index].type;
            page.children = &children;
            page.parents = &parents;
            f(page);
        });
    }

    // Calls visit(page) for every page in slot order with the same links in the same order as
    // ForEach, laid out in reused arrays rather than tables built per page. The table must
    // not change meanwhile; the views live only for the call.
    void ForEachPageView(const std::function<void(const hyperlink_page_view_t&)>& visit);

    // The same walk for several threads at once: PrepareWalk (on one thread, the table not
    // changing from then on) orders the pages and their links, and each thread then calls
    // WalkPages for its blocks: visit(block, page) for the pages of every block (a run of
    // `blockSize` pages in slot order) whose number modulo `parts` is `part`, in order.
    struct page_walk_t;
    std::shared_ptr<const page_walk_t> PrepareWalk();
    void WalkPages(
        const page_walk_t& walk, std::size_t blockSize, std::size_t part, std::size_t parts,
        const std::function<void(std::size_t, const hyperlink_page_view_t&)>& visit) const;

    // Connection tables start with this many slots.
    static constexpr std::uint32_t kConnectionSlots = 50;

private:
    // The page table's key: a page text and the page's number.
    struct page_key_t {
        const char* text = nullptr;
        std::uint32_t length = 0;
        std::uint32_t index = 0;

        void Release() {}
        std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
        bool Equals(const page_key_t& o) const {
            return logvane::table::SameText(text, length, o.text, o.length);
        }
        int Compare(const page_key_t&) const { return 0; }
    };
    struct page_t {
        const char* text;
        std::uint32_t length;
        std::uint32_t hash;
        page_type_t type;
        // Whether a link of this page (as source, as target) was counted again after its
        // table's last new entry: that lookup grows a table that is over half full.
        bool childLookupAfterInsert;
        bool parentLookupAfterInsert;
    };
    // A link from page `from` to page `to`; the pages' types at its first count sit in the
    // top 3 bits of each number. Hits beyond the 32-bit counter carry into m_carries, which
    // no real log reaches, so a link takes 12 bytes.
    struct link_t {
        std::uint32_t from;
        std::uint32_t to;
        std::uint32_t hits;
    };
    static_assert(sizeof(link_t) == 12);
    // Links by page, each page's in creation order: children of page p are
    // childLinks[childStart[p] .. childStart[p + 1]), parents likewise.
    struct link_lists_t {
        std::vector<std::uint32_t> childStart, childLinks, parentStart, parentLinks;
    };
    class CConnectionOrder;

    // A link's two page numbers spread over 64 bits (the finaliser of splitmix64).
    static std::uint64_t LinkHash(std::uint32_t from, std::uint32_t to) {
        std::uint64_t x = (static_cast<std::uint64_t>(from) << 32) | to;
        x ^= x >> 30;
        x *= 0xbf58476d1ce4e5b9ull;
        x ^= x >> 27;
        x *= 0x94d049bb133111ebull;
        x ^= x >> 31;
        return x;
    }

    static constexpr unsigned kTypeShift = 29;
    static constexpr std::uint32_t kPageMask = (1u << kTypeShift) - 1;
    static constexpr unsigned kChunkBits = 13;  // links per chunk: 8192
    static constexpr std::uint64_t kNoLink = UINT64_MAX;

    link_t& LinkAt(std::uint64_t i) const {
        return m_chunks[i >> kChunkBits][i & ((1u << kChunkBits) - 1)];
    }
    std::uint32_t* TagsAt(std::uint64_t i) const {
        return m_tagChunks[i >> kChunkBits].get() +
               (i & ((1u << kChunkBits) - 1)) * static_cast<std::size_t>(m_numTriggers);
    }
    // The number of the link of the two pages, made on first sight; kNoLink when no more
    // links fit.
    std::uint64_t FindOrAddLink(std::uint32_t from, page_type_t fromType, std::uint32_t to,
                                page_type_t toType, bool& isNew);
    void AddChunk();
    // One more hit (and the tag flags) of link `number`.
    void Count(std::uint64_t number, const std::uint8_t* flags);
    std::uint64_t HitsOf(std::uint64_t number) const;
    void GrowIndex();
    void SettlePageTable();
    link_lists_t BuildLinkLists() const;
    void FillConnections(const link_lists_t& lists, std::uint32_t page,
                         hyperlink_hash_t::child_table& children,
                         hyperlink_hash_t::child_table& parents) const;

    int m_numTriggers;
    CFastHashTable<page_key_t> m_pageIndex;
    std::vector<page_t> m_pages;
    bool m_pageLookupAfterInsert = false;
    std::vector<std::unique_ptr<link_t[]>> m_chunks;
    std::vector<std::unique_ptr<std::uint32_t[]>> m_tagChunks;  // with triggers only
    std::uint64_t m_linkCount = 0;
    std::uint32_t m_hitsWrap;
    std::unordered_map<std::uint64_t, std::uint64_t> m_carries;  // link number -> wraps
    // Open addressing over the links: each slot is 0 or (hash bits << 32 | link number + 1).
    std::unique_ptr<std::uint64_t[]> m_linkIndex;
    std::uint64_t m_linkIndexMask = 0;
};

// The hyperlink tree report's view of the table: every page with its children and parents.
// The table must outlive the range and not change while it is read.
LOGVANE_ENGINE_API std::unique_ptr<CEntryRange<hyperlink_page_view_t>> MakeHyperlinkPageRange(
    CHyperlinkTable& table);
