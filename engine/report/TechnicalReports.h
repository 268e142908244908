#pragma once

#include <memory>

#include "engine/EngineApi.h"
#include "store/report/NestedTableReport.h"
#include "store/report/TableReport.h"

struct report_sources_t;

// 404 Errors: the URLs answered 404 and how often.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildNotFound(const report_sources_t& sources);
// 404 Page Referrers: each missing page with the referrers that led to it.
LOGVANE_ENGINE_API std::unique_ptr<CNestedTableReport> BuildNotFoundReferrers(
    const report_sources_t& sources);
// Misc. Errors: URL (with its real URL), status, occurrences and the status's explanation.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildMiscErrors(const report_sources_t& sources);
