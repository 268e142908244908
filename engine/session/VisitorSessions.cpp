#include "engine/session/VisitorSessions.h"

#include <cstring>

#include "engine/filter/WildcardMatch.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"

namespace {

// Most sessions of most visitors hold one or two items; an array kept per visitor for the
// whole run costs its capacity for every visitor, a longer session only a few doublings.
constexpr std::int32_t kFirstCapacity = 1;

void CountText(CFastHashTable<referinfo_t>& table, const char* text, std::uint32_t length,
               std::uint32_t hash) {
    referinfo_t key;
    key.text = text;
    key.length = length;
    bool isNew = false;
    referinfo_t* entry = table.Lookup(key, hash, isNew);
    if (isNew) *entry = key;  // the page is already a pool key
    ++entry->hits;
}

std::string_view ItemPage(const path_item_t& item) { return {item.page, item.pageLength}; }

std::uint32_t TextHash(const char* text, std::uint32_t length) { return memcrc(text, length, 0); }

// Hit processing hands most items over with their hashes.
std::uint32_t PageHash(const path_item_t& item) {
    return item.pageHash ? item.pageHash : TextHash(item.page, item.pageLength);
}

std::uint32_t LabelHash(const path_item_t& item) {
    return item.labelHash ? item.labelHash : TextHash(item.label, item.labelLength);
}

constexpr std::string_view kSiteEntry = "(site entry)";
constexpr std::string_view kSiteExit = "(site exit)";

}  // namespace

CVisitorSessions::CVisitorSessions(CRunTables& tables, const CTagInformation& tags,
                                   bool caseSensitive)
    : m_tables(tables),
      m_caseSensitive(caseSensitive),
      m_visitors(std::make_unique<CVisitorTable>(kVisitorSlots)),
      m_hyperlinks(kHyperlinkSlots, tags.GetNumTriggers()) {
    for (int i = 0; i < tags.GetNumTriggers(); ++i) {
        const CTagInformation::CTriggerInformation trigger =
            tags.GetTriggerInfo(static_cast<unsigned long>(i));
        m_triggers.push_back({static_cast<int>(trigger.GetTriggerType()), trigger.GetMatchText()});
    }
    m_flags.assign(m_triggers.size(), 0);
    if (m_tables.counters.tagTriggers.size() < m_triggers.size())
        m_tables.counters.tagTriggers.resize(m_triggers.size(), 0);
}

void CVisitorSessions::RecordVisit(const visit_t& visit) {
    if (!m_visitors) return;  // the run's sessions are closed
    bool isNew = false;
    visitor_t* visitor = FindVisitor(visit, isNew);
    if (!visitor) return;
    if (isNew) {
        StartSession(*visitor, visit);
    } else if (visit.time - visitor->lastHit > kSessionTimeout) {
        CloseSession(*visitor, visit.time);
        StartSession(*visitor, visit);
    } else if (visit.isPage) {
        ++visitor->pageViews;
    }
    visitor->lastHit = visit.time;
    if (visit.item) Append(*visitor, *visit.item);
}

// A visitor known by its host may be remembered by the caller; a cookie names someone else.
visitor_t* CVisitorSessions::FindVisitor(const visit_t& visit, bool& isNew) {
    isNew = false;
    const std::string_view identity = VisitorKey(visit.cookie, visit.host);
    const bool byHost = identity.data() == visit.host.data();
    if (byHost && visit.memo) {
        if (visitor_t* known = m_visitors->Recall(visit.memo->visitor)) {
            m_visitors->Touch();
            return known;
        }
    }
    // A visitor known by its host shares the hosts table's hash and pool copy.
    const bool pooled = byHost && visit.pooledHost;
    const char* key = pooled ? visit.pooledHost : identity.data();
    const auto length = static_cast<std::uint32_t>(identity.size());
    const std::uint32_t hash = pooled ? visit.hostHash : memcrc(key, length, 0);
    visitor_t* visitor = m_visitors->Lookup(key, length, hash, isNew);
    if (!visitor) return nullptr;
    if (isNew && !pooled) {
        visitor->key = PoolCopy(key, length);
        if (!visitor->key) {  // the pool refused: parsing is ending
            visitor->key = "";
            visitor->length = 0;
        }
    }
    if (byHost && visit.memo) visit.memo->visitor = m_visitors->Remember(visitor);
    return visitor;
}

// Every session, the first of a visitor included, opens with its hit counted as a page view
// and as a session of its authenticated user.
void CVisitorSessions::StartSession(visitor_t& visitor, const visit_t& visit) {
    visitor.pageViews = visit.isPage ? 1 : 0;
    visitor.sessionStart = visit.time;
    // The closed session's array is reused: pool memory is never freed, so a fresh array per
    // session would grow the pool with every returning visitor.
    visitor.count = 0;
    visitor.first = -1;
    CountUserSession(visit);
}

