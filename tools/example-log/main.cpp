// make-example log FILE [SEED]
//     writes the example project's log.
// make-example project SOURCE LOG TARGET
//     copies the example project SOURCE to TARGET with path 0 of its first log file entry set
//     to LOG, as the project chooser installs it.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ExampleLog.h"
#include "store/project/ProjectInformation.h"

namespace {

int Usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s log FILE [SEED]\n"
                 "       %s project SOURCE.bvp LOG TARGET.bvp\n",
                 program, program);
    return 2;
}

int WriteLog(const char* path, const char* seedText) {
    std::uint64_t seed = logvane::example::kDefaultSeed;
    if (seedText) {
        char* end = nullptr;
        seed = std::strtoull(seedText, &end, 10);
        if (!end || *end != '\0') {
            std::fprintf(stderr, "not a seed: %s\n", seedText);
            return 2;
        }
    }
    logvane::example::CExampleLog log(seed);
    if (!log.WriteFile(path)) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    return 0;
}

int InstallProject(const char* source, const char* logPath, const char* target) {
    CProjectInformation project;
    if (!project.LoadXML(source)) {
        std::fprintf(stderr, "cannot load the project %s\n", source);
        return 1;
    }
    if (project.GetNumLogfileInformation() < 1) {
        std::fprintf(stderr, "the project %s has no log file entry\n", source);
        return 1;
    }
    project.GetLogfileInformation(0).SetPath(0, logPath);
    if (!project.SaveXML(target)) {
        std::fprintf(stderr, "cannot write %s\n", target);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "log" && (argc == 3 || argc == 4))
        return WriteLog(argv[2], argc == 4 ? argv[3] : nullptr);
    if (command == "project" && argc == 5) return InstallProject(argv[2], argv[3], argv[4]);
    return Usage(argv[0]);
}
