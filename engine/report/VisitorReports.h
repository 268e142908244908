#pragma once

#include <memory>

#include "engine/EngineApi.h"
#include "store/report/TableReport.h"

class CGenericIdentification;
struct report_column_t;
struct report_sources_t;
struct report_spec_t;

// Domain Name: the client hosts with hits and bytes. With report-time lookups (lookups on, not
// made for every hit, a resolver given) the listed hosts are resolved here; cancelling ends the
// queueing and the wait, and unresolved hosts keep their address.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildDomainName(const report_sources_t& sources);
// Geographical Location: countries by hits, named through the domain-suffix list when the
// counted name is a known suffix ("Germany (de)").
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildGeographicalLocation(
    const report_sources_t& sources);
// One row per identity of `list` that matched at least once, in list order; percentages of
// the listed rows' sum. A null list gives no rows.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildIdentityReport(
    const report_spec_t& spec, const CGenericIdentification* list);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildWebBrowsers(const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildOperatingSystems(
    const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildSpiders(const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildAuthenticatedUsers(
    const report_sources_t& sources);
