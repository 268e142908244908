#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/hit/CountryLookup.h"
#include "engine/hit/UrlNormalizer.h"
#include "engine/parse/HitRecord.h"
#include "engine/scan/PatternSearch.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"
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
class LOGVANE_ENGINE_API CHitProcessor {
public:
    // `tables`, `sessions` (may be null) and the classifiers must outlive the processor.
    // `cookieData`, when given, is set to 1 by the first hit that carries cookie data.
    CHitProcessor(CRunTables& tables, CVisitorSessions* sessions, hit_options_t options,
                  const hit_classifiers_t& classifiers, int* cookieData = nullptr);

    // 1 when the hit was counted or filtered out, 0 when the record is malformed (a text whose
    // NUL-terminated length differs from its stored length), in which case nothing is counted.
    // Folds the record's texts to lower case (unless case sensitive) and decodes its referrer.
    int ProcessHit(hit_t& hit);

    // The normalised URL and referrer of the last hit, and its page type (1-4, or 8).
    std::string_view GetUrl() const { return m_urlView; }
    std::string_view GetReferrer() const { return {m_referrer.data(), m_referrerLength}; }
    int GetPageType() const { return m_pageType; }

private:
    struct per_hit_t;
    struct path_facts_t;

    static bool Validate(const hit_t& hit);
    static void FoldCase(hit_t& hit);
    void Normalize(hit_t& hit);
    // Fills m_path and m_urlView; m_pathHash must hold the path's hash.
    void NormalizePath(const hit_t& hit);
    void Prefetch(bool external, per_hit_t& state);
    void CountQueryStrings(CNestedTable& table, std::string_view path);
    void RememberQueryPairs(path_facts_t& facts);
    void CountTime(const hit_t& hit, std::uint64_t bytes);
    void CountStatus(const hit_t& hit, per_hit_t& state);
    void CountResources(const hit_t& hit, std::uint64_t bytes, per_hit_t& state);
    void CountTrackedFiles(const hit_t& hit, std::uint64_t bytes, bool external, per_hit_t& state);
    void IdentifyAgent(const hit_t& hit);
    void CountExternalReferrer(const hit_t& hit, bool navigation, per_hit_t& state);
    void CountSearch(bool navigation, per_hit_t& state);
    void SetCameFrom(per_hit_t& state);
    void CountCountry(const hit_t& hit, const per_hit_t& state);
    country_result_t LookUpCountry(const hit_t& hit, bool byDatabase);
    void CountHostAndUser(const hit_t& hit, std::uint64_t bytes, per_hit_t& state);

    // The pool key of `text`, interned once per run (labels that no table holds).
    const char* Intern(std::string_view text);

    CRunTables& m_tables;
    CVisitorSessions* m_sessions;
    hit_options_t m_options;
    hit_classifiers_t m_classifiers;
    int* m_cookieData;
    CUrlNormalizer m_normalizer;
    CPatternSearch m_siteDomain;
    std::vector<std::string> m_trackedPatterns;  // normalised like URLs
    std::vector<bool> m_trackedWildcards;
    // Search texts and came-from pages: one pool copy per distinct text.
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
    // Agents beyond this many are matched every time rather than remembered.
    static constexpr std::uint32_t kMaxRememberedAgents = 65536;
    CFastHashTable<agent_match_t> m_agents{4096};

    // The country found for a client host (the countries table's pool copies) and the hash of
    // its abbreviation.
    struct host_country_t {
        const char* host = nullptr;
        std::uint32_t length = 0;
        std::uint32_t countryHash = 0;
        const char* abbreviation = nullptr;
        const char* name = nullptr;
        std::uint32_t abbreviationLength = 0;
        std::uint32_t nameLength = 0;

        void Release() {}
        std::uint32_t Hash(std::uint32_t seed) const { return memcrc(host, length, seed); }
        bool Equals(const host_country_t& o) const {
            return logvane::table::SameText(host, length, o.host, o.length);
        }
        int Compare(const host_country_t&) const { return 0; }
    };
    // Hosts beyond this many are looked up every time.
    static constexpr std::uint32_t kMaxRememberedHosts = 65536;
    // Dropped when the lookup comes or goes (the database is installed once per run).
    std::unique_ptr<CFastHashTable<host_country_t>> m_hostCountries;
    bool m_countryByDatabase = false;

    // One parameter of a remembered path's query: the parent key (the path up to the "?" and
    // the name) and the child key (the value, or "(empty)"), as pool texts with their hashes.
    struct query_pair_t {
        const char* parent;
        const char* child;
        std::uint32_t parentLength, parentHash;
        std::uint32_t childLength, childHash;
    };
    // What a requested path (as logged, case-folded) gives: its normalised URL, page type and
    // directory, with their pool copies and hashes. Logs request a few thousand paths millions
    // of times; each costs a normalisation, an extension search and three hashes.
    struct path_facts_t {
        const char* path = nullptr;
        std::uint32_t length = 0;
        std::uint32_t urlLength = 0;
        const char* url = nullptr;
        const char* directory = nullptr;  // null: the URL has no "/"
        std::uint32_t urlHash = 0;
        std::uint32_t directoryHash = 0;
        std::uint32_t directoryLength = 0;
        page_type_t type = page_type_t::PAGE;
        // The query-string pairs of the path, pool memory; none when pairs is null.
        const query_pair_t* pairs = nullptr;
        std::uint32_t pairCount = 0;

        void Release() {}
        std::uint32_t Hash(std::uint32_t seed) const { return memcrc(path, length, seed); }
        bool Equals(const path_facts_t& o) const {
            return logvane::table::SameText(path, length, o.path, o.length);
        }
        int Compare(const path_facts_t&) const { return 0; }
    };
    // Paths beyond this many are normalised every time.
    static constexpr std::uint32_t kMaxRememberedPaths = 65536;
    CFastHashTable<path_facts_t> m_paths{4096};
    path_facts_t m_path;           // the current hit's facts (pool texts or the buffers below)
    std::uint32_t m_pathHash = 0;  // Hash(0) of the raw path
    const char* m_pooledPath = nullptr;

    std::vector<char> m_url, m_referrer, m_cameFrom, m_scratch;
    std::string_view m_urlView;
    std::size_t m_referrerLength = 0;
    char m_rawReferrer[kHitTextSize] = {};  // before decoding, for search phrases
    std::size_t m_rawReferrerLength = 0;
    int m_pageType = 0;
};
