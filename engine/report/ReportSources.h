#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/EngineApi.h"

class CDomainSuffixTable;
class CGenericIdentification;
class CHyperlinkTable;
class CRunTables;
class CTagInformation;

// Reverse lookups of the client hosts listed in the Domain Name report, done while that report
// is built (when lookups are on but were not made for every hit). The host-name module
// supplies the implementation; indexes are row numbers of the sorted host table.
class LOGVANE_ENGINE_API CReportHostNames {
public:
    virtual ~CReportHostNames() = default;
    virtual void Start() = 0;
    // Asks for the name of `address`; an address that needs no lookup may be ignored.
    virtual void Queue(std::uint32_t index, std::string_view address) = 0;
    // Returns when every queued address has been taken up (or no worker is left).
    virtual void Wait() = 0;
    // The resolved name of `address`, or the address itself when it has none.
    virtual std::string GetName(std::uint32_t index, std::string_view address) = 0;
    // Ends the lookups; waits for a lookup in progress.
    virtual void Stop() = 0;
};

// Everything the report builders read. The tables must be sorted (CRunTables::SortAndTrim);
// any pointer may be null, and the reports that need it are then built without rows (the
// Domain Name report then shows the hosts as counted).
struct report_sources_t {
    CRunTables* tables = nullptr;
    std::string siteDomain;  // real URLs are "http://" + siteDomain + the key
    const CGenericIdentification* browsers = nullptr;
    const CGenericIdentification* oses = nullptr;
    const CGenericIdentification* spiders = nullptr;
    const CDomainSuffixTable* suffixes = nullptr;
    CHyperlinkTable* hyperlinks = nullptr;
    const CTagInformation* tags = nullptr;
    // Report-time lookups for the Domain Name report: only when lookups are on and were not
    // already made for every hit.
    CReportHostNames* hostNames = nullptr;
    bool lookups = false;
    bool fullLookups = false;
    std::int32_t startTime = 0;  // run start, seconds since 1970 (UTC)
};
