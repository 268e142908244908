#include "engine/hit/HitProcessor.h"

#include <algorithm>
#include <cstring>

#include "engine/filter/FilterEvaluation.h"
#include "engine/filter/WildcardMatch.h"
#include "engine/hit/QueryPairs.h"
#include "engine/hit/ReferrerParts.h"
#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/ident/SearchEngineIdentification.h"
#include "engine/run/CaseTables.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/format/Url.h"

namespace {

constexpr std::string_view kNoReferrer = "No Referrer";
constexpr std::string_view kEmptyValue = "(empty)";
constexpr std::string_view kUnknown = "Unknown";
constexpr std::size_t kScratchSize = 2048;

// Finds `key` (whose Hash(0) is `hash`) in `table`, inserting it on a miss with a pool copy
// of its text (`text` and `length` name the key fields). `pooled` carries the key's pool copy
// across tables keyed by the same text: used when set, and set from the entry found or made.
// Null when the pool refuses: the entry then holds an empty key and is not counted.
template <class Table, class T>
T* Upsert(Table& table, T key, std::uint32_t hash, const char* T::*text, std::uint32_t T::*length,
          const char** pooled = nullptr) {
    bool isNew = false;
    T* entry = table.Lookup(key, hash, isNew);
    if (!isNew) {
        if (pooled && !*pooled && entry->*length == key.*length) *pooled = entry->*text;
        return entry;
    }
    const char* copy = pooled && *pooled ? *pooled : PoolCopy(key.*text, key.*length);
    if (pooled) *pooled = copy;
    // A fresh slot holds a blank entry, except for what the table itself gave it (the child
    // table of a two-level entry).
    if constexpr (!requires { typename T::child_table; }) *entry = T{};
    if (!copy) {
        entry->*text = "";
        return nullptr;
    }
    entry->*text = copy;
    entry->*length = key.*length;
    return entry;
}

// A text with its Hash(0), computed once for the tables it is counted in, and its pool copy
// once one of them holds it.
struct hashed_text_t {
    std::string_view text;
    std::uint32_t hash = 0;
    const char* pooled = nullptr;

    hashed_text_t() = default;
    explicit hashed_text_t(std::string_view t) : text(t), hash(memcrc(t.data(), t.size(), 0)) {}

