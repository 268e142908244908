#pragma once

#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/run/AnalysisPhases.h"

class CDownloadClaims;
class CSettings;

// Fetches the files of the driver's request with the passive mode and proxy of `settings`
// into the project's download folder (RetrieveRemoteFiles).
LOGVANE_ENGINE_API bool RetrieveRequestedFiles(const retrieval_request_t& request,
                                               const CSettings& settings,
                                               std::vector<std::string>& files,
                                               CDownloadClaims* claims = nullptr);

// Installs phases.retrieveRemote over the engine's settings object, read at each call. The
// entries of one run share their local paths' claims; releaseRun forgets them.
LOGVANE_ENGINE_API void InstallRemoteRetrieval(analysis_phases_t& phases);
