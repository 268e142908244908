#include "store/settings/SettingsFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "store/format/FileSystem.h"

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    // Without HOME (daemons, some service managers) the password database still knows.
    std::vector<char> buf(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "";
}

std::string ConfigFolder() {
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    return HomeFolder() + "/.config";
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The value of `XDG_DOCUMENTS_DIR="..."` in a user-dirs.dirs line, with "$HOME" expanded and
// backslash escapes resolved; empty when the line sets something else or the value is unusable.
std::string DocumentsDirOfLine(const std::string& line, const std::string& home) {
    static const std::string kKey = "XDG_DOCUMENTS_DIR=";
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, kKey.size(), kKey) != 0) return "";
    at += kKey.size();
    if (at >= line.size() || line[at] != '"') return "";
    std::string value;
    for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
    }
    if (value.compare(0, 7, "${HOME}") == 0)
        value = home + value.substr(7);
    else if (value.compare(0, 5, "$HOME") == 0)
        value = home + value.substr(5);
    // Only absolute paths are allowed in the file.
    if (value.empty() || value[0] != '/') return "";
    return WithoutTrailingSlashes(value);
}

}  // namespace

std::string GetSettingsDir() { return ConfigFolder() + "/Zentrik Labs/Logvane4/Settings"; }

std::string GetSettingsFile(const std::string& name) {
    const std::string base = GetSettingsDir() + "/" + name;
    const std::string custom = base + "-custom.xml";
    if (FileExists(custom.c_str())) return custom;
    return base + ".xml";
}

std::string GetHomeDir() {
    const std::string home = HomeFolder();
    std::ifstream dirs(ConfigFolder() + "/user-dirs.dirs");
    std::string line, documents;
    // The last assignment wins, as when the file is sourced by a shell.
    while (std::getline(dirs, line)) {
        const std::string value = DocumentsDirOfLine(line, home);
        if (!value.empty()) documents = value;
    }
    return documents.empty() ? home + "/Documents" : documents;
}

std::string GetExecutableDirectory() {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < buf.size()) {
            const std::string path(buf.data(), static_cast<size_t>(n));
            const size_t slash = path.find_last_of('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash);
        }
        buf.resize(buf.size() * 2);
    }
}
