#include <cstdio>

#include "desk/cli/CommandLineInfo.h"

int main(int argc, char** argv) {
    CLogvaneDeskCommandLineInfo info;
    info.Parse(argc, argv);
    if (info.help) {
        std::fputs(GetUsageText(), stdout);
        return 0;
    }
    std::fputs(GetUsageText(), stdout);
    return 0;
}
