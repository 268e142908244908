#include "engine/remote/RetrievalPhase.h"

#include <memory>

#include "engine/remote/DownloadClaims.h"
#include "engine/remote/RemoteRetrieval.h"
#include "engine/run/EngineState.h"
#include "store/settings/Settings.h"

bool RetrieveRequestedFiles(const retrieval_request_t& request, const CSettings& settings,
                            std::vector<std::string>& files, CDownloadClaims* claims) {
    remote_request_t remote;
    remote.serverName = request.serverName;
    remote.port = request.port;
    remote.userName = request.userName;
    remote.password = request.password;
    remote.projectName = request.projectName;
    remote.isFtp = request.isFtp;
    remote.passwordProtected = request.passwordProtected;
    remote.paths = request.paths;
    remote_options_t options = MakeRemoteOptions(settings);
    options.claims = claims;
    return RetrieveRemoteFiles(remote, options, files);
}

void InstallRemoteRetrieval(analysis_phases_t& phases) {
    auto claims = std::make_shared<CDownloadClaims>();
    phases.retrieveRemote = [claims](const retrieval_request_t& request,
                                     std::vector<std::string>& files) {
        const CSettings defaults;
        const CSettings* settings = EngineState().settings.get();
        return RetrieveRequestedFiles(request, settings ? *settings : defaults, files,
                                      claims.get());
    };
    phases.releaseRun = [previous = phases.releaseRun, claims] {
        if (previous) previous();
        claims->Clear();
    };
}
