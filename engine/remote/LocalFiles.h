#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "engine/EngineApi.h"

// A file written under a temporary name beside its target and renamed over the target only
// when complete; removed when abandoned.
class LOGVANE_ENGINE_API CTempFile {
public:
    CTempFile() = default;
    ~CTempFile();
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    // Creates "<target>.part-XXXXXX"; false (errno set) when it cannot be created.
    bool Open(const std::string& target);
    bool IsOpen() const { return m_fd >= 0; }
    bool Write(const char* data, size_t size);
    // Closes, renames over the target and, when `modified` is not -1, gives the target that
    // last-write time. False when any step fails (the temporary file is then removed).
    bool Commit(time_t modified);

private:
    void Abandon();

    int m_fd = -1;
    std::string m_tempPath;
    std::string m_target;
};

// Creates the folders above `path` when missing.
LOGVANE_ENGINE_API void CreateParentFolders(const std::string& path);

// `relative` (a remote name, a link or a URL path) placed inside `folder`: both '/' and '\\'
// separate, and empty, "." and ".." components are dropped, so the result never leaves the
// folder. Control bytes become '_'. An empty remainder gives "_".
LOGVANE_ENGINE_API std::string JoinInsideFolder(const std::string& folder,
                                                std::string_view relative);

// The download folder of a project: the folder above the settings folder joined with the
// project name made into a valid file name ("_" for a name that is empty or only dots).
LOGVANE_ENGINE_API std::string GetDownloadFolder(const std::string& projectName);
