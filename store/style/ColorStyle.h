#pragma once

#include <cstdint>
#include <string>

#include "store/StoreApi.h"

// The look of one part of an exported page: font, size, colours and weight. Colours are
// 0x00BBGGRR values (red in the lowest byte).
class LOGVANE_STORE_API CColorStyle {
public:
    // "Arial", 12 points, black on white, neither bold nor italic.
    CColorStyle() = default;
    CColorStyle(const std::string& fontName, int size, std::uint32_t fontColor,
                std::uint32_t bgColor, bool bold = false, bool italic = false)
        : m_fontName(fontName),
          m_size(size),
          m_fontColor(fontColor),
          m_bgColor(bgColor),
          m_bold(bold),
          m_italic(italic) {}
    bool operator==(const CColorStyle&) const = default;

    // One CSS rule for `selector`, ending in a line feed, e.g. ".x { color: rgb(0,0,0);
    // background-color: rgb(255,255,255); font-weight: Normal; ... font-size: 12pt;}".
    std::string GetStyleCSS(const std::string& selector) const;

    const std::string& GetFontName() const { return m_fontName; }
    void SetFontName(const std::string& name) { m_fontName = name; }
    int GetSize() const { return m_size; }
    void SetSize(int points) { m_size = points; }
    std::uint32_t GetFontColor() const { return m_fontColor; }
    void SetFontColor(std::uint32_t color) { m_fontColor = color; }
    std::uint32_t GetBgColor() const { return m_bgColor; }
    void SetBgColor(std::uint32_t color) { m_bgColor = color; }
    bool GetBold() const { return m_bold; }
    void SetBold(bool on) { m_bold = on; }
    bool GetItalic() const { return m_italic; }
    void SetItalic(bool on) { m_italic = on; }

private:
    std::string m_fontName = "Arial";
    int m_size = 12;
    std::uint32_t m_fontColor = 0;
    std::uint32_t m_bgColor = 0xFFFFFF;
    bool m_bold = false;
    bool m_italic = false;
};
