#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "engine/EngineApi.h"
#include "engine/run/AnalysisPhases.h"
#include "engine/run/RunSnapshot.h"
#include "engine/table/RunTables.h"
#include "store/settings/Settings.h"

// The engine's process-wide state, from LogvaneInitialize to LogvaneKill. One analysis runs
// at a time; only the progress buffer is touched by the polling thread.
struct LOGVANE_ENGINE_API engine_state_t {
    bool initialized = false;
    std::unique_ptr<CSettings> settings;
    // The last progress document handed out; it only grows.
    std::unique_ptr<char[]> progressBuffer;
    std::size_t progressCapacity = 0;
    int debugMode = 0;
    int cookieData = 0;
    run_snapshot_t snapshot;
    // Tables of the last run: alive until the next run or LogvaneKill.
    std::unique_ptr<CRunTables> tables;
    analysis_phases_t phases;
};

LOGVANE_ENGINE_API engine_state_t& EngineState();
