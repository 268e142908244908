#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Boyer-Moore-Horspool search for one fixed pattern of up to 255 bytes, compared either
// byte for byte or with ASCII letters folded to upper case.
class CPatternSearch {
public:
    CPatternSearch(std::string_view pattern, bool caseInsensitive);

    // Offset of the first match in text, or -1 when there is none (also for an empty pattern
    // or one longer than 255 bytes).
    std::int64_t Find(const char* text, std::size_t length) const;
    std::int64_t Find(std::string_view text) const { return Find(text.data(), text.size()); }

private:
    unsigned char Fold(unsigned char c) const;

    unsigned char m_pattern[255];
    std::size_t m_length;
    bool m_caseInsensitive;
    std::size_t m_skip[256];
};
