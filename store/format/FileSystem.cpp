#include "store/format/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/format/FtpConnection.h"

namespace {

std::string WithoutTrailingSlashes(const std::string& path, const char* separators) {
    const size_t end = path.find_last_not_of(separators);
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

// Shared shape of the local and the FTP form: create missing parents first, then the folder.
template <typename Exists, typename Create>
int CreateWithParents(const std::string& path, const char* separators, Exists exists,
                      Create create) {
    const std::string folder = WithoutTrailingSlashes(path, separators);
    if (folder.empty()) return 0;
    const size_t at = folder.find_last_of(separators);
    const std::string parent = at == std::string::npos ? std::string() : folder.substr(0, at);
    if (!WithoutTrailingSlashes(parent, separators).empty() && !exists(parent) &&
        !CreateWithParents(parent, separators, exists, create))
        return 0;
    return create(folder) ? 1 : 0;
}

}  // namespace

int FileExists(const char* path) {
    struct stat st {};
    if (!path || stat(path, &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 0 : 1;
}

int DirExists(const char* path) {
    struct stat st {};
    if (!path || stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
    // Entering a folder needs search permission; test it without changing folder.
    return access(path, X_OK) == 0 ? 1 : 0;
}

std::uint64_t GetFileSizeName(const char* path) {
    if (!path) return 0;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st {};
    const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return ok ? static_cast<std::uint64_t>(st.st_size) : 0;
}

int RecursiveCreateDir(const std::string& path) {
    // A backslash is an ordinary character of a Linux file name.
    return CreateWithParents(
        path, "/", [](const std::string& p) { return DirExists(p.c_str()) != 0; },
        [](const std::string& p) { return mkdir(p.c_str(), 0777) == 0; });
}

int RecursiveFTPCreateDir(CFtpConnection* connection, const std::string& path) {
    if (!connection) return 0;
    return CreateWithParents(
        path, "/\\",
        [connection](const std::string& p) { return FTPDirExists(connection, p) != 0; },
        [connection](const std::string& p) { return connection->CreateDirectory(p); });
}

int FTPDirExists(CFtpConnection* connection, const std::string& path) {
    if (!connection) return 0;
    std::string current;
    const bool known = connection->GetCurrentDirectory(current);
    if (!connection->SetCurrentDirectory(path)) return 0;
    if (known) connection->SetCurrentDirectory(current);
    return 1;
}

long ConvertCTimeToTime(const struct tm& localTime) {
    struct tm parts = localTime;
    parts.tm_isdst = -1;
    return static_cast<long>(mktime(&parts));
}

long ConvertCTimeToTime(time_t time) {
    struct tm parts {};
    if (!localtime_r(&time, &parts)) return -1;
    return static_cast<long>(mktime(&parts));
}
