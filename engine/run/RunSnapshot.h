#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Options taken once at the start of a run, read by scanning, parsing, hit processing and
// host-name resolution instead of asking the settings and the project again.
struct run_snapshot_t {
    bool andIncludeFilters = false;  // GetAndIncludeFilters
    bool andExcludeFilters = false;  // GetAndExcludeFilters
    bool lookups = false;            // host-name lookups: not GetDisableDNS of the project
    bool fullLookups = false;        // GetEnableFullDNS, or a global DOMAIN filter
    std::string siteDomain;
    std::string projectName;
    std::string defaultPage;
    std::size_t defaultPageLength = 0;
    std::int32_t startTime = 0;  // seconds since 1970
    bool doNotDisplayPound = false;
    bool doNotDisplayQuestionMark = false;
    int timeOffset = 0;  // whole hours added to every time stamp
    bool europeanFormat = false;
    bool caseSensitive = false;      // GetCaseSensitive: tracked files and matching
    bool w3cServerFromHost = false;  // a VIRTUALDOMAIN filter names a host, not an address
};
