#pragma once

#include "engine/EngineApi.h"

class CExportInformation;

// The engine's entry points. Calling order: LogvaneInitialize once; LogvaneStartAnalysis on
// one thread while another may poll LogvaneGetProgress and set the progress cancel flag;
// LogvaneKill. Paths are NUL-terminated byte strings.
extern "C" {

// Loads the settings (defaults when the file is missing or unreadable), creates the string
// pool, loads the domain-suffix table and empties the progress record.
LOGVANE_ENGINE_API void LogvaneInitialize(const char* suffixDataPath, const char* settingsPath);

// Runs one analysis of the project file and, with `save`, writes the report file. The suffix
// and settings paths are not read again: LogvaneInitialize's objects are used. True when the
// analysis ran to the end and was not cancelled; errors are in the progress record. Refused
// (false, with an error) before LogvaneInitialize.
LOGVANE_ENGINE_API bool LogvaneStartAnalysis(
    const char* projectPath, const char* osPath, const char* browserPath, const char* spiderPath,
    const char* searchEnginesPath, const char* globalFiltersPath, const char* fileTypesPath,
    const char* suffixDataPath, const char* outputPath, const char* settingsPath, bool save);

// The progress document. The text stays engine-owned and valid until the next call or
// LogvaneKill; the same address comes back while the document does not outgrow it.
LOGVANE_ENGINE_API const char* LogvaneGetProgress();

// Releases everything LogvaneInitialize and the last run created.
LOGVANE_ENGINE_API void LogvaneKill();

// Load the report file and return 1; no export file is written.
LOGVANE_ENGINE_API int LogvaneExportToHTML(const char* reportPath,
                                           const CExportInformation& exportInformation);
LOGVANE_ENGINE_API int LogvaneExportToCSV(const char* reportPath,
                                          const CExportInformation& exportInformation);

// Non-zero: the scanner appends every parsed line to "logOutput.txt".
LOGVANE_ENGINE_API void SetDebugMode(int mode);
// 1 when a hit of the last run carried cookie data.
LOGVANE_ENGINE_API int GetIsCookieData();
}
