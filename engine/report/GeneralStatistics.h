#pragma once

#include <cstdint>
#include <memory>

#include "engine/EngineApi.h"
#include "store/report/TableReport.h"

struct report_sources_t;
struct run_counters_t;

// Whole days the run's hits span: 1 + the whole 86,400-second spans between the earliest and
// the latest hit, at least 1 (also when no hit was dated).
LOGVANE_ENGINE_API std::int64_t LogSpanDays(const run_counters_t& counters);

// The General Statistics report: 18 fixed (Item, Value) rows from the run's counters.
// `startTime` is the run's start in seconds since 1970; it is shown in local time.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildGeneralStatistics(
    const run_counters_t& counters, std::int32_t startTime);
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> BuildGeneralStatistics(
    const report_sources_t& sources);
