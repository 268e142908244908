#include "engine/source/Preprocess.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "utility/Progress.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlockSize = 64 * 1024;

size_t FindLastGz(const std::string& path) {
    for (size_t i = path.size(); i >= 3; --i) {
        const char* p = path.data() + i - 3;
        if (p[0] == '.' && (p[1] == 'g' || p[1] == 'G') && (p[2] == 'z' || p[2] == 'Z'))
            return i - 3;
    }
    return std::string::npos;
}

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct GzCloser {
    void operator()(gzFile file) const { gzclose(file); }
};
using GzHandle = std::unique_ptr<gzFile_s, GzCloser>;

// A temporary file beside the target, removed unless it is kept by a rename.
class CTempBeside {
public:
    explicit CTempBeside(const std::string& target) {
        const size_t slash = target.rfind('/');
        m_path = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
                 ".logvane-gz-XXXXXX";
        m_fd = mkstemp(m_path.data());
        if (m_fd < 0) m_path.clear();
    }
    ~CTempBeside() {
        if (m_fd >= 0) close(m_fd);
        if (!m_path.empty()) unlink(m_path.c_str());
    }
    CTempBeside(const CTempBeside&) = delete;
    CTempBeside& operator=(const CTempBeside&) = delete;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || close(fd) == 0;
    }
    // Moves the file to `target` (replacing it); the object no longer owns it.
    bool RenameTo(const std::string& target) {
        if (rename(m_path.c_str(), target.c_str()) != 0) return false;
        m_path.clear();
        return true;
    }
    // Like RenameTo, but fails when `target` exists.
    bool LinkTo(const std::string& target) {
        if (link(m_path.c_str(), target.c_str()) != 0) return false;
        unlink(m_path.c_str());
        m_path.clear();
        return true;
    }

private:
    std::string m_path;
    int m_fd = -1;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Inflates `source` into `fd`; false on a read error, a corrupt stream or cancellation.
bool Inflate(const std::string& source, int fd) {
    GzHandle in(gzopen(source.c_str(), "rb"));
    if (!in) return false;
    std::vector<char> block(kBlockSize);
    for (;;) {
        if (CProgress::ShouldCancel()) return false;
        const int n = gzread(in.get(), block.data(), static_cast<unsigned>(block.size()));
        if (n < 0) return false;
        if (n == 0) break;
        if (!WriteAll(fd, block.data(), static_cast<size_t>(n))) return false;
    }
    return gzclose(in.release()) == Z_OK;
}

bool SameBytes(const std::string& a, const std::string& b) {
    std::error_code ec1, ec2;
    if (fs::file_size(a, ec1) != fs::file_size(b, ec2) || ec1 || ec2) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> fa(std::fopen(a.c_str(), "rb"), std::fclose);
    std::unique_ptr<FILE, int (*)(FILE*)> fb(std::fopen(b.c_str(), "rb"), std::fclose);
    if (!fa || !fb) return false;
    std::vector<char> ba(kBlockSize), bb(kBlockSize);
    for (;;) {
        const size_t na = std::fread(ba.data(), 1, ba.size(), fa.get());
        const size_t nb = std::fread(bb.data(), 1, bb.size(), fb.get());
        if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0) return false;
        if (na == 0) return true;
    }
}

// Keeps the decompressed temporary file under a name that replaces nothing: the target, an
// identical file already there, or the first free "<target>-<n>".
std::string KeepLocal(CTempBeside& temp, const std::string& target) {
    for (int n = 0; n < 1000; ++n) {
        const std::string candidate = n == 0 ? target : target + "-" + std::to_string(n);
        std::error_code ec;
        if (!fs::exists(candidate, ec) && !ec) {
            if (temp.LinkTo(candidate)) return candidate;
            // Without hard links (some file systems) the rename may race; nothing better.
            if (errno != EEXIST) return temp.RenameTo(candidate) ? candidate : std::string();
        }
        if (fs::is_regular_file(candidate, ec) && SameBytes(temp.path(), candidate))
            return candidate;
    }
    return {};
}

// For a source whose folder cannot be written (rotated logs under /var/log): a fresh folder of
// the system's temporary folder holds the copy under the target's name.
std::string DecompressToScratch(const std::string& source, const std::string& target,
                                std::string& scratchFolder) {
    std::string folder = (fs::temp_directory_path() / "logvane-gz-XXXXXX").string();
    if (!mkdtemp(folder.data())) return {};
    const std::string path = folder + "/" + FileName(target);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && Inflate(source, fd);
    if (fd >= 0 && close(fd) != 0) ok = false;
    if (!ok) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        return {};
    }
    scratchFolder = folder;
    return path;
}

}  // namespace

bool IsCompressedPath(const std::string& path) { return FindLastGz(path) != std::string::npos; }

std::string DecompressedPath(const std::string& source) {
    const size_t at = FindLastGz(source);
    return at == std::string::npos ? source : source.substr(0, at);
}

std::string DecompressFile(const std::string& source, bool isLocal, std::string* scratchFolder) {
    std::string target = DecompressedPath(source);
    if (target.empty() || target.back() == '/') target += "log";
    CTempBeside temp(target);
    if (temp.fd() < 0) {
        const bool unwritable = errno == EACCES || errno == EROFS || errno == EPERM;
        return unwritable && scratchFolder ? DecompressToScratch(source, target, *scratchFolder)
                                           : std::string();
    }
    if (!Inflate(source, temp.fd()) || !temp.Close()) return {};
    if (!isLocal) return temp.RenameTo(target) ? target : std::string();
    return KeepLocal(temp, target);
}

void PreprocessFiles(const std::vector<std::string>& files, bool isLocal,
                     preprocess_result_t& result) {
    int compressed = 0;
    for (const std::string& file : files)
        if (IsCompressedPath(file)) ++compressed;
    int done = 0;
    for (const std::string& file : files) {
        if (CProgress::ShouldCancel()) return;
        std::string parsed = file;
        if (IsCompressedPath(file)) {
            ++done;
            CProgress::SetText(PROGRESS_DECOMPRESSING, "Decompressing " + FileName(file) + "...");
            CProgress::SetPercentageDone(100 * done / compressed);
            std::string scratch;
            parsed = DecompressFile(file, isLocal, &scratch);
            if (!scratch.empty()) result.scratchFolders.push_back(scratch);
            if (parsed.empty()) {
                if (!CProgress::ShouldCancel())
                    CProgress::AddError(
                        "There was an error decompressing the following file: " + file,
                        "Trouble/ErrorDecompressing.htm");
                continue;
            }
        }
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(parsed, ec);
        result.files.push_back(std::move(parsed));
        ++result.fileCount;
        if (!ec) result.byteTotal += size;
    }
}
