#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/hit/CountryLookup.h"
#include "engine/hit/HitFacts.h"
#include "engine/hit/UrlNormalizer.h"
#include "engine/hit/VisitFeed.h"
#include "engine/parse/HitRecord.h"
#include "engine/scan/PatternSearch.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"
#include "engine/table/TimeSeriesTable.h"
#include "store/hyperlink/PageType.h"

class CBrowserIdentification;
class CDomainSuffixTable;
class CFastFileTypeIdentification;
class CFilterEvaluator;
class CNestedTable;
class COSIdentification;
class CRunTables;
class CSearchEngineIdentification;
class CSpiderIdentification;

// Run options hit processing reads.
struct hit_options_t {
    bool caseSensitive = false;
    bool hideQuestionMark = false;  // GetDoNotDisplayQuestionMark
    bool hidePound = false;         // GetDoNotDisplayPound
    bool ip2Country = false;        // GetIp2Country
    std::string defaultPage;        // the site's default page
    std::string siteDomain;         // a referrer holding it is internal
    // Distinct paths, referrers, hosts and agents (each) whose facts are remembered; the
    // facts of further ones are worked out at every hit.
    std::uint32_t rememberedTexts = 65536;
};

// The run's classifiers, none owned; any may be null (that step is then skipped, or every path
// is a page without file types).
struct hit_classifiers_t {
    const CFastFileTypeIdentification* fileTypes = nullptr;
    CSpiderIdentification* spiders = nullptr;
    CBrowserIdentification* browsers = nullptr;
    COSIdentification* oses = nullptr;
    CSearchEngineIdentification* searchEngines = nullptr;
    const CFilterEvaluator* filters = nullptr;
    const CDomainSuffixTable* suffixes = nullptr;
    const country_lookup_t* countryLookup = nullptr;  // null or empty: domain suffixes
};

// Page type of an unsuccessful hit (status outside 200-399): no type at all.
inline constexpr int kUnsuccessfulPageType = 8;

// Folds each accepted hit into the run's tables and hands it to the visitor sessions. Holds
// every buffer it needs, so processing a hit allocates only pool copies of keys new to a table.
//
// Processing is two steps. Prepare works out what a hit's texts mean (validation, case
// folding, referrer decoding, URL normalisation, page type, filters, the agent lists, and the
// facts it remembers per distinct path, referrer, host and agent) and counts nothing; Count
// adds the hit to every table and the sessions. A parsing thread may therefore prepare the
// batches ahead of the one being counted, in log order.
class LOGVANE_ENGINE_API CHitProcessor {
public:
    // `tables`, `sessions` (may be null) and the classifiers must outlive the processor.
    // `cookieData`, when given, is set to 1 by the first hit that carries cookie data.
    CHitProcessor(CRunTables& tables, CVisitorSessions* sessions, hit_options_t options,
                  const hit_classifiers_t& classifiers, int* cookieData = nullptr);
    ~CHitProcessor();
    CHitProcessor(const CHitProcessor&) = delete;
    CHitProcessor& operator=(const CHitProcessor&) = delete;

    // 1 when the hit was counted or filtered out, 0 when the record is malformed (a text whose
    // NUL-terminated length differs from its stored length), in which case nothing is counted.
    // Folds the record's texts to lower case (unless case sensitive) and decodes its referrer.
    int ProcessHit(hit_t& hit);

    // ProcessHit in its two steps. Prepare may run on another thread than Count, ahead of it,
    // as long as the hits are prepared in the order they are counted and each preparation is
    // counted once, with its record unchanged in between. Preparations, and their buffers,
    // belong to the caller: one per record in flight.
    void Prepare(hit_t& hit, prepared_hit_t& prep);
    // Prepare for each hit of a batch, in order, `preps` holding one preparation per hit.
    void PrepareBatch(std::span<hit_t> hits, prepared_hit_t* preps);
    int Count(hit_t& hit, prepared_hit_t& prep);
    // Starts loading, for a prepared hit that Count will take a few hits from now, its facts
    // records (`records`) or, once those have had time to arrive, the table entries and the
    // visitor they remember. Reads nothing the preparing thread may still change.
    void PrefetchAhead(const hit_t& hit, const prepared_hit_t& prep, bool records) const;
    // And, two hits before Count, the child tables of its query pairs' remembered entries.
    void PrefetchQueryTables(const prepared_hit_t& prep) const;
    // Frees what Prepare allocated for a preparation (its buffer for texts not remembered).
    static void ReleasePreparation(prepared_hit_t& prep);

