#include "engine/session/VisitorSessions.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

#include "engine/filter/WildcardMatch.h"
#include "engine/table/Prefetch.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"

namespace {

// Most sessions of most visitors hold one or two items; an array kept per visitor for the
// whole run costs its capacity for every visitor, a longer session only a few doublings.
constexpr std::int32_t kFirstCapacity = 1;

referinfo_t* CountText(CFastHashTable<referinfo_t>& table, const char* text, std::uint32_t length,
                       std::uint32_t hash) {
    referinfo_t key;
    key.text = text;
    key.length = length;
    bool isNew = false;
    referinfo_t* entry = table.Lookup(key, hash, isNew);
    if (!entry) return nullptr;
    if (isNew) *entry = key;  // the page is already a pool key
    ++entry->hits;
    return entry;
}

// A lookup of a known key grows a table that is over half full, so a remembered entry stands
// for the lookup only while the table is not.
template <typename T>
bool MemoStandsForLookup(const CFastHashTable<T>& table) {
    return table.GetCount() <= table.GetCapacity() / 2;
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
      m_hyperlinks(kHyperlinkSlots, tags.GetNumTriggers()),
      m_pageMemos(std::make_unique<page_memo_t[]>(std::size_t{1} << kPageMemoBits)),
      m_labelMemos(std::make_unique<label_memo_t[]>(std::size_t{1} << kLabelMemoBits)) {
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

void CVisitorSessions::RecordVisits(std::span<visit_t> visits) {
    // Visit k's steps run at k + kAhead - distance, so each step finds what the step before
    // it loaded a few visits earlier.
    constexpr std::size_t kAhead = 24;
    constexpr std::size_t kVisitorAhead = 16, kPathAhead = 11, kMemosAhead = 7, kClosingAhead = 3;
    const std::size_t n = visits.size();
    for (std::size_t k = 0; k < n + kAhead; ++k) {
        if (!m_visitors) return;  // the run's sessions are closed
        const auto step = [&](std::size_t distance) -> visit_t* {
            const std::size_t at = k + distance;
            return at >= kAhead && at - kAhead < n ? &visits[at - kAhead] : nullptr;
        };
        if (const visit_t* v = step(kAhead); v && !v->visitor && v->memo)
            logvane::table::PrefetchLine(v->memo);
        if (visit_t* v = step(kVisitorAhead)) {
            // A memo names its host's visitor whenever it names one, so a visitor found now
            // is the one the visit's own lookup would find.
            if (!v->visitor) v->visitor = RememberedVisitor(v->memo);
            if (v->visitor)
                logvane::table::PrefetchLine(v->visitor);
            else
                Prefetch(v->cookie, v->hostHash, v->memo);
        }
        if (const visit_t* v = step(kPathAhead)) PrefetchPath(*v);
        if (const visit_t* v = step(kMemosAhead)) PrefetchMemos(*v);
        if (const visit_t* v = step(kClosingAhead)) PrefetchClosing(*v);
        if (const visit_t* v = step(0)) RecordVisit(*v);
    }
}

const visitor_t* CVisitorSessions::ClosingVisitor(const visit_t& visit) const {
    const visitor_t* visitor = visit.visitor;
    if (!visitor || visit.cookie.size() > 2 || !m_visitors ||
        visit.time - visitor->lastHit <= kSessionTimeout)
        return nullptr;
    if (visitor->count <= 0 || visitor->first < 0 || visitor->pageViews == 0 || !visitor->path)
        return nullptr;
    return visitor;
}

void CVisitorSessions::PrefetchPath(const visit_t& visit) const {
    if (const visitor_t* visitor = ClosingVisitor(visit)) {
        logvane::table::PrefetchLine(&visitor->path[visitor->first]);
        logvane::table::PrefetchLine(&visitor->path[visitor->count - 1]);
    }
}

void CVisitorSessions::PrefetchMemos(const visit_t& visit) const {
    const visitor_t* visitor = ClosingVisitor(visit);
    if (!visitor) return;
    const path_item_t& first = visitor->path[visitor->first];
    logvane::table::PrefetchLine(MemoSlot(first.page));
    logvane::table::PrefetchLine(MemoSlot(visitor->path[visitor->count - 1].page));
    if (first.label && m_labelMemos) logvane::table::PrefetchLine(LabelSlot(first.label));
}

// The entries and links that closing the session will count, or the slots their lookups
// start at, as CloseSession itself would start loading them.
void CVisitorSessions::PrefetchClosing(const visit_t& visit) const {
    const visitor_t* visitor = ClosingVisitor(visit);
    if (!visitor || !m_pageMemos) return;
    const path_item_t& first = visitor->path[visitor->first];
    const path_item_t& last = visitor->path[visitor->count - 1];
    const auto load = [this](const path_item_t& item, int which) -> const page_memo_t* {
        const page_memo_t& memo = *MemoSlot(item.page);
        if (memo.text != item.page || memo.length != item.pageLength) {
            const std::uint32_t hash = PageHash(item);
            m_hyperlinks.Prefetch(hash);
            Table(which).Prefetch(hash);
            return nullptr;
        }
        if (memo.generation == m_generation && memo.entries[which])
            logvane::table::PrefetchObject(memo.entries[which]);
        return &memo;
    };
    const auto loadLink = [this](std::uint32_t link) {
        if (link != CHyperlinkTable::kNoLinkNumber) m_hyperlinks.PrefetchLinkNumber(link);
    };
    const page_memo_t* firstMemo = load(first, kEntryTable);
    if (firstMemo) loadLink(firstMemo->entryLink);
    if (visitor->pageViews == 1) load(first, kSingleTable);
    if (const page_memo_t* lastMemo = load(last, kExitTable)) loadLink(lastMemo->exitLink);
    // The link from what led to the first page: its page, then the link itself once both
    // page numbers are remembered.
    if (first.labelLength == 0 || first.pageLength == 0 || !m_labelMemos) return;
    const label_memo_t* label = LabelMemoOf(first);
    if (!label) {
        m_hyperlinks.Prefetch(LabelHash(first));
        return;
    }
    if (!firstMemo || firstMemo->number == CHyperlinkTable::kNoPage) return;
    if (firstMemo->lastFrom == label->number &&
        firstMemo->lastFromLink != CHyperlinkTable::kNoLinkNumber)
        loadLink(firstMemo->lastFromLink);
    else
        m_hyperlinks.PrefetchLink(label->number, firstMemo->number);
}

// Private helpers are inline: only this file calls them, and calls between the exported
// class's own functions would otherwise go through the PLT.

// A visitor known by its host may be remembered by the caller; a cookie names someone else.
inline visitor_t* CVisitorSessions::FindVisitor(const visit_t& visit, bool& isNew) {
    isNew = false;
    const std::string_view identity = VisitorKey(visit.cookie, visit.host);
    const bool byHost = identity.data() == visit.host.data();
    if (byHost && visit.memo) {
        if (visitor_t* known =
                visit.visitor ? visit.visitor : m_visitors->Recall(visit.memo->visitor)) {
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

// Arrays are a power of two long; each list links its free arrays through their first bytes.
inline path_item_t* CVisitorSessions::TakeFreePath(std::int32_t capacity) {
    path_item_t*& head = m_freePaths[std::countr_zero(static_cast<std::uint32_t>(capacity))];
    path_item_t* path = head;
    if (path) std::memcpy(&head, path, sizeof(head));
    return path;
}

inline void CVisitorSessions::GiveFreePath(path_item_t* path, std::int32_t capacity) {
    path_item_t*& head = m_freePaths[std::countr_zero(static_cast<std::uint32_t>(capacity))];
    std::memcpy(static_cast<void*>(path), &head, sizeof(head));
    head = path;
}

// Every session, the first of a visitor included, opens with its hit counted as a page view
// and as a session of its authenticated user.
inline void CVisitorSessions::StartSession(visitor_t& visitor, const visit_t& visit) {
    visitor.pageViews = visit.isPage ? 1 : 0;
    visitor.sessionStart = visit.time;
    // The closed session's array is reused: pool memory is never freed, so a fresh array per
    // session would grow the pool with every returning visitor.
    visitor.count = 0;
    visitor.first = -1;
    CountUserSession(visit);
}

inline void CVisitorSessions::CountUserSession(const visit_t& visit) {
    if (visit.status < 200 || visit.status > 299) return;
    // Most sessions are of one user name ("-").
    if (m_lastUser && m_lastUser->first == visit.user) {
        ++m_lastUser->second;
        return;
    }
    CountOtherUserSession(visit);
}

void CVisitorSessions::CountOtherUserSession(const visit_t& visit) {
    auto found = m_userSessions.find(visit.user);
    if (found == m_userSessions.end()) found = m_userSessions.emplace(visit.user, 0).first;
    m_lastUser = &*found;
    ++found->second;
}

void CVisitorSessions::AddUserSessions() {
    for (const auto& [name, count] : m_userSessions) {
        user_info_t key;
        key.name = name.data();
        key.length = static_cast<std::uint32_t>(name.size());
        bool isNew = false;
        // Hit processing counted the user of every hit a session starts with; a user it did
        // not count stays out.
        if (user_info_t* user = m_tables.users.Lookup(key, isNew, false)) user->sessions += count;
    }
    m_userSessions.clear();
    m_lastUser = nullptr;
}

inline void CVisitorSessions::Append(visitor_t& visitor, const path_item_t& item) {
    if (visitor.count == visitor.capacity) {
        const std::int32_t capacity = visitor.capacity ? visitor.capacity * 2 : kFirstCapacity;
        path_item_t* path = TakeFreePath(capacity);
        if (!path)
            path = static_cast<path_item_t*>(
                PoolAlloc(sizeof(path_item_t) * static_cast<std::size_t>(capacity)));
        if (!path) return;  // the pool refused: parsing is ending
        if (visitor.count > 0)
            std::memcpy(path, visitor.path,
                        sizeof(path_item_t) * static_cast<std::size_t>(visitor.count));
        if (visitor.capacity > 0) GiveFreePath(visitor.path, visitor.capacity);
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
    page_memo_t& firstMemo = MemoOf(first);
    page_memo_t& lastMemo = &last == &first ? firstMemo : MemoOf(last, &firstMemo);
    closing_t closing{visitor, PageHash(first), 0, 0, firstMemo, lastMemo};
    closing.lastHash = &last == &first ? closing.firstHash : PageHash(last);
    // What the session counts loads together rather than one miss after another: the
    // remembered entries and links, or the slots their lookups start at.
    const auto prefetchEntry = [this](int which, const page_memo_t& memo, std::uint32_t hash) {
        if (memo.generation == m_generation && memo.entries[which])
            logvane::table::PrefetchObject(memo.entries[which]);
        else
            Table(which).Prefetch(hash);
    };
    prefetchEntry(kEntryTable, firstMemo, closing.firstHash);
    if (visitor.pageViews == 1) prefetchEntry(kSingleTable, firstMemo, closing.firstHash);
    prefetchEntry(kExitTable, lastMemo, closing.lastHash);
    if (firstMemo.number == CHyperlinkTable::kNoPage) m_hyperlinks.Prefetch(closing.firstHash);
    if (lastMemo.number == CHyperlinkTable::kNoPage) m_hyperlinks.Prefetch(closing.lastHash);
    // Most sessions are one page and what led to it.
    if (first.labelLength > 0 && !LabelMemoOf(first)) {
        closing.firstLabelHash = LabelHash(first);
        m_hyperlinks.Prefetch(closing.firstLabelHash);
    }
    const std::uint8_t* flags = CountTags(visitor);
    ResolveLinks(closing);
    CountPages(closing);
    for (const session_link_t& link : m_links) {
        std::uint32_t number = link.known;
        if (number != CHyperlinkTable::kNoLinkNumber)
            m_hyperlinks.CountLink(number, flags);
        else
            number = m_hyperlinks.Link(link.from, link.fromType, link.to, link.toType, flags);
        if (link.numberMemo && number != CHyperlinkTable::kNoLinkNumber) {
            *link.numberMemo = number;
            if (link.fromMemo) *link.fromMemo = link.from;
        }
    }
}

inline CVisitorSessions::page_memo_t& CVisitorSessions::MemoOf(const path_item_t& item,
                                                               const page_memo_t* other) {
    page_memo_t* memo = MemoSlot(item.page);
    if (!memo) memo = &m_spareMemos[0];
    if (memo->text == item.page && memo->length == item.pageLength) return *memo;
    if (memo == other) memo = &m_spareMemos[1];
    *memo = page_memo_t{};
    memo->text = item.page;
    memo->length = item.pageLength;
    return *memo;
}

inline CFastHashTable<referinfo_t>& CVisitorSessions::Table(int which) const {
    return which == kEntryTable  ? m_tables.entryPages
           : which == kExitTable ? m_tables.exitPages
                                 : m_tables.singleAccessPages;
}

inline void CVisitorSessions::CountDay(std::int32_t dayNumber) {
    CEntryMemo<day_info_t>& memo =
        m_days[static_cast<std::uint32_t>(dayNumber) % std::size(m_days)];
    day_info_t* perDay = m_tables.visitorsPerDay.Recall(memo);
    if (!perDay || perDay->key != dayNumber || !MemoStandsForLookup(m_tables.visitorsPerDay)) {
        day_info_t day;
        day.key = dayNumber;
        bool isNew = false;
        perDay = m_tables.visitorsPerDay.Lookup(day, isNew);
        if (isNew) *perDay = day;
        memo = m_tables.visitorsPerDay.Remember(perDay);
    }
    ++perDay->first;
}

inline void CVisitorSessions::CountPage(int which, page_memo_t& memo, const path_item_t& item,
                                        std::uint32_t hash) {
    CFastHashTable<referinfo_t>& table = Table(which);
    if (memo.generation != m_generation) {
        std::fill(std::begin(memo.entries), std::end(memo.entries), nullptr);
        memo.generation = m_generation;
    }
    if (referinfo_t* known = memo.entries[which]; known && MemoStandsForLookup(table)) {
        ++known->hits;
        return;
    }
    referinfo_t* entry = CountText(table, item.page, item.pageLength, hash);
    if (!entry) return;
    const std::uint64_t epoch = table.Remember(entry).epoch;
    if (epoch != m_tableEpochs[which]) {
        // The table moved its entries: every memo's entries are dropped at their next use.
        m_tableEpochs[which] = epoch;
        ++m_generation;
        std::fill(std::begin(memo.entries), std::end(memo.entries), nullptr);
        memo.generation = m_generation;
    }
    memo.entries[which] = entry;
}

inline void CVisitorSessions::CountPages(const closing_t& closing) {
    const visitor_t& visitor = closing.visitor;
    const path_item_t& first = visitor.path[visitor.first];
    const path_item_t& last = visitor.path[visitor.count - 1];
    CountPage(kEntryTable, closing.firstMemo, first, closing.firstHash);
    if (visitor.pageViews == 1)
        CountPage(kSingleTable, closing.firstMemo, first, closing.firstHash);
    CountPage(kExitTable, closing.lastMemo, last, closing.lastHash);
}

// Pages are folded in a case-insensitive analysis but search labels keep the engine's name as
// written, so patterns ignore case there rather than being folded.
inline bool CVisitorSessions::TriggerMatch(const std::string& pattern,
                                           std::string_view text) const {
    return m_caseSensitive ? WildcardMatch(pattern, text) : WildcardMatchNoCase(pattern, text);
}

// Sets and counts the flag of each tag trigger the session met; null without triggers.
inline const std::uint8_t* CVisitorSessions::CountTags(const visitor_t& visitor) {
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
inline void CVisitorSessions::ResolveLinks(const closing_t& closing) {
    const visitor_t& visitor = closing.visitor;
    m_itemPages.assign(static_cast<std::size_t>(visitor.count), CHyperlinkTable::kNoPage);
    m_links.clear();
    const std::int32_t firstIndex = visitor.first, lastIndex = visitor.count - 1;
    const path_item_t& first = visitor.path[firstIndex];
    const path_item_t& last = visitor.path[lastIndex];
    if (first.pageLength > 0) {
        const std::uint32_t entry = KnownPage(m_siteEntryPage, kSiteEntry, page_type_t::ENTRY);
        const std::uint32_t to = ItemPageNumber(closing, firstIndex);
        AddSessionLink(entry, page_type_t::ENTRY, to, first.pageType, &closing.firstMemo.entryLink);
    }
    if (last.pageLength > 0) {
        const std::uint32_t from = ItemPageNumber(closing, lastIndex);
        const std::uint32_t exit = KnownPage(m_siteExitPage, kSiteExit, page_type_t::EXIT);
        AddSessionLink(from, last.pageType, exit, page_type_t::EXIT, &closing.lastMemo.exitLink);
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
            from = LabelPage(item, i == firstIndex ? closing.firstLabelHash : 0);
        }
        const std::uint32_t to = ItemPageNumber(closing, i);
        page_memo_t* memo = i == firstIndex  ? &closing.firstMemo
                            : i == lastIndex ? &closing.lastMemo
                                             : nullptr;
        AddSessionLink(from, item.labelType, to, item.pageType,
                       memo ? &memo->lastFromLink : nullptr, memo ? &memo->lastFrom : nullptr);
    }
}

// `numberMemo` (with `fromMemo`, when the link's source page may vary) remembers the link's
// number for the next session with the same page.
inline void CVisitorSessions::AddSessionLink(std::uint32_t from, page_type_t fromType,
                                             std::uint32_t to, page_type_t toType,
                                             std::uint32_t* numberMemo, std::uint32_t* fromMemo) {
    std::uint32_t known = CHyperlinkTable::kNoLinkNumber;
    if (numberMemo && (!fromMemo || *fromMemo == from)) known = *numberMemo;
    if (known != CHyperlinkTable::kNoLinkNumber)
        m_hyperlinks.PrefetchLinkNumber(known);
    else
        m_hyperlinks.PrefetchLink(from, to);
    m_links.push_back({from, to, fromType, toType, known, numberMemo, fromMemo});
}

// The hyperlink page of path item `i`, looked up at its first use in the session.
inline std::uint32_t CVisitorSessions::ItemPageNumber(const closing_t& closing, std::int32_t i) {
    std::uint32_t& number = m_itemPages[static_cast<std::size_t>(i)];
    if (number != CHyperlinkTable::kNoPage) {
        m_hyperlinks.Touch();
        return number;
    }
    const visitor_t& visitor = closing.visitor;
    page_memo_t* memo = i == visitor.first       ? &closing.firstMemo
                        : i == visitor.count - 1 ? &closing.lastMemo
                                                 : nullptr;
    if (memo && memo->number != CHyperlinkTable::kNoPage) {
        m_hyperlinks.Touch();
        number = memo->number;
        return number;
    }
    const path_item_t& item = visitor.path[i];
    const std::uint32_t hash = i == visitor.first       ? closing.firstHash
                               : i == visitor.count - 1 ? closing.lastHash
                                                        : PageHash(item);
    number = m_hyperlinks.Page(ItemPage(item), hash, item.pageType);
    if (memo) memo->number = number;
    return number;
}

// Labels are interned or table keys: one pool text per label, as for pages.
inline CVisitorSessions::label_memo_t* CVisitorSessions::LabelMemoOf(
    const path_item_t& item) const {
    label_memo_t* memo = LabelSlot(item.label);
    return memo && memo->text == item.label && memo->length == item.labelLength ? memo : nullptr;
}

inline std::uint32_t CVisitorSessions::LabelPage(const path_item_t& item, std::uint32_t hash) {
    if (const label_memo_t* memo = LabelMemoOf(item)) {
        m_hyperlinks.Touch();
        return memo->number;
    }
    const std::uint32_t number = m_hyperlinks.Page({item.label, item.labelLength},
                                                   hash ? hash : LabelHash(item), item.labelType);
    if (label_memo_t* memo = LabelSlot(item.label); memo && number != CHyperlinkTable::kNoPage)
        *memo = {item.label, item.labelLength, number};
    return number;
}

inline std::uint32_t CVisitorSessions::KnownPage(std::uint32_t& number, std::string_view text,
                                                 page_type_t type) {
    if (number != CHyperlinkTable::kNoPage) {
        m_hyperlinks.Touch();
        return number;
    }
    number = m_hyperlinks.Page(text, TextHash(text.data(), text.size()), type);
    return number;
}

inline std::int32_t CVisitorSessions::NextLabelled(const visitor_t& visitor, std::int32_t from) {
    while (from < visitor.count && !visitor.path[from].label) ++from;
    return from;
}

void CVisitorSessions::CloseAllSessions() {
    if (!m_visitors) return;
    m_visitors->ForEachInSlotOrder([this](visitor_t& visitor) { CloseSession(visitor, 0); });
    AddUserSessions();
    m_visitors.reset();
    m_pageMemos.reset();
    m_labelMemos.reset();
}
