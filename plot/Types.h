#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small value types shared by the chart classes.
namespace plot {

// 0xRRGGBB; the top byte is unused except for kTransparent.
using color_t = std::uint32_t;
inline constexpr color_t kTransparent = 0xFF000000u;

inline constexpr double Red(color_t c) { return ((c >> 16) & 0xFF) / 255.0; }
inline constexpr double Green(color_t c) { return ((c >> 8) & 0xFF) / 255.0; }
inline constexpr double Blue(color_t c) { return (c & 0xFF) / 255.0; }

// The colour with every channel scaled by factor (0..1 darkens); used for 3-D side faces.
color_t ShadeColor(color_t c, double factor);
// The colour moved a fraction t (0..1) of the way towards `to`.
color_t BlendColor(color_t c, color_t to, double t);

struct rect_t {
    int x = 0, y = 0, width = 0, height = 0;
};

// A font as the charts ask for it: a family that fontconfig resolves, a size in points
// (drawn at 96 dpi) and a style.
struct font_t {
    std::string family = "Liberation Sans";
    double points = 8;
    bool bold = false;
    bool italic = false;
    color_t color = 0x000000;
};

// A rendered chart in memory: 32-bit premultiplied ARGB pixels in native byte order, rows
// of `stride` bytes (the layout of QImage::Format_ARGB32_Premultiplied). Empty when drawing
// failed.
struct image_t {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> pixels;

    bool empty() const { return pixels.empty(); }
    // The pixel at (x, y) as 0xAARRGGBB; 0 outside the image.
    std::uint32_t PixelAt(int x, int y) const;
};

}  // namespace plot