    // The text to look up with: the pool copy once known, which the entries sharing it
    // recognise by its address.
    const char* Key() const { return pooled ? pooled : text.data(); }
};

referinfo_t* CountText(CFastHashTable<referinfo_t>& table, hashed_text_t& text) {
    referinfo_t key;
    key.text = text.Key();
    key.length = static_cast<std::uint32_t>(text.text.size());
    referinfo_t* entry =
        Upsert(table, key, text.hash, &referinfo_t::text, &referinfo_t::length, &text.pooled);
    if (entry) ++entry->hits;
    return entry;
}

referinfo_t* CountText(CFastHashTable<referinfo_t>& table, std::string_view text) {
    hashed_text_t hashed(text);
    return CountText(table, hashed);
}

// Counts the pair (parent, child) in a two-level table.
void CountPair(CNestedTable& table, hashed_text_t& parent, hashed_text_t& child) {
    nested_info_t key;
    key.text = parent.Key();
    key.length = static_cast<std::uint32_t>(parent.text.size());
    nested_info_t* entry = Upsert(table, key, parent.hash, &nested_info_t::text,
                                  &nested_info_t::length, &parent.pooled);
    if (!entry) return;
    ++entry->hits;
    if (entry->children) CountText(*entry->children, child);
}

void CountPair(CNestedTable& table, std::string_view parent, std::string_view child) {
    hashed_text_t hashedParent(parent), hashedChild(child);
    CountPair(table, hashedParent, hashedChild);
}

resource_info_t* CountResource(CFastHashTable<resource_info_t>& table, hashed_text_t& url,
                               std::uint64_t bytes, bool incomplete) {
    resource_info_t key;
    key.url = url.Key();
    key.length = static_cast<std::uint32_t>(url.text.size());
    resource_info_t* entry =
        Upsert(table, key, url.hash, &resource_info_t::url, &resource_info_t::length, &url.pooled);
    if (!entry) return nullptr;
    ++entry->hits;
    entry->bytes += bytes;
    if (incomplete) ++entry->incomplete;
    return entry;
}

void CountDay(CTimeSeriesTable& table, std::int32_t time, std::uint64_t first,
              std::uint64_t second) {
    day_info_t key;
    key.key = time / 86400;
    bool isNew = false;
    day_info_t* entry = table.Lookup(key, isNew);
    if (isNew) *entry = key;
    entry->first += first;
    entry->second += second;
}

void CountSearchText(CFastHashTable<search_info_t>& table, std::string_view text,
                     std::string_view engine) {
    search_info_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    key.engine = engine.data();
    key.engineLength = static_cast<std::uint32_t>(engine.size());
    bool isNew = false;
    search_info_t* entry = table.Lookup(key, isNew);
    if (isNew) {
        const char* textCopy = PoolCopy(key.text, key.length);
        const char* engineCopy = PoolCopy(key.engine, key.engineLength);
        *entry = search_info_t{};
        entry->text = entry->engine = "";
        if (!textCopy || !engineCopy) return;
        *entry = key;
        entry->text = textCopy;
        entry->engine = engineCopy;
    }
    ++entry->hits;
}

bool FieldValid(const char* text, std::int32_t length) {
    return length >= 0 && length <= kHitTextMax &&
           static_cast<std::int32_t>(strnlen(text, kHitTextSize)) == length;
}

// ASCII A-Z to a-z, eight bytes at a time: every hit folds some 250 bytes of texts.
void Lower(char* text, std::int32_t length) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    std::int32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, text + i, sizeof v);
        const std::uint64_t low7 = v & ~kHigh;
        // The high bit of each byte: at least 'A', above 'Z', and not a byte above 0x7f.
        const std::uint64_t atLeastA = low7 + (0x80 - 'A') * kOnes;
        const std::uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;
        const std::uint64_t upper = (atLeastA ^ aboveZ) & ~v & kHigh;
        if (!upper) continue;
        v |= upper >> 2;
        std::memcpy(text + i, &v, sizeof v);
    }
    for (; i < length; ++i)
        text[i] = static_cast<char>(logvane::casefold::kLower[static_cast<unsigned char>(text[i])]);
}

}  // namespace

// What one hit hands from step to step to the visitor session. The URL and referrer carry
// their hashes and pool copies from the first table that counts them to the next.
struct CHitProcessor::per_hit_t {
    hashed_text_t url;
    hashed_text_t referrer;  // hashed only when a referrer table needs it
    bool referrerHashed = false;

    hashed_text_t& Referrer(std::string_view normalized) {
        if (!referrerHashed) {
            referrer = hashed_text_t(normalized);
            referrerHashed = true;
        }
        return referrer;
    }

    const char* pooledHost = nullptr;
    std::uint32_t hostHash = 0;
    path_item_t item;
    bool hasItem = false;
};

CHitProcessor::CHitProcessor(CRunTables& tables, CVisitorSessions* sessions, hit_options_t options,
                             const hit_classifiers_t& classifiers, int* cookieData)
    : m_tables(tables),
      m_sessions(sessions),
      m_options(std::move(options)),
      m_classifiers(classifiers),
      m_cookieData(cookieData),
      m_normalizer(m_options.hideQuestionMark, m_options.hidePound, m_options.defaultPage),
      m_siteDomain(m_options.siteDomain, false),
      m_url(m_normalizer.GetMaxLength() + 1),
      m_referrer(m_normalizer.GetMaxLength() + 1),
      m_cameFrom(m_normalizer.GetMaxLength() + 1),
      m_scratch(kScratchSize) {
    if (!m_options.caseSensitive) {
        std::string domain = m_options.siteDomain;
        Lower(domain.data(), static_cast<std::int32_t>(domain.size()));
        m_siteDomain = CPatternSearch(domain, false);
    }
    for (const auto& tracked : m_tables.trackedFiles) {
        m_trackedPatterns.push_back(m_normalizer.Normalized(tracked->name, true));
        m_trackedWildcards.push_back(HasWildcard(m_trackedPatterns.back()));
    }
}

