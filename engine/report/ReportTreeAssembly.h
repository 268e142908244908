#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "engine/EngineApi.h"

class CHitRunState;
class CProjectInformation;
class CReportHostNames;
class CReportTree;
struct analysis_context_t;
struct analysis_phases_t;
struct report_sources_t;

// The text of the error added when a project names a session cookie and no hit carried one.
LOGVANE_ENGINE_API extern const char* const kNoCookieDataError;

// Adds every report of the catalogue to the empty `tree`, in tree order, with the folders and
// their descriptions.
LOGVANE_ENGINE_API void BuildReportTree(const report_sources_t& sources, CReportTree& tree);

// Report tree assembly of one run: the project description (created `now`), the cookie
// warning when `cookieData` is 0 although the project names a cookie, the tree, the save to
// `output` with `save`, and the export step when the project asks for one. False when the
// report file could not be written (an error is then in the progress record).
LOGVANE_ENGINE_API bool AssembleReportTree(const CProjectInformation& project,
                                           const report_sources_t& sources, int cookieData,
                                           const std::string& output, bool save, std::time_t now);

// Report-time host-name lookups for one run; null when there are none.
using report_host_names_factory_t =
    std::function<std::unique_ptr<CReportHostNames>(const analysis_context_t&)>;

// The driver's report phase: assembles the tree from the run's tables and options, the
// identification lists, suffixes and hyperlink table kept in `hits` (may be null), and the
// host names `hostNames` gives (may be empty). False when the report file could not be saved.
LOGVANE_ENGINE_API bool AssembleRunReportTree(analysis_context_t& context,
                                              const std::string& output, bool save,
                                              CHitRunState* hits,
                                              const report_host_names_factory_t& hostNames);

// Installs AssembleRunReportTree over `hits` as the driver's assembleReportTree phase. Without
// `hostNames`, report-time lookups go through the system's reverse lookups.
LOGVANE_ENGINE_API void InstallReportBuilding(analysis_phases_t& phases, CHitRunState& hits,
                                              report_host_names_factory_t hostNames = {});
