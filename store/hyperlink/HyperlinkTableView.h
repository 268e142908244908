#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include "store/hyperlink/PageType.h"

// The hyperlink tree writer reads the engine's counting tables through these read-only views
// of "the used entries of a table, in table order", so that the data library does not depend
// on the engine's table template. The engine wraps a table with MakeEntryRange and a lambda
// that walks its used slots; tests wrap vectors with CSpanEntryRange.
//
//   auto pages = MakeEntryRange<hyperlink_page_view_t>([&links](const auto& visit) {
//       for (each used entry e of links, in slot order) {
//           // stack-local ranges over e's two connection tables, each handing out
//           // hyperlink_link_view_t{key, hits, type, per-trigger counts} per used entry
//           CFunctionEntryRange<hyperlink_link_view_t, Walk> children(...), parents(...);
//           visit(hyperlink_page_view_t{e.key, e.type, &children, &parents});
//       }
//   });

// A view of the used entries of one table. An entry record may be a temporary that lives only
// for the visit call handing it out; the texts and arrays it points to must stay valid until
// the report has been written (the engine's pool strings do).
template <class Entry>
class CEntryRange {
public:
    virtual ~CEntryRange() = default;
    // Calls `visit` once per used entry, in table order.
    virtual void ForEach(const std::function<void(const Entry&)>& visit) const = 0;
    // The entries in table order as one array, when the range holds them so: a reader then
    // walks them without a call per entry. False (and `entries` untouched) otherwise.
    virtual bool GetSpan(std::span<const Entry>& entries) const {
        (void)entries;
        return false;
    }
    // Whether ForEachInBlocks walks: the walk split for several threads.
    virtual bool CanWalkInBlocks() const { return false; }
    // Calls visit(block, entry) for the entries of every block (a run of `blockSize` entries
    // in table order) whose number modulo `parts` is `part`, in table order. Different parts
    // may be walked at once. Visits nothing unless CanWalkInBlocks.
    virtual void ForEachInBlocks(
        std::size_t blockSize, std::size_t part, std::size_t parts,
        const std::function<void(std::size_t, const Entry&)>& visit) const {
        (void)blockSize, (void)part, (void)parts, (void)visit;
    }
};

// One used entry of a connection table (`hyperlink_connection_hash_t`): a page linked from or
// to the page that owns the table.
struct hyperlink_link_view_t {
    std::string_view name;                     // the linked page
    std::int64_t hits = 0;                     // hits on the link
    page_type_t type = page_type_t::NOTHING;   // the linked page's type
    const std::uint32_t* tagCounts = nullptr;  // one count per tag trigger; null: all 0
};

// One used entry of the hyperlink table (`hyperlink_hash_t`): a page and its connection
// tables. Either table may be null (no links).
struct hyperlink_page_view_t {
    std::string_view name;
    page_type_t type = page_type_t::NOTHING;
    const CEntryRange<hyperlink_link_view_t>* children = nullptr;  // pages it led to
    const CEntryRange<hyperlink_link_view_t>* parents = nullptr;   // pages that led to it
};

// One used entry of a `referinfo_t` table: a page and how often it was a single-access page, a
// site entry or a site exit.
struct page_count_view_t {
    std::string_view name;
    std::int64_t count = 0;
};

// A range over a contiguous array of entries.
template <class Entry>
class CSpanEntryRange : public CEntryRange<Entry> {
public:
    explicit CSpanEntryRange(std::span<const Entry> entries) : m_entries(entries) {}
    void ForEach(const std::function<void(const Entry&)>& visit) const override {
        for (const Entry& entry : m_entries) visit(entry);
    }
    bool GetSpan(std::span<const Entry>& entries) const override {
        entries = m_entries;
        return true;
    }

private:
    std::span<const Entry> m_entries;
};

// A range whose entries `walk(visit)` hands out.
template <class Entry, class Walk>
class CFunctionEntryRange : public CEntryRange<Entry> {
public:
    explicit CFunctionEntryRange(Walk walk) : m_walk(std::move(walk)) {}
    void ForEach(const std::function<void(const Entry&)>& visit) const override { m_walk(visit); }

private:
    Walk m_walk;
};

template <class Entry, class Walk>
std::unique_ptr<CEntryRange<Entry>> MakeEntryRange(Walk walk) {
    return std::make_unique<CFunctionEntryRange<Entry, Walk>>(std::move(walk));
}