bool CHitProcessor::Validate(const hit_t& hit) {
    return FieldValid(hit.cookie, hit.cookieLen) && FieldValid(hit.host, hit.hostLen) &&
           FieldValid(hit.path, hit.pathLen) && FieldValid(hit.referrer, hit.referrerLen) &&
           FieldValid(hit.agent, hit.agentLen) && FieldValid(hit.user, hit.userLen) &&
           FieldValid(hit.server, hit.serverLen);
}

void CHitProcessor::FoldCase(hit_t& hit) {
    Lower(hit.host, hit.hostLen);
    Lower(hit.path, hit.pathLen);
    Lower(hit.referrer, hit.referrerLen);
    Lower(hit.agent, hit.agentLen);
    Lower(hit.user, hit.userLen);
    Lower(hit.server, hit.serverLen);
}

void CHitProcessor::Normalize(hit_t& hit) {
    // Search phrases are decoded once, from the referrer as logged: decoding the whole
    // referrer first would turn an encoded "+" in a phrase into a blank.
    std::memcpy(m_rawReferrer, hit.referrer, static_cast<std::size_t>(hit.referrerLen) + 1);
    m_rawReferrerLength = static_cast<std::size_t>(hit.referrerLen);
    const std::size_t rawLength = m_rawReferrerLength;
    if (std::memchr(hit.referrer, '%', rawLength) || std::memchr(hit.referrer, '+', rawLength)) {
        int decoded = 0;
        UrlDecode(hit.referrer, &decoded, hit.referrer, hit.referrerLen);
        hit.referrerLen = decoded;
    }

    NormalizePath(hit);
    const bool success = hit.status >= 200 && hit.status <= 399;
    m_pageType = success ? static_cast<int>(m_path.type) : kUnsuccessfulPageType;
    m_referrerLength = m_normalizer.Normalize(hit.Referrer(), false, m_referrer.data());
}

void CHitProcessor::NormalizePath(const hit_t& hit) {
    path_facts_t key;
    key.path = hit.path;
    key.length = static_cast<std::uint32_t>(hit.pathLen);
    bool isNew = false;
    const bool remember = m_paths.GetCount() < kMaxRememberedPaths;
    path_facts_t* known = m_paths.Lookup(key, m_pathHash, isNew, remember);
    if (known && !isNew) {
        m_path = *known;
        m_pooledPath = known->path;
        m_urlView = std::string_view(m_path.url, m_path.urlLength);
        return;
    }
    const std::size_t length = m_normalizer.Normalize(hit.Path(), true, m_url.data());
    m_urlView = std::string_view(m_url.data(), length);
    m_path = key;
    m_pooledPath = nullptr;
    m_path.url = m_url.data();
    m_path.urlLength = static_cast<std::uint32_t>(length);
    m_path.urlHash = memcrc(m_path.url, length, 0);
    m_path.type = m_classifiers.fileTypes ? m_classifiers.fileTypes->DeterminePageType(m_urlView)
                                          : page_type_t::PAGE;
    const std::size_t slash = m_urlView.rfind('/');
    if (slash != std::string_view::npos) {
        m_path.directory = m_path.url;
        m_path.directoryLength = static_cast<std::uint32_t>(slash + 1);
        m_path.directoryHash = memcrc(m_path.directory, slash + 1, 0);
    }
    if (!known) return;
    // Remembered with pool copies, which the counting tables then share; an entry the pool
    // refuses keeps an empty key that no path matches.
    *known = path_facts_t{};
    known->path = "";
    const char* path = PoolCopy(hit.path, key.length);
    const bool same = m_urlView == hit.Path();
    const char* url = !path ? nullptr : same ? path : PoolCopy(m_path.url, length);
    const char* directory =
        !url || !m_path.directory ? nullptr : PoolCopy(m_path.url, m_path.directoryLength);
    if (!url || (m_path.directory && !directory)) return;
    m_path.path = path;
    m_path.url = url;
    m_path.directory = directory;
    RememberQueryPairs(m_path);
    m_pooledPath = path;
    m_urlView = std::string_view(url, length);
    *known = m_path;
}

