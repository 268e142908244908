#include "engine/hit/HitProcessor.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/filter/FilterEvaluation.h"
#include "engine/filter/WildcardMatch.h"
#include "engine/hit/QueryPairs.h"
#include "engine/hit/ReferrerParts.h"
#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/ident/SearchEngineIdentification.h"
#include "engine/run/CaseTables.h"
#include "engine/table/Prefetch.h"
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

// The entry a memo still names in `table`; null without a memo or once the entries moved.
template <class Table, class T>
T* Recalled(Table& table, CEntryMemo<T>* memo) {
    return memo ? table.Recall(*memo) : nullptr;
}

template <class Table, class T>
void Keep(Table& table, CEntryMemo<T>* memo, T* entry) {
    if (memo && entry) *memo = table.Remember(entry);
}

// A remembered entry shares its pool key with the texts counted after it, as a lookup would.
inline void TakePooled(const char** pooled, const char* key) {
    if (pooled && !*pooled) *pooled = key;
}

referinfo_t* CountText(CFastHashTable<referinfo_t>& table, hashed_text_t& text,
                       CEntryMemo<referinfo_t>* memo = nullptr) {
    referinfo_t* entry = Recalled(table, memo);
    if (entry) {
        TakePooled(&text.pooled, entry->text);
    } else {
        referinfo_t key;
        key.text = text.Key();
        key.length = static_cast<std::uint32_t>(text.text.size());
        entry =
            Upsert(table, key, text.hash, &referinfo_t::text, &referinfo_t::length, &text.pooled);
        Keep(table, memo, entry);
    }
    if (entry) ++entry->hits;
    return entry;
}

referinfo_t* CountText(CFastHashTable<referinfo_t>& table, std::string_view text,
                       CEntryMemo<referinfo_t>* memo = nullptr) {
    if (referinfo_t* entry = Recalled(table, memo)) {
        ++entry->hits;
        return entry;
    }
    hashed_text_t hashed(text);
    return CountText(table, hashed, memo);
}

// Counts the pair (parent, child) in a two-level table, in the parent's entry when `entry` is
// one the table still holds, else in the one a lookup finds (kept in parentMemo).
void CountPairIn(CNestedTable& table, nested_info_t* entry, hashed_text_t& parent,
                 hashed_text_t& child, CEntryMemo<nested_info_t>* parentMemo,
                 CEntryMemo<referinfo_t>* childMemo = nullptr) {
    if (entry) {
        TakePooled(&parent.pooled, entry->text);
    } else {
        nested_info_t key;
        key.text = parent.Key();
        key.length = static_cast<std::uint32_t>(parent.text.size());
        entry = Upsert(table, key, parent.hash, &nested_info_t::text, &nested_info_t::length,
                       &parent.pooled);
        Keep(table, parentMemo, entry);
    }
    if (!entry) return;
    ++entry->hits;
    if (entry->children) CountText(*entry->children, child, childMemo);
}

// Counts the pair (parent, child) in a two-level table.
void CountPair(CNestedTable& table, hashed_text_t& parent, hashed_text_t& child,
               CEntryMemo<nested_info_t>* parentMemo = nullptr,
               CEntryMemo<referinfo_t>* childMemo = nullptr) {
    CountPairIn(table, Recalled(table, parentMemo), parent, child, parentMemo, childMemo);
}

void CountPair(CNestedTable& table, std::string_view parent, std::string_view child) {
    hashed_text_t hashedParent(parent), hashedChild(child);
    CountPair(table, hashedParent, hashedChild);
}

resource_info_t* CountResource(CFastHashTable<resource_info_t>& table, hashed_text_t& url,
                               std::uint64_t bytes, bool incomplete,
                               CEntryMemo<resource_info_t>* memo) {
    resource_info_t* entry = Recalled(table, memo);
    if (entry) {
        TakePooled(&url.pooled, entry->url);
    } else {
        resource_info_t key;
        key.url = url.Key();
        key.length = static_cast<std::uint32_t>(url.text.size());
        entry = Upsert(table, key, url.hash, &resource_info_t::url, &resource_info_t::length,
                       &url.pooled);
        Keep(table, memo, entry);
    }
    if (!entry) return nullptr;
    ++entry->hits;
    entry->bytes += bytes;
    if (incomplete) ++entry->incomplete;
    return entry;
}

void CountSearchText(CFastHashTable<search_info_t>& table, std::string_view text,
                     std::string_view engine, CEntryMemo<search_info_t>* memo = nullptr) {
    if (search_info_t* entry = Recalled(table, memo)) {
        ++entry->hits;
        return;
    }
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
    Keep(table, memo, entry);
    ++entry->hits;
}

// Each byte's lowest and highest bit, for the eight-bytes-at-a-time text steps below.
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh = 0x8080808080808080ULL;

// A field is its length's bytes, none of them NUL, then a NUL. Checked eight bytes at a time
// in place: seven library calls a hit cost the parsing thread a twentieth of its time.
bool FieldValid(const char* text, std::int32_t length) {
    if (length < 0 || length > kHitTextMax || text[length] != '\0') return false;
    const auto hasNul = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHigh) != 0; };
    std::int32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, text + i, sizeof v);
        if (hasNul(v)) return false;
    }
    for (; i < length; ++i)
        if (text[i] == '\0') return false;
    return true;
}

// ASCII A-Z to a-z, eight bytes at a time: every hit folds some 250 bytes of texts.
void Lower(char* text, std::int32_t length) {
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
    hashed_text_t referrer;
    const char* pooledHost = nullptr;
    std::uint32_t hostHash = 0;
    path_item_t item;
    bool hasItem = false;
};

