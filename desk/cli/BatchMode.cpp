#include "desk/cli/BatchMode.h"

#include <thread>

#include "desk/cli/AnalysisWorker.h"
#include "desk/cli/ProgressPrinter.h"
#include "engine/api/LogvaneEngine.h"
#include "store/settings/SettingsFolder.h"
#include "utility/Progress.h"

const char* GetBatchBanner() {
    return "Logvane 4\n"
           "Copyright (c) Zentrik Labs. All rights reserved.\n"
           "For help, see the help pages installed with Logvane;\n"
           "run \"logvane --help\" for the command line.\n"
           "\n\n";
}

namespace {

void PrintErrors(FILE* out) {
    std::fputs("Analysis failed:\r\n", out);
    for (const std::string& error : ReadProgressErrors(CProgress::GetXML()))
        std::fprintf(out, "Error: %s\r\n", error.c_str());
    CProgress::ClearErrors();
}

}  // namespace

bool RunBatchMode(const std::string& projectPath, const std::string& reportPath, FILE* out) {
    std::fputs(GetBatchBanner(), out);
    std::fflush(out);
    LogvaneInitialize(GetSettingsFile("suffixdata").c_str(), GetSettingsFile("settings").c_str());

    const analysis_thread_param_t param{projectPath, true, reportPath};
    CProgressPrinter printer(out);
    bool succeeded = false;
    std::thread printerThread([&printer] {
        LowerThreadPriority();
        printer.Run();
    });
    std::thread worker([&param, &succeeded] {
        LowerThreadPriority();
        succeeded = RunAnalysisWorker(param);
    });
    worker.join();
    CProgress::SetCancel();  // the worker sets it too; the printer must end either way
    printer.Stop();
    printerThread.join();

    if (succeeded)
        std::fputs("\r\nSuccess!\r\n", out);
    else
        PrintErrors(out);
    std::fflush(out);
    LogvaneKill();
    return succeeded;
}
