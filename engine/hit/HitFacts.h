#pragma once

#include <cstdint>
#include <string_view>

#include "engine/hit/ReferrerParts.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/NestedTable.h"
#include "engine/table/TableEntries.h"
#include "store/hyperlink/PageType.h"

// What hit processing learns once per distinct text of a log and then reuses for every hit that
// repeats it: logs repeat a few thousand paths, referrers and clients millions of times. Each
// record also remembers the table entries its text was counted in (memos that the tables
// refuse once they moved their entries), so a repeated hit adds to its counters without
// hashing, probing and comparing keys in a dozen tables.
//
// Records are pool memory with stable addresses; the caches that find them only hold pointers.
// Texts are pool copies, which the counting tables share as their keys.

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

// One parameter of a path's query: the parent key (the path up to the "?" and the name) and the
// child key (the value, or "(empty)"), with their hashes and the entries of the query-strings
// table they were counted in.
struct query_pair_t {
    const char* parent;
    const char* child;
    std::uint32_t parentLength, parentHash;
    std::uint32_t childLength, childHash;
    CEntryMemo<nested_info_t> parentEntry;
    CEntryMemo<referinfo_t> childEntry;
};

// The entries a remembered path was counted in.
struct path_memo_t {
    CEntryMemo<resource_info_t> resource;
    CEntryMemo<resource_info_t> directory;
    CEntryMemo<resource_info_t> typed;  // pages, files, images or other web content by its type
    CEntryMemo<error_info_t> notFound;
    CEntryMemo<error_info_t> otherError;
    std::uint32_t otherErrorStatus = 0;
    CEntryMemo<nested_info_t> pageReferrers;  // the URL as a parent of page -> referrers
};

// What a requested path (as logged, case-folded) gives: its normalised URL, page type and
// directory, with their hashes, and its query pairs.
struct path_facts_t {
    const char* url = nullptr;
    std::uint32_t urlLength = 0;
    std::uint32_t urlHash = 0;
    const char* directory = nullptr;  // null: the URL has no "/"
    std::uint32_t directoryLength = 0;
    std::uint32_t directoryHash = 0;
    page_type_t type = page_type_t::PAGE;
    bool remembered = false;  // pool record: texts are pool copies and the memos are kept
    // The query-string pairs of the path, pool memory; none when pairs is null.
    query_pair_t* pairs = nullptr;
    std::uint32_t pairCount = 0;
    path_memo_t memo;
};

// A keyword of a remembered search phrase and its entry in the keywords table.
struct keyword_memo_t {
    const char* text;
    std::uint32_t length;
    CEntryMemo<search_info_t> entry;
};

// What a search engine's referrer with a phrase gives.
struct search_facts_t {
    const char* engine = nullptr;
    const char* phrase = nullptr;
    // engine search for "phrase": the hyperlink label of a page reached by the search; null
    // when the pool refused it.
    const char* label = nullptr;
    keyword_memo_t* keywords = nullptr;  // pool memory; null: split the phrase at every hit
    CEntryMemo<search_info_t> engineEntry;
    CEntryMemo<search_info_t> phraseEntry;
    std::uint32_t engineLength = 0;
    std::uint32_t phraseLength = 0;
    std::uint32_t labelLength = 0;
    std::uint32_t labelHash = 0;
    std::uint32_t keywordCount = 0;
};

// What a referrer (as logged, case-folded, not yet decoded) gives.
struct referrer_facts_t {
    // The referrer as hit processing decodes it into the record, when that differs from the
    // logged one (which holds "%" or "+").
    const char* decoded = nullptr;
    // Normalised: the text every referrer table counts.
    const char* text = nullptr;
    // The referring domain; null: "No Referrer".
    const char* domain = nullptr;
    // The site page an internal referrer names, with its type (a page or a file), when any.
    const char* cameFrom = nullptr;
    search_facts_t* search = nullptr;  // null: not a search
    CEntryMemo<referinfo_t> referringPage;
    CEntryMemo<referinfo_t> referringDomain;
    std::uint32_t decodedLength = 0;
    std::uint32_t length = 0;
    std::uint32_t hash = 0;
    std::uint32_t domainLength = 0;
    std::uint32_t domainHash = 0;
    std::uint32_t cameFromLength = 0;
    std::uint32_t cameFromHash = 0;
    page_type_t cameFromType = page_type_t::PAGE;
    referrer_origin_t origin = ORIGIN_UNCOUNTED;
    bool remembered = false;  // pool record: texts are pool copies and the memos are kept
    bool decodedDiffers = false;
    bool none = false;      // empty or "-"
    bool external = false;  // does not hold the site's domain
};

// What a client host gives: its entry in the hosts table, its country's and its visitor. Only
// remembered hosts have one.
struct host_facts_t {
    CEntryMemo<host_info_t> entry;
    CEntryMemo<country_info_t> country;
    visitor_memo_t visitor;          // the host's visitor, for hits without an identifying cookie
    bool countryByDatabase = false;  // how the remembered country was found
};

// A cache entry: a text as logged, whose pool copy lies right after the record it gives, so
// that comparing it loads the record too. A probe key holds the text looked up.
template <class Facts>
struct facts_key_t {
    const char* text = nullptr;  // null: the pool refused the record
    std::uint32_t length = 0;

    // The record of a cache entry; null for one the pool refused.
    Facts* GetFacts() const {
        return text ? const_cast<Facts*>(reinterpret_cast<const Facts*>(text)) - 1 : nullptr;
    }
    void Release() {}
    std::uint32_t Hash(std::uint32_t seed) const { return memcrc(text, length, seed); }
    bool Equals(const facts_key_t& o) const {
        return logvane::table::SameText(text, length, o.text, o.length);
    }
    int Compare(const facts_key_t&) const { return 0; }
};

// What preparing a hit found out for counting it: the facts of its texts and the verdicts of
// validation, filters and the agent lists. Prepared on the parsing thread, counted on the
// counting thread; facts that are not remembered live in the preparation's own buffers.
struct alignas(64) prepared_hit_t {
    bool ready = false;  // prepared for the record now in its batch slot
    bool valid = false;  // the record is well-formed
    bool filtered = false;
    bool agentKnown = false;
    std::int32_t spider = -1, browser = -1, os = -1;
    int pageType = 0;
    std::uint32_t pathHash = 0;      // of the path as logged
    std::uint32_t referrerHash = 0;  // of the referrer as logged
    std::uint32_t hostHash = 0;
    path_facts_t* path = nullptr;
    referrer_facts_t* referrer = nullptr;
    host_facts_t* host = nullptr;  // null when the host is not remembered
    // The referrer's search and the path's query pairs, read here so that counting can start
    // loading them before it reads the records.
    search_facts_t* search = nullptr;
    query_pair_t* pairs = nullptr;
    std::uint32_t pairCount = 0;
    const char* pooledHost = nullptr;
    const char* pooledPath = nullptr;  // pool copy of the path as logged, when remembered
    // The referring pages table's key of an external referrer: what led to the hit.
    const char* referrerLabel = nullptr;
    std::uint32_t referrerLabelLength = 0;
    // Where the facts caches' lookups of the three texts have been looked at ahead. Only the
    // preparing thread reads them: the fields above are the two lines counting loads.
    table_peek_t pathPeek, referrerPeek, hostPeek;
    // Facts of texts that are not remembered, and the buffer for their texts.
    path_facts_t pathScratch;
    referrer_facts_t referrerScratch;
    search_facts_t searchScratch;
    char* buffer = nullptr;  // owned by whoever owns the preparation
};