CHitProcessor::CHitProcessor(CRunTables& tables, CVisitorSessions* sessions, hit_options_t options,
                             const hit_classifiers_t& classifiers, int* cookieData)
    : m_options(std::move(options)),
      m_classifiers(classifiers),
      m_normalizer(m_options.hideQuestionMark, m_options.hidePound, m_options.defaultPage),
      m_siteDomain(m_options.siteDomain, false),
      // A URL, a referrer and a search phrase of a hit whose facts are not remembered.
      m_bufferSize(2 * (m_normalizer.GetMaxLength() + 1) + kHitTextSize),
      m_cookieData(cookieData),
      m_url(m_normalizer.GetMaxLength() + 1),
      m_referrer(m_normalizer.GetMaxLength() + 1),
      m_cameFrom(m_normalizer.GetMaxLength() + 1),
      m_scratch(kScratchSize),
      m_tables(tables),
      m_sessions(sessions),
      m_countScratch(kScratchSize),
      m_ref(&m_noFacts) {
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

CHitProcessor::~CHitProcessor() { ReleasePreparation(m_inline); }

void CHitProcessor::ReleasePreparation(prepared_hit_t& prep) {
    delete[] prep.buffer;
    prep.buffer = nullptr;
}

char* CHitProcessor::PreparationBuffer(prepared_hit_t& prep) const {
    if (!prep.buffer) prep.buffer = new char[m_bufferSize];
    return prep.buffer;
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

int CHitProcessor::ProcessHit(hit_t& hit) {
    Prepare(hit, m_inline);
    return Count(hit, m_inline);
}

// Finds `text` in a facts cache, or makes a pool record for it (the text copied right after
// the record) when the cache may still grow. Returns the record found or made and sets isNew;
// null when the text is not remembered.
template <class Facts>
Facts* FindFacts(CFastHashTable<facts_key_t<Facts>>& cache, std::uint32_t limit, const char* text,
                 std::uint32_t length, std::uint32_t hash, bool& isNew) {
    facts_key_t<Facts> key;
    key.text = text;
    key.length = length;
    isNew = false;
    facts_key_t<Facts>* known = cache.Lookup(key, hash, isNew, cache.GetCount() < limit);
    if (!known) return nullptr;
    if (!isNew) return known->GetFacts();
    // A record the pool refuses leaves an empty key whose facts are worked out at every hit.
    *known = facts_key_t<Facts>{};
    void* memory = PoolAlloc(sizeof(Facts) + length + 1);
    if (!memory) {
        isNew = false;
        return nullptr;
    }
    auto* facts = new (memory) Facts{};
    char* copy = reinterpret_cast<char*>(facts + 1);
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    known->text = copy;
    known->length = length;
    return facts;
}

// The pool copy of a remembered record's text.
template <class Facts>
const char* FactsText(const Facts* facts) {
    return reinterpret_cast<const char*>(facts + 1);
}

void CHitProcessor::PrepareBatch(std::span<hit_t> hits, prepared_hit_t* preps) {
    // A remembered text costs two loads one after the other: its cache slot, then the record
    // the slot names. Hits are begun a few places ahead, and the records of the hits halfway
    // there start loading, so that each hit's loads overlap other hits' work.
    // A text whose first slot holds another key takes one step more: its second slot.
    constexpr std::size_t kSlotsAhead = 16;
    constexpr std::size_t kPeeksAhead[2] = {8, 4};
    const std::size_t n = hits.size();
    for (std::size_t i = 0; i < n + kSlotsAhead; ++i) {
        if (i < n) BeginPreparation(hits[i], preps[i]);
        for (const std::size_t ahead : kPeeksAhead) {
            const std::size_t at = i - (kSlotsAhead - ahead);
            if (i >= kSlotsAhead - ahead && at < n) PrefetchRemembered(hits[at], preps[at]);
        }
        if (i >= kSlotsAhead) FinishPreparation(hits[i - kSlotsAhead], preps[i - kSlotsAhead]);
    }
}

void CHitProcessor::Prepare(hit_t& hit, prepared_hit_t& prep) {
    BeginPreparation(hit, prep);
    FinishPreparation(hit, prep);
}

void CHitProcessor::BeginPreparation(hit_t& hit, prepared_hit_t& prep) {
    prep.ready = true;
    prep.valid = Validate(hit);
    prep.filtered = false;
    if (!prep.valid) return;
    if (hit.cookiePresent && m_cookieData) *m_cookieData = 1;
    if (!m_options.caseSensitive) FoldCase(hit);
    prep.pathHash = memcrc(hit.path, static_cast<std::size_t>(hit.pathLen), 0);
    prep.pathPeek = m_paths.StartPeek(prep.pathHash);
    prep.referrerHash = memcrc(hit.referrer, static_cast<std::size_t>(hit.referrerLen), 0);
    prep.referrerPeek = m_referrers.StartPeek(prep.referrerHash);
    prep.hostHash = memcrc(hit.host, static_cast<std::size_t>(hit.hostLen), 0);
    prep.hostPeek = m_hosts.StartPeek(prep.hostHash);
}

// The record a cache's slot of the text's hash names, once its look reaches it: the record
// and its text, which the key comparison reads.
template <class Facts>
static void PrefetchRecord(const CFastHashTable<facts_key_t<Facts>>& cache, table_peek_t& peek,
                           const char* text, std::int32_t length) {
    facts_key_t<Facts> key;
    key.text = text;
    key.length = static_cast<std::uint32_t>(length);
    cache.Peek(peek, key, [](const facts_key_t<Facts>& found) {
        if (!found.text) return;
        // The record and its text lie one after the other; comparing and reading them
        // touches every line from the record's first to the text's last. The comparison
        // reads a short text as 32 bytes (the rest masked), which may reach one line further.
        const auto* first = reinterpret_cast<const char*>(found.GetFacts());
        const char* end = found.text + std::max<std::uint32_t>(found.length, 32);
        logvane::table::PrefetchArray(first, static_cast<std::size_t>(end - first));
    });
}

void CHitProcessor::PrefetchRemembered(const hit_t& hit, prepared_hit_t& prep) const {
    if (!prep.valid) return;
    PrefetchRecord(m_paths, prep.pathPeek, hit.path, hit.pathLen);
    PrefetchRecord(m_referrers, prep.referrerPeek, hit.referrer, hit.referrerLen);
    PrefetchRecord(m_hosts, prep.hostPeek, hit.host, hit.hostLen);
}

void CHitProcessor::FinishPreparation(hit_t& hit, prepared_hit_t& prep) {
    if (!prep.valid) return;
    PrepareReferrer(hit, prep, prep.referrerHash);
    prep.search = prep.referrer->search;
    PreparePath(hit, prep);
    prep.pairs = prep.path->pairs;
    prep.pairCount = prep.path->pairCount;
    const bool success = hit.status >= 200 && hit.status <= 399;
    prep.pageType = success ? static_cast<int>(prep.path->type) : kUnsuccessfulPageType;
    if (m_classifiers.filters && !m_classifiers.filters->IsEmpty() &&
        m_classifiers.filters->IsFilteredOut(hit, {prep.path->url, prep.path->urlLength})) {
        prep.filtered = true;
        return;
    }
    PrepareHost(hit, prep);
    prep.agentKnown = hit.agentPresent != 0;
    if (prep.agentKnown) PrepareAgent(hit, prep);
}

// The tables of a hit's query and referrer. Counted with the hit's other counts: on the
// preparing thread they cost about twice the time, which left the counting thread waiting.
void CHitProcessor::CountReferrerSide(hit_t& hit, prepared_hit_t& prep) {
    path_facts_t& path = *prep.path;
    referrer_facts_t& ref = *prep.referrer;
    hashed_text_t url;
    url.text = std::string_view(path.url, path.urlLength);
    url.hash = path.urlHash;
    if (path.remembered) url.pooled = path.url;
    hashed_text_t referrer;
    referrer.text = std::string_view(ref.text, ref.length);
    referrer.hash = ref.hash;
    if (ref.remembered) referrer.pooled = ref.text;
    prep.referrerLabel = nullptr;
    prep.referrerLabelLength = 0;

    CountQueryStrings(m_tables.queryStrings, path, hit.Path(), true);
    if (prep.pageType != kUnsuccessfulPageType) CountTrackedFiles(hit, prep, referrer);
    if (hit.referrerPresent && hit.status == 404)
        CountPair(m_tables.notFoundReferrers, url, referrer);
    if (!ref.external) return;
    CountReferrerOrigin(ref);
    referrer_facts_t* memos = ref.remembered ? &ref : nullptr;
    if (ref.none) {
        CountText(m_tables.referringPages, kNoReferrer, &m_noReferrerPage);
    } else if (referinfo_t* page = CountText(m_tables.referringPages, referrer,
                                             memos ? &memos->referringPage : nullptr)) {
        prep.referrerLabel = page->text;
        prep.referrerLabelLength = page->length;
    }
    CEntryMemo<nested_info_t>* memo = path.remembered ? &path.memo.pageReferrers : nullptr;
    if (m_keptPairs)
        KeepPair(url, referrer, memo);
    else
        CountPair(m_tables.pageReferrers, url, referrer, memo);
}

// An external referrer's origin, domain and search.
void CHitProcessor::CountReferrerOrigin(referrer_facts_t& ref) {
    if (ref.origin != ORIGIN_UNCOUNTED)
        ++m_tables.counters.referrerOrigins[static_cast<std::size_t>(ref.origin)];
    if (!ref.domain) {
        CountText(m_tables.referringDomains, kNoReferrer, &m_noReferrerDomain);
    } else {
        hashed_text_t domain;
        domain.text = std::string_view(ref.domain, ref.domainLength);
        domain.hash = ref.domainHash;
        if (ref.remembered) domain.pooled = ref.domain;
        CountText(m_tables.referringDomains, domain,
                  ref.remembered ? &ref.referringDomain : nullptr);
    }
    CountSearch(ref);
}

void CHitProcessor::PrepareReferrer(hit_t& hit, prepared_hit_t& prep, std::uint32_t rawHash) {
    bool isNew = false;
    const std::uint32_t rawLength = static_cast<std::uint32_t>(hit.referrerLen);
    referrer_facts_t* known =
        FindFacts(m_referrers, m_options.rememberedTexts, hit.referrer, rawLength, rawHash, isNew);
    if (known && !isNew) {
        prep.referrer = known;
        if (known->decodedDiffers) {
            std::memcpy(hit.referrer, known->decoded, known->decodedLength + 1);
            hit.referrerLen = static_cast<std::int32_t>(known->decodedLength);
        }
        return;
    }
    referrer_facts_t worked;
    search_facts_t search;
    WorkOutReferrer(hit, worked, search);
    if (known) {
        *known = worked;
        known->remembered = true;
        if (PoolReferrerTexts(*known, FactsText(known), rawLength)) {
            prep.referrer = known;
            return;
        }
        // The pool refused a text: the record stays, unused, and the hit goes on without it.
        *known = referrer_facts_t{};
    }
    // Not remembered: the texts move to the preparation's buffer.
    referrer_facts_t& facts = prep.referrerScratch;
    facts = worked;
    char* buffer = PreparationBuffer(prep) + m_normalizer.GetMaxLength() + 1;
    std::memcpy(buffer, worked.text, worked.length + 1);
    facts.text = buffer;
    if (worked.domain) facts.domain = buffer + (worked.domain - worked.text);
    if (worked.search) {
        prep.searchScratch = search;
        char* phrase = buffer + m_normalizer.GetMaxLength() + 1;
        const std::size_t length = std::min<std::size_t>(search.phraseLength, kHitTextMax);
        std::memcpy(phrase, search.phrase, length);
        prep.searchScratch.phrase = phrase;
        prep.searchScratch.phraseLength = static_cast<std::uint32_t>(length);
        facts.search = &prep.searchScratch;
    }
    prep.referrer = &facts;
}

void CHitProcessor::WorkOutReferrer(hit_t& hit, referrer_facts_t& facts, search_facts_t& search) {
    // Search phrases are decoded once, from the referrer as logged: decoding the whole
    // referrer first would turn an encoded "+" in a phrase into a blank.
    std::memcpy(m_rawReferrer, hit.referrer, static_cast<std::size_t>(hit.referrerLen) + 1);
    m_rawReferrerLength = static_cast<std::size_t>(hit.referrerLen);
    const std::size_t rawLength = m_rawReferrerLength;
    if (std::memchr(hit.referrer, '%', rawLength) || std::memchr(hit.referrer, '+', rawLength)) {
        int decoded = 0;
        UrlDecode(hit.referrer, &decoded, hit.referrer, hit.referrerLen);
        hit.referrerLen = decoded;
        facts.decodedDiffers = true;
    }
    facts.decoded = hit.referrer;
    facts.decodedLength = static_cast<std::uint32_t>(hit.referrerLen);
    facts.origin = ClassifyReferrerOrigin(hit.Referrer());

    const std::size_t length = m_normalizer.Normalize(hit.Referrer(), false, m_referrer.data());
    const std::string_view referrer(m_referrer.data(), length);
    facts.text = m_referrer.data();
    facts.length = static_cast<std::uint32_t>(length);
    facts.hash = memcrc(facts.text, length, 0);
    facts.none = referrer.empty() || referrer == "-";
    const std::int64_t site = m_siteDomain.Find(referrer);
    facts.external = site < 0;
    const std::string_view domain = ReferringDomain(referrer);
    if (!domain.empty()) {
        facts.domain = domain.data();
        facts.domainLength = static_cast<std::uint32_t>(domain.size());
        facts.domainHash = memcrc(domain.data(), domain.size(), 0);
    }

    search_match_t match;
    if (m_classifiers.searchEngines &&
        m_classifiers.searchEngines->Match(m_rawReferrer, m_rawReferrerLength, match) &&
        !match.phrase.empty()) {
        facts.search = &search;
        search.engine = match.engine.data();
        search.engineLength = static_cast<std::uint32_t>(match.engine.size());
        search.phrase = match.phrase.data();
        search.phraseLength = static_cast<std::uint32_t>(match.phrase.size());
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
            search.label = pooled;
            search.labelLength = static_cast<std::uint32_t>(n);
            search.labelHash = memcrc(pooled, n, 0);
        }
    }

    if (site < 0) return;
    std::string_view path =
        referrer.substr(static_cast<std::size_t>(site) + m_options.siteDomain.size());
    // A referrer that is the bare site address came from its home page.
    if (path.empty()) path = "/";
    const std::size_t cameFromLength = m_normalizer.Normalize(path, true, m_cameFrom.data());
    const std::string_view cameFrom(m_cameFrom.data(), cameFromLength);
    const page_type_t type = m_classifiers.fileTypes
                                 ? m_classifiers.fileTypes->DeterminePageType(cameFrom)
                                 : page_type_t::PAGE;
    if (type != page_type_t::PAGE && type != page_type_t::FILE) return;
    if (const char* pooled = Intern(cameFrom)) {
        facts.cameFrom = pooled;
        facts.cameFromLength = static_cast<std::uint32_t>(cameFromLength);
        facts.cameFromHash = memcrc(pooled, cameFromLength, 0);
        facts.cameFromType = type;
    }
}

bool CHitProcessor::PoolReferrerTexts(referrer_facts_t& facts, const char* raw,
                                      std::uint32_t rawLength) {
    // Most referrers come out of decoding and normalising as logged: they share the key's copy.
    const auto logged = [raw, rawLength](const char* text, std::uint32_t length) -> const char* {
        return length == rawLength && std::memcmp(text, raw, length) == 0 ? raw : nullptr;
    };
    const auto copy = [&logged](const char* text, std::uint32_t length) -> const char* {
        const char* same = logged(text, length);
        return same ? same : PoolCopy(text, length);
    };
    facts.decoded = facts.decodedDiffers ? copy(facts.decoded, facts.decodedLength) : nullptr;
    if (facts.decodedDiffers && !facts.decoded) return false;
    // Referrers that normalise alike share one key, which the tables recognise by its
    // address rather than by comparing texts that lie apart: the first one's, its logged
    // text when normalising left that unchanged.
    facts.text = Intern({facts.text, facts.length}, logged(facts.text, facts.length));
    if (!facts.text) return false;
    if (facts.domain) {
        facts.domain = PoolCopy(facts.domain, facts.domainLength);
        if (!facts.domain) return false;
    }
    if (!facts.search) return true;
    auto* search = static_cast<search_facts_t*>(PoolAlloc(sizeof(search_facts_t)));
    if (!search) return false;
    new (search) search_facts_t(*facts.search);
    facts.search = search;
    search->engine = PoolCopy(search->engine, search->engineLength);
    search->phrase = PoolCopy(search->phrase, search->phraseLength);
    if (!search->engine || !search->phrase) return false;
    const std::string_view phrase(search->phrase, search->phraseLength);
    std::uint32_t count = 0;
    ForEachKeyword(phrase, [&count](std::string_view) { ++count; });
    if (count == 0) return true;
    auto* keywords = static_cast<keyword_memo_t*>(PoolAlloc(sizeof(keyword_memo_t) * count));
    if (!keywords) return false;
    std::uint32_t made = 0;
    // The keywords are views of the pooled phrase: none of them is a table key until counted.
    ForEachKeyword(phrase, [&](std::string_view word) {
        new (&keywords[made++])
            keyword_memo_t{word.data(), static_cast<std::uint32_t>(word.size()), {}};
    });
    search->keywords = keywords;
    search->keywordCount = count;
    return true;
}

void CHitProcessor::PreparePath(const hit_t& hit, prepared_hit_t& prep) {
    bool isNew = false;
    const std::uint32_t length = static_cast<std::uint32_t>(hit.pathLen);
    path_facts_t* known =
        FindFacts(m_paths, m_options.rememberedTexts, hit.path, length, prep.pathHash, isNew);
    if (known && !isNew) {
        prep.path = known;
        prep.pooledPath = known->remembered ? FactsText(known) : nullptr;
        return;
    }
    const std::size_t urlLength = m_normalizer.Normalize(hit.Path(), true, m_url.data());
    const std::string_view url(m_url.data(), urlLength);
    path_facts_t worked;
    worked.url = m_url.data();
    worked.urlLength = static_cast<std::uint32_t>(urlLength);
    worked.urlHash = memcrc(worked.url, urlLength, 0);
    worked.type = m_classifiers.fileTypes ? m_classifiers.fileTypes->DeterminePageType(url)
                                          : page_type_t::PAGE;
    const std::size_t slash = url.rfind('/');
    if (slash != std::string_view::npos) {
        worked.directoryLength = static_cast<std::uint32_t>(slash + 1);
        worked.directoryHash = memcrc(worked.url, slash + 1, 0);
    }
    prep.pooledPath = nullptr;
    if (known) {
        // Remembered with pool copies, which the counting tables then share.
        const char* path = FactsText(known);
        const bool same = url == hit.Path();
        const char* urlCopy = same ? path : PoolCopy(worked.url, urlLength);
        const char* directory = !urlCopy || slash == std::string_view::npos
                                    ? nullptr
                                    : PoolCopy(worked.url, worked.directoryLength);
        if (urlCopy && (slash == std::string_view::npos || directory)) {
            *known = worked;
            known->remembered = true;
            known->url = urlCopy;
            known->directory = directory;
            RememberQueryPairs(*known, {path, length});
            prep.path = known;
            prep.pooledPath = path;
            return;
        }
        // The pool refused: the record stays with an empty URL, unused.
        *known = path_facts_t{};
        known->url = "";
    }
    // Not remembered: the URL moves to the preparation's buffer.
    path_facts_t& facts = prep.pathScratch;
    facts = worked;
    char* buffer = PreparationBuffer(prep);
    std::memcpy(buffer, worked.url, urlLength + 1);
    facts.url = buffer;
    if (slash != std::string_view::npos) facts.directory = buffer;
    prep.path = &facts;
}

// Splits the query of a path that is being remembered into pool copies of its pairs; a path
// whose copies the pool refuses keeps no pairs and is split at every hit.
void CHitProcessor::RememberQueryPairs(path_facts_t& facts, std::string_view path) {
    const url_query_t query = SplitQuery(path);
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
        new (&pairs[made++]) query_pair_t{parentCopy,
                                          childCopy,
                                          static_cast<std::uint32_t>(parentLength),
                                          memcrc(parentCopy, parentLength, 0),
                                          static_cast<std::uint32_t>(child.size()),
                                          memcrc(childCopy, child.size(), 0),
                                          {},
                                          {}};
        return false;
    });
    if (made < count) return;
    facts.pairs = pairs;
    facts.pairCount = count;
}

