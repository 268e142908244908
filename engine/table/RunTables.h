#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/NestedTable.h"
#include "engine/table/TableEntries.h"
#include "engine/table/TimeSeriesTable.h"

// The statistics kept for one tracked file of the project.
struct LOGVANE_ENGINE_API tracked_file_t {
    std::string name;       // lower-cased unless matching is case sensitive
    bool wildcard = false;  // the name holds "*" or "?"
    // day -> hits, bytes of this file
    CTimeSeriesTable hitsPerDay{100};
    // referring URL -> hits to this file
    CFastHashTable<referinfo_t> referrers{100};
    // query string -> hits, with the referrers of each
    CNestedTable queryStrings{8192, 40};

    tracked_file_t(std::string fileName, bool isWildcard)
        : name(std::move(fileName)), wildcard(isWildcard) {}
};

// Fixed counters of one run, all zero at preparation.
struct LOGVANE_ENGINE_API run_counters_t {
    uint64_t totalHits = 0;
    uint64_t totalBytes = 0;
    uint64_t cachedHits = 0;      // status 304
    uint64_t incompleteHits = 0;  // status 206
    uint64_t notFoundHits = 0;    // status 404
    uint64_t pageHits = 0, pageBytes = 0;
    uint64_t fileHits = 0, fileBytes = 0;
    uint64_t imageHits = 0, imageBytes = 0;
    uint64_t miscWebHits = 0, miscWebBytes = 0;
    uint64_t imageAndMiscWebHits = 0;
    std::array<uint64_t, 24> hitsPerHour{};
    std::array<uint64_t, 7> hitsPerWeekday{};  // Sunday first
    // where referrers came from: mail, news, web, FTP, local file, none, other
    std::array<uint64_t, 7> referrerOrigins{};
    uint64_t sessions = 0;
    std::vector<uint64_t> tagTriggers;  // one per trigger of the project's tags
    int32_t earliestHit = INT32_MAX;    // only positive times lower it
    int32_t latestHit = 0;
};

// Every counting table of one analysis, with the initial capacities the statistics need.
class LOGVANE_ENGINE_API CRunTables {
public:
    // URL -> hits, incomplete requests, bytes (all successful hits)
    CFastHashTable<resource_info_t> resources{409};
    // page URL -> hits, incomplete, bytes
    CFastHashTable<resource_info_t> pages{409};
    // file URL -> hits, incomplete, bytes
    CFastHashTable<resource_info_t> files{409};
    // image URL -> hits, incomplete, bytes
    CFastHashTable<resource_info_t> images{409};
    // other web content URL -> hits, incomplete, bytes
    CFastHashTable<resource_info_t> miscWeb{409};
    // directory -> hits, bytes
    CFastHashTable<resource_info_t> directories{409};
    // client host -> hits, bytes
    CFastHashTable<host_info_t> hosts{16384};
    // authenticated user -> hits, sessions, bytes
    CFastHashTable<user_info_t> users{8192};
    // country abbreviation -> hits
    CFastHashTable<country_info_t> countries{260};
    // URL answered 404 -> hits
    CFastHashTable<error_info_t> notFoundErrors{1170};
    // URL and other error status -> hits
    CFastHashTable<error_info_t> otherErrors{1170};
    // referring page URL -> hits
    CFastHashTable<referinfo_t> referringPages{8192};
    // referring domain -> hits
    CFastHashTable<referinfo_t> referringDomains{8192};
    // page -> hits, with its referrers -> hits
    CNestedTable pageReferrers{1638, 30};
    // missing page -> hits, with its referrers -> hits
    CNestedTable notFoundReferrers{1638, 30};
    // page -> hits, with its query strings -> hits
    CNestedTable queryStrings{8192, 40};
    // search engine name -> hits
    CFastHashTable<search_info_t> searchEngines{100};
    // keyword and engine -> hits
    CFastHashTable<search_info_t> searchKeywords{2048};
    // phrase and engine -> hits
    CFastHashTable<search_info_t> searchPhrases{2048};
    // day -> hits, bytes
    CTimeSeriesTable hitsPerDay{8192};
    // day -> page views, bytes
    CTimeSeriesTable pageViewsPerDay{8192};
    // day -> sessions started that day
    CTimeSeriesTable visitorsPerDay{8192};
    // page where a session began -> sessions
    CFastHashTable<referinfo_t> entryPages{8192};
    // page where a session ended -> sessions
    CFastHashTable<referinfo_t> exitPages{8192};
    // page that was a whole session -> sessions
    CFastHashTable<referinfo_t> singleAccessPages{8192};

    std::vector<std::unique_ptr<tracked_file_t>> trackedFiles;
    run_counters_t counters;

    // Copies of the resource tables for the Least reports, taken by SortAndTrim.
    std::unique_ptr<CFastHashTable<resource_info_t>> leastResources, leastPages, leastFiles,
        leastImages, leastDirectories, leastMiscWeb;

    // End of run: takes the Least copies, sorts every table most first and trims it to
    // `limit` entries (the Least copies fewest first), children too; time series keep every
    // interval from first to last, newest first.
    void SortAndTrim(uint32_t limit) {
        SortAndTrimHitTables(limit);
        SortAndTrimSessionTables(limit);
    }
    // The two halves of SortAndTrim. They share no table, and closing the visitor sessions
    // counts only in the second half's tables, so the first may run while they close.
    void SortAndTrimHitTables(uint32_t limit);
    // Users, entry, exit and single-access pages and visitors per day.
    void SortAndTrimSessionTables(uint32_t limit);
};