void CVisitorSessions::CountUserSession(const visit_t& visit) {
    if (visit.status < 200 || visit.status > 299) return;
    user_info_t key;
    key.name = visit.user.data();
    key.length = static_cast<std::uint32_t>(visit.user.size());
    bool isNew = false;
    // Hit processing counted the user before this step; a user it did not count stays out.
    if (user_info_t* user = m_tables.users.Lookup(key, isNew, false)) ++user->sessions;
}

void CVisitorSessions::Append(visitor_t& visitor, const path_item_t& item) {
    if (visitor.count == visitor.capacity) {
        const std::int32_t capacity = visitor.capacity ? visitor.capacity * 2 : kFirstCapacity;
        auto* path = static_cast<path_item_t*>(
            PoolAlloc(sizeof(path_item_t) * static_cast<std::size_t>(capacity)));
        if (!path) return;  // the pool refused: parsing is ending
        if (visitor.count > 0)
            std::memcpy(path, visitor.path,
                        sizeof(path_item_t) * static_cast<std::size_t>(visitor.count));
        visitor.path = path;
        visitor.capacity = capacity;
    }
    visitor.path[visitor.count] = item;
    if (visitor.first < 0) visitor.first = visitor.count;
    ++visitor.count;
}

void CVisitorSessions::CloseSession(visitor_t& visitor, std::int32_t /*nextTime*/) {
    ++m_tables.counters.sessions;
    CountDay(visitor.sessionStart / 86400);
    // A path holds an item (and so a first index) or is empty.
    if (visitor.count == 0 || visitor.pageViews == 0) return;
    const path_item_t& first = visitor.path[visitor.first];
    const path_item_t& last = visitor.path[visitor.count - 1];
    closing_t closing{visitor, PageHash(first), 0, 0};
    closing.lastHash = &last == &first ? closing.firstHash : PageHash(last);
    // The slots of the session's pages load together rather than one miss after another.
    m_tables.entryPages.Prefetch(closing.firstHash);
    if (visitor.pageViews == 1) m_tables.singleAccessPages.Prefetch(closing.firstHash);
    m_tables.exitPages.Prefetch(closing.lastHash);
    m_hyperlinks.Prefetch(closing.firstHash);
    m_hyperlinks.Prefetch(closing.lastHash);
    // Most sessions are one page and what led to it.
    if (first.labelLength > 0) {
        closing.firstLabelHash = LabelHash(first);
        m_hyperlinks.Prefetch(closing.firstLabelHash);
    }
    const std::uint8_t* flags = CountTags(visitor);
    ResolveLinks(closing);
    CountPages(closing);
    for (const session_link_t& link : m_links)
        m_hyperlinks.Link(link.from, link.fromType, link.to, link.toType, flags);
}

void CVisitorSessions::CountDay(std::int32_t dayNumber) {
    day_info_t* perDay = m_tables.visitorsPerDay.Recall(m_lastDay);
    if (!perDay || perDay->key != dayNumber) {
        day_info_t day;
        day.key = dayNumber;
        bool isNew = false;
        perDay = m_tables.visitorsPerDay.Lookup(day, isNew);
        if (isNew) *perDay = day;
        m_lastDay = m_tables.visitorsPerDay.Remember(perDay);
    }
    ++perDay->first;
}

void CVisitorSessions::CountPages(const closing_t& closing) {
    const visitor_t& visitor = closing.visitor;
    const path_item_t& first = visitor.path[visitor.first];
    const path_item_t& last = visitor.path[visitor.count - 1];
    CountText(m_tables.entryPages, first.page, first.pageLength, closing.firstHash);
    if (visitor.pageViews == 1)
        CountText(m_tables.singleAccessPages, first.page, first.pageLength, closing.firstHash);
    CountText(m_tables.exitPages, last.page, last.pageLength, closing.lastHash);
}

// Pages are folded in a case-insensitive analysis but search labels keep the engine's name as
// written, so patterns ignore case there rather than being folded.
bool CVisitorSessions::TriggerMatch(const std::string& pattern, std::string_view text) const {
    return m_caseSensitive ? WildcardMatch(pattern, text) : WildcardMatchNoCase(pattern, text);
}

// Sets and counts the flag of each tag trigger the session met; null without triggers.
const std::uint8_t* CVisitorSessions::CountTags(const visitor_t& visitor) {
    const path_item_t& first = visitor.path[visitor.first];
    for (std::size_t t = 0; t < m_triggers.size(); ++t) {
        const trigger_t& trigger = m_triggers[t];
        bool met = false;
        if (trigger.type == CTagInformation::SITEENTRY) {
            met = TriggerMatch(trigger.pattern, ItemPage(first));
        } else if (trigger.type == CTagInformation::REFERRER) {
            met = first.label && TriggerMatch(trigger.pattern, {first.label, first.labelLength});
        } else {
            for (std::int32_t i = 0; i < visitor.count && !met; ++i)
                met = TriggerMatch(trigger.pattern, ItemPage(visitor.path[i]));
        }
        m_flags[t] = met ? 1 : 0;
        m_tables.counters.tagTriggers[t] += m_flags[t];
    }
    return m_flags.empty() ? nullptr : m_flags.data();
}

