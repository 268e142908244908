#include "engine/run/AnalysisDriver.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <thread>
#include <unordered_set>

#include "engine/run/CaseTables.h"
#include "engine/source/PathExpansion.h"
#include "engine/source/Preprocess.h"
#include "store/filter/FilterInformation.h"
#include "store/format/Url.h"
#include "store/project/ProjectInformation.h"
#include "utility/Progress.h"

namespace {

retrieval_request_t MakeRetrievalRequest(const CLogfileInformation& entry,
                                         const std::string& projectName) {
    retrieval_request_t request;
    request.serverName = entry.GetServerName();
    request.port = static_cast<std::uint16_t>(entry.GetPortNum());
    request.userName = entry.GetUsername();
    request.password = entry.GetPassword();
    request.projectName = projectName;
    request.isFtp = entry.GetImportType() == import_t::FTP;
    request.passwordProtected = entry.GetPasswordProtected();
    for (int i = 0; i < entry.GetNumPaths(); ++i)
        request.paths.emplace_back(entry.GetPath(i), static_cast<int>(entry.GetPathFileType(i)));
    return request;
}

// The entry's files before decompression.
std::vector<std::string> EntryFiles(const CLogfileInformation& entry,
                                    const std::string& projectName,
                                    const analysis_phases_t& phases) {
    std::vector<std::string> files;
    if (entry.GetImportType() == import_t::LOCAL) {
        std::vector<std::string> paths;
        for (int i = 0; i < entry.GetNumPaths(); ++i) paths.push_back(entry.GetPath(i));
        ExpandLocalPaths(paths, files);
    } else if (phases.retrieveRemote) {
        phases.retrieveRemote(MakeRetrievalRequest(entry, projectName), files);
    }
    return files;
}

// Removes the run's scratch copies whichever way the driver returns.
class CScratchCleanup {
public:
    explicit CScratchCleanup(const std::vector<std::string>& folders) : m_folders(folders) {}
    ~CScratchCleanup() {
        for (const std::string& folder : m_folders) {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    }
    CScratchCleanup(const CScratchCleanup&) = delete;
    CScratchCleanup& operator=(const CScratchCleanup&) = delete;

private:
    const std::vector<std::string>& m_folders;
};

void AppendUnique(std::vector<std::string>& files, std::unordered_set<std::string>& seen,
                  std::vector<std::string>&& more) {
    for (std::string& file : more)
        if (seen.insert(file).second) files.push_back(std::move(file));
}

std::string Lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(logvane::casefold::kLower[static_cast<unsigned char>(c)]);
    return text;
}

}  // namespace

bool CollectLogFiles(const CProjectInformation& project, const analysis_phases_t& phases,
                     run_files_t& result) {
    std::unordered_set<std::string> seen;
    for (int i = 0; i < project.GetNumLogfileInformation(); ++i) {
        if (CProgress::ShouldCancel()) return false;
        const CLogfileInformation& entry = project.GetLogfileInformation(i);
        const bool isLocal = entry.GetImportType() == import_t::LOCAL;
        preprocess_result_t prepared;
        PreprocessFiles(EntryFiles(entry, project.GetProjectName(), phases), isLocal, prepared);
        AppendUnique(result.files, seen, std::move(prepared.files));
        result.fileCount += prepared.fileCount;
        result.parseTotal += prepared.byteTotal;
        result.scratchFolders.insert(result.scratchFolders.end(), prepared.scratchFolders.begin(),
                                     prepared.scratchFolders.end());
        // Once two entries disagree the run stays AUTO: no type but AUTO equals AUTO.
        const int type = static_cast<int>(entry.GetLogfileType());
        result.logType = i == 0 || type == result.logType ? type : SCAN_LOG_AUTO;
    }
    return true;
}

CAnalysisRun::CAnalysisRun(engine_state_t& state, const CProjectInformation& project,
                           const identification_paths_t& paths)
    : m_state(state), m_phases(state.phases), m_context{project, *state.settings,
                                                        paths,   state.snapshot,
                                                        nullptr, state.cookieData,
                                                        {}} {}

