#include "plot/Types.h"

#include <algorithm>
#include <cstring>

namespace plot {

color_t ShadeColor(color_t c, double factor) {
    factor = std::clamp(factor, 0.0, 1.0);
    auto channel = [&](int shift) {
        return static_cast<color_t>(((c >> shift) & 0xFF) * factor) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

color_t BlendColor(color_t c, color_t to, double t) {
    t = std::clamp(t, 0.0, 1.0);
    auto channel = [&](int shift) {
        const double a = (c >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        return static_cast<color_t>(a + (b - a) * t + 0.5) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

std::uint32_t image_t::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height || empty()) return 0;
    std::uint32_t px;
    std::memcpy(&px, pixels.data() + static_cast<size_t>(y) * stride + x * 4, 4);
    return px;
}

}  // namespace plot