void CHitProcessor::PrepareHost(const hit_t& hit, prepared_hit_t& prep) {
    bool isNew = false;
    host_facts_t* known = FindFacts(m_hosts, m_options.rememberedTexts, hit.host,
                                    static_cast<std::uint32_t>(hit.hostLen), prep.hostHash, isNew);
    prep.host = known;
    prep.pooledHost = known ? FactsText(known) : nullptr;
}

void CHitProcessor::PrepareAgent(const hit_t& hit, prepared_hit_t& prep) {
    agent_match_t key;
    key.text = hit.agent;
    key.length = static_cast<std::uint32_t>(hit.agentLen);
    bool isNew = false;
    const bool remember = m_agents.GetCount() < m_options.rememberedTexts;
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
    prep.spider = key.spider;
    prep.browser = key.browser;
    prep.os = key.os;
}

int CHitProcessor::Count(hit_t& hit, prepared_hit_t& prep) {
    prep.ready = false;
    if (!prep.valid) return 0;
    if (prep.filtered) return 1;
    m_path = prep.path;
    m_ref = prep.referrer;
    m_host = prep.host;
    m_pageType = prep.pageType;
    m_urlView = std::string_view(m_path->url, m_path->urlLength);

    const std::uint64_t bytes = hit.bytes > 0 ? static_cast<std::uint64_t>(hit.bytes) : 0;
    ++m_tables.counters.totalHits;
    per_hit_t state;
    state.url.text = m_urlView;
    state.url.hash = m_path->urlHash;
    if (m_path->remembered) state.url.pooled = m_path->url;
    state.referrer.text = GetReferrer();
    state.referrer.hash = m_ref->hash;
    if (m_ref->remembered) state.referrer.pooled = m_ref->text;
    state.hostHash = prep.hostHash;
    state.pooledHost = prep.pooledHost;
    if (m_sessions && !m_visitFeed)
        m_sessions->Prefetch(hit.cookiePresent ? hit.Cookie() : "", prep.hostHash,
                             m_host ? &m_host->visitor : nullptr);
    PrefetchEntries();
    CountTime(hit, bytes);
    CountStatus(hit, prep, state);
    const bool success = m_pageType != kUnsuccessfulPageType;
    if (success) CountResources(hit, bytes, state);
    if (prep.agentKnown) CountAgent(prep);
    // After the counts above, which give the entries it starts loading time to arrive.
    CountReferrerSide(hit, prep);
    SetLabel(prep, state);
    CountHostAndUser(hit, bytes, state);
    CountCountry(hit);

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
        visit.memo = m_host ? &m_host->visitor : nullptr;
        if (m_visitFeed)
            m_visitFeed->Keep(visit);
        else
            m_sessions->RecordVisit(visit);
    }
    return 1;
}

