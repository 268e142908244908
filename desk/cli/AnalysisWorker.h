#pragma once

#include <functional>
#include <string>

// What the analysis worker thread is given; alive until the worker and the poller have ended.
struct analysis_thread_param_t {
    std::string projectPath;
    bool save = true;
    std::string outputPath;
};

// The worker thread's body in both modes: calls LogvaneStartAnalysis with the settings
// folder's data files, then sets the progress cancel flag (which ends the poller) and calls
// `done` when given. Returns the analysis result: true on success.
bool RunAnalysisWorker(const analysis_thread_param_t& param,
                       const std::function<void()>& done = {});

// Lowers the calling thread's scheduling priority a little, so that a long analysis leaves
// the machine responsive.
void LowerThreadPriority();
