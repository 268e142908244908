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

// Finds `key` in `table`, inserting it on a miss with a pool copy of its text (`text` and
// `length` name the key fields). `pooled` caches the copy across tables keyed by the same
// text. Null when the pool refuses: the entry then holds an empty key and is not counted.
template <class Table, class T>
T* Upsert(Table& table, T key, const char* T::*text, std::uint32_t T::*length,
          const char** pooled = nullptr) {
    bool isNew = false;
    T* entry = table.Lookup(key, isNew);
    if (!isNew) return entry;
    const char* copy = pooled && *pooled ? *pooled : PoolCopy(key.*text, key.*length);
    if (pooled) *pooled = copy;
    *entry = T{};
    if (!copy) {
        entry->*text = "";
        return nullptr;
    }
    entry->*text = copy;
    entry->*length = key.*length;
    return entry;
}

referinfo_t* CountText(CFastHashTable<referinfo_t>& table, std::string_view text,
                       const char** pooled = nullptr) {
    referinfo_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    referinfo_t* entry = Upsert(table, key, &referinfo_t::text, &referinfo_t::length, pooled);
    if (entry) ++entry->hits;
    return entry;
}

// Counts the pair (parent, child) in a two-level table.
void CountPair(CNestedTable& table, std::string_view parent, std::string_view child) {
    nested_info_t key;
    key.text = parent.data();
    key.length = static_cast<std::uint32_t>(parent.size());
    bool isNew = false;
    nested_info_t* entry = table.Lookup(key, isNew);
    if (isNew) {
        const char* copy = PoolCopy(parent.data(), parent.size());
        entry->text = copy ? copy : "";
        entry->length = copy ? key.length : 0;
        if (!copy) return;
    }
    ++entry->hits;
    if (entry->children) CountText(*entry->children, child);
}