    // With `defer`, Count keeps each hit's visit and its page-referrer pair (with copies of
    // the texts they need that have no pool copy) and counts the kept ones together, in
    // counting order, at FlushDeferred or when a batch's worth is kept: each kept count then
    // loads what it reads a few counts ahead, in a loop of its own. Only the sessions read what
    // visits count, and nothing but the pairs reads the page-referrer table, so every count is
    // the same either way once flushed. Kept visits go through a CVisitFeed, whose batches
    // another thread may count (CountWaitingVisits).
    void DeferCounts(bool defer);
    void FlushDeferred();
    // Counts the oldest batch of kept visits that waits, unless another thread is counting
    // one: for a thread that would otherwise wait. False when it counted none. Any thread.
    bool CountWaitingVisits() { return m_visitFeed && m_visitFeed->TryCountWaiting(); }

    // The normalised URL and referrer of the last hit counted, and its page type (1-4, or 8).
    std::string_view GetUrl() const { return m_urlView; }
    std::string_view GetReferrer() const { return {m_ref->text, m_ref->length}; }
    int GetPageType() const { return m_pageType; }

private:
    struct per_hit_t;
    // The day a time series counted last, and its entry there.
    struct day_memo_t {
        std::int32_t day = 0;
        CEntryMemo<day_info_t> entry;
    };

    // ---- preparing ----
    static bool Validate(const hit_t& hit);
    static void FoldCase(hit_t& hit);
    // The path's facts, remembered or worked out into the preparation.
    void PreparePath(const hit_t& hit, prepared_hit_t& prep);
    // The referrer's facts, remembered or worked out into the preparation; decodes the
    // record's referrer.
    void PrepareReferrer(hit_t& hit, prepared_hit_t& prep, std::uint32_t rawHash);
    // Works the referrer facts out into `facts`, with texts in the processor's buffers.
    void WorkOutReferrer(hit_t& hit, referrer_facts_t& facts, search_facts_t& search);
    // Pool copies of the facts' texts and the keywords of its phrase; false when the pool
    // refuses.
    bool PoolReferrerTexts(referrer_facts_t& facts, const char* raw, std::uint32_t rawLength);
    void PrepareHost(const hit_t& hit, prepared_hit_t& prep);
    void PrepareAgent(const hit_t& hit, prepared_hit_t& prep);
    // Prepare in two halves, so that a batch can begin hits ahead of the one it finishes:
    // validation, case folding and the hashes, then the rest.
    void BeginPreparation(hit_t& hit, prepared_hit_t& prep);
    void FinishPreparation(hit_t& hit, prepared_hit_t& prep);
    // Takes a step along the cache slots of a begun hit's path, referrer and host, and starts
    // loading the remembered records found.
    void PrefetchRemembered(const hit_t& hit, prepared_hit_t& prep) const;
    // `path` is the remembered path as logged (pool copy).
    void RememberQueryPairs(path_facts_t& facts, std::string_view path);
    // The preparation's buffer for texts not remembered (allocated on first use).
    char* PreparationBuffer(prepared_hit_t& prep) const;
    // Query strings, tracked files, 404 referrers, referring pages and domains, page
    // referrers, referrer origins and searches; sets the preparation's referrer label.
    void CountReferrerSide(hit_t& hit, prepared_hit_t& prep);
    void CountQueryStrings(CNestedTable& table, path_facts_t& facts, std::string_view path,
                           bool memos);
    void CountTrackedFiles(const hit_t& hit, prepared_hit_t& prep, hashed_text_t& referrer);
    // The pool key of `text`, interned once per run (labels that no table holds, normalised
    // referrers); a new one is `copy` when given, a pool copy of the same text.
    const char* Intern(std::string_view text, const char* copy = nullptr);

    // ---- counting ----
    void PrefetchEntries() const;
    static void PrefetchEntriesOf(const path_facts_t& path, const referrer_facts_t& ref,
                                  const host_facts_t* host, int pageType);

