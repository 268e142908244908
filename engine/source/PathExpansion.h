#pragma once

#include <string>
#include <vector>

#include "engine/EngineApi.h"

// True when `text` matches `pattern` byte by byte, case-sensitively: "*" matches any run of
// bytes (also none), "?" any one byte.
LOGVANE_ENGINE_API bool WildcardMatch(const char* pattern, const char* text);

// Expands the paths of a local log file entry into files, appended to `files` in order:
// a file is taken as it is, a folder is walked recursively, a pattern ("*" or "?" in its last
// component; "*.*" means every entry) takes every matching file and every file inside a
// matching folder. Names beginning with "." are skipped; missing paths and empty paths yield
// nothing. A symbolic link back up the tree is not followed.
LOGVANE_ENGINE_API void ExpandLocalPaths(const std::vector<std::string>& paths,
                                         std::vector<std::string>& files);
