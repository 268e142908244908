#include "engine/scan/DebugLineLog.h"

#include <cstring>

CDebugLineLog::~CDebugLineLog() {
    if (m_file) std::fclose(m_file);
}

bool CDebugLineLog::Open(const std::string& path) {
    if (m_file) std::fclose(m_file);
    m_file = std::fopen(path.c_str(), "ab");
    return m_file != nullptr;
}

void CDebugLineLog::Write(const char* line, std::size_t length) {
    if (!m_file) return;
    if (length > 999) length = 500;
    std::memcpy(m_buffer, line, length);
    m_buffer[length] = '\r';
    m_buffer[length + 1] = '\n';
    std::fwrite(m_buffer, 1, length + 2, m_file);
}
