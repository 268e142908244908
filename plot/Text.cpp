#include "plot/Text.h"

#include <cstdint>

namespace plot {
namespace {

// Windows-1252 0x80..0x9F; 0 marks the five unassigned bytes, shown as U+FFFD.
const char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80           ? 0
                   : (c >> 5) == 0x6  ? 1
                   : (c >> 4) == 0xE  ? 2
                   : (c >> 3) == 0x1E ? 3
                                      : 9;
        if (n == 9 || (n == 1 && c < 0xC2) || i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

void SelectFont(cairo_t* cr, const font_t& font) {
    cairo_select_font_face(cr, font.family.c_str(),
                           font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.points * 96.0 / 72.0);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

}  // namespace

std::string ToDisplayText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xA0)
            AppendUtf8(out, kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD);
        else
            AppendUtf8(out, c);
    }
    return out;
}

void SetColor(cairo_t* cr, color_t c) { cairo_set_source_rgb(cr, Red(c), Green(c), Blue(c)); }

text_size_t MeasureText(cairo_t* cr, const font_t& font, std::string_view utf8) {
    SelectFont(cr, font);
    const std::string text(utf8);
    cairo_text_extents_t te;
    cairo_font_extents_t fe;
    cairo_text_extents(cr, text.c_str(), &te);
    cairo_font_extents(cr, &fe);
    return {te.x_advance, fe.ascent + fe.descent};
}

void DrawText(cairo_t* cr, const font_t& font, std::string_view utf8, double x, double y,
              halign_t h, valign_t v, double degrees) {
    if (utf8.empty()) return;
    const text_size_t size = MeasureText(cr, font, utf8);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    const double dx = h == halign_t::LEFT     ? 0
                      : h == halign_t::CENTER ? -size.width / 2
                                              : -size.width;
    const double top = v == valign_t::TOP      ? 0
                       : v == valign_t::MIDDLE ? -size.height / 2
                                               : -size.height;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, -degrees * 3.14159265358979323846 / 180.0);
    SetColor(cr, font.color);
    cairo_move_to(cr, dx, top + fe.ascent);
    const std::string text(utf8);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

std::string FitText(cairo_t* cr, const font_t& font, const std::string& utf8, double maxWidth,
                    bool keepEnd) {
    if (MeasureText(cr, font, utf8).width <= maxWidth) return utf8;
    std::string cut = utf8;
    while (!cut.empty()) {
        if (keepEnd) {  // drop the first character: its lead byte, then its continuation bytes
            size_t n = 1;
            while (n < cut.size() && (static_cast<unsigned char>(cut[n]) & 0xC0) == 0x80) ++n;
            cut.erase(0, n);
        } else {  // drop the last character: its continuation bytes, then its lead byte
            while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80)
                cut.pop_back();
            if (!cut.empty()) cut.pop_back();
        }
        const std::string shown = keepEnd ? "..." + cut : cut + "...";
        if (MeasureText(cr, font, shown).width <= maxWidth) return shown;
    }
    return "...";
}

}  // namespace plot