void CHitProcessor::DeferCounts(bool defer) {
    if (!defer) {
        FlushDeferred();
        m_visitFeed.reset();
        m_keptPairs.reset();
        m_pairTexts = {};
    } else if (!m_keptPairs) {
        if (m_sessions) m_visitFeed = std::make_unique<CVisitFeed>(*m_sessions);
        m_keptPairs = std::make_unique<kept_pair_t[]>(kKeptPairs);
        m_pairTexts.resize(kKeptPairs * 2 * (m_normalizer.GetMaxLength() + 1));
    }
}

void CHitProcessor::FlushDeferred() {
    FlushPairs();
    if (m_visitFeed) m_visitFeed->Finish();
}

void CHitProcessor::KeepPair(hashed_text_t url, hashed_text_t referrer,
                             CEntryMemo<nested_info_t>* memo) {
    if (m_keptPairCount == kKeptPairs) FlushPairs();
    const std::size_t room = m_normalizer.GetMaxLength() + 1;
    char* texts = m_pairTexts.data() + static_cast<std::size_t>(m_keptPairCount) * 2 * room;
    // Texts worked out per hit live in the hit's preparation, which the parsing thread reuses.
    const auto own = [&texts, room](hashed_text_t& text) {
        if (text.pooled) return;
        if (!text.text.empty()) std::memcpy(texts, text.text.data(), text.text.size());
        text.text = std::string_view(texts, text.text.size());
        texts += room;
    };
    own(url);
    own(referrer);
    // The memo is read now, while its record is loaded, rather than when the pair is counted.
    m_keptPairs[m_keptPairCount++] = {url, referrer, memo,
                                      memo ? *memo : CEntryMemo<nested_info_t>{}};
}

