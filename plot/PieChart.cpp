#include "plot/PieChart.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "plot/LabelFormat.h"
#include "plot/Text.h"

namespace plot {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Luminance(color_t c) { return 0.299 * Red(c) + 0.587 * Green(c) + 0.114 * Blue(c); }

// The label font, its colour swapped for black or white where it would fade into the box.
font_t ReadableOn(font_t font, color_t box) {
    const double contrast = std::fabs(Luminance(font.color) - Luminance(box));
    if (contrast < 0.35) font.color = Luminance(box) > 0.5 ? 0x000000 : 0xFFFFFF;
    return font;
}

}  // namespace

struct CPieChart::sector_t {
    size_t index;
    double start, end;  // radians, clockwise on screen, 0 at three o'clock
    color_t color;
};

void CPieChart::SetPieSize(int centerX, int centerY, int radius) {
    m_cx = centerX;
    m_cy = centerY;
    m_radius = std::max(radius, 1);
}

void CPieChart::Set3D(int depth, double angle) {
    m_depth = depth;
    m_angle = angle;
}

double CPieChart::RadiusY() const {
    const double tilt = m_angle < 0 ? 55 : std::clamp(m_angle, 5.0, 90.0);
    return m_radius * std::sin(tilt * kPi / 180);
}

double CPieChart::Depth3D() const { return m_depth < 0 ? m_radius / 10.0 : m_depth; }

void CPieChart::SetData(std::vector<double> values, std::vector<std::string> labels) {
    m_values = std::move(values);
    for (double& v : m_values)
        if (!(v > 0) || !std::isfinite(v)) v = 0;
    m_labels = std::move(labels);
    m_labels.resize(m_values.size());
}

color_t CPieChart::SectorColor(size_t i) const {
    return m_colors.empty() ? 0x808080 : m_colors[i % m_colors.size()];
}

std::string CPieChart::SectorLabel(size_t i) const {
    const double total = std::accumulate(m_values.begin(), m_values.end(), 0.0);
    const double value = i < m_values.size() ? m_values[i] : 0;
    const std::string label = i < m_labels.size() ? ToDisplayText(m_labels[i]) : std::string();
    return ExpandLabelFormat(m_labelFormat,
                             label_fields_t{value, label, total > 0 ? value * 100 / total : 0});
}

std::vector<CPieChart::sector_t> CPieChart::Sectors() const {
    std::vector<sector_t> sectors;
    const double total = std::accumulate(m_values.begin(), m_values.end(), 0.0);
    if (!(total > 0)) return sectors;
    double angle = -kPi / 2;
    for (size_t i = 0; i < m_values.size(); ++i) {
        if (m_values[i] <= 0) continue;
        const double sweep = m_values[i] / total * 2 * kPi;
        sectors.push_back({i, angle, angle + sweep, SectorColor(i)});
        angle += sweep;
    }
    return sectors;
}

void CPieChart::DrawContent(cairo_t* cr) const {
    const std::vector<sector_t> sectors = Sectors();
    if (sectors.empty()) return;
    DrawWalls(cr, sectors);
    DrawTops(cr, sectors);
    DrawLabels(cr, sectors);
}

namespace {

// Adds an elliptic arc (a circle of radius r squashed to height ry) to the path.
void EllipseArc(cairo_t* cr, double cx, double cy, double r, double ry, double a, double b,
                bool forward = true) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, 1, ry / r);
    if (forward)
        cairo_arc(cr, 0, 0, r, a, b);
    else
        cairo_arc_negative(cr, 0, 0, r, a, b);
    cairo_restore(cr);
}

}  // namespace

void CPieChart::DrawWalls(cairo_t* cr, const std::vector<sector_t>& sectors) const {
    const double r = m_radius;
    const double ry = RadiusY();
    const double depth = Depth3D();
    if (depth <= 0) return;
    // Only the near half of the rim (0 to pi, below the centre) can be seen.
    for (const sector_t& s : sectors) {
        for (double shift : {0.0, 2 * kPi}) {
            const double a = std::max(s.start, shift), b = std::min(s.end, shift + kPi);
            if (b <= a) continue;
            cairo_new_path(cr);
            EllipseArc(cr, m_cx, m_cy, r, ry, a, b);
            EllipseArc(cr, m_cx, m_cy + depth, r, ry, b, a, false);
            cairo_close_path(cr);
            SetColor(cr, ShadeColor(s.color, 0.68));
            cairo_fill_preserve(cr);
            SetColor(cr, ShadeColor(s.color, 0.55));
            cairo_set_line_width(cr, 0.8);
            cairo_stroke(cr);
        }
    }
}