// Splits the query of a path that is being remembered into pool copies of its pairs; a path
// whose copies the pool refuses keeps no pairs and is split at every hit.
void CHitProcessor::RememberQueryPairs(path_facts_t& facts) {
    const url_query_t query = SplitQuery(std::string_view(facts.path, facts.length));
    if (!query.hasQuery) return;
    std::uint32_t count = 0;
    ForEachQueryPair(query.query, [&count](std::string_view, std::string_view) {
        ++count;
        return false;
    });
    if (count == 0) return;
    auto* pairs = static_cast<query_pair_t*>(PoolAlloc(sizeof(query_pair_t) * count));
    if (!pairs) return;
    char* key = m_scratch.data();
    std::memcpy(key, query.beforeQuery.data(), query.beforeQuery.size());
    std::uint32_t made = 0;
    ForEachQueryPair(query.query, [&](std::string_view name, std::string_view value) {
        std::memcpy(key + query.beforeQuery.size(), name.data(), name.size());
        const std::size_t parentLength = query.beforeQuery.size() + name.size();
        const std::string_view child = value.empty() ? kEmptyValue : value;
        const char* parentCopy = PoolCopy(key, parentLength);
        const char* childCopy = PoolCopy(child.data(), child.size());
        if (!parentCopy || !childCopy) return true;
        pairs[made++] = {parentCopy,
                         childCopy,
                         static_cast<std::uint32_t>(parentLength),
                         memcrc(parentCopy, parentLength, 0),
                         static_cast<std::uint32_t>(child.size()),
                         memcrc(childCopy, child.size(), 0)};
        return false;
    });
    if (made < count) return;
    facts.pairs = pairs;
    facts.pairCount = count;
}

int CHitProcessor::ProcessHit(hit_t& hit) {
    if (!Validate(hit)) return 0;
    if (hit.cookiePresent && m_cookieData) *m_cookieData = 1;
    if (!m_options.caseSensitive) FoldCase(hit);
    // The remembered path and the host's slots load while the referrer is decoded.
    m_pathHash = memcrc(hit.path, static_cast<std::size_t>(hit.pathLen), 0);
    m_paths.Prefetch(m_pathHash);
    const std::uint32_t hostHash = memcrc(hit.host, static_cast<std::size_t>(hit.hostLen), 0);
    m_tables.hosts.Prefetch(hostHash);
    if (m_sessions) m_sessions->Prefetch(hit.cookiePresent ? hit.Cookie() : "", hostHash);
    Normalize(hit);
    const bool external = m_siteDomain.Find(m_referrer.data(), m_referrerLength) < 0;
    if (m_classifiers.filters && !m_classifiers.filters->IsEmpty() &&
        m_classifiers.filters->IsFilteredOut(hit, GetUrl()))
        return 1;

    const std::uint64_t bytes = hit.bytes > 0 ? static_cast<std::uint64_t>(hit.bytes) : 0;
    ++m_tables.counters.totalHits;
    per_hit_t state;
    state.url.text = GetUrl();
    state.url.hash = m_path.urlHash;
    if (m_urlView.data() != m_url.data()) state.url.pooled = m_path.url;
    state.hostHash = hostHash;
    Prefetch(external, state);
    CountQueryStrings(m_tables.queryStrings, hit.Path());
    CountTime(hit, bytes);
    CountStatus(hit, state);
    const bool success = m_pageType != kUnsuccessfulPageType;
    if (success) {
        CountResources(hit, bytes, state);
        CountTrackedFiles(hit, bytes, external, state);
    }
    if (hit.agentPresent) IdentifyAgent(hit);
    const bool navigation = state.hasItem && m_referrerLength >= 2;
    if (hit.referrerPresent && hit.status == 404)
        CountPair(m_tables.notFoundReferrers, state.url, state.Referrer(GetReferrer()));
    if (external)
        CountExternalReferrer(hit, navigation, state);
    else if (navigation)
        SetCameFrom(state);
    CountHostAndUser(hit, bytes, state);
    CountCountry(hit, state);

    if (m_sessions) {
        visit_t visit;
        visit.cookie = hit.cookiePresent ? hit.Cookie() : std::string_view();
        visit.host = hit.Host();
        visit.pooledHost = state.pooledHost;
        visit.hostHash = state.hostHash;
        visit.time = hit.time;
        visit.status = hit.status;
        visit.isPage = m_pageType == static_cast<int>(page_type_t::PAGE);
        visit.user = hit.User();
        visit.item = state.hasItem ? &state.item : nullptr;
        m_sessions->RecordVisit(visit);
    }
    return 1;
}

