#include "engine/remote/RetrievalPhase.h"

#include "engine/remote/RemoteRetrieval.h"
#include "engine/run/EngineState.h"
#include "store/settings/Settings.h"

bool RetrieveRequestedFiles(const retrieval_request_t& request, const CSettings& settings,
                            std::vector<std::string>& files) {
    remote_request_t remote;
    remote.serverName = request.serverName;
    remote.port = request.port;
    remote.userName = request.userName;
    remote.password = request.password;
    remote.projectName = request.projectName;
    remote.isFtp = request.isFtp;
    remote.passwordProtected = request.passwordProtected;
    remote.paths = request.paths;
    return RetrieveRemoteFiles(remote, MakeRemoteOptions(settings), files);
}

void InstallRemoteRetrieval(analysis_phases_t& phases) {
    phases.retrieveRemote = [](const retrieval_request_t& request,
                               std::vector<std::string>& files) {
        const CSettings defaults;
        const CSettings* settings = EngineState().settings.get();
        return RetrieveRequestedFiles(request, settings ? *settings : defaults, files);
    };
}