    void CountDay(CTimeSeriesTable& table, day_memo_t& memo, std::int32_t time, std::uint64_t first,
                  std::uint64_t second);
    void CountTime(const hit_t& hit, std::uint64_t bytes);
    void CountStatus(const hit_t& hit, const prepared_hit_t& prep, per_hit_t& state);
    void CountResources(const hit_t& hit, std::uint64_t bytes, per_hit_t& state);
    void CountAgent(const prepared_hit_t& prep);
    void SetLabel(const prepared_hit_t& prep, per_hit_t& state);
    void CountReferrerOrigin(referrer_facts_t& ref);
    void CountSearch(referrer_facts_t& ref);
    void CountCountry(const hit_t& hit);
    country_result_t LookUpCountry(const hit_t& hit, bool byDatabase);
    void CountHostAndUser(const hit_t& hit, std::uint64_t bytes, per_hit_t& state);

    // ---- shared, read-only after construction ----
    hit_options_t m_options;
    hit_classifiers_t m_classifiers;
    CUrlNormalizer m_normalizer;
    CPatternSearch m_siteDomain;
    std::size_t m_bufferSize;                    // of a preparation's buffer
    std::vector<std::string> m_trackedPatterns;  // normalised like URLs
    std::vector<bool> m_trackedWildcards;

    // ---- owned by preparing ----
    int* m_cookieData;
    // Search labels and came-from pages: one pool copy per distinct text.
    CFastHashTable<referinfo_t> m_interned{1024};

    // What the agent lists found for a user agent already seen: logs repeat a few thousand
    // agents millions of times, and each costs a scan per keyword of three lists.
    struct agent_match_t {
        const char* text = nullptr;
        std::uint32_t length = 0;
        std::int32_t spider = -1, browser = -1, os = -1;

        void Release() {}
        std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
        bool Equals(const agent_match_t& o) const {
            return logvane::table::SameText(text, length, o.text, o.length);
        }
        int Compare(const agent_match_t&) const { return 0; }
    };
    CFastHashTable<agent_match_t> m_agents{4096};
    CFastHashTable<facts_key_t<host_facts_t>> m_hosts{4096};
    CFastHashTable<facts_key_t<path_facts_t>> m_paths{4096};
    CFastHashTable<facts_key_t<referrer_facts_t>> m_referrers{4096};
    std::vector<char> m_url, m_referrer, m_cameFrom, m_scratch;
    char m_rawReferrer[kHitTextSize] = {};  // before decoding, for search phrases
    std::size_t m_rawReferrerLength = 0;

    // ---- owned by counting ----
    CRunTables& m_tables;
    CVisitorSessions* m_sessions;
    std::vector<char> m_countScratch;
    CEntryMemo<referinfo_t> m_noReferrerPage, m_noReferrerDomain;
    prepared_hit_t m_inline;         // ProcessHit's preparation
    path_facts_t* m_path = nullptr;  // the facts of the hit being counted
    referrer_facts_t* m_ref = nullptr;
    host_facts_t* m_host = nullptr;
    std::string_view m_urlView;
    int m_pageType = 0;
    day_memo_t m_hitDay, m_pageViewDay;
    CEntryMemo<user_info_t> m_lastUser;
    referrer_facts_t m_noFacts;  // m_ref before the first hit
    // Visits kept by DeferCounts.
    std::unique_ptr<CVisitFeed> m_visitFeed;
    // Page-referrer pairs kept by DeferCounts, up to kKeptPairs at a time; texts without a
    // pool copy are copied to the pair's room in m_pairTexts.
    static constexpr int kKeptPairs = 256;
    struct kept_pair_t {
        hashed_text_t url, referrer;
        CEntryMemo<nested_info_t>* memo;
        CEntryMemo<nested_info_t> remembered;  // *memo when the pair was kept
    };
    std::unique_ptr<kept_pair_t[]> m_keptPairs;
    std::vector<char> m_pairTexts;
    int m_keptPairCount = 0;
    void KeepPair(hashed_text_t url, hashed_text_t referrer, CEntryMemo<nested_info_t>* memo);
    void FlushPairs();
    // Starts loading, for a kept pair a few places on, its page's entry, that entry's
    // referrer table, or that table's slots (steps 0, 1, 2), each once the step before loaded.
    void PrefetchPair(const kept_pair_t& pair, int step) const;
};
