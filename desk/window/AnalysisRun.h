#pragma once

#include <string>

#include "desk/cli/AnalysisWorker.h"

class QWidget;

struct analysis_result_t {
    bool success = false;
    // The project's export path after the run; empty when it asks for no export.
    std::string exportPath;
};

// Runs one analysis from the window: starts the engine, the worker and the poller threads,
// shows the progress dialog modally over `owner` until the worker ends or the user cancels,
// waits for both threads, lists the run's errors and ends the engine. Cancel only sets the
// progress cancel flag; nothing is stopped by force.
analysis_result_t RunAnalysisInWindow(QWidget* owner, const analysis_thread_param_t& param);
