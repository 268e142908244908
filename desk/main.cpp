#include <cstdio>

#include "desk/cli/CommandLineInfo.h"
#include "desk/cli/StartUp.h"

int main(int argc, char** argv) {
    RefreshSettingsFolder();
    CLogvaneDeskCommandLineInfo info;
    info.Parse(argc, argv);
    int exitCode = 0;
    if (HandleCommandLine(info, exitCode)) return exitCode;
    // Without a window the program can only explain itself.
    std::fputs(GetUsageText(), stdout);
    return 2;
}
