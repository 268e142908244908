#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/EngineApi.h"

// Files a log file entry yields for parsing, with their count and byte total.
struct preprocess_result_t {
    std::vector<std::string> files;
    std::uint64_t fileCount = 0;
    std::uint64_t byteTotal = 0;
    // Folders of the system's temporary folder holding copies that could not go beside their
    // sources; the caller removes them once the files are parsed.
    std::vector<std::string> scratchFolders;
};

// True when `path` contains ".gz" in any letter case.
LOGVANE_ENGINE_API bool IsCompressedPath(const std::string& path);

// Where the decompressed copy of `source` goes: the path up to its last ".gz".
LOGVANE_ENGINE_API std::string DecompressedPath(const std::string& source);

// Decompresses `source` (gzip; a file that is not gzip is copied as it stands) beside it.
// A local entry's copy never replaces a file: an existing file with the same bytes is reused,
// otherwise a fresh name "<target>-<n>" is taken. A download folder's copy replaces the old
// one. When the source's folder cannot be written and `scratchFolder` is given, the copy goes
// into a new folder of the system's temporary folder, named in *scratchFolder. Returns the
// path written or reused, empty on failure or cancellation. The source is never removed.
LOGVANE_ENGINE_API std::string DecompressFile(const std::string& source, bool isLocal,
                                              std::string* scratchFolder = nullptr);

// Turns an entry's files into the files to parse, in order: compressed files are decompressed
// (stage 2 progress "Decompressing <name>..."), others are taken unchanged. A file that fails
// adds "There was an error decompressing the following file: %s" and is skipped. Stops at the
// cancel flag. Sizes are those of the files to parse.
LOGVANE_ENGINE_API void PreprocessFiles(const std::vector<std::string>& files, bool isLocal,
                                        preprocess_result_t& result);
