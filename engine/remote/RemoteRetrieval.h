#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/remote/HttpDownload.h"

class CDownloadClaims;
class CLogfileInformation;
class CSettings;

// What retrieval needs of one FTP or WEB log file entry.
struct remote_request_t {
    std::string serverName;  // FTP only; a WEB entry's paths are full URLs
    int port = 21;
    std::string userName;
    std::string password;
    std::string projectName;
    bool isFtp = false;
    bool passwordProtected = false;                  // WEB: send user name and password
    std::vector<std::pair<std::string, int>> paths;  // path and its file_t value
};

struct remote_options_t {
    std::string downloadFolder;  // empty: GetDownloadFolder(projectName)
    bool passiveFtp = true;
    std::string proxy;                   // empty: no proxy of our own
    credentials_callback_t credentials;  // empty: the one of SetCredentialsCallback
    std::string caFile;                  // extra certificate authorities for https
    long connectTimeoutSeconds = 30;
    long stallSeconds = 120;
    // The run's local paths, shared by every entry of a run; null: this request's own.
    CDownloadClaims* claims = nullptr;
};

// Passive mode and the proxy (when enabled and named) of the settings.
LOGVANE_ENGINE_API remote_options_t MakeRemoteOptions(const CSettings& settings);

// Fetches the files named by the request's paths into the download folder and appends their
// local paths to `files`. FTP: only files that are missing locally, differ in size or are
// older than the remote copy are transferred, but every matching file is appended. WEB: an
// unchanged object is not transferred again; a status outside 2xx skips that object
// silently. Messages go to the progress record. False when retrieval stopped early (cancel,
// connection failure, a folder that cannot be entered, an unparsable URL).
LOGVANE_ENGINE_API bool RetrieveRemoteFiles(const remote_request_t& request,
                                            const remote_options_t& options,
                                            std::vector<std::string>& files);

// RetrieveRemoteFiles for a log file entry, with the options of the settings and the project's
// download folder. A LOCAL entry yields nothing and true.
LOGVANE_ENGINE_API bool RetrieveLogfileEntry(const CLogfileInformation& entry,
                                             const std::string& projectName,
                                             const CSettings& settings,
                                             std::vector<std::string>& files);
