#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

// A file opened for reading, closed with the object; `fd` is -1 (errno set) when it cannot be
// opened.
struct read_only_file_t {
    int fd;

    explicit read_only_file_t(const std::string& path)
        : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~read_only_file_t() {
        if (fd >= 0) ::close(fd);
    }
    read_only_file_t(const read_only_file_t&) = delete;
    read_only_file_t& operator=(const read_only_file_t&) = delete;
};
