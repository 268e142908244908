#include "desk/cli/StartUp.h"

#include <filesystem>

#include "store/settings/SettingsFolder.h"

namespace fs = std::filesystem;

std::string GetShippedDataDir() {
    const std::string program = GetExecutableDirectory();
    if (program.empty()) return {};
    std::error_code ec;
    for (const fs::path& candidate :
         {fs::path(program) / "xml", fs::path(program) / ".." / "share" / "logvane" / "xml"})
        if (fs::is_directory(candidate, ec)) return candidate.lexically_normal().string();
    return {};
}

void RefreshSettingsFolder() {
    const fs::path settings = GetSettingsDir();
    std::error_code ec;
    fs::create_directories(settings, ec);
    const std::string shipped = GetShippedDataDir();
    if (shipped.empty()) return;
    for (fs::directory_iterator it(shipped, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !it->is_regular_file(ec)) continue;
        std::error_code copyError;
        fs::copy_file(it->path(), settings / name, fs::copy_options::overwrite_existing, copyError);
    }
}