// The links of a session, in the order they are counted: (site entry) to the first page, the
// last page to (site exit), then each labelled item's label to its page. Their pages are
// looked up in that order, as counting each link by its texts would; but each item's page
// only once per session, and a label that names the page before it takes that page's number.
// The skipped lookups are touched, so the page table grows as it would have.
void CVisitorSessions::ResolveLinks(const closing_t& closing) {
    const visitor_t& visitor = closing.visitor;
    m_itemPages.assign(static_cast<std::size_t>(visitor.count), CHyperlinkTable::kNoPage);
    m_links.clear();
    const std::int32_t firstIndex = visitor.first, lastIndex = visitor.count - 1;
    const path_item_t& first = visitor.path[firstIndex];
    const path_item_t& last = visitor.path[lastIndex];
    if (first.pageLength > 0) {
        const std::uint32_t entry = KnownPage(m_siteEntryPage, kSiteEntry, page_type_t::ENTRY);
        const std::uint32_t to = ItemPageNumber(closing, firstIndex);
        AddSessionLink(entry, page_type_t::ENTRY, to, first.pageType);
    }
    if (last.pageLength > 0) {
        const std::uint32_t from = ItemPageNumber(closing, lastIndex);
        const std::uint32_t exit = KnownPage(m_siteExitPage, kSiteExit, page_type_t::EXIT);
        AddSessionLink(from, last.pageType, exit, page_type_t::EXIT);
    }
    for (std::int32_t i = NextLabelled(visitor, firstIndex); i < visitor.count;
         i = NextLabelled(visitor, i + 1)) {
        const path_item_t& item = visitor.path[i];
        if (item.labelLength == 0 || item.pageLength == 0) continue;
        std::uint32_t from = CHyperlinkTable::kNoPage;
        const std::uint32_t before =
            i > 0 ? m_itemPages[static_cast<std::size_t>(i - 1)] : CHyperlinkTable::kNoPage;
        if (before != CHyperlinkTable::kNoPage &&
            logvane::table::SameText(item.label, item.labelLength, visitor.path[i - 1].page,
                                     visitor.path[i - 1].pageLength)) {
            m_hyperlinks.Touch();
            from = before;
        } else {
            const std::uint32_t hash = i == firstIndex ? closing.firstLabelHash : LabelHash(item);
            from = m_hyperlinks.Page({item.label, item.labelLength}, hash, item.labelType);
        }
        const std::uint32_t to = ItemPageNumber(closing, i);
        AddSessionLink(from, item.labelType, to, item.pageType);
    }
}

void CVisitorSessions::AddSessionLink(std::uint32_t from, page_type_t fromType, std::uint32_t to,
                                      page_type_t toType) {
    m_hyperlinks.PrefetchLink(from, to);
    m_links.push_back({from, to, fromType, toType});
}

// The hyperlink page of path item `i`, looked up at its first use in the session.
std::uint32_t CVisitorSessions::ItemPageNumber(const closing_t& closing, std::int32_t i) {
    std::uint32_t& number = m_itemPages[static_cast<std::size_t>(i)];
    if (number != CHyperlinkTable::kNoPage) {
        m_hyperlinks.Touch();
        return number;
    }
    const visitor_t& visitor = closing.visitor;
    const path_item_t& item = visitor.path[i];
    const std::uint32_t hash = i == visitor.first       ? closing.firstHash
                               : i == visitor.count - 1 ? closing.lastHash
                                                        : PageHash(item);
    number = m_hyperlinks.Page(ItemPage(item), hash, item.pageType);
    return number;
}

std::uint32_t CVisitorSessions::KnownPage(std::uint32_t& number, std::string_view text,
                                          page_type_t type) {
    if (number != CHyperlinkTable::kNoPage) {
        m_hyperlinks.Touch();
        return number;
    }
    number = m_hyperlinks.Page(text, TextHash(text.data(), text.size()), type);
    return number;
}

std::int32_t CVisitorSessions::NextLabelled(const visitor_t& visitor, std::int32_t from) {
    while (from < visitor.count && !visitor.path[from].label) ++from;
    return from;
}

void CVisitorSessions::CloseAllSessions() {
    if (!m_visitors) return;
    m_visitors->ForEachInSlotOrder([this](visitor_t& visitor) { CloseSession(visitor, 0); });
    m_visitors.reset();
}