void CHitProcessor::Prefetch(bool external, per_hit_t& state) {
    if (m_pageType == kUnsuccessfulPageType) return;
    m_tables.resources.Prefetch(state.url.hash);
    switch (static_cast<page_type_t>(m_pageType)) {
        case page_type_t::PAGE:
            m_tables.pages.Prefetch(state.url.hash);
            break;
        case page_type_t::FILE:
            m_tables.files.Prefetch(state.url.hash);
            break;
        case page_type_t::IMAGE:
            m_tables.images.Prefetch(state.url.hash);
            break;
        default:
            m_tables.miscWeb.Prefetch(state.url.hash);
            break;
    }
    if (!external) return;
    m_tables.pageReferrers.Prefetch(state.url.hash);
    m_tables.referringPages.Prefetch(state.Referrer(GetReferrer()).hash);
}

void CHitProcessor::CountQueryStrings(CNestedTable& table, std::string_view path) {
    if (m_path.pairs) {
        for (std::uint32_t i = 0; i < m_path.pairCount; ++i) {
            const query_pair_t& pair = m_path.pairs[i];
            hashed_text_t parent, child;
            parent.text = std::string_view(pair.parent, pair.parentLength);
            parent.hash = pair.parentHash;
            parent.pooled = pair.parent;
            child.text = std::string_view(pair.child, pair.childLength);
            child.hash = pair.childHash;
            child.pooled = pair.child;
            CountPair(table, parent, child);
        }
        return;
    }
    const url_query_t query = SplitQuery(path);
    if (!query.hasQuery) return;
    char* key = m_scratch.data();
    std::memcpy(key, query.beforeQuery.data(), query.beforeQuery.size());
    ForEachQueryPair(query.query, [&](std::string_view name, std::string_view value) {
        std::memcpy(key + query.beforeQuery.size(), name.data(), name.size());
        CountPair(table, std::string_view(key, query.beforeQuery.size() + name.size()),
                  value.empty() ? kEmptyValue : value);
        return false;
    });
}

void CHitProcessor::CountTime(const hit_t& hit, std::uint64_t bytes) {
    run_counters_t& c = m_tables.counters;
    CountDay(m_tables.hitsPerDay, hit.time, 1, bytes);
    c.totalBytes += bytes;
    if (hit.hour >= 0 && hit.hour < 24) ++c.hitsPerHour[static_cast<std::size_t>(hit.hour)];
    if (hit.dayOfWeek >= 0 && hit.dayOfWeek < 7)
        ++c.hitsPerWeekday[static_cast<std::size_t>(hit.dayOfWeek)];
    if (hit.time > 0 && hit.time < c.earliestHit) c.earliestHit = hit.time;
    if (hit.time > c.latestHit) c.latestHit = hit.time;
}

void CHitProcessor::CountStatus(const hit_t& hit, per_hit_t& state) {
    run_counters_t& c = m_tables.counters;
    if (hit.status == 304) ++c.cachedHits;
    if (hit.status == 206) ++c.incompleteHits;
    if (hit.status == 200 || hit.status == 304) return;
    error_info_t key;
    key.url = hit.path;
    key.length = static_cast<std::uint32_t>(hit.pathLen);
    key.status = static_cast<std::uint32_t>(hit.status);
    const std::uint32_t hash = m_pathHash + key.status;
    if (hit.status == 404) ++c.notFoundHits;
    auto& table = hit.status == 404 ? m_tables.notFoundErrors : m_tables.otherErrors;
    const char* pooled = m_pooledPath;
    if (m_pooledPath) key.url = m_pooledPath;
    if (error_info_t* entry =
            Upsert(table, key, hash, &error_info_t::url, &error_info_t::length, &pooled)) {
        entry->status = key.status;
        ++entry->hits;
    }
    // The raw path is the URL unless normalisation changed it.
    if (!state.url.pooled && hit.Path() == state.url.text) state.url.pooled = pooled;
}