void CAnalysisRun::Call(const std::function<void(analysis_context_t&)>& phase) {
    if (phase) phase(m_context);
}

void CAnalysisRun::TakeSnapshot() {
    const CSettings& settings = m_context.settings;
    const CProjectInformation& project = m_context.project;
    run_snapshot_t& s = m_state.snapshot;
    s = run_snapshot_t{};
    s.andIncludeFilters = settings.GetAndIncludeFilters();
    s.andExcludeFilters = settings.GetAndExcludeFilters();
    s.lookups = !project.GetDisableDNS();
    s.fullLookups = project.GetEnableFullDNS();
    s.siteDomain = project.GetSiteDomain();
    s.projectName = project.GetProjectName();
    s.defaultPage = project.GetSiteDefaultPage();
    s.defaultPageLength = s.defaultPage.size();
    s.startTime = static_cast<std::int32_t>(std::time(nullptr));
    s.doNotDisplayPound = settings.GetDoNotDisplayPound();
    s.doNotDisplayQuestionMark = settings.GetDoNotDisplayQuestionMark();
    s.timeOffset = settings.GetTimeOffset();
    s.europeanFormat = settings.GetEuropeanFormat();
    s.caseSensitive = settings.GetCaseSensitive();
}

void CAnalysisRun::BuildFilterList() {
    CFilterInformation global;
    global.LoadXML(m_context.paths.globalFilters.c_str());  // a missing file: no filters
    std::vector<filter_t>& filters = m_context.filters;
    filters.clear();
    for (int i = 0; i < global.GetNumFilters(); ++i) filters.push_back(global.GetFilterInfo(i));
    const size_t globalCount = filters.size();
    for (int i = 0; i < m_context.project.GetNumFilters(); ++i)
        filters.push_back(m_context.project.GetFilterInfo(i));
    for (size_t i = 0; i < filters.size(); ++i) {
        const filter_t& f = filters[i];
        if (i < globalCount && f.infoType == filter_t::DOMAIN) m_state.snapshot.fullLookups = true;
        if (f.infoType == filter_t::VIRTUALDOMAIN &&
            !is_ip_addr(f.string.c_str(), static_cast<unsigned>(f.string.size())))
            m_state.snapshot.w3cServerFromHost = true;
    }
}

void CAnalysisRun::PrepareTrackedFiles() {
    const CProjectInformation& project = m_context.project;
    for (int i = 0; i < project.GetNumTrackedFiles(); ++i) {
        std::string name = project.GetTrackedFile(i);
        if (!m_state.snapshot.caseSensitive) name = Lowered(std::move(name));
        const bool wildcard = name.find_first_of("*?") != std::string::npos;
        m_context.tables->trackedFiles.push_back(
            std::make_unique<tracked_file_t>(std::move(name), wildcard));
    }
}

void CAnalysisRun::PrepareAnalysis() {
    m_state.cookieData = 0;
    m_state.tables = std::make_unique<CRunTables>();
    m_context.tables = m_state.tables.get();
    m_context.tables->counters.tagTriggers.assign(
        static_cast<size_t>(std::max(0, m_context.project.GetTagInformation().GetNumTriggers())),
        0);
    if (m_context.settings.GetIp2Country()) Call(m_phases.updateIpToCountry);
    Call(m_phases.loadIdentification);
    Call(m_phases.createTagTracker);
    Call(m_phases.compileFilters);
    PrepareTrackedFiles();
}

