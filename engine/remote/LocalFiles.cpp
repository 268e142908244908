#include "engine/remote/LocalFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "store/format/FileSystem.h"
#include "store/format/Format.h"
#include "store/format/Url.h"
#include "store/settings/SettingsFolder.h"

CTempFile::~CTempFile() { Abandon(); }

bool CTempFile::Open(const std::string& target) {
    Abandon();
    m_target = target;
    m_tempPath = target + ".part-XXXXXX";
    m_fd = mkstemp(m_tempPath.data());
    if (m_fd < 0) m_tempPath.clear();
    return m_fd >= 0;
}

bool CTempFile::Write(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CTempFile::Commit(time_t modified) {
    if (m_fd < 0) return false;
    fchmod(m_fd, 0644);
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!closed || std::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        Abandon();
        return false;
    }
    m_tempPath.clear();
    if (modified != -1) {
        const struct timespec times[2] = {{modified, 0}, {modified, 0}};
        utimensat(AT_FDCWD, m_target.c_str(), times, 0);
    }
    return true;
}

void CTempFile::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

void CreateParentFolders(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    std::error_code ec;
    std::filesystem::create_directories(path.substr(0, slash), ec);
}

std::string JoinInsideFolder(const std::string& folder, std::string_view relative) {
    std::string inside;
    size_t pos = 0;
    while (pos <= relative.size()) {
        size_t end = relative.find_first_of("/\\", pos);
        if (end == std::string_view::npos) end = relative.size();
        std::string part(relative.substr(pos, end - pos));
        pos = end + 1;
        if (part.empty() || part == "." || part == "..") continue;
        for (char& c : part)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '_';
        if (!inside.empty()) inside += '/';
        inside += part;
    }
    if (inside.empty()) inside.push_back('_');
    std::string result = folder;
    if (result.empty() || result.back() != '/') result.push_back('/');
    result.append(inside);
    return result;
}

std::string GetDownloadFolder(const std::string& projectName) {
    std::string name = CFormat::MakeValidFilename(projectName);
    if (name.find_first_not_of('.') == std::string::npos) name = "_" + name;
    std::string settings = GetSettingsDir();
    while (settings.size() > 1 && settings.back() == '/') settings.pop_back();
    const size_t slash = settings.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : settings.substr(0, slash);
    return UrlAddLocalFile(parent, name);
}
