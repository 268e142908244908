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

// Whether `to` is the copy that refreshing `from` made: same size and modification time. The
// copies of the last start are then left alone: rewriting some megabytes at every start costs
// a batch run more than reading its settings.
bool IsCopyOf(const fs::path& to, const fs::path& from) {
    std::error_code ec;
    const auto size = fs::file_size(from, ec);
    if (ec || fs::file_size(to, ec) != size || ec) return false;
    const auto modified = fs::last_write_time(from, ec);
    return !ec && fs::last_write_time(to, ec) == modified && !ec;
}

// Copies through a temporary file and a rename, so a crash never leaves half a data file. The
// copy takes the original's modification time, which tells it apart from an edited one.
bool CopyAtomically(const fs::path& from, const fs::path& to) {
    fs::path tmp = to;
    tmp += ".refresh-tmp";
    std::error_code ec;
    if (!fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec)) return false;
    const auto modified = fs::last_write_time(from, ec);
    if (!ec) fs::last_write_time(tmp, modified, ec);
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
        if (IsCopyOf(settings / name, it->path())) continue;
        CopyAtomically(it->path(), settings / name);
    }
}

void RefreshSettingsFolder() { RefreshSettingsFolder(GetShippedDataDir(), GetSettingsDir()); }