bool CAnalysisRun::Parse(const run_files_t& files) {
    std::vector<scan_file_t> scanFiles;
    scanFiles.reserve(files.files.size());
    for (const std::string& path : files.files) scanFiles.push_back({path, files.logType});
    scan_options_t options;
    options.cookieName = m_context.project.GetCookieID();
    options.timeOffsetHours = m_state.snapshot.timeOffset;
    options.europeanDates = m_state.snapshot.europeanFormat;
    options.w3cServerFromHost = m_state.snapshot.w3cServerFromHost;
    options.debugOutput = m_state.debugMode != 0;
    options.parseTotal = files.parseTotal;
    // Hit processing prepares each batch on the parsing worker, as it is filled, and counts on
    // this thread: the two share the machine's cores, and a second parsing worker would leave
    // the preparing to this thread.
    options.parseThreads = 1;

    std::unique_ptr<CHitConsumer> consumer =
        m_phases.makeHitConsumer ? m_phases.makeHitConsumer(m_context) : nullptr;
    if (!consumer) return false;
    const bool finished = m_phases.parseFiles
                              ? m_phases.parseFiles(scanFiles, options, *consumer, nullptr)
                              : ParseAllFiles(scanFiles, options, *consumer);
    // A refused pool allocation ends parsing: the counts are incomplete, so no report.
    return finished && !ParseShouldEnd();
}

void CAnalysisRun::CloseSessionsAndSort() {
    CRunTables& tables = *m_context.tables;
    const auto limit =
        static_cast<uint32_t>(std::max(0, m_context.settings.GetNumTruncateReports()));
    // The tables hit processing alone counted are sorted on a second thread meanwhile: the
    // sessions count in none of them, and both steps are the whole run's wait between
    // the last hit and the report.
    std::exception_ptr failure;
    std::thread sorter([&tables, limit, &failure] {
        try {
            tables.SortAndTrimHitTables(limit);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    struct join_t {
        std::thread& thread;
        ~join_t() {
            if (thread.joinable()) thread.join();
        }
    } join{sorter};
    Call(m_phases.closeSessions);
    tables.SortAndTrimSessionTables(limit);
    sorter.join();
    if (failure) std::rethrow_exception(failure);
}

bool CAnalysisRun::Drive() {
    if (m_phases.releaseRun) m_phases.releaseRun();
    m_state.tables.reset();
    CProgress::SetParseEnd(false);
    // Reverse lookups need no socket library start-up here, so nothing can fail before the
    // snapshot.
    TakeSnapshot();
    BuildFilterList();
    PrepareAnalysis();

    run_files_t files;
    const CScratchCleanup cleanup(files.scratchFolders);
    if (!CollectLogFiles(m_context.project, m_phases, files)) return false;
    if (files.files.empty()) {
        CProgress::AddError("No files matched the paths you specified.",
                            "Trouble/ErrorNoFilesMatchPath.htm");
        return false;
    }
    if (files.parseTotal == 0) {
        CProgress::AddError(
            "The files you specified did not have any information in them (i.e. they were all "
            "zero bytes long).",
            "Trouble/ErrorFilesNoInfo.htm");
        return false;
    }
    if (!Parse(files) || CProgress::ShouldCancel()) return false;

    CloseSessionsAndSort();
    if (m_context.tables->counters.sessions == 0) {
        CProgress::AddError(
            "The files you specified contains data, but it was all excluded or invalid.  Double "
            "click for more information.",
            "Trouble/ErrorFilesNoLogLines.htm");
        return false;
    }
    return !CProgress::ShouldCancel();
}

bool CAnalysisRun::AssembleReportTree(const std::string& output, bool save) {
    return !m_phases.assembleReportTree || m_phases.assembleReportTree(m_context, output, save);
}

bool StartAnalysis(engine_state_t& state, const std::string& projectPath,
                   const identification_paths_t& paths, const std::string& outputPath, bool save) {
    if (!state.initialized || !state.settings) {
        CProgress::AddError("The analysis engine was not initialized.", "");
        return false;
    }
    CProjectInformation project;
    if (!project.LoadXML(projectPath.c_str())) {
        CProgress::AddError("Could not load the project XML file \"" + projectPath + "\"",
                            "Trouble/ErrorCouldNotLoadProject.htm");
        return false;
    }
    CAnalysisRun run(state, project, paths);
    if (!run.Drive() || CProgress::ShouldCancel()) return false;
    // A report file that could not be written is a failed run, never "Success!".
    if (!run.AssembleReportTree(outputPath, save)) return false;
    return !CProgress::ShouldCancel();
}