void CHitProcessor::PrefetchPair(const kept_pair_t& pair, int step) const {
    if (!pair.remembered.entry) return;
    if (step == 0) {
        // Only a hint: a page entry that moved since is not read.
        logvane::table::PrefetchObject(pair.remembered.entry);
        return;
    }
    const nested_info_t* page = m_tables.pageReferrers.Recall(pair.remembered);
    if (!page || !page->children) return;
    if (step == 1)
        page->children->PrefetchHead();
    else
        page->children->Prefetch(pair.referrer.hash);
}

void CHitProcessor::FlushPairs() {
    // A pair follows three pointers (the page's entry, its referrer table, that table's
    // slots): kept pair k takes each step a few pairs before it is counted.
    constexpr int kAhead = 24;
    constexpr int kSteps[3] = {24, 16, 8};
    const int n = m_keptPairCount;
    m_keptPairCount = 0;
    for (int k = 0; k < n + kAhead; ++k) {
        for (int step = 0; step < 3; ++step) {
            const int at = k + kSteps[step] - kAhead;
            if (at >= 0 && at < n) PrefetchPair(m_keptPairs[at], step);
        }
        if (k >= kAhead) {
            kept_pair_t& pair = m_keptPairs[k - kAhead];
            // A memo kept the same way since would name the same entry: entries stay put
            // until the table moves them all.
            CountPairIn(m_tables.pageReferrers, m_tables.pageReferrers.Recall(pair.remembered),
                        pair.url, pair.referrer, pair.memo);
        }
    }
}