void CHitProcessor::CountResources(const hit_t& hit, std::uint64_t bytes, per_hit_t& state) {
    run_counters_t& c = m_tables.counters;
    const bool incomplete = hit.status == 206;
    hashed_text_t& url = state.url;
    CountResource(m_tables.resources, url, bytes, incomplete);
    if (m_path.directory) {
        hashed_text_t directory;
        directory.text = std::string_view(m_path.directory, m_path.directoryLength);
        directory.hash = m_path.directoryHash;
        if (m_urlView.data() != m_url.data()) directory.pooled = m_path.directory;
        CountResource(m_tables.directories, directory, bytes, false);
    }
    resource_info_t* entry = nullptr;
    switch (static_cast<page_type_t>(m_pageType)) {
        case page_type_t::PAGE:
            entry = CountResource(m_tables.pages, url, bytes, incomplete);
            CountDay(m_tables.pageViewsPerDay, hit.time, 1, bytes);
            ++c.pageHits;
            c.pageBytes += bytes;
            break;
        case page_type_t::FILE:
            entry = CountResource(m_tables.files, url, bytes, incomplete);
            ++c.fileHits;
            c.fileBytes += bytes;
            break;
        case page_type_t::IMAGE:
            CountResource(m_tables.images, url, bytes, incomplete);
            ++c.imageHits;
            c.imageBytes += bytes;
            ++c.imageAndMiscWebHits;
            break;
        case page_type_t::MISCWEB:
            CountResource(m_tables.miscWeb, url, bytes, incomplete);
            ++c.miscWebHits;
            c.miscWebBytes += bytes;
            ++c.imageAndMiscWebHits;
            break;
        default:
            break;
    }
    if (entry) {
        state.item.page = entry->url;
        state.item.pageLength = entry->length;
        state.item.pageType = static_cast<page_type_t>(m_pageType);
        state.hasItem = true;
    }
}

void CHitProcessor::CountTrackedFiles(const hit_t& hit, std::uint64_t bytes, bool external,
                                      per_hit_t& state) {
    const std::string_view url = GetUrl();
    for (std::size_t i = 0; i < m_trackedPatterns.size(); ++i) {
        if (!UrlPatternMatch(m_trackedPatterns[i], m_trackedWildcards[i], url)) continue;
        tracked_file_t& tracked = *m_tables.trackedFiles[i];
        CountDay(tracked.hitsPerDay, hit.time, 1, bytes);
        CountQueryStrings(tracked.queryStrings, hit.Path());
        if (external) {
            const std::string_view referrer = GetReferrer();
            if (referrer.empty() || referrer == "-")
                CountText(tracked.referrers, kNoReferrer);
            else
                CountText(tracked.referrers, state.Referrer(GetReferrer()));
        }
    }
}

void CHitProcessor::IdentifyAgent(const hit_t& hit) {
    agent_match_t key;
    key.text = hit.agent;
    key.length = static_cast<std::uint32_t>(hit.agentLen);
    bool isNew = false;
    const bool remember = m_agents.GetCount() < kMaxRememberedAgents;
    agent_match_t* known = m_agents.Lookup(key, isNew, remember);
    if (!known || isNew) {
        const auto find = [&hit](const CGenericIdentification* list) {
            return list ? list->FindCategory(hit.agent, static_cast<std::size_t>(hit.agentLen))
                        : -1;
        };
        key.spider = find(m_classifiers.spiders);
        key.browser = key.spider >= 0 ? -1 : find(m_classifiers.browsers);
        key.os = key.spider >= 0 ? -1 : find(m_classifiers.oses);
        if (known) {
            *known = key;
            known->text = PoolCopy(hit.agent, key.length);
            if (!known->text) {
                known->text = "";
                known->length = 0;
            }
        }
    } else {
        key = *known;
    }
    if (m_classifiers.spiders) m_classifiers.spiders->CountMatch(key.spider);
    if (key.spider >= 0) return;
    if (m_classifiers.browsers) m_classifiers.browsers->CountMatch(key.browser);
    if (m_classifiers.oses) m_classifiers.oses->CountMatch(key.os);
}

