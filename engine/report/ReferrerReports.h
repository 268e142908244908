#pragma once

#include <memory>
#include <string>

#include "engine/EngineApi.h"
#include "store/report/NestedTableReport.h"
#include "store/report/TableReport.h"

class CNestedTable;
struct report_sources_t;
struct report_spec_t;

// Referrer Origin: seven fixed rows from the origin counters, as text with shares of the
// seven together.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildReferrerOrigin(
    const report_sources_t& sources);
// Referring Domain: "http://" + the domain, "No Referrer" as it is.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildReferringDomain(
    const report_sources_t& sources);
// Referring Pages: "-" shown as "No Referrer".
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildReferringPages(
    const report_sources_t& sources);
// A page (with its real URL when `siteDomain` is given) and the referrers that led to it;
// with `explainDash`, "-" is shown as "No Referrer" at both levels.
LOGVANE_ENGINE_API std::unique_ptr<CNestedTableReport> BuildReferrerNest(
    const report_spec_t& spec, const CNestedTable* table, const std::string* siteDomain,
    bool explainDash);
LOGVANE_ENGINE_API std::unique_ptr<CNestedTableReport> BuildPageReferrers(
    const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildSearchEngines(
    const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildSearchKeywords(
    const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildSearchPhrases(
    const report_sources_t& sources);
