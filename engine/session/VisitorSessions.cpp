#include "engine/session/VisitorSessions.h"

#include <cstring>

#include "engine/filter/WildcardMatch.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"

namespace {

constexpr std::int32_t kFirstCapacity = 5;

void CountText(CFastHashTable<referinfo_t>& table, const char* text, std::uint32_t length) {
    referinfo_t key;
    key.text = text;
    key.length = length;
    bool isNew = false;
    referinfo_t* entry = table.Lookup(key, isNew);
    if (isNew) *entry = key;  // the page is already a pool key
    ++entry->hits;
}

std::string_view ItemPage(const path_item_t& item) { return {item.page, item.pageLength}; }

std::uint32_t TextHash(const char* text, std::uint32_t length) { return memcrc(text, length, 0); }

constexpr std::string_view kSiteEntry = "(site entry)";
constexpr std::string_view kSiteExit = "(site exit)";

}  // namespace

CVisitorSessions::CVisitorSessions(CRunTables& tables, const CTagInformation& tags,
                                   bool caseSensitive)
    : m_tables(tables),
      m_caseSensitive(caseSensitive),
      m_visitors(std::make_unique<CFastHashTable<visitor_t>>(kVisitorSlots)),
      m_hyperlinks(kHyperlinkSlots, tags.GetNumTriggers()),
      m_siteEntryHash(TextHash(kSiteEntry.data(), kSiteEntry.size())),
      m_siteExitHash(TextHash(kSiteExit.data(), kSiteExit.size())) {
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
    const std::string_view identity = VisitorKey(visit.cookie, visit.host);
    visitor_t key;
    key.key = identity.data();
    key.length = static_cast<std::uint32_t>(identity.size());
    // A visitor known by its host shares the hosts table's hash and pool copy.
    const bool byHost = visit.pooledHost && identity.data() == visit.host.data();
    bool isNew = false;
    visitor_t* visitor = m_visitors->Lookup(key, byHost ? visit.hostHash : key.Hash(0), isNew);
    if (isNew) {
        *visitor = visitor_t{};
        visitor->key = byHost ? visit.pooledHost : PoolCopy(identity.data(), identity.size());
        visitor->length = visitor->key ? key.length : 0;
        if (!visitor->key) visitor->key = "";  // the pool refused: parsing is ending
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
    day_info_t day;
    day.key = visitor.sessionStart / 86400;
    bool isNew = false;
    day_info_t* perDay = m_tables.visitorsPerDay.Lookup(day, isNew);
    if (isNew) *perDay = day;
    ++perDay->first;
    if (visitor.count > 0 && visitor.pageViews > 0) CountPages(visitor);
    if (visitor.first >= 0 && visitor.pageViews > 0) CountTagsAndLinks(visitor);
}

void CVisitorSessions::CountPages(const visitor_t& visitor) {
    const path_item_t& first = visitor.path[visitor.first];
    const path_item_t& last = visitor.path[visitor.count - 1];
    CountText(m_tables.entryPages, first.page, first.pageLength);
    if (visitor.pageViews == 1) CountText(m_tables.singleAccessPages, first.page, first.pageLength);
    CountText(m_tables.exitPages, last.page, last.pageLength);
}

// Pages are folded in a case-insensitive analysis but search labels keep the engine's name as
// written, so patterns ignore case there rather than being folded.
bool CVisitorSessions::TriggerMatch(const std::string& pattern, std::string_view text) const {
    return m_caseSensitive ? WildcardMatch(pattern, text) : WildcardMatchNoCase(pattern, text);
}

void CVisitorSessions::CountTagsAndLinks(const visitor_t& visitor) {
    const path_item_t& first = visitor.path[visitor.first];
    const path_item_t& last = visitor.path[visitor.count - 1];
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
    const std::uint8_t* flags = m_flags.empty() ? nullptr : m_flags.data();
    const std::uint32_t firstHash = TextHash(first.page, first.pageLength);
    const std::uint32_t lastHash =
        &last == &first ? firstHash : TextHash(last.page, last.pageLength);
    m_hyperlinks.AddLink(kSiteEntry, m_siteEntryHash, page_type_t::ENTRY, ItemPage(first),
                         firstHash, first.pageType, flags);
    m_hyperlinks.AddLink(ItemPage(last), lastHash, last.pageType, kSiteExit, m_siteExitHash,
                         page_type_t::EXIT, flags);
    // Each link's pages are hashed, and their slots prefetched, one link ahead.
    std::int32_t i = NextLabelled(visitor, visitor.first);
    std::uint32_t labelHash = 0, pageHash = 0;
    if (i < visitor.count) HashAndPrefetch(visitor.path[i], labelHash, pageHash);
    while (i < visitor.count) {
        const path_item_t& item = visitor.path[i];
        const std::uint32_t itemLabelHash = labelHash, itemPageHash = pageHash;
        i = NextLabelled(visitor, i + 1);
        if (i < visitor.count) HashAndPrefetch(visitor.path[i], labelHash, pageHash);
        m_hyperlinks.AddLink({item.label, item.labelLength}, itemLabelHash, item.labelType,
                             ItemPage(item), itemPageHash, item.pageType, flags);
    }
}

std::int32_t CVisitorSessions::NextLabelled(const visitor_t& visitor, std::int32_t from) {
    while (from < visitor.count && !visitor.path[from].label) ++from;
    return from;
}

void CVisitorSessions::HashAndPrefetch(const path_item_t& item, std::uint32_t& labelHash,
                                       std::uint32_t& pageHash) const {
    labelHash = TextHash(item.label, item.labelLength);
    pageHash = TextHash(item.page, item.pageLength);
    m_hyperlinks.Prefetch(labelHash);
    m_hyperlinks.Prefetch(pageHash);
}

void CVisitorSessions::CloseAllSessions() {
    if (!m_visitors) return;
    m_visitors->ForEach([this](visitor_t& visitor) { CloseSession(visitor, 0); });
    m_visitors.reset();
}