void CHitProcessor::CountExternalReferrer(const hit_t& hit, bool navigation, per_hit_t& state) {
    run_counters_t& c = m_tables.counters;
    const referrer_origin_t origin = ClassifyReferrerOrigin(hit.Referrer());
    if (origin != ORIGIN_UNCOUNTED) ++c.referrerOrigins[static_cast<std::size_t>(origin)];

    hashed_text_t& referrer = state.Referrer(GetReferrer());
    const bool none = referrer.text.empty() || referrer.text == "-";
    if (none) {
        CountText(m_tables.referringPages, kNoReferrer);
    } else if (referinfo_t* page = CountText(m_tables.referringPages, referrer)) {
        state.item.label = page->text;
        state.item.labelLength = page->length;
        state.item.labelType = page_type_t::REFERRER;
    }
    CountPair(m_tables.pageReferrers, state.url, referrer);
    const std::string_view domain = ReferringDomain(referrer.text);
    CountText(m_tables.referringDomains, domain.empty() ? kNoReferrer : domain);
    CountSearch(navigation, state);
}

void CHitProcessor::CountSearch(bool navigation, per_hit_t& state) {
    if (!m_classifiers.searchEngines) return;
    search_match_t match;
    if (!m_classifiers.searchEngines->Match(m_rawReferrer, m_rawReferrerLength, match) ||
        match.phrase.empty())
        return;
    if (navigation) {
        // engine search for "phrase", cut to the scratch buffer
        char* label = m_scratch.data();
        std::size_t n = 0;
        const auto put = [&](std::string_view part) {
            const std::size_t take = std::min(part.size(), kScratchSize - n);
            std::memcpy(label + n, part.data(), take);
            n += take;
        };
        put(match.engine);
        put(" search for \"");
        put(match.phrase);
        put("\"");
        if (const char* pooled = Intern({label, n})) {
            state.item.label = pooled;
            state.item.labelLength = static_cast<std::uint32_t>(n);
            state.item.labelType = page_type_t::REFERRER;
        }
    }
    CountSearchText(m_tables.searchEngines, match.engine, "-");
    CountSearchText(m_tables.searchPhrases, match.phrase, match.engine);
    // Keywords are counted across engines, so each is listed once.
    ForEachKeyword(match.phrase, [this](std::string_view word) {
        CountSearchText(m_tables.searchKeywords, word, "-");
    });
}

void CHitProcessor::SetCameFrom(per_hit_t& state) {
    const std::string_view referrer = GetReferrer();
    const std::int64_t at = m_siteDomain.Find(referrer);
    if (at < 0) return;
    std::string_view path =
        referrer.substr(static_cast<std::size_t>(at) + m_options.siteDomain.size());
    // A referrer that is the bare site address came from its home page.
    if (path.empty()) path = "/";
    const std::size_t length = m_normalizer.Normalize(path, true, m_cameFrom.data());
    const std::string_view cameFrom(m_cameFrom.data(), length);
    const page_type_t type = m_classifiers.fileTypes
                                 ? m_classifiers.fileTypes->DeterminePageType(cameFrom)
                                 : page_type_t::PAGE;
    if (type != page_type_t::PAGE && type != page_type_t::FILE) return;
    if (const char* pooled = Intern(cameFrom)) {
        state.item.label = pooled;
        state.item.labelLength = static_cast<std::uint32_t>(length);
        state.item.labelType = type;
    }
}

