#include "plot/Chart.h"

#include <algorithm>

#include "plot/Text.h"

namespace plot {

CChart::CChart(int width, int height, color_t background)
    : m_width(std::max(width, 1)), m_height(std::max(height, 1)), m_background(background) {}

void CChart::SetTitle(const std::string& text, const font_t& font, color_t boxColor) {
    m_title = ToDisplayText(text);
    m_titleFont = font;
    m_titleBox = boxColor;
}

void CChart::Draw(cairo_t* cr) const {
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, m_width, m_height);
    cairo_clip(cr);
    if (m_background != kTransparent) {
        SetColor(cr, m_background);
        cairo_paint(cr);
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
    DrawContent(cr);
    DrawTitle(cr);
    cairo_restore(cr);
}

void CChart::DrawTitle(cairo_t* cr) const {
    if (m_title.empty()) return;
    const text_size_t size = MeasureText(cr, m_titleFont, m_title);
    const double h = size.height + 6;
    if (m_titleBox != kTransparent) {
        SetColor(cr, m_titleBox);
        cairo_rectangle(cr, 0, 0, m_width, h);
        cairo_fill(cr);
        // A raised edge: light along the top and left, dark along the bottom and right.
        cairo_set_line_width(cr, 1);
        SetColor(cr, ShadeColor(m_titleBox, 0.45));
        cairo_move_to(cr, 0.5, h - 0.5);
        cairo_line_to(cr, m_width - 0.5, h - 0.5);
        cairo_line_to(cr, m_width - 0.5, 0.5);
        cairo_stroke(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
        cairo_move_to(cr, 0.5, h - 1);
        cairo_line_to(cr, 0.5, 0.5);
        cairo_line_to(cr, m_width - 1, 0.5);
        cairo_stroke(cr);
    }
    font_t font = m_titleFont;
    DrawText(cr, font, FitText(cr, font, m_title, m_width - 8), m_width / 2.0, h / 2.0,
             halign_t::CENTER, valign_t::MIDDLE);
}

}  // namespace plot