// The entries a repeated hit is about to count in start loading together.
void CHitProcessor::PrefetchEntries() const {
    PrefetchEntriesOf(*m_path, *m_ref, m_host, m_pageType);
}

// A query pair's child table is named by its parent entry, which started loading two hits
// before.
void CHitProcessor::PrefetchQueryTables(const prepared_hit_t& prep) const {
    if (!prep.ready || !prep.valid || prep.filtered) return;
    for (std::uint32_t i = 0; i < prep.pairCount; ++i) {
        const nested_info_t* parent = m_tables.queryStrings.Recall(prep.pairs[i].parentEntry);
        if (parent && parent->children) parent->children->PrefetchHead();
    }
}

void CHitProcessor::PrefetchEntriesOf(const path_facts_t& path, const referrer_facts_t& ref,
                                      const host_facts_t* host, int pageType) {
    using logvane::table::PrefetchObject;
    if (host) PrefetchObject(host->entry.entry);
    if (path.remembered) {
        if (pageType != kUnsuccessfulPageType) {
            PrefetchObject(path.memo.resource.entry);
            PrefetchObject(path.memo.typed.entry);
        }
    }
    if (!ref.external || !ref.remembered) return;
    PrefetchObject(ref.referringPage.entry);
    if (ref.domain) PrefetchObject(ref.referringDomain.entry);
    if (const search_facts_t* search = ref.search) {
        PrefetchObject(search->engineEntry.entry);
        PrefetchObject(search->phraseEntry.entry);
        logvane::table::PrefetchLine(search->keywords);
    }
}

void CHitProcessor::PrefetchAhead(const hit_t& hit, const prepared_hit_t& prep,
                                  bool records) const {
    if (!prep.ready || !prep.valid || prep.filtered) return;
    if (records) {
        logvane::table::PrefetchArray(prep.path, 1);
        logvane::table::PrefetchArray(prep.referrer, 1);
        if (prep.search) logvane::table::PrefetchObject(prep.search);
        if (prep.pairs) logvane::table::PrefetchArray(prep.pairs, prep.pairCount);
        if (prep.host) logvane::table::PrefetchObject(prep.host);
        return;
    }
    PrefetchEntriesOf(*prep.path, *prep.referrer, prep.host, prep.pageType);
    // The preparation names the pairs: the path record's line that does may not be loaded.
    for (std::uint32_t i = 0; i < prep.pairCount; ++i) {
        logvane::table::PrefetchObject(prep.pairs[i].parentEntry.entry);
        logvane::table::PrefetchObject(prep.pairs[i].childEntry.entry);
    }
    if (m_sessions && !m_visitFeed)
        m_sessions->Prefetch(hit.cookiePresent ? hit.Cookie() : "", prep.hostHash,
                             prep.host ? &prep.host->visitor : nullptr);
}

void CHitProcessor::CountQueryStrings(CNestedTable& table, path_facts_t& facts,
                                      std::string_view path, bool memos) {
    if (facts.pairs) {
        for (std::uint32_t i = 0; i < facts.pairCount; ++i) {
            query_pair_t& pair = facts.pairs[i];
            hashed_text_t parent, child;
            parent.text = std::string_view(pair.parent, pair.parentLength);
            parent.hash = pair.parentHash;
            parent.pooled = pair.parent;
            child.text = std::string_view(pair.child, pair.childLength);
            child.hash = pair.childHash;
            child.pooled = pair.child;
            CountPair(table, parent, child, memos ? &pair.parentEntry : nullptr,
                      memos ? &pair.childEntry : nullptr);
        }
        return;
    }
    const url_query_t query = SplitQuery(path);
    if (!query.hasQuery) return;
    char* key = m_countScratch.data();
    std::memcpy(key, query.beforeQuery.data(), query.beforeQuery.size());
    ForEachQueryPair(query.query, [&](std::string_view name, std::string_view value) {
        std::memcpy(key + query.beforeQuery.size(), name.data(), name.size());
        CountPair(table, std::string_view(key, query.beforeQuery.size() + name.size()),
                  value.empty() ? kEmptyValue : value);
        return false;
    });
}

