#include "store/style/ColorStyle.h"

#include <cstdio>
#include <vector>

namespace {

int Red(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
int Green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }

}  // namespace

std::string CColorStyle::GetStyleCSS(const std::string& selector) const {
    const char* kFormat =
        "%s { color: rgb(%d,%d,%d); background-color: rgb(%d,%d,%d); font-weight: %s; "
        "font-style: %s; font-family: %s; font-size: %dpt;}\n";
    auto print = [&](char* out, size_t size) {
        return std::snprintf(out, size, kFormat, selector.c_str(), Red(m_fontColor),
                             Green(m_fontColor), Blue(m_fontColor), Red(m_bgColor),
                             Green(m_bgColor), Blue(m_bgColor), m_bold ? "Bold" : "Normal",
                             m_italic ? "Italic" : "Normal", m_fontName.c_str(), m_size);
    };
    const int length = print(nullptr, 0);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    print(buffer.data(), buffer.size());
    return std::string(buffer.data(), static_cast<size_t>(length));
}
