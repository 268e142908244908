#include <cstdio>

#include "desk/cli/CommandLineInfo.h"
#include "desk/cli/StartUp.h"
#ifdef LOGVANE_GUI
#include <dlfcn.h>

#include <string>

#include "desk/module/WindowModule.h"
#include "store/settings/SettingsFolder.h"

namespace {

// Loads the window mode and runs it. Qt is mapped only here, so help and batch runs start
// without it.
int RunWindowModule(int& argc, char** argv, const CLogvaneDeskCommandLineInfo& info) {
    const std::string folder = GetExecutableDirectory();
    std::string error;
    for (const std::string& path :
         {folder + "/" + kWindowModuleName, folder + "/../lib/" + kWindowModuleName}) {
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            if (error.empty()) error = dlerror();
            continue;
        }
        auto entry = reinterpret_cast<window_mode_entry_t>(dlsym(module, kWindowModeEntry));
        if (!entry) {
            error = dlerror();
            continue;
        }
        // The module stays loaded: Qt cleans up at exit.
        return entry(&argc, argv, &info);
    }
    std::fprintf(stderr, "logvane: the window mode cannot be loaded (%s).\n", error.c_str());
    std::fputs(GetUsageText(), stderr);
    return 2;
}

}  // namespace
#endif

int main(int argc, char** argv) {
    RefreshSettingsFolder();
    CLogvaneDeskCommandLineInfo info;
    info.Parse(argc, argv);
    int exitCode = 0;
    if (HandleCommandLine(info, exitCode)) return exitCode;
#ifdef LOGVANE_GUI
    // Help and batch mode are done by now, so they never need a display.
    return RunWindowModule(argc, argv, info);
#else
    // Without a window the program can only explain itself.
    std::fputs(GetUsageText(), stdout);
    return 2;
#endif
}
