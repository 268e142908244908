#pragma once

#include <string>
#include <vector>

#include "plot/Chart.h"

// A 3-D pie: sectors clockwise from twelve o'clock, tilted, with side walls, and labels in
// boxes of the sector's colour laid out around the pie.
namespace plot {

class CPieChart : public CChart {
public:
    using CChart::CChart;

    void SetPieSize(int centerX, int centerY, int radius);
    // depth in pixels and tilt in degrees (0 = seen from the side, 90 = from above);
    // negative values take the defaults (a tenth of the radius, 55 degrees).
    void Set3D(int depth = -1, double angle = -1);
    // Values (negative ones count as 0) and their labels (bytes, shown as text).
    void SetData(std::vector<double> values, std::vector<std::string> labels);
    // Colour of sector i; sectors beyond the list repeat it from the start.
    void SetColors(std::vector<color_t> colors) { m_colors = std::move(colors); }
    // Labels sit `distance` pixels outside the pie.
    void SetLabelLayoutCircular(int distance) { m_labelDistance = distance; }
    void SetLabelFormat(const std::string& format) { m_labelFormat = format; }
    void SetLabelStyle(const font_t& font) { m_labelFont = font; }

    const std::vector<double>& Values() const { return m_values; }
    const std::vector<std::string>& Labels() const { return m_labels; }
    color_t SectorColor(size_t i) const;
    // The text of sector i's label by the label format.
    std::string SectorLabel(size_t i) const;
    int Radius() const { return m_radius; }

protected:
    void DrawContent(cairo_t* cr) const override;

private:
    struct sector_t;
    std::vector<sector_t> Sectors() const;
    // Half the height of the tilted pie's top, and the height of its rim.
    double RadiusY() const;
    double Depth3D() const;
    void DrawWalls(cairo_t* cr, const std::vector<sector_t>& sectors) const;
    void DrawTops(cairo_t* cr, const std::vector<sector_t>& sectors) const;
    void DrawLabels(cairo_t* cr, const std::vector<sector_t>& sectors) const;

    int m_cx = 100, m_cy = 100, m_radius = 80;
    int m_depth = -1;
    double m_angle = -1;
    std::vector<double> m_values;
    std::vector<std::string> m_labels;
    std::vector<color_t> m_colors{0x0168B3};
    int m_labelDistance = 6;
    std::string m_labelFormat = "{label}";
    font_t m_labelFont{"Liberation Sans", 10, false, false, 0xFFFFFF};
};

}  // namespace plot
