#pragma once

#include <memory>
#include <string>

#include "engine/EngineApi.h"
#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"
#include "store/report/NestedTableReport.h"
#include "store/report/TableReport.h"

class CNestedTable;
class CTimeSeriesTable;
struct report_sources_t;
struct report_spec_t;

// Page Types (Hits) and (Bandwidth): "Files", "Images", "Pages", "Misc. Web" with their
// shares of the four together.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildPageTypesHits(
    const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildPageTypesBandwidth(
    const report_sources_t& sources);

// A Most or Least report over a sorted resource table: URL (with its real URL on the site),
// hits, the incomplete requests when the report has four columns, bytes. `unescape` writes
// keys through CFormat::unhtmlescape. A null table gives no rows.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildResourceReport(
    const report_spec_t& spec, const CFastHashTable<resource_info_t>* table,
    const std::string& siteDomain, bool unescape = false);

// The twelve Most and Least reports, in tree order (index 0-5 Most, 6-11 Least).
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildMostLeastReport(
    const report_sources_t& sources, int index);
inline constexpr int kMostLeastReports = 12;

// A per-day report over a sorted time series: the day's start, the series' first counter
// (`second` = true: its second counter) and its share of `total`.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildDayReport(const report_spec_t& spec,
                                                                const CTimeSeriesTable* series,
                                                                bool second, std::uint64_t total);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildHitsPerDay(const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildBandwidthPerDay(
    const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildPageViewsPerDay(
    const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildVisitorsPerDay(
    const report_sources_t& sources);

// "Sunday" to "Saturday" and "Midnight" ... "11" (PM), with the day or hour as the
// alternative sort value of the first column.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildDayOfWeek(const report_sources_t& sources);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildHours(const report_sources_t& sources);

// A page and its query strings, both URL-decoded.
LOGVANE_ENGINE_API std::unique_ptr<CNestedTableReport> BuildQueryStringReport(
    const report_spec_t& spec, const CNestedTable* table);
LOGVANE_ENGINE_API std::unique_ptr<CNestedTableReport> BuildQueryStrings(
    const report_sources_t& sources);
