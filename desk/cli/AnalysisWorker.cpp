#include "desk/cli/AnalysisWorker.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <new>

#include "engine/api/LogvaneEngine.h"
#include "store/settings/SettingsFolder.h"
#include "utility/Progress.h"

bool RunAnalysisWorker(const analysis_thread_param_t& param, const std::function<void()>& done) {
    const std::string settings = GetSettingsFile("settings");
    const std::string suffixData = GetSettingsFile("suffixdata");
    const std::string fileTypes = GetSettingsFile("filetypeidentification");
    const std::string globalFilters = GetSettingsFile("globalfilters");
    const std::string searchEngines = GetSettingsFile("searchengines");
    const std::string spider = GetSettingsFile("spider");
    const std::string browser = GetSettingsFile("browser");
    const std::string os = GetSettingsFile("os");
    bool ok = false;
    // A run too large for memory must end as a failed run with its message, not take the
    // program down with the poller still waiting.
    try {
        ok = LogvaneStartAnalysis(param.projectPath.c_str(), os.c_str(), browser.c_str(),
                                  spider.c_str(), searchEngines.c_str(), globalFilters.c_str(),
                                  fileTypes.c_str(), suffixData.c_str(), param.outputPath.c_str(),
                                  settings.c_str(), param.save);
    } catch (const std::bad_alloc&) {
        CProgress::AddError("Memory Limit reached.", "");
    } catch (const std::exception& e) {
        CProgress::AddError(std::string("The analysis stopped: ") + e.what(), "");
    }
    CProgress::SetCancel();
    if (done) done();
    return ok;
}

void LowerThreadPriority() {
    // On Linux the nice value belongs to the thread named by its id.
    const id_t thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (errno == 0) setpriority(PRIO_PROCESS, thread, current + 5);
}
