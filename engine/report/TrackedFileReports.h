#pragma once

#include <memory>

#include "engine/EngineApi.h"
#include "store/report/FolderReport.h"

struct report_sources_t;
struct run_counters_t;
struct tracked_file_t;

// The folder of one tracked file, named by its pattern, holding its Hits per day, Bandwidth
// per day, Referrers and Query Strings reports. Per-day shares are of the whole run's totals.
LOGVANE_ENGINE_API std::unique_ptr<CFolderReport> BuildTrackedFileFolder(
    tracked_file_t& tracked, const run_counters_t& totals);
// The "Tracked Files" folder with one folder per tracked file, in project order; without
// tracked files (or tables) the folder is empty.
LOGVANE_ENGINE_API std::unique_ptr<CFolderReport> BuildTrackedFiles(
    const report_sources_t& sources);

// Description of the "Tracked Files" folder.
extern const char* const kTrackedFilesDescription;
