#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/session/HyperlinkTable.h"
#include "engine/session/VisitorTable.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/Prefetch.h"
#include "store/hyperlink/PageType.h"

class CRunTables;
class CTagInformation;

// What the caller of RecordVisit may keep per distinct host text so that the hits of a
// host-identified visitor skip the visitor lookup. Zero-initialised it remembers nothing; a
// memo stays good for the whole run.
struct visitor_memo_t {
    CEntryMemo<visitor_t> visitor;
};

// One counted hit as sessions see it.
struct visit_t {
    std::string_view cookie;  // the hit's cookie value; empty without cookie data
    std::string_view host;
    // The hosts table's pool copy of `host` and its Hash(0), when hit processing has them.
    const char* pooledHost = nullptr;
    std::uint32_t hostHash = 0;
    std::int32_t time = 0;
    std::int32_t status = 0;
    bool isPage = false;                // a successful page hit: a page view
    std::string_view user;              // authenticated user field as counted
    const path_item_t* item = nullptr;  // a successful page or file hit
    // Null: the visitor is looked up. Otherwise the same memo for every hit of the same host
    // text (equal bytes) for the whole run; RecordVisit reads and refreshes it, and uses it
    // only for hits without an identifying cookie.
    visitor_memo_t* memo = nullptr;
    // The visitor `memo` names (RememberedVisitor), or null; RecordVisits sets it ahead of
    // counting the visit. A host's memo never names another visitor, so it stands for the memo.
    visitor_t* visitor = nullptr;
};

// Groups the hits of each visitor into sessions that end after 1800 seconds without a hit, and
// counts every closed session: sessions, visitors per day, user sessions, entry, exit and
// single-access pages, tag triggers and the hyperlink tree.
class LOGVANE_ENGINE_API CVisitorSessions {
public:
    // Seconds of silence after which the next hit opens a new session.
    static constexpr std::int32_t kSessionTimeout = 1800;

    // Counts into `tables` (which must outlive this object); `tags` are the project's tag
    // triggers, their patterns lower-cased unless `caseSensitive`.
    CVisitorSessions(CRunTables& tables, const CTagInformation& tags, bool caseSensitive);

    // Adds one counted hit to its visitor's session, closing the previous session first when
    // the hit comes more than kSessionTimeout seconds after the visitor's last hit.
    void RecordVisit(const visit_t& visit);
    // RecordVisit for each visit in order, with what each one reads (its visitor, the
    // visitor's path, the page memos, the entries and links they remember) loading a few
    // visits ahead: closing a session follows pointers four deep. Sets each visit's `visitor`
    // from its memo when that names one.
    void RecordVisits(std::span<visit_t> visits);
    // The visitor a host's memo names now, for visit_t::visitor; null when it names none.
    visitor_t* RememberedVisitor(const visitor_memo_t* memo) const {
        return memo && m_visitors ? m_visitors->Recall(memo->visitor) : nullptr;
    }
    // Starts loading what a coming RecordVisit reads: the visitor's record when `memo` (the
    // host's memo) remembers it, else its index slot (`hostHash`: Hash(0) of the host). A
    // stale memo only wastes the prefetch.
    void Prefetch(std::string_view cookie, std::uint32_t hostHash,
                  const visitor_memo_t* memo = nullptr) const {
        if (!m_visitors || cookie.size() > 2) return;
        if (memo && memo->visitor.entry)
            logvane::table::PrefetchLine(memo->visitor.entry);
        else
            m_visitors->Prefetch(hostHash);
    }
    // Counts the visitor's open session; `nextTime` is the time of the hit that opens the next
    // one, or 0 at the end of the run.
    void CloseSession(visitor_t& visitor, std::int32_t nextTime);
    // After the last hit: closes every open session in slot order, adds the sessions of each
    // user to the users table and drops the visitors.
    void CloseAllSessions();

    CHyperlinkTable& GetHyperlinks() { return m_hyperlinks; }
    // Null after CloseAllSessions.
    const CVisitorTable* GetVisitors() const { return m_visitors.get(); }

