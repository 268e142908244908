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

namespace {

// Files that the program itself rewrites in the settings folder: the options dialog saves the
// settings there and the filter wizard the global filters. Refreshing them would throw away
// the user's changes at every start, so an existing copy is kept.
bool IsUserEdited(const std::string& name) {
    return name == "settings.xml" || name == "globalfilters.xml";
}

// Copies through a temporary file and a rename, so a crash never leaves half a data file.
bool CopyAtomically(const fs::path& from, const fs::path& to) {
    fs::path tmp = to;
    tmp += ".refresh-tmp";
    std::error_code ec;
    if (!fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec)) return false;
    fs::rename(tmp, to, ec);
    if (ec) fs::remove(tmp, ec);
    return !ec;
}

}  // namespace

void RefreshSettingsFolder(const std::string& shipped, const std::string& settingsDir) {
    const fs::path settings = settingsDir;
    std::error_code ec;
    fs::create_directories(settings, ec);
    if (shipped.empty()) return;
    for (fs::directory_iterator it(shipped, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !it->is_regular_file(ec)) continue;
        std::error_code exists;
        if (IsUserEdited(name) && fs::exists(settings / name, exists)) continue;
        CopyAtomically(it->path(), settings / name);
    }
}

void RefreshSettingsFolder() { RefreshSettingsFolder(GetShippedDataDir(), GetSettingsDir()); }
