#pragma once

#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/run/AnalysisPhases.h"

class CSettings;

// Fetches the files of the driver's request with the passive mode and proxy of `settings`
// into the project's download folder (RetrieveRemoteFiles).
LOGVANE_ENGINE_API bool RetrieveRequestedFiles(const retrieval_request_t& request,
                                               const CSettings& settings,
                                               std::vector<std::string>& files);

// Installs phases.retrieveRemote over the engine's settings object, read at each call.
LOGVANE_ENGINE_API void InstallRemoteRetrieval(analysis_phases_t& phases);
