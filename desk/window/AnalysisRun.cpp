#include "desk/window/AnalysisRun.h"

#include <chrono>
#include <thread>

#include "desk/window/AnalysisProgressDlg.h"
#include "engine/api/LogvaneEngine.h"
#include "store/project/ProjectInformation.h"
#include "store/settings/SettingsFolder.h"
#include "utility/Progress.h"

namespace {

// Hands every changed progress document to the dialog until the cancel flag is set.
void PollProgress(CAnalysisProgressDlg& dialog) {
    LowerThreadPriority();
    std::string last;
    while (!CProgress::ShouldCancel()) {
        const char* text = LogvaneGetProgress();
        if (text && last != text) {
            last = text;
            dialog.PostProgress(last);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(75));
    }
}

std::string ExportPathOf(const std::string& projectPath) {
    CProjectInformation project;
    if (!project.LoadXML(projectPath.c_str())) return {};
    return project.GetExportInformation().GetExportPath();
}

}  // namespace

analysis_result_t RunAnalysisInWindow(QWidget* owner, const analysis_thread_param_t& param) {
    LogvaneInitialize(GetSettingsFile("suffixdata").c_str(), GetSettingsFile("settings").c_str());
    bool success = false;
    {
        // The dialog exists before the threads start and outlives them, so their posts
        // always find it.
        CAnalysisProgressDlg progress(owner, CAnalysisProgressDlg::PROGRESS_MODE);
        std::thread poller(PollProgress, std::ref(progress));
        std::thread worker([&] {
            LowerThreadPriority();
            success = RunAnalysisWorker(param, [&progress] { progress.PostCloseRequest(); });
        });
        progress.exec();
        worker.join();
        poller.join();
    }
    CAnalysisProgressDlg errors(owner, CAnalysisProgressDlg::ERROR_MODE);
    errors.exec();
    LogvaneKill();
    return {success, ExportPathOf(param.projectPath)};
}