void CPieChart::DrawTops(cairo_t* cr, const std::vector<sector_t>& sectors) const {
    const double r = m_radius;
    const double ry = RadiusY();
    for (const sector_t& s : sectors) {
        cairo_new_path(cr);
        if (s.end - s.start < 2 * kPi - 1e-9) cairo_move_to(cr, m_cx, m_cy);
        EllipseArc(cr, m_cx, m_cy, r, ry, s.start, s.end);
        cairo_close_path(cr);
        SetColor(cr, s.color);
        cairo_fill_preserve(cr);
        SetColor(cr, BlendColor(s.color, 0xFFFFFF, 0.35));
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
}

void CPieChart::DrawLabels(cairo_t* cr, const std::vector<sector_t>& sectors) const {
    const double r = m_radius;
    const double ry = RadiusY();
    const double depth = Depth3D();
    struct placed_t {
        double ex, ey;  // where the connector leaves the pie
        double y;       // centre line of the label box
        bool right;
        std::string text;
        color_t color;
        double height;
    };
    std::vector<placed_t> placed;
    for (const sector_t& s : sectors) {
        const double mid = (s.start + s.end) / 2;
        const double c = std::cos(mid), sn = std::sin(mid);
        const double drop = sn > 0 ? depth : 0;
        placed_t p{m_cx + r * c,
                   m_cy + ry * sn + drop / 2,
                   m_cy + (ry + m_labelDistance + 8) * sn + drop,
                   c >= 0,
                   SectorLabel(s.index),
                   s.color,
                   0};
        p.height = MeasureText(cr, m_labelFont, p.text).height + 4;
        placed.push_back(std::move(p));
    }
    // Keep the boxes on each side from covering one another: spread them top to bottom, then
    // pull them back up if the last one left the chart.
    for (bool right : {false, true}) {
        std::vector<placed_t*> side;
        for (placed_t& p : placed)
            if (p.right == right) side.push_back(&p);
        std::sort(side.begin(), side.end(), [](auto* a, auto* b) { return a->y < b->y; });
        for (size_t i = 1; i < side.size(); ++i)
            side[i]->y = std::max(side[i]->y,
                                  side[i - 1]->y + (side[i - 1]->height + side[i]->height) / 2 + 2);
        for (size_t i = side.size(); i-- > 0;) {
            const double limit =
                i + 1 < side.size()
                    ? side[i + 1]->y - (side[i + 1]->height + side[i]->height) / 2 - 2
                    : Height() - side[i]->height / 2 - 2;
            side[i]->y = std::min(side[i]->y, limit);
        }
    }
    const double reach = r + m_labelDistance + 10;
    for (const placed_t& p : placed) {
        const double x = p.right ? m_cx + reach : m_cx - reach;
        const double room = p.right ? Width() - x - 4 : x - 4;
        const std::string text = FitText(cr, m_labelFont, p.text, std::max(room - 8, 10.0));
        const double w = MeasureText(cr, m_labelFont, text).width + 8;
        SetColor(cr, ShadeColor(p.color, 0.5));
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, p.ex, p.ey);
        cairo_line_to(cr, x, p.y);
        cairo_stroke(cr);
        const double bx = p.right ? x : x - w;
        cairo_rectangle(cr, std::round(bx) + 0.5, std::round(p.y - p.height / 2) + 0.5,
                        std::round(w), std::round(p.height));
        SetColor(cr, p.color);
        cairo_fill_preserve(cr);
        SetColor(cr, ShadeColor(p.color, 0.5));
        cairo_stroke(cr);
        DrawText(cr, ReadableOn(m_labelFont, p.color), text, bx + 4, p.y, halign_t::LEFT,
                 valign_t::MIDDLE);
    }
}

}  // namespace plot
