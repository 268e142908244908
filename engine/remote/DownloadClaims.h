#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/EngineApi.h"

// Which remote file each local path of the download folder holds during one run. Remote files
// are stored under their own names, so two of them with one name (the access.log of two
// folders or servers) would overwrite each other and only the last would be analysed.
class LOGVANE_ENGINE_API CDownloadClaims {
public:
    // The local path of the remote file `source` (a URL-like text naming server and path):
    // the path it was given before in this run, so a file named by two paths is analysed
    // once; else `relative` inside `folder` (as JoinInsideFolder places it) when that path is
    // free (for a compressed file, its decompressed copy's path too); otherwise the same
    // inside a subfolder named after the source's server and folder.
    // Paths are handed out in request order, so an unchanged project gets the same path for
    // the same file on every run and the download rule can compare.
    std::string Claim(const std::string& folder, std::string_view relative,
                      const std::string& source);
    // Forgets every claim (a new run).
    void Clear() {
        m_sources.clear();
        m_locals.clear();
    }

private:
    bool TryClaim(const std::string& local, const std::string& source);

    std::unordered_map<std::string, std::string> m_sources;  // local path -> remote source
    std::unordered_map<std::string, std::string> m_locals;   // remote source -> local path
};
