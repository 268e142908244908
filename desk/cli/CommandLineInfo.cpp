#include "desk/cli/CommandLineInfo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "desk/cli/BatchMode.h"
#include "engine/api/LogvaneEngine.h"

namespace {

std::string ToUpper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool EndsWith(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

// The flag name without its leading "/", "-" or "--"; empty when the argument is no flag.
std::string FlagName(const std::string& arg) {
    if (arg.size() < 2) return {};
    if (arg.compare(0, 2, "--") == 0) return ToUpper(arg.substr(2));
    if (arg[0] == '-' || arg[0] == '/') return ToUpper(arg.substr(1));
    return {};
}

}  // namespace

void CLogvaneDeskCommandLineInfo::Parse(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        const std::string upper = ToUpper(arg);
        const std::string flag = FlagName(arg);
        if (flag == "HELP" || flag == "H")
            help = 1;
        else if (flag == "DEBUG")
            debug = 1;
        else if (EndsWith(upper, "BVP"))
            projectPath = arg;
        else if (EndsWith(upper, "BVR"))
            reportPath = arg;
        else
            others.push_back(arg);
    }
}

const char* GetUsageText() {
    return "-------------------------------\n\n"
           "To use Logvane, invoke as follows:\n"
           "logvane project.bvp [output.bvr]\n"
           "\n"
           "\"project.bvp\" points to the project information XML\n"
           "\"output.bvr\" (OPTIONAL) points to the file you would like to receive the \n"
           "\n\n\n";
}

bool HandleCommandLine(const CLogvaneDeskCommandLineInfo& info, int& exitCode) {
    SetDebugMode(info.debug);
    if (info.help) {
        std::fputs(GetUsageText(), stdout);
        exitCode = 0;
        return true;
    }
    if (info.projectPath.empty() || info.reportPath.empty()) return false;
    exitCode = RunBatchMode(info.projectPath, info.reportPath) ? 0 : 1;
    return true;
}
