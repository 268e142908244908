#include <cstdio>

#include "desk/cli/CommandLineInfo.h"
#include "desk/cli/StartUp.h"
#ifdef LOGVANE_GUI
#include "desk/window/LogvaneDeskApp.h"
#endif

int main(int argc, char** argv) {
    RefreshSettingsFolder();
    CLogvaneDeskCommandLineInfo info;
    info.Parse(argc, argv);
    int exitCode = 0;
    if (HandleCommandLine(info, exitCode)) return exitCode;
#ifdef LOGVANE_GUI
    // Help and batch mode are done by now, so they never need a display.
    return CLogvaneDeskApp::RunWindowMode(argc, argv, info);
#else
    // Without a window the program can only explain itself.
    std::fputs(GetUsageText(), stdout);
    return 2;
#endif
}