resource_info_t* CountResource(CFastHashTable<resource_info_t>& table, std::string_view url,
                               std::uint64_t bytes, bool incomplete, const char** pooled) {
    resource_info_t key;
    key.url = url.data();
    key.length = static_cast<std::uint32_t>(url.size());
    resource_info_t* entry =
        Upsert(table, key, &resource_info_t::url, &resource_info_t::length, pooled);
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

void Lower(char* text, std::int32_t length) {
    for (std::int32_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(logvane::casefold::kLower[static_cast<unsigned char>(text[i])]);
}

}  // namespace

// What one hit hands from step to step to the visitor session.
struct CHitProcessor::per_hit_t {
    const char* pooledUrl = nullptr;  // the URL's pool copy, shared by the URL tables
    const char* pooledReferrer = nullptr;
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
    int decoded = 0;
    UrlDecode(hit.referrer, &decoded, hit.referrer, hit.referrerLen);
    hit.referrerLen = decoded;

    m_urlLength = m_normalizer.Normalize(hit.Path(), true, m_url.data());
    const page_type_t type = m_classifiers.fileTypes
                                 ? m_classifiers.fileTypes->DeterminePageType(GetUrl())
                                 : page_type_t::PAGE;
    const bool success = hit.status >= 200 && hit.status <= 399;
    m_pageType = success ? static_cast<int>(type) : kUnsuccessfulPageType;
    m_referrerLength = m_normalizer.Normalize(hit.Referrer(), false, m_referrer.data());
}

int CHitProcessor::ProcessHit(hit_t& hit) {
    if (!Validate(hit)) return 0;
    if (hit.cookiePresent && m_cookieData) *m_cookieData = 1;
    if (!m_options.caseSensitive) FoldCase(hit);
    Normalize(hit);
    const bool external = m_siteDomain.Find(m_referrer.data(), m_referrerLength) < 0;
    if (m_classifiers.filters && !m_classifiers.filters->IsEmpty() &&
        m_classifiers.filters->IsFilteredOut(hit, GetUrl()))
        return 1;

    const std::uint64_t bytes = hit.bytes > 0 ? static_cast<std::uint64_t>(hit.bytes) : 0;
    ++m_tables.counters.totalHits;
    CountQueryStrings(m_tables.queryStrings, hit.Path());
    CountTime(hit, bytes);
    CountStatus(hit);
    per_hit_t state;
    const bool success = m_pageType != kUnsuccessfulPageType;
    if (success) {
        CountResources(hit, bytes, state);
        CountTrackedFiles(hit, bytes, external);
    }
    if (hit.agentPresent) IdentifyAgent(hit);
    const bool navigation = state.hasItem && m_referrerLength >= 2;
    if (hit.referrerPresent && hit.status == 404)
        CountPair(m_tables.notFoundReferrers, GetUrl(), GetReferrer());
    if (external)
        CountExternalReferrer(hit, navigation, state);
    else if (navigation)
        SetCameFrom(state);
    CountCountry(hit);
    CountHostAndUser(hit, bytes);

    if (m_sessions) {
        visit_t visit;
        visit.cookie = hit.cookiePresent ? hit.Cookie() : std::string_view();
        visit.host = hit.Host();
        visit.time = hit.time;
        visit.status = hit.status;
        visit.isPage = m_pageType == static_cast<int>(page_type_t::PAGE);
        visit.user = hit.User();
        visit.item = state.hasItem ? &state.item : nullptr;
        m_sessions->RecordVisit(visit);
    }
    return 1;
}

void CHitProcessor::CountQueryStrings(CNestedTable& table, std::string_view path) {
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

void CHitProcessor::CountStatus(const hit_t& hit) {
    run_counters_t& c = m_tables.counters;
    if (hit.status == 304) ++c.cachedHits;
    if (hit.status == 206) ++c.incompleteHits;
    if (hit.status == 200 || hit.status == 304) return;
    error_info_t key;
    key.url = hit.path;
    key.length = static_cast<std::uint32_t>(hit.pathLen);
    key.status = static_cast<std::uint32_t>(hit.status);
    if (hit.status == 404) ++c.notFoundHits;
    auto& table = hit.status == 404 ? m_tables.notFoundErrors : m_tables.otherErrors;
    if (error_info_t* entry = Upsert(table, key, &error_info_t::url, &error_info_t::length)) {
        entry->status = key.status;
        ++entry->hits;
    }
}

void CHitProcessor::CountResources(const hit_t& hit, std::uint64_t bytes, per_hit_t& state) {
    run_counters_t& c = m_tables.counters;
    const bool incomplete = hit.status == 206;
    const std::string_view url = GetUrl();
    CountResource(m_tables.resources, url, bytes, incomplete, &state.pooledUrl);
    const std::size_t slash = url.rfind('/');
    if (slash != std::string_view::npos) {
        const char* pooledDirectory = nullptr;
        CountResource(m_tables.directories, url.substr(0, slash + 1), bytes, false,
                      &pooledDirectory);
    }
    resource_info_t* entry = nullptr;
    switch (static_cast<page_type_t>(m_pageType)) {
        case page_type_t::PAGE:
            entry = CountResource(m_tables.pages, url, bytes, incomplete, &state.pooledUrl);
            CountDay(m_tables.pageViewsPerDay, hit.time, 1, bytes);
            ++c.pageHits;
            c.pageBytes += bytes;
            break;
        case page_type_t::FILE:
            entry = CountResource(m_tables.files, url, bytes, incomplete, &state.pooledUrl);
            ++c.fileHits;
            c.fileBytes += bytes;
            break;
        case page_type_t::IMAGE:
            CountResource(m_tables.images, url, bytes, incomplete, &state.pooledUrl);
            ++c.imageHits;
            c.imageBytes += bytes;
            ++c.imageAndMiscWebHits;
            break;
        case page_type_t::MISCWEB:
            CountResource(m_tables.miscWeb, url, bytes, incomplete, &state.pooledUrl);
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

void CHitProcessor::CountTrackedFiles(const hit_t& hit, std::uint64_t bytes, bool external) {
    const std::string_view url = GetUrl();
    for (std::size_t i = 0; i < m_trackedPatterns.size(); ++i) {
        if (!UrlPatternMatch(m_trackedPatterns[i], m_trackedWildcards[i], url)) continue;
        tracked_file_t& tracked = *m_tables.trackedFiles[i];
        CountDay(tracked.hitsPerDay, hit.time, 1, bytes);
        CountQueryStrings(tracked.queryStrings, hit.Path());
        if (external) {
            const std::string_view referrer = GetReferrer();
            CountText(tracked.referrers,
                      referrer.empty() || referrer == "-" ? kNoReferrer : referrer);
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

    const std::string_view referrer = GetReferrer();
    const bool none = referrer.empty() || referrer == "-";
    referinfo_t* page = CountText(m_tables.referringPages, none ? kNoReferrer : referrer,
                                  none ? nullptr : &state.pooledReferrer);
    if (!none && page) {
        state.item.label = page->text;
        state.item.labelLength = page->length;
        state.item.labelType = page_type_t::REFERRER;
    }
    CountPair(m_tables.pageReferrers, GetUrl(), referrer);
    const std::string_view domain = ReferringDomain(referrer);
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

void CHitProcessor::CountCountry(const hit_t& hit) {
    if (!m_options.ip2Country || hit.Host() == "-") return;
    country_result_t result{kUnknown, kUnknown};
    if (m_classifiers.countryLookup && *m_classifiers.countryLookup) {
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
    country_info_t key;
    key.abbreviation = result.abbreviation.data();
    key.abbreviationLength = static_cast<std::uint32_t>(result.abbreviation.size());
    key.name = result.name.data();
    key.nameLength = static_cast<std::uint32_t>(result.name.size());
    bool isNew = false;
    country_info_t* entry = m_tables.countries.Lookup(key, isNew);
    if (isNew) {
        const char* abbreviation = PoolCopy(key.abbreviation, key.abbreviationLength);
        const char* name = PoolCopy(key.name, key.nameLength);
        *entry = country_info_t{};
        entry->abbreviation = entry->name = "";
        if (!abbreviation || !name) return;
        *entry = key;
        entry->abbreviation = abbreviation;
        entry->name = name;
    }
    ++entry->hits;
}

void CHitProcessor::CountHostAndUser(const hit_t& hit, std::uint64_t bytes) {
    host_info_t hostKey;
    hostKey.host = hit.host;
    hostKey.length = static_cast<std::uint32_t>(hit.hostLen);
    if (host_info_t* host =
            Upsert(m_tables.hosts, hostKey, &host_info_t::host, &host_info_t::length)) {
        ++host->hits;
        host->bytes += bytes;
    }
    if (hit.status < 200 || hit.status > 299) return;
    user_info_t userKey;
    userKey.name = hit.user;
    userKey.length = static_cast<std::uint32_t>(hit.userLen);
    if (user_info_t* user =
            Upsert(m_tables.users, userKey, &user_info_t::name, &user_info_t::length)) {
        ++user->hits;
        user->bytes += bytes;
    }
}

const char* CHitProcessor::Intern(std::string_view text) {
    referinfo_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    referinfo_t* entry = Upsert(m_interned, key, &referinfo_t::text, &referinfo_t::length);
    return entry ? entry->text : nullptr;
}
