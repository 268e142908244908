#pragma once

#include <cstdio>
#include <string>

// Appends every line handed to a parser to the debug file ("logOutput.txt"), each followed by
// CR LF; a line longer than 999 bytes is cut to its first 500.
class CDebugLineLog {
public:
    CDebugLineLog() = default;
    ~CDebugLineLog();
    CDebugLineLog(const CDebugLineLog&) = delete;
    CDebugLineLog& operator=(const CDebugLineLog&) = delete;

    // False when the file cannot be opened for appending; Write then does nothing.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }
    // Safe to call on mapped bytes under a SIGBUS guard: the line is copied out before any
    // stdio call, so a fault never interrupts one.
    void Write(const char* line, std::size_t length);

private:
    std::FILE* m_file = nullptr;
    char m_buffer[1002];
};
