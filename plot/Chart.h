#pragma once

#include <cairo.h>

#include <string>

#include "plot/Types.h"

// What every chart has: a size, a background and an optional title in a raised box across
// the top. Subclasses draw the rest.
namespace plot {

class CChart {
public:
    CChart(int width, int height, color_t background = 0xFFFFFF);
    virtual ~CChart() = default;
    CChart(const CChart&) = delete;
    CChart& operator=(const CChart&) = delete;

    // The title in `font`, centred in a raised box of boxColor spanning the chart's width.
    void SetTitle(const std::string& text, const font_t& font, color_t boxColor);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    color_t Background() const { return m_background; }
    const std::string& Title() const { return m_title; }

    // Draws the whole chart with its top-left corner at the origin of cr.
    void Draw(cairo_t* cr) const;

protected:
    virtual void DrawContent(cairo_t* cr) const = 0;

private:
    void DrawTitle(cairo_t* cr) const;

    int m_width, m_height;
    color_t m_background;
    std::string m_title;
    font_t m_titleFont;
    color_t m_titleBox = kTransparent;
};

}  // namespace plot