void CHitProcessor::CountDay(CTimeSeriesTable& table, day_memo_t& memo, std::int32_t time,
                             std::uint64_t first, std::uint64_t second) {
    const std::int32_t day = time / 86400;
    day_info_t* entry = memo.day == day ? table.Recall(memo.entry) : nullptr;
    if (!entry) {
        day_info_t key;
        key.key = day;
        bool isNew = false;
        entry = table.Lookup(key, isNew);
        if (isNew) *entry = key;
        memo.day = day;
        memo.entry = table.Remember(entry);
    }
    entry->first += first;
    entry->second += second;
}

void CHitProcessor::CountTime(const hit_t& hit, std::uint64_t bytes) {
    run_counters_t& c = m_tables.counters;
    CountDay(m_tables.hitsPerDay, m_hitDay, hit.time, 1, bytes);
    c.totalBytes += bytes;
    if (hit.hour >= 0 && hit.hour < 24) ++c.hitsPerHour[static_cast<std::size_t>(hit.hour)];
    if (hit.dayOfWeek >= 0 && hit.dayOfWeek < 7)
        ++c.hitsPerWeekday[static_cast<std::size_t>(hit.dayOfWeek)];
    if (hit.time > 0 && hit.time < c.earliestHit) c.earliestHit = hit.time;
    if (hit.time > c.latestHit) c.latestHit = hit.time;
}

void CHitProcessor::CountStatus(const hit_t& hit, const prepared_hit_t& prep, per_hit_t& state) {
    run_counters_t& c = m_tables.counters;
    if (hit.status == 304) ++c.cachedHits;
    if (hit.status == 206) ++c.incompleteHits;
    if (hit.status == 200 || hit.status == 304) return;
    const std::uint32_t status = static_cast<std::uint32_t>(hit.status);
    const bool notFound = hit.status == 404;
    if (notFound) ++c.notFoundHits;
    auto& table = notFound ? m_tables.notFoundErrors : m_tables.otherErrors;
    path_memo_t* memos = m_path->remembered ? &m_path->memo : nullptr;
    CEntryMemo<error_info_t>* memo = nullptr;
    if (memos && notFound) memo = &memos->notFound;
    if (memos && !notFound && memos->otherErrorStatus == status) memo = &memos->otherError;
    const char* pooled = prep.pooledPath;
    error_info_t* entry = Recalled(table, memo);
    if (entry) {
        pooled = entry->url;
    } else {
        error_info_t key;
        key.url = prep.pooledPath ? prep.pooledPath : hit.path;
        key.length = static_cast<std::uint32_t>(hit.pathLen);
        key.status = status;
        entry = Upsert(table, key, prep.pathHash + status, &error_info_t::url,
                       &error_info_t::length, &pooled);
        if (entry) entry->status = status;
        if (memos && entry) {
            if (notFound) {
                memos->notFound = table.Remember(entry);
            } else {
                memos->otherError = table.Remember(entry);
                memos->otherErrorStatus = status;
            }
        }
    }
    if (entry) ++entry->hits;
    // The raw path is the URL unless normalisation changed it.
    if (!state.url.pooled && hit.Path() == state.url.text) state.url.pooled = pooled;
}

void CHitProcessor::CountResources(const hit_t& hit, std::uint64_t bytes, per_hit_t& state) {
    run_counters_t& c = m_tables.counters;
    const bool incomplete = hit.status == 206;
    hashed_text_t& url = state.url;
    path_memo_t* memos = m_path->remembered ? &m_path->memo : nullptr;
    CountResource(m_tables.resources, url, bytes, incomplete, memos ? &memos->resource : nullptr);
    if (m_path->directory) {
        hashed_text_t directory;
        directory.text = std::string_view(m_path->directory, m_path->directoryLength);
        directory.hash = m_path->directoryHash;
        if (m_path->remembered) directory.pooled = m_path->directory;
        CountResource(m_tables.directories, directory, bytes, false,
                      memos ? &memos->directory : nullptr);
    }
    CEntryMemo<resource_info_t>* typed = memos ? &memos->typed : nullptr;
    resource_info_t* entry = nullptr;
    switch (static_cast<page_type_t>(m_pageType)) {
        case page_type_t::PAGE:
            entry = CountResource(m_tables.pages, url, bytes, incomplete, typed);
            CountDay(m_tables.pageViewsPerDay, m_pageViewDay, hit.time, 1, bytes);
            ++c.pageHits;
            c.pageBytes += bytes;
            break;
        case page_type_t::FILE:
            entry = CountResource(m_tables.files, url, bytes, incomplete, typed);
            ++c.fileHits;
            c.fileBytes += bytes;
            break;
        case page_type_t::IMAGE:
            CountResource(m_tables.images, url, bytes, incomplete, typed);
            ++c.imageHits;
            c.imageBytes += bytes;
            ++c.imageAndMiscWebHits;
            break;
        case page_type_t::MISCWEB:
            CountResource(m_tables.miscWeb, url, bytes, incomplete, typed);
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
        state.item.pageHash = m_path->urlHash;
        state.item.pageType = static_cast<page_type_t>(m_pageType);
        state.hasItem = true;
    }
}

void CHitProcessor::CountTrackedFiles(const hit_t& hit, prepared_hit_t& prep,
                                      hashed_text_t& referrer) {
    const std::string_view url(prep.path->url, prep.path->urlLength);
    const std::uint64_t bytes = hit.bytes > 0 ? static_cast<std::uint64_t>(hit.bytes) : 0;
    for (std::size_t i = 0; i < m_trackedPatterns.size(); ++i) {
        if (!UrlPatternMatch(m_trackedPatterns[i], m_trackedWildcards[i], url)) continue;
        tracked_file_t& tracked = *m_tables.trackedFiles[i];
        day_memo_t once;
        CountDay(tracked.hitsPerDay, once, hit.time, 1, bytes);
        CountQueryStrings(tracked.queryStrings, *prep.path, hit.Path(), false);
        if (prep.referrer->external) {
            if (prep.referrer->none)
                CountText(tracked.referrers, kNoReferrer);
            else
                CountText(tracked.referrers, referrer);
        }
    }
}

