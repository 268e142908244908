#include "engine/scan/PatternSearch.h"

#include <cstring>

CPatternSearch::CPatternSearch(std::string_view pattern, bool caseInsensitive)
    : m_length(pattern.size() <= sizeof(m_pattern) ? pattern.size() : 0),
      m_caseInsensitive(caseInsensitive) {
    for (std::size_t i = 0; i < m_length; ++i)
        m_pattern[i] = Fold(static_cast<unsigned char>(pattern[i]));
    for (auto& skip : m_skip) skip = m_length;
    for (std::size_t i = 0; i + 1 < m_length; ++i) m_skip[m_pattern[i]] = m_length - 1 - i;
    // The last pattern byte, unless it occurs earlier, moves the window by one.
    if (m_length > 0 && m_skip[m_pattern[m_length - 1]] == m_length)
        m_skip[m_pattern[m_length - 1]] = 1;
}

unsigned char CPatternSearch::Fold(unsigned char c) const {
    return (m_caseInsensitive && c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

std::int64_t CPatternSearch::Find(const char* text, std::size_t length) const {
    if (m_length == 0 || length < m_length) return -1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t pos = 0;
    while (pos + m_length <= length) {
        std::size_t i = m_length;
        while (i > 0 && Fold(bytes[pos + i - 1]) == m_pattern[i - 1]) --i;
        if (i == 0) return static_cast<std::int64_t>(pos);
        pos += m_skip[Fold(bytes[pos + m_length - 1])];
    }
    return -1;
}
