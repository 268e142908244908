#pragma once

#include <string>
#include <vector>

// What the program was asked to do on its command line.
struct CLogvaneDeskCommandLineInfo {
    std::string projectPath;  // kept exactly as given: upper-casing a path breaks it on Linux
    std::string reportPath;
    int help = 0;
    int debug = 0;
    std::vector<std::string> others;  // arguments that are neither flags nor our files

    // Reads the arguments after the program name. An argument ending in "bvp" (any case) is
    // the project, one ending in "bvr" the report; "/HELP", "-H", "--help" and the like set
    // the help flag, "/DEBUG" the debug flag.
    void Parse(int argc, const char* const* argv);
};

// The usage text, byte for byte.
const char* GetUsageText();

// Acts on the parts of the command line that need no window: sets the engine's debug mode,
// prints the usage text for the help flag, runs batch mode when both a project and a report
// are named. Returns true when the program should end with `exitCode` (0 for help and a
// successful batch run, 1 for a failed one); false when the window should open.
bool HandleCommandLine(const CLogvaneDeskCommandLineInfo& info, int& exitCode);
