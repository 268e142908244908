#include "engine/source/PathExpansion.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

namespace fs = std::filesystem;

bool WildcardMatch(const char* pattern, const char* text) {
    // Greedy match with one backtrack point: the last "*" seen and where it resumed.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == '?' || *pattern == *text) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

namespace {

class CPathExpander {
public:
    explicit CPathExpander(std::vector<std::string>& files) : m_files(files) {}

    void Expand(const std::string& path) {
        if (path.empty()) return;
        if (path.find_first_of("*?") != std::string::npos) {
            const size_t slash = path.rfind('/');
            if (slash == std::string::npos)
                ExpandFolder("", path.c_str());
            else
                ExpandFolder(path.substr(0, slash + 1), path.c_str() + slash + 1);
            return;
        }
        struct stat info;
        if (stat(path.c_str(), &info) != 0) return;
        if (S_ISDIR(info.st_mode))
            ExpandFolder(path, "*.*");
        else if (S_ISREG(info.st_mode))
            m_files.push_back(path);
    }

private:
    // `folder` is joined with each matching name: empty means the current folder.
    void ExpandFolder(const std::string& folder, const char* pattern) {
        const std::string listed = folder.empty() ? "." : folder;
        struct stat info;
        if (stat(listed.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
        // A folder already being walked further up is a symbolic link loop.
        const std::pair<dev_t, ino_t> id{info.st_dev, info.st_ino};
        if (!m_walking.insert(id).second) return;

        const bool every = std::string_view(pattern) == "*.*";
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(listed, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (name.empty() || name[0] == '.') continue;
            if (every || WildcardMatch(pattern, name.c_str())) names.push_back(std::move(name));
        }
        // Directory order is arbitrary on Linux: sorted names keep runs reproducible.
        std::sort(names.begin(), names.end());
        const bool joined = folder.empty() || folder.back() == '/';
        for (const std::string& name : names) Expand(joined ? folder + name : folder + "/" + name);
        m_walking.erase(id);
    }

    std::vector<std::string>& m_files;
    std::set<std::pair<dev_t, ino_t>> m_walking;
};

}  // namespace

void ExpandLocalPaths(const std::vector<std::string>& paths, std::vector<std::string>& files) {
    CPathExpander expander(files);
    for (const std::string& path : paths) expander.Expand(path);
}
