#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/run/AnalysisPhases.h"
#include "engine/run/EngineState.h"

class CProjectInformation;

// The files a run parses, gathered from every log file entry.
struct run_files_t {
    std::vector<std::string> files;  // without duplicates, in the order first seen
    std::uint64_t fileCount = 0;
    std::uint64_t parseTotal = 0;  // bytes to parse, after decompression
    int logType = SCAN_LOG_AUTO;   // the entries' common logfiletype_t, AUTO when they differ
    std::vector<std::string> scratchFolders;  // decompressed copies to remove after parsing
};

// Expands, fetches and decompresses the files of every log file entry in project order.
// False when the cancel flag stopped it.
LOGVANE_ENGINE_API bool CollectLogFiles(const CProjectInformation& project,
                                        const analysis_phases_t& phases, run_files_t& result);

// One analysis of a loaded project: the driver's phases from releasing the last run to sorting
// the tables, then the report tree. The tables stay in `state` after the run.
class LOGVANE_ENGINE_API CAnalysisRun {
public:
    CAnalysisRun(engine_state_t& state, const CProjectInformation& project,
                 const identification_paths_t& paths);

    // True when the counting finished with at least one visit and was not cancelled. Every
    // error on the way is added to the progress record.
    bool Drive();
    // Report tree assembly (and saving with `save`) over the tables of the run.
    bool AssembleReportTree(const std::string& output, bool save);

private:
    void TakeSnapshot();
    void PrepareAnalysis();
    void BuildFilterList();
    void PrepareTrackedFiles();
    bool Parse(const run_files_t& files);
    // Closes the visitor sessions and sorts and trims every table for the reports.
    void CloseSessionsAndSort();
    void Call(const std::function<void(analysis_context_t&)>& phase);

    engine_state_t& m_state;
    const analysis_phases_t& m_phases;
    analysis_context_t m_context;
};

// LogvaneStartAnalysis without the exported signature: loads the project and runs it.
LOGVANE_ENGINE_API bool StartAnalysis(engine_state_t& state, const std::string& projectPath,
                                      const identification_paths_t& paths,
                                      const std::string& outputPath, bool save);
