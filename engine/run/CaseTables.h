#pragma once

#include <array>

// ASCII-only case folding for parsers and identification: bytes outside A-Z / a-z map to
// themselves, so texts in any 8-bit code page pass through unchanged.
namespace logvane::casefold {

constexpr std::array<unsigned char, 256> MakeTable(unsigned char from, int shift) {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const bool fold = i >= from && i < from + 26;
        table[i] = static_cast<unsigned char>(fold ? i + shift : i);
    }
    return table;
}

inline constexpr std::array<unsigned char, 256> kUpper = MakeTable('a', 'A' - 'a');
inline constexpr std::array<unsigned char, 256> kLower = MakeTable('A', 'a' - 'A');

}  // namespace logvane::casefold