void CHitProcessor::CountAgent(const prepared_hit_t& prep) {
    if (m_classifiers.spiders) m_classifiers.spiders->CountMatch(prep.spider);
    if (prep.spider >= 0) return;
    if (m_classifiers.browsers) m_classifiers.browsers->CountMatch(prep.browser);
    if (m_classifiers.oses) m_classifiers.oses->CountMatch(prep.os);
}

void CHitProcessor::CountSearch(referrer_facts_t& ref) {
    if (!m_classifiers.searchEngines || !ref.search) return;
    search_facts_t& search = *ref.search;
    search_facts_t* memos = ref.remembered ? &search : nullptr;
    const std::string_view engine(search.engine, search.engineLength);
    const std::string_view phrase(search.phrase, search.phraseLength);
    CountSearchText(m_tables.searchEngines, engine, "-", memos ? &memos->engineEntry : nullptr);
    CountSearchText(m_tables.searchPhrases, phrase, engine, memos ? &memos->phraseEntry : nullptr);
    // Keywords are counted across engines, so each is listed once.
    if (memos && memos->keywords) {
        for (std::uint32_t i = 0; i < memos->keywordCount; ++i) {
            keyword_memo_t& word = memos->keywords[i];
            CountSearchText(m_tables.searchKeywords, {word.text, word.length}, "-", &word.entry);
        }
        return;
    }
    ForEachKeyword(phrase, [this](std::string_view word) {
        CountSearchText(m_tables.searchKeywords, word, "-");
    });
}

// What led to a page or file hit, for its visitor's path: the external referrer (or, for a
// navigation from a search engine, the search), or the site page an internal referrer names.
void CHitProcessor::SetLabel(const prepared_hit_t& prep, per_hit_t& state) {
    const bool navigation = state.hasItem && m_ref->length >= 2;
    if (m_ref->external) {
        if (prep.referrerLabel) {
            state.item.label = prep.referrerLabel;
            state.item.labelLength = prep.referrerLabelLength;
            state.item.labelType = page_type_t::REFERRER;
            state.item.labelHash = m_ref->hash;
        }
        if (navigation && m_classifiers.searchEngines && m_ref->search && m_ref->search->label) {
            state.item.label = m_ref->search->label;
            state.item.labelLength = m_ref->search->labelLength;
            state.item.labelHash = m_ref->search->labelHash;
            state.item.labelType = page_type_t::REFERRER;
        }
    } else if (navigation && m_ref->cameFrom) {
        state.item.label = m_ref->cameFrom;
        state.item.labelLength = m_ref->cameFromLength;
        state.item.labelHash = m_ref->cameFromHash;
        state.item.labelType = m_ref->cameFromType;
    }
}

// The country of a host is looked up once: the address database costs a parse and a search
// per hit, and logs repeat their clients. A remembered country whose table moved its entries
// is looked up again.
void CHitProcessor::CountCountry(const hit_t& hit) {
    if (!m_options.ip2Country || hit.Host() == "-") return;
    const bool byDatabase = m_classifiers.countryLookup && *m_classifiers.countryLookup;
    // A country found the other way (the database came or went) does not count.
    country_info_t* entry = m_host && m_host->countryByDatabase == byDatabase
                                ? m_tables.countries.Recall(m_host->country)
                                : nullptr;
    if (!entry) {
        const country_result_t result = LookUpCountry(hit, byDatabase);
        country_info_t key;
        key.abbreviation = result.abbreviation.data();
        key.abbreviationLength = static_cast<std::uint32_t>(result.abbreviation.size());
        key.name = result.name.data();
        key.nameLength = static_cast<std::uint32_t>(result.name.size());
        bool isNew = false;
        entry = m_tables.countries.Lookup(key, key.Hash(0), isNew);
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
        if (entry && m_host) {
            m_host->countryByDatabase = byDatabase;
            m_host->country = m_tables.countries.Remember(entry);
        }
    }
    if (entry) ++entry->hits;
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
        char* lowered = m_countScratch.data();
        std::memcpy(lowered, suffix.data(), suffix.size());
        Lower(lowered, static_cast<std::int32_t>(suffix.size()));
        const std::string_view key(lowered, suffix.size());
        if (!m_classifiers.suffixes->Lookup(key).empty()) result = {key, key};
    }
    return result;
}

void CHitProcessor::CountHostAndUser(const hit_t& hit, std::uint64_t bytes, per_hit_t& state) {
    host_info_t* host = m_host ? m_tables.hosts.Recall(m_host->entry) : nullptr;
    if (!host) {
        host_info_t hostKey;
        hostKey.host = hit.host;
        hostKey.length = static_cast<std::uint32_t>(hit.hostLen);
        host = Upsert(m_tables.hosts, hostKey, state.hostHash, &host_info_t::host,
                      &host_info_t::length, &state.pooledHost);
        if (m_host) Keep(m_tables.hosts, &m_host->entry, host);
    }
    if (host) {
        ++host->hits;
        host->bytes += bytes;
    }
    if (hit.status < 200 || hit.status > 299) return;
    // Most hits carry no user ("-") or the previous hit's.
    user_info_t* user = m_tables.users.Recall(m_lastUser);
    if (!user || !logvane::table::SameText(user->name, user->length, hit.user,
                                           static_cast<std::uint32_t>(hit.userLen))) {
        user_info_t userKey;
        userKey.name = hit.user;
        userKey.length = static_cast<std::uint32_t>(hit.userLen);
        user = Upsert(m_tables.users, userKey, userKey.Hash(0), &user_info_t::name,
                      &user_info_t::length);
        m_lastUser = m_tables.users.Remember(user);
    }
    if (user) {
        ++user->hits;
        user->bytes += bytes;
    }
}

const char* CHitProcessor::Intern(std::string_view text, const char* copy) {
    referinfo_t key;
    key.text = text.data();
    key.length = static_cast<std::uint32_t>(text.size());
    referinfo_t* entry = Upsert(m_interned, key, key.Hash(0), &referinfo_t::text,
                                &referinfo_t::length, copy ? &copy : nullptr);
    return entry ? entry->text : nullptr;
}
