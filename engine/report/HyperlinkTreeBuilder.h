#pragma once

#include <memory>

#include "engine/EngineApi.h"
#include "store/hyperlink/SaveHyperlinkTreeReport.h"

struct report_sources_t;

// The hyperlink tree report over the run's hyperlink table, tag triggers and single-access,
// entry and exit tables. The tables and tags in `sources` must live until the report file is
// written; the tag totals are copied into the report. A missing hyperlink table writes a
// report without links.
LOGVANE_ENGINE_API std::unique_ptr<CSaveHyperlinkTreeReport> BuildHyperlinkTree(
    const report_sources_t& sources);
