#include "engine/api/LogvaneEngine.h"

#include <malloc.h>

#include <cstring>

#include "engine/run/AnalysisDriver.h"
#include "engine/run/EngineState.h"
#include "engine/table/StringPool.h"
#include "store/report/ReportTree.h"
#include "store/settings/Settings.h"
#include "utility/Progress.h"

namespace {

std::string Text(const char* text) { return text ? text : ""; }

// Same release as at the start of each run.
void ReleaseRun(engine_state_t& state) {
    if (state.phases.releaseRun) state.phases.releaseRun();
    state.tables.reset();
}

int LoadReportOnly(const char* reportPath) {
    CReportTree tree;
    tree.LoadXML(Text(reportPath).c_str());
    return 1;
}

}  // namespace

extern "C" {

void LogvaneInitialize(const char* suffixDataPath, const char* settingsPath) {
    // Blocks of a megabyte and more (the slot arrays of large tables, which double as they
    // grow) get mappings of their own, returned as soon as they are freed. Left to glibc, the
    // threshold rises with the first large block freed, and the freed arrays stay in the heap:
    // the 2M-line bench run peaked 2.8 MiB higher, and ran no faster.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    engine_state_t& state = EngineState();
    state.settings = std::make_unique<CSettings>();
    state.settings->LoadXML(Text(settingsPath).c_str());
    PoolCreate();
    state.phases = MakeDefaultPhases();
    if (state.phases.loadSuffixData) state.phases.loadSuffixData(Text(suffixDataPath));
    state.progressBuffer.reset();
    state.progressCapacity = 0;
    CProgress::Initialize();
    state.initialized = true;
}

bool LogvaneStartAnalysis(const char* projectPath, const char* osPath, const char* browserPath,
                          const char* spiderPath, const char* searchEnginesPath,
                          const char* globalFiltersPath, const char* fileTypesPath,
                          const char* /*suffixDataPath*/, const char* outputPath,
                          const char* /*settingsPath*/, bool save) {
    const identification_paths_t paths{Text(osPath),
                                       Text(browserPath),
                                       Text(spiderPath),
                                       Text(searchEnginesPath),
                                       Text(globalFiltersPath),
                                       Text(fileTypesPath)};
    return StartAnalysis(EngineState(), Text(projectPath), paths, Text(outputPath), save);
}

const char* LogvaneGetProgress() {
    engine_state_t& state = EngineState();
    const std::string xml = CProgress::GetXML();
    if (state.progressCapacity < xml.size() + 1) {
        state.progressBuffer = std::make_unique<char[]>(xml.size() + 1);
        state.progressCapacity = xml.size() + 1;
    }
    std::memcpy(state.progressBuffer.get(), xml.c_str(), xml.size() + 1);
    return state.progressBuffer.get();
}

void LogvaneKill() {
    engine_state_t& state = EngineState();
    if (state.phases.releaseSuffixData) state.phases.releaseSuffixData();
    ReleaseRun(state);
    PoolDestroy();
    CProgress::Kill();
    state.progressBuffer.reset();
    state.progressCapacity = 0;
    state.settings.reset();
    state.phases = analysis_phases_t{};
    state.initialized = false;
}

int LogvaneExportToHTML(const char* reportPath, const CExportInformation&) {
    return LoadReportOnly(reportPath);
}

int LogvaneExportToCSV(const char* reportPath, const CExportInformation&) {
    return LoadReportOnly(reportPath);
}

void SetDebugMode(int mode) { EngineState().debugMode = mode; }

int GetIsCookieData() { return EngineState().cookieData; }
}
