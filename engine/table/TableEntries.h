#pragma once

#include <cstdint>
#include <cstring>

#include "utility/MemCrc.h"

// Entry records of the counting tables. Each kind supplies, for CFastHashTable:
//   void Release();                       frees what the entry owns beyond its bytes
//   uint32_t Hash(uint32_t seed) const;   hash of the key; the table chains seeds per probe
//   bool Equals(const T& other) const;    key equality
//   int Compare(const T& other) const;    < 0 when this entry comes first in "most first" order
// Key strings are not owned: the caller copies them into the string pool on insertion.
// Entries are plain bytes so the table may copy them when it grows or sorts.

namespace logvane::table {

inline bool SameText(const char* a, uint32_t aLength, const char* b, uint32_t bLength) {
    // Keys counted in several tables share one pool copy, so equal pointers are common.
    return aLength == bLength && (a == b || aLength == 0 || std::memcmp(a, b, aLength) == 0);
}

// Full 64-bit comparison: more hits first.
inline int CompareCounts(uint64_t mine, uint64_t other) {
    return other > mine ? 1 : (other < mine ? -1 : 0);
}

}  // namespace logvane::table

// A text and how often it was seen (referrers, referring domains, entry and exit pages).
struct referinfo_t {
    const char* text = nullptr;
    uint32_t length = 0;
    uint64_t hits = 0;

    void Release() {}
    uint32_t Hash(uint32_t seed) const { return memcrc(text, length, seed); }
    bool Equals(const referinfo_t& o) const {
        return logvane::table::SameText(text, length, o.text, o.length);
    }
    int Compare(const referinfo_t& o) const { return logvane::table::CompareCounts(hits, o.hits); }
};

// A requested URL with its hits, its incomplete (206) requests and the bytes sent for it.
struct resource_info_t {
    const char* url = nullptr;
    uint32_t length = 0;
    uint64_t hits = 0;
    uint64_t incomplete = 0;
    uint64_t bytes = 0;

    void Release() {}
    uint32_t Hash(uint32_t seed) const { return memcrc(url, length, seed); }
    bool Equals(const resource_info_t& o) const {
        return logvane::table::SameText(url, length, o.url, o.length);
    }
    int Compare(const resource_info_t& o) const {
        return logvane::table::CompareCounts(hits, o.hits);
    }
};

// A URL answered with one error status, and how often.
struct error_info_t {
    const char* url = nullptr;
    uint32_t length = 0;
    uint32_t status = 0;
    uint64_t hits = 0;

    void Release() {}
    uint32_t Hash(uint32_t seed) const { return memcrc(url, length, seed) + status; }
    bool Equals(const error_info_t& o) const {
        return status == o.status && logvane::table::SameText(url, length, o.url, o.length);
    }
    int Compare(const error_info_t& o) const { return logvane::table::CompareCounts(hits, o.hits); }
};

// A client host with its hits and bytes.
struct host_info_t {
    const char* host = nullptr;
    uint32_t length = 0;
    uint64_t hits = 0;
    uint64_t bytes = 0;

    void Release() {}
    uint32_t Hash(uint32_t seed) const { return memcrc(host, length, seed); }
    bool Equals(const host_info_t& o) const {
        return logvane::table::SameText(host, length, o.host, o.length);
    }
    int Compare(const host_info_t& o) const { return logvane::table::CompareCounts(hits, o.hits); }
};

// An authenticated user with hits, sessions and bytes.
struct user_info_t {
    const char* name = nullptr;
    uint32_t length = 0;
    uint64_t hits = 0;
    uint64_t sessions = 0;
    uint64_t bytes = 0;

    void Release() {}
    uint32_t Hash(uint32_t seed) const { return memcrc(name, length, seed); }
    bool Equals(const user_info_t& o) const {
        return logvane::table::SameText(name, length, o.name, o.length);
    }
    int Compare(const user_info_t& o) const { return logvane::table::CompareCounts(hits, o.hits); }
};

// A country (abbreviation and display name) with its hits; keyed by the abbreviation.
struct country_info_t {
    const char* abbreviation = nullptr;
    uint32_t abbreviationLength = 0;
    const char* name = nullptr;
    uint32_t nameLength = 0;
    uint64_t hits = 0;

    void Release() {}
    uint32_t Hash(uint32_t seed) const { return memcrc(abbreviation, abbreviationLength, seed); }
    bool Equals(const country_info_t& o) const {
        return nameLength == o.nameLength &&
               logvane::table::SameText(abbreviation, abbreviationLength, o.abbreviation,
                                        o.abbreviationLength);
    }
    int Compare(const country_info_t& o) const {
        return logvane::table::CompareCounts(hits, o.hits);
    }
};

// A search text (keyword, phrase or engine name) found through one engine, with its hits.
struct search_info_t {
    const char* text = nullptr;
    uint32_t length = 0;
    const char* engine = nullptr;
    uint32_t engineLength = 0;
    uint64_t hits = 0;

    void Release() {}
    uint32_t Hash(uint32_t seed) const {
        return memcrc(text, length, seed) + memcrc(engine, engineLength, seed);
    }
    bool Equals(const search_info_t& o) const {
        return logvane::table::SameText(text, length, o.text, o.length) &&
               logvane::table::SameText(engine, engineLength, o.engine, o.engineLength);
    }
    int Compare(const search_info_t& o) const {
        return logvane::table::CompareCounts(hits, o.hits);
    }
};

// An interval number (a day, or another interval) with two counters whose meaning is the
// table's (hits and bytes, page views and bytes, sessions). Sorted by key, newest first.
struct day_info_t {
    int32_t key = 0;
    int32_t increment = 1;
    uint64_t first = 0;
    uint64_t second = 0;

    void Release() {}
    uint32_t Hash(uint32_t) const { return static_cast<uint32_t>(key); }
    bool Equals(const day_info_t& o) const { return key == o.key; }
    int Compare(const day_info_t& o) const { return o.key > key ? 1 : (o.key < key ? -1 : 0); }
    // A zero-counted entry for the following interval.
    day_info_t Next() const { return day_info_t{key + increment, increment, 0, 0}; }
};