// The country of a host is looked up once: the address database costs a parse and a search
// per hit, and logs repeat their clients.
void CHitProcessor::CountCountry(const hit_t& hit, const per_hit_t& state) {
    if (!m_options.ip2Country || hit.Host() == "-") return;
    host_country_t cacheKey;
    cacheKey.host = hit.host;
    cacheKey.length = static_cast<std::uint32_t>(hit.hostLen);
    const bool byDatabase = m_classifiers.countryLookup && *m_classifiers.countryLookup;
    if (!m_hostCountries || byDatabase != m_countryByDatabase) {
        m_hostCountries = std::make_unique<CFastHashTable<host_country_t>>(4096);
        m_countryByDatabase = byDatabase;
    }
    bool cacheNew = false;
    const bool remember = state.pooledHost && m_hostCountries->GetCount() < kMaxRememberedHosts;
    host_country_t* cached = m_hostCountries->Lookup(cacheKey, state.hostHash, cacheNew, remember);
    country_info_t key;
    std::uint32_t hash = 0;
    if (cached && !cacheNew) {
        key.abbreviation = cached->abbreviation;
        key.abbreviationLength = cached->abbreviationLength;
        key.name = cached->name;
        key.nameLength = cached->nameLength;
        hash = cached->countryHash;
    } else {
        const country_result_t result = LookUpCountry(hit, byDatabase);
        key.abbreviation = result.abbreviation.data();
        key.abbreviationLength = static_cast<std::uint32_t>(result.abbreviation.size());
        key.name = result.name.data();
        key.nameLength = static_cast<std::uint32_t>(result.name.size());
        hash = key.Hash(0);
    }
    bool isNew = false;
    country_info_t* entry = m_tables.countries.Lookup(key, hash, isNew);
    if (isNew) {
        const char* abbreviation = PoolCopy(key.abbreviation, key.abbreviationLength);
        const char* name = PoolCopy(key.name, key.nameLength);
        *entry = country_info_t{};
        entry->abbreviation = entry->name = "";
        if (!abbreviation || !name) entry = nullptr;
        if (entry) {
            *entry = key;
            entry->abbreviation = abbreviation;
            entry->name = name;
        }
    }
    if (entry) ++entry->hits;
    if (!cached || !cacheNew) return;
    // Remembered with the table's pool copies (the database's texts may not outlive the call);
    // without them the slot keeps an empty key that no host matches.
    *cached = host_country_t{};
    cached->host = "";
    if (!entry) return;
    cached->host = state.pooledHost;
    cached->length = cacheKey.length;
    cached->abbreviation = entry->abbreviation;
    cached->abbreviationLength = entry->abbreviationLength;
    cached->name = entry->name;
    cached->nameLength = entry->nameLength;
    cached->countryHash = hash;
}

country_result_t CHitProcessor::LookUpCountry(const hit_t& hit, bool byDatabase) {
    country_result_t result{kUnknown, kUnknown};
    if (byDatabase) {
        (*m_classifiers.countryLookup)(hit.Host(), result);
    } else if (hit.hostIsName && m_classifiers.suffixes) {
        // Without an address database a resolved name still tells its country by its suffix;
        // the country report shows the suffix table's name for it.
        const std::string_view host = hit.Host();
        const std::size_t dot = host.rfind('.');
        const std::string_view suffix = dot == std::string_view::npos ? host : host.substr(dot + 1);
        char* lowered = m_scratch.data();
        std::memcpy(lowered, suffix.data(), suffix.size());
        Lower(lowered, static_cast<std::int32_t>(suffix.size()));
        const std::string_view key(lowered, suffix.size());
        if (!m_classifiers.suffixes->Lookup(key).empty()) result = {key, key};
    }
    return result;
}

void CHitProcessor::CountHostAndUser(const hit_t& hit, std::uint64_t bytes, per_hit_t& state) {
    host_info_t hostKey;
    hostKey.host = hit.host;
    hostKey.length = static_cast<std::uint32_t>(hit.hostLen);
    if (host_info_t* host = Upsert(m_tables.hosts, hostKey, state.hostHash, &host_info_t::host,
                                   &host_info_t::length, &state.pooledHost)) {
        ++host->hits;
        host->bytes += bytes;
    }
    if (hit.status < 200 || hit.status > 299) return;
    user_info_t userKey;
    userKey.name = hit.user;
    userKey.length = static_cast<std::uint32_t>(hit.userLen);
    if (user_info_t* user = Upsert(m_tables.users, userKey, userKey.Hash(0), &user_info_t::name,
                                   &user_info_t::length)) {
        ++user->hits;
        user->bytes += bytes;
    }
}

const char* CHitProcessor::Intern(std::string_view text) {
    referinfo_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    referinfo_t* entry =
        Upsert(m_interned, key, key.Hash(0), &referinfo_t::text, &referinfo_t::length);
    return entry ? entry->text : nullptr;
}
