#pragma once

#include <string>

struct CLogvaneDeskCommandLineInfo;

// What the command line asked of the window mode, and the window mode itself.
class CLogvaneDeskApp {
public:
    // Project and report named on the command line (or by Open); they act once.
    std::string m_projectPath;
    std::string m_reportPath;
    int m_help = 0;
    // Set by the project chooser's Exit command.
    int m_exitRequested = 0;

    // Opens the main window: a project alone is analysed at once, a report alone is shown.
    // Returns the program's exit code.
    static int RunWindowMode(int& argc, char** argv, const CLogvaneDeskCommandLineInfo& info);
};

// "<settings folder>/load.xml": every analysis from the window writes its report there.
std::string GetWorkingReportPath();
