#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A log file opened read-only for mapping. Only regular files open: a folder, a pipe or a
// device would block or map nothing, and fails instead.
class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // False when the file cannot be opened or is not a regular file.
    bool Open(const std::string& path);
    int Fd() const { return m_fd; }
    // The size when the file was opened.
    std::uint64_t Size() const { return m_size; }
    // The size the file system reports now; 0 when it cannot tell.
    std::uint64_t CurrentSize() const;
    // Reads up to length bytes at offset without mapping; returns the bytes read (0 on error).
    std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t length) const;

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

// One read-only view of a mapped file; unmapped when the object goes.
class CMappedView {
public:
    CMappedView() = default;
    ~CMappedView();
    CMappedView(const CMappedView&) = delete;
    CMappedView& operator=(const CMappedView&) = delete;

    // Maps length bytes at offset (a multiple of the page size). False on failure.
    bool Map(const CMappedFile& file, std::uint64_t offset, std::size_t length);
    const char* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }
    // Unmaps the view now; Data() is nullptr and Size() 0 after.
    void Unmap();

private:
    const char* m_data = nullptr;
    std::size_t m_size = 0;
};

// The system's page size, the granularity of view offsets.
std::size_t PageSize();