    // Visitor identity: a cookie longer than 2 characters, else the host.
    static std::string_view VisitorKey(std::string_view cookie, std::string_view host) {
        return cookie.size() > 2 ? cookie : host;
    }

    static constexpr std::uint32_t kVisitorSlots = 16384;
    static constexpr std::uint32_t kHyperlinkSlots = 8192;

private:
    struct trigger_t {
        int type;
        std::string pattern;
    };

    // The visit's visitor; `isNew` when it was made for this hit (key set, session not started).
    visitor_t* FindVisitor(const visit_t& visit, bool& isNew);
    // For loading ahead: the remembered visitor whose session a coming visit looks set to
    // close, as things stand now (null when unknown). Reads only; a guess that turns out
    // wrong costs a wasted load.
    const visitor_t* ClosingVisitor(const visit_t& visit) const;
    void PrefetchPath(const visit_t& visit) const;
    void PrefetchMemos(const visit_t& visit) const;
    void PrefetchClosing(const visit_t& visit) const;
    // What closing sessions remembers of a page (by its pool text: hit processing hands the
    // resources table's copy, the same for every hit on the page): its hyperlink page, its links
    // from (site entry), to (site exit) and from the page that last led to it, and its entries in
    // the entry, exit and single-access tables, valid while `generation` is that of the sessions.
    // Numbers never change; entries move when their table does.
    struct alignas(64) page_memo_t {
        const char* text = nullptr;
        std::uint32_t length = 0;
        std::uint32_t number = CHyperlinkTable::kNoPage;
        std::uint32_t entryLink = CHyperlinkTable::kNoLinkNumber;
        std::uint32_t exitLink = CHyperlinkTable::kNoLinkNumber;
        std::uint32_t lastFrom = CHyperlinkTable::kNoPage;
        std::uint32_t lastFromLink = CHyperlinkTable::kNoLinkNumber;
        std::uint32_t generation = 0;
        referinfo_t* entries[3] = {};  // kEntryTable, kExitTable, kSingleTable
    };
    // A label's hyperlink page (by the label's pool text).
    struct label_memo_t {
        const char* text = nullptr;
        std::uint32_t length = 0;
        std::uint32_t number = CHyperlinkTable::kNoPage;
    };
    static constexpr unsigned kLabelMemoBits = 12;
    static constexpr int kEntryTable = 0, kExitTable = 1, kSingleTable = 2;
    // 8192 page memos of 64 bytes: they live through the whole count, so they add to the
    // run's peak memory (the path arrays that visitors outgrow and others reuse pay for them).
    static constexpr unsigned kPageMemoBits = 13;

    // A link of the session being closed, its pages looked up: its number when a page memo
    // knows it, and where to remember the number (and the page it comes from).
    struct session_link_t {
        std::uint32_t from, to;
        page_type_t fromType, toType;
        std::uint32_t known;
        std::uint32_t* numberMemo;
        std::uint32_t* fromMemo;
    };

    // The session being closed and the Hash(0) of its first and last pages and of the first
    // item's label (0 without one).
    struct closing_t {
        const visitor_t& visitor;
        std::uint32_t firstHash;
        std::uint32_t lastHash;
        std::uint32_t firstLabelHash;
        page_memo_t& firstMemo;
        page_memo_t& lastMemo;
    };

