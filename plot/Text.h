#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

#include "plot/Types.h"

// Text on a cairo context: fonts through fontconfig, anti-aliased, anchored and rotated.
namespace plot {

// Log texts are bytes as logged: valid UTF-8 is kept, anything else is read as Windows-1252.
std::string ToDisplayText(std::string_view bytes);

enum class halign_t { LEFT, CENTER, RIGHT };
enum class valign_t { TOP, MIDDLE, BOTTOM };

struct text_size_t {
    double width = 0;
    double height = 0;  // ascent + descent of the font
};

// Size of `utf8` in `font`, unrotated.
text_size_t MeasureText(cairo_t* cr, const font_t& font, std::string_view utf8);

// Draws `utf8` so that the point (x, y) sits at the given alignment of its box; `degrees`
// turns the text counter-clockwise around that point.
void DrawText(cairo_t* cr, const font_t& font, std::string_view utf8, double x, double y,
              halign_t h, valign_t v, double degrees = 0);

// `utf8` shortened with "..." so that it fits in maxWidth pixels: its end is cut, or with
// keepEnd its start (the telling part of paths and URLs).
std::string FitText(cairo_t* cr, const font_t& font, const std::string& utf8, double maxWidth,
                    bool keepEnd = false);

void SetColor(cairo_t* cr, color_t c);

}  // namespace plot
