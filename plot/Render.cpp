#include "plot/Render.h"

#include <cairo-svg.h>
#include <fcntl.h>
#include <gif_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace plot {
namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using surface_ptr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using context_ptr = std::unique_ptr<cairo_t, ContextDeleter>;

bool DrawOn(cairo_surface_t* surface, const CChart& chart) {
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return false;
    context_ptr cr(cairo_create(surface));
    chart.Draw(cr.get());
    const bool ok = cairo_status(cr.get()) == CAIRO_STATUS_SUCCESS;
    cr.reset();
    cairo_surface_flush(surface);
    return ok;
}

// A temporary file beside the target, renamed over it by Commit and removed otherwise.
class TempFile {
public:
    explicit TempFile(const std::string& target) : m_target(target) {
        const size_t slash = target.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
        m_path = (slash == std::string::npos ? std::string("./") : dir) + ".chart-XXXXXX";
        m_fd = mkstemp(m_path.data());
        m_created = m_fd >= 0;
    }
    ~TempFile() {
        if (m_fd >= 0) close(m_fd);
        if (m_created && !m_committed) unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd; }
    bool Commit() {
        if (m_fd < 0) return false;
        fchmod(m_fd, 0644);
        const bool closed = close(m_fd) == 0;
        m_fd = -1;
        m_committed = closed && rename(m_path.c_str(), m_target.c_str()) == 0;
        return m_committed;
    }

private:
    std::string m_target, m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_committed = false;
};

cairo_status_t WriteToFd(void* closure, const unsigned char* data, unsigned int length) {
    const int fd = *static_cast<int*>(closure);
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n <= 0) return CAIRO_STATUS_WRITE_ERROR;
        data += n;
        length -= static_cast<unsigned int>(n);
    }
    return CAIRO_STATUS_SUCCESS;
}

bool WritePng(const CChart& chart, int fd) {
    surface_ptr surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, chart.Width(), chart.Height()));
    if (!DrawOn(surface.get(), chart)) return false;
    return cairo_surface_write_to_png_stream(surface.get(), WriteToFd, &fd) == CAIRO_STATUS_SUCCESS;
}

bool WriteSvg(const CChart& chart, int fd) {
    surface_ptr surface(
        cairo_svg_surface_create_for_stream(WriteToFd, &fd, chart.Width(), chart.Height()));
    if (!DrawOn(surface.get(), chart)) return false;
    cairo_surface_finish(surface.get());
    return cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS;
}

// Opaque 0xRRGGBB of a premultiplied ARGB pixel, composed over white.
std::uint32_t Opaque(std::uint32_t px) {
    const std::uint32_t a = px >> 24, white = 255 - a;
    auto ch = [&](int shift) {
        return std::min<std::uint32_t>(255, ((px >> shift) & 0xFF) + white) << shift;
    };
    return ch(16) | ch(8) | ch(0);
}

std::vector<std::uint32_t> ChoosePalette(const image_t& image) {
    std::unordered_map<std::uint32_t, std::uint32_t> counts;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) ++counts[Opaque(image.PixelAt(x, y))];
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byCount(counts.begin(), counts.end());
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    std::vector<std::uint32_t> palette;
    for (size_t i = 0; i < byCount.size() && palette.size() < 256; ++i)
        palette.push_back(byCount[i].first);
    return palette;
}

int Distance(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int shift : {16, 8, 0}) {
        const int x = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        d += x * x;
    }
    return d;
}

int EGifWrite(GifFileType* gif, const GifByteType* data, int length) {
    const int fd = *static_cast<int*>(gif->UserData);
    int done = 0;
    while (done < length) {
        const ssize_t n = write(fd, data + done, static_cast<size_t>(length - done));
        if (n <= 0) return 0;
        done += static_cast<int>(n);
    }
    return length;
}

}  // namespace

file_format_t FormatForPath(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return file_format_t::GIF;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png") return file_format_t::PNG;
    if (ext == "svg") return file_format_t::SVG;
    return file_format_t::GIF;
}

image_t RenderToImage(const CChart& chart) {
    surface_ptr surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, chart.Width(), chart.Height()));
    image_t image;
    if (!DrawOn(surface.get(), chart)) return image;
    image.width = cairo_image_surface_get_width(surface.get());
    image.height = cairo_image_surface_get_height(surface.get());
    image.stride = cairo_image_surface_get_stride(surface.get());
    const std::uint8_t* data = cairo_image_surface_get_data(surface.get());
    image.pixels.assign(data, data + static_cast<size_t>(image.stride) * image.height);
    return image;
}

bool WriteGif(const image_t& image, int fd) {
    if (image.empty()) return false;
    std::vector<std::uint32_t> palette = ChoosePalette(image);
    int bits = 1;
    while ((1u << bits) < palette.size()) ++bits;
    std::vector<GifColorType> colors(1u << bits, GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i)
        colors[i] = {static_cast<GifByteType>(palette[i] >> 16),
                     static_cast<GifByteType>(palette[i] >> 8),
                     static_cast<GifByteType>(palette[i])};
    std::unordered_map<std::uint32_t, GifByteType> nearest;
    for (size_t i = 0; i < palette.size(); ++i) nearest[palette[i]] = static_cast<GifByteType>(i);

    int error = 0;
    int userFd = fd;
    GifFileType* gif = EGifOpen(&userFd, EGifWrite, &error);
    if (!gif) return false;
    ColorMapObject* map = GifMakeMapObject(1 << bits, colors.data());
    bool ok = map && EGifPutScreenDesc(gif, image.width, image.height, bits, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_OK;
    std::vector<GifByteType> line(static_cast<size_t>(image.width));
    for (int y = 0; ok && y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t c = Opaque(image.PixelAt(x, y));
            auto it = nearest.find(c);
            if (it == nearest.end()) {
                size_t best = 0;
                for (size_t i = 1; i < palette.size(); ++i)
                    if (Distance(c, palette[i]) < Distance(c, palette[best])) best = i;
                it = nearest.emplace(c, static_cast<GifByteType>(best)).first;
            }
            line[static_cast<size_t>(x)] = it->second;
        }
        ok = EGifPutLine(gif, line.data(), image.width) == GIF_OK;
    }
    if (map) GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool RenderToFile(const CChart& chart, const std::string& path) {
    TempFile file(path);
    if (file.fd() < 0) return false;
    bool ok = false;
    switch (FormatForPath(path)) {
        case file_format_t::PNG:
            ok = WritePng(chart, file.fd());
            break;
        case file_format_t::SVG:
            ok = WriteSvg(chart, file.fd());
            break;
        case file_format_t::GIF:
            ok = WriteGif(RenderToImage(chart), file.fd());
            break;
    }
    return ok && file.Commit();
}

}  // namespace plot