    void StartSession(visitor_t& visitor, const visit_t& visit);
    void Append(visitor_t& visitor, const path_item_t& item);
    // A path array that a visitor outgrew, of `capacity` items, or null: pool memory is never
    // freed, so outgrown arrays serve the visitors that grow after them.
    path_item_t* TakeFreePath(std::int32_t capacity);
    void GiveFreePath(path_item_t* path, std::int32_t capacity);
    [[gnu::always_inline]] void CountDay(std::int32_t dayNumber);
    void CountPages(const closing_t& closing);
    const std::uint8_t* CountTags(const visitor_t& visitor);
    void ResolveLinks(const closing_t& closing);
    [[gnu::always_inline]] void AddSessionLink(std::uint32_t from, page_type_t fromType,
                                               std::uint32_t to, page_type_t toType,
                                               std::uint32_t* numberMemo = nullptr,
                                               std::uint32_t* fromMemo = nullptr);
    // The memo of an item's page, made blank for it when its slot held another page; `other`
    // is the memo the same session already holds, which a colliding page does not evict.
    [[gnu::always_inline]] page_memo_t& MemoOf(const path_item_t& item,
                                               const page_memo_t* other = nullptr);
    // Page and label memos are direct-mapped by the text's address; null after the release.
    static std::size_t MemoIndex(const char* text, unsigned bits) {
        return (reinterpret_cast<std::uintptr_t>(text) * 0x9e3779b97f4a7c15ull) >> (64 - bits);
    }
    page_memo_t* MemoSlot(const char* text) const {
        return m_pageMemos ? &m_pageMemos[MemoIndex(text, kPageMemoBits)] : nullptr;
    }
    label_memo_t* LabelSlot(const char* text) const {
        return m_labelMemos ? &m_labelMemos[MemoIndex(text, kLabelMemoBits)] : nullptr;
    }
    [[gnu::always_inline]] CFastHashTable<referinfo_t>& Table(int which) const;
    // The memo of an item's label, null when it remembers another; the label's page, through
    // the memo (hash: the label's Hash(0), or 0 when not known yet).
    [[gnu::always_inline]] label_memo_t* LabelMemoOf(const path_item_t& item) const;
    std::uint32_t LabelPage(const path_item_t& item, std::uint32_t hash);
    // Counts the page in table `which` (hash: the page's Hash(0)) through its memo.
    [[gnu::always_inline]] void CountPage(int which, page_memo_t& memo, const path_item_t& item,
                                          std::uint32_t hash);
    [[gnu::always_inline]] void CountUserSession(const visit_t& visit);
    // The lookup behind CountUserSession when the last user found is not the visit's.
    [[gnu::noinline]] void CountOtherUserSession(const visit_t& visit);
    [[gnu::always_inline]] std::uint32_t ItemPageNumber(const closing_t& closing, std::int32_t i);
    // The page of a fixed text, remembered in `number` after its first lookup.
    [[gnu::always_inline]] std::uint32_t KnownPage(std::uint32_t& number, std::string_view text,
                                                   page_type_t type);
    // The index of the first path item from `from` on that has a label; count when none.
    static std::int32_t NextLabelled(const visitor_t& visitor, std::int32_t from);
    bool TriggerMatch(const std::string& pattern, std::string_view text) const;

    CRunTables& m_tables;
    std::vector<trigger_t> m_triggers;
    bool m_caseSensitive;
    std::vector<std::uint8_t> m_flags;  // per trigger, for the session being closed
    std::unique_ptr<CVisitorTable> m_visitors;
    CHyperlinkTable m_hyperlinks;
    std::uint32_t m_siteEntryPage = CHyperlinkTable::kNoPage;
    std::uint32_t m_siteExitPage = CHyperlinkTable::kNoPage;
    // For the session being closed: each path item's page, the links to count.
    std::vector<std::uint32_t> m_itemPages;
    std::vector<session_link_t> m_links;
    path_item_t* m_freePaths[32] = {};  // by log2 of their capacity
    // Closed sessions start on days far apart: a memo per day (by day number modulo 32).
    CEntryMemo<day_info_t> m_days[32];
    // Sessions per user name, added to the users table as the sessions close: hit processing
    // may be adding users to that table on another thread while the sessions count.
    struct text_hash_t {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::uint64_t, text_hash_t, std::equal_to<>> m_userSessions;
    std::pair<const std::string, std::uint64_t>* m_lastUser = nullptr;  // of the last session
    void AddUserSessions();
    // Direct-mapped by the page text's address; released with the visitors.
    std::unique_ptr<page_memo_t[]> m_pageMemos;
    std::unique_ptr<label_memo_t[]> m_labelMemos;
    // After the release, or for a session's last page whose slot its first page holds.
    page_memo_t m_spareMemos[2];
    // Changes whenever the entry, exit or single-access table moves its entries (each
    // table's last seen epoch below), which drops every remembered entry.
    std::uint32_t m_generation = 1;
    std::uint64_t m_tableEpochs[3] = {};
};
