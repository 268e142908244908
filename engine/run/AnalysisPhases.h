#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/run/RunSnapshot.h"
#include "engine/scan/Scanner.h"
#include "store/filter/Filter.h"

class CProjectInformation;
class CRunTables;
class CSettings;

// The identification files a run reads, as the program passes them.
struct identification_paths_t {
    std::string os;
    std::string browser;
    std::string spider;
    std::string searchEngines;
    std::string globalFilters;
    std::string fileTypes;
};

// What remote retrieval needs of one FTP or WEB log file entry, in the order it is handed on.
struct retrieval_request_t {
    std::string serverName;
    std::uint16_t port = 0;
    std::string userName;
    std::string password;
    std::string projectName;
    bool isFtp = false;
    bool passwordProtected = false;
    std::vector<std::pair<std::string, int>> paths;  // path and its file_t value
};

// Everything one run shares between its phases; lives for the duration of the driver.
struct analysis_context_t {
    const CProjectInformation& project;
    const CSettings& settings;
    const identification_paths_t& paths;
    run_snapshot_t& snapshot;
    CRunTables* tables = nullptr;  // created by the driver after the last run is released
    int& cookieData;               // set by hit processing when a hit carries cookie data
    // Global filters first, then the project's, as they are compiled.
    std::vector<filter_t> filters;
};

// The phases of a run that other parts of the engine supply. The driver calls each one at its
// place in the run; an empty function object is skipped. MakeDefaultPhases gives the engine's
// own set.
struct LOGVANE_ENGINE_API analysis_phases_t {
    // Releases identification objects, tag tracker and whatever else the last run left.
    std::function<void()> releaseRun;
    // Brings the IP-to-country database up to date and loads it (only with GetIp2Country).
    std::function<void(analysis_context_t&)> updateIpToCountry;
    // Loads browsers, spiders, operating systems, file types and search engines.
    std::function<void(analysis_context_t&)> loadIdentification;
    std::function<void(analysis_context_t&)> createTagTracker;
    // Compiles context.filters into the run's filter table.
    std::function<void(analysis_context_t&)> compileFilters;
    // Fetches the files of an FTP or WEB entry, appending local paths; false when retrieval
    // stopped early.
    std::function<bool(const retrieval_request_t&, std::vector<std::string>&)> retrieveRemote;
    // The receiver of every accepted hit (hit processing, with host-name resolution).
    std::function<std::unique_ptr<CHitConsumer>(analysis_context_t&)> makeHitConsumer;
    // Parses the files; false when parsing was told to end.
    std::function<bool(const std::vector<scan_file_t>&, const scan_options_t&, CHitConsumer&,
                       std::uint64_t*)>
        parseFiles;
    // Closes the visitor sessions still open after the last hit.
    std::function<void(analysis_context_t&)> closeSessions;
    // Builds the report tree from the sorted tables and, with `save`, writes it to `output`;
    // false when the report file could not be written (the error is already recorded).
    std::function<bool(analysis_context_t&, const std::string& output, bool save)>
        assembleReportTree;
    // The domain-suffix table, from LogvaneInitialize to LogvaneKill.
    std::function<void(const std::string& path)> loadSuffixData;
    std::function<void()> releaseSuffixData;
};

LOGVANE_ENGINE_API analysis_phases_t MakeDefaultPhases();
