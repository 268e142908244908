#include "engine/scan/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

CMappedFile::~CMappedFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool CMappedFile::Open(const std::string& path) {
    // O_NONBLOCK keeps a FIFO that slipped into the file list from blocking the open.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) return false;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

std::uint64_t CMappedFile::CurrentSize() const {
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t CMappedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t length) const {
    std::size_t done = 0;
    while (done < length) {
        ssize_t got =
            ::pread(m_fd, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

CMappedView::~CMappedView() { Unmap(); }

void CMappedView::Unmap() {
    if (m_data) ::munmap(const_cast<char*>(m_data), m_size);
    m_data = nullptr;
    m_size = 0;
}

bool CMappedView::Map(const CMappedFile& file, std::uint64_t offset, std::size_t length) {
    Unmap();
    if (length == 0) return false;
    void* data =
        ::mmap(nullptr, length, PROT_READ, MAP_SHARED, file.Fd(), static_cast<off_t>(offset));
    if (data == MAP_FAILED) return false;
    ::madvise(data, length, MADV_SEQUENTIAL);
    m_data = static_cast<const char*>(data);
    m_size = length;
    return true;
}

std::size_t PageSize() {
    static const std::size_t size = [] {
        long page = ::sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<std::size_t>(page) : std::size_t(4096);
    }();
    return size;
}
