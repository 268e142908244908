#include "engine/session/HyperlinkTable.h"

#include <cstring>
#include <functional>

#include "engine/table/StringPool.h"

hyperlink_hash_t* CHyperlinkTable::Page(std::string_view text, std::uint32_t hash,
                                        page_type_t type) {
    hyperlink_hash_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    bool isNew = false;
    hyperlink_hash_t* page = Lookup(key, hash, isNew);
    if (isNew) {
        *page = key;
        page->type = type;
        page->children = new hyperlink_hash_t::child_table(kConnectionSlots);
        page->parents = new hyperlink_hash_t::child_table(kConnectionSlots);
    }
    return page;
}

void CHyperlinkTable::Connect(hyperlink_hash_t::child_table& table, std::string_view text,
                              std::uint32_t hash, page_type_t type, const std::uint8_t* flags) {
    hyperlink_connection_hash_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    bool isNew = false;
    hyperlink_connection_hash_t* link = table.Lookup(key, hash, isNew);
    if (isNew) {
        *link = key;
        link->type = type;
        if (m_numTriggers > 0) {
            const std::size_t bytes =
                sizeof(std::uint32_t) * static_cast<std::size_t>(m_numTriggers);
            link->tagCounts = static_cast<std::uint32_t*>(PoolAlloc(bytes));
            if (link->tagCounts) std::memset(link->tagCounts, 0, bytes);
        }
    }
    ++link->hits;
    if (link->tagCounts && flags)
        for (int i = 0; i < m_numTriggers; ++i) link->tagCounts[i] += flags[i];
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
    hyperlink_hash_t* source = Page(from, fromHash, fromType);
    hyperlink_hash_t::child_table* children = source->children;
    // Looking up the target may grow the table and move the source entry, not its tables.
    hyperlink_hash_t* target = Page(to, toHash, toType);
    Connect(*target->parents, from, fromHash, fromType, flags);
    Connect(*children, to, toHash, toType, flags);
}

namespace {

using LinkRange = CEntryRange<hyperlink_link_view_t>;

class CConnectionRange : public LinkRange {
public:
    explicit CConnectionRange(hyperlink_hash_t::child_table* table) : m_table(table) {}
    void ForEach(const std::function<void(const hyperlink_link_view_t&)>& visit) const override {
        if (!m_table) return;
        m_table->ForEach([&visit](const hyperlink_connection_hash_t& link) {
            visit(hyperlink_link_view_t{std::string_view(link.text, link.length),
                                        static_cast<std::int64_t>(link.hits), link.type,
                                        link.tagCounts});
        });
    }

private:
    hyperlink_hash_t::child_table* m_table;
};

}  // namespace

std::unique_ptr<CEntryRange<hyperlink_page_view_t>> MakeHyperlinkPageRange(CHyperlinkTable& table) {
    return MakeEntryRange<hyperlink_page_view_t>(
        [&table](const std::function<void(const hyperlink_page_view_t&)>& visit) {
            table.ForEach([&visit](hyperlink_hash_t& page) {
                const CConnectionRange children(page.children), parents(page.parents);
                visit(hyperlink_page_view_t{std::string_view(page.text, page.length), page.type,
                                            &children, &parents});
            });
        });
}
