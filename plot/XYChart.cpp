#include "plot/XYChart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "plot/Text.h"

namespace plot {

void CLayer::AddDataSet(std::vector<double> values, color_t color, const std::string& name) {
    m_sets.push_back({ToDisplayText(name), color, std::move(values)});
}

size_t CLayer::Points() const {
    size_t n = 0;
    for (const data_set_t& set : m_sets) n = std::max(n, set.values.size());
    return n;
}

void CXYChart::SetPlotArea(int x, int y, int width, int height, color_t background, color_t grid) {
    m_plot = {x, y, std::max(width, 1), std::max(height, 1)};
    m_plotBackground = background;
    m_grid = grid;
}

void CXYChart::SetLegend(int x, int y) {
    m_legend = true;
    m_legendX = x;
    m_legendY = y;
}

CLayer& CXYChart::AddLayer(layer_kind_t kind, int depth) {
    m_layers.push_back(std::make_unique<CLayer>(kind, depth));
    return *m_layers.back();
}

int CXYChart::Depth() const {
    int depth = 0;
    for (const auto& layer : m_layers) depth = std::max(depth, layer->Depth());
    return std::min(depth, std::min(m_plot.width, m_plot.height) / 3);
}

// The scales settled for one drawing and the front face of the plot area, the 3-D depth
// rising from it up and to the right.
struct CXYChart::frame_t {
    CAxis x, y;
    rect_t front;
    int depth = 0;
    bool swap = false;

    double Along(const CAxis& axis, double v, bool vertical) const {
        const double p = axis.Position(v);
        return vertical ? front.y + front.height - p * front.height : front.x + p * front.width;
    }
    double Sx(double xv, double yv) const {
        return swap ? Along(y, yv, false) : Along(x, xv, false);
    }
    double Sy(double xv, double yv) const { return swap ? Along(x, xv, true) : Along(y, yv, true); }
    double XLength() const { return swap ? front.height : front.width; }
    double YLength() const { return swap ? front.width : front.height; }
};

void CXYChart::SettleScales(CAxis& x, CAxis& y, const rect_t& front) const {
    double lo = 0, hi = 0, xlo = std::numeric_limits<double>::max(), xhi = -xlo;
    size_t points = 0;
    bool bars = false, xdata = false;
    for (const auto& layer : m_layers) {
        const size_t n = layer->Points();
        points = std::max(points, n);
        bars = bars || layer->Kind() == layer_kind_t::BAR;
        xdata = xdata || !layer->XData().empty();
        for (size_t i = 0; i < n; ++i) {
            double stack = 0;
            xlo = std::min(xlo, layer->XAt(i));
            xhi = std::max(xhi, layer->XAt(i));
            for (const data_set_t& set : layer->DataSets()) {
                const double v = i < set.values.size() ? set.values[i] : 0;
                stack = layer->Kind() == layer_kind_t::STACKED_AREA ? stack + v : v;
                lo = std::min(lo, stack);
                hi = std::max(hi, stack);
            }
        }
    }
    y.AutoScale(lo, hi, m_swap ? front.width : front.height);
    if (x.Scale() != scale_t::AUTO) return;
    if (xdata && xhi > xlo) {
        x.SetLinearScale(xlo, xhi);
    } else {
        const double last = points ? static_cast<double>(points - 1) : 0;
        const bool slots = bars || points <= 1;
        x.SetLinearScale(slots ? -0.5 : 0, slots ? last + 0.5 : last);
    }
}

void CXYChart::DrawContent(cairo_t* cr) const {
    frame_t f{m_x, m_y, m_plot, Depth(), m_swap};
    f.front = {m_plot.x, m_plot.y + f.depth, m_plot.width - f.depth, m_plot.height - f.depth};
    SettleScales(f.x, f.y, f.front);
    DrawBackWall(cr, f);
    cairo_save(cr);
    cairo_rectangle(cr, m_plot.x, m_plot.y, m_plot.width + 1, m_plot.height + 1);
    cairo_clip(cr);
    for (const auto& layer : m_layers) DrawLayer(cr, f, *layer);
    cairo_restore(cr);
    DrawValueAxis(cr, f);
    DrawCategoryAxis(cr, f);
    if (m_legend) DrawLegend(cr);
}

void CXYChart::DrawBackWall(cairo_t* cr, const frame_t& f) const {
    const double d = f.depth, left = f.front.x, bottom = f.front.y + f.front.height;
    const double right = f.front.x + f.front.width, top = f.front.y;
    if (m_plotBackground != kTransparent) {
        SetColor(cr, m_plotBackground);
        cairo_rectangle(cr, left + d, top - d, f.front.width, f.front.height);
        cairo_fill(cr);
        if (d > 0) {  // floor and left wall, slightly darker than the back
            SetColor(cr, ShadeColor(m_plotBackground, 0.93));
            cairo_move_to(cr, left, bottom);
            cairo_line_to(cr, left + d, bottom - d);
            cairo_line_to(cr, left + d, top - d);
            cairo_line_to(cr, left, top);
            cairo_close_path(cr);
            cairo_move_to(cr, left, bottom);
            cairo_line_to(cr, right, bottom);
            cairo_line_to(cr, right + d, bottom - d);
            cairo_line_to(cr, left + d, bottom - d);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
    }
    cairo_set_line_width(cr, 1);
    SetColor(cr, m_grid);
    for (const tick_t& t : f.y.Ticks(f.YLength(), 30)) {
        const double sx = f.Sx(0, t.value), sy = f.Sy(0, t.value);
        if (f.swap) {
            const double x = std::round(sx) + 0.5;
            cairo_move_to(cr, x, bottom);
            cairo_line_to(cr, x + d, bottom - d);
            cairo_line_to(cr, x + d, top - d);
        } else {
            const double y = std::round(sy) + 0.5;
            cairo_move_to(cr, left, y);
            cairo_line_to(cr, left + d, y - d);
            cairo_line_to(cr, right + d, y - d);
        }
        cairo_stroke(cr);
    }
    cairo_rectangle(cr, left + d + 0.5, top - d + 0.5, f.front.width - 1, f.front.height - 1);
    cairo_stroke(cr);
}

void CXYChart::DrawLayer(cairo_t* cr, const frame_t& f, const CLayer& layer) const {
    switch (layer.Kind()) {
        case layer_kind_t::BAR:
            DrawBars(cr, f, layer);
            break;
        case layer_kind_t::LINE:
            DrawLines(cr, f, layer);
            break;
        case layer_kind_t::STACKED_AREA:
            DrawAreas(cr, f, layer);
            break;
    }
}

namespace {

// A box with its 3-D top (or end) and right faces; (x0, y0) and (x1, y1) are opposite corners
// of the front face.
void DrawBox(cairo_t* cr, double x0, double y0, double x1, double y1, double d, color_t c) {
    const double l = std::min(x0, x1), r = std::max(x0, x1);
    const double t = std::min(y0, y1), b = std::max(y0, y1);
    if (d > 0) {
        SetColor(cr, BlendColor(c, 0xFFFFFF, 0.3));
        cairo_move_to(cr, l, t);
        cairo_line_to(cr, l + d, t - d);
        cairo_line_to(cr, r + d, t - d);
        cairo_line_to(cr, r, t);
        cairo_close_path(cr);
        cairo_fill(cr);
        SetColor(cr, ShadeColor(c, 0.6));
        cairo_move_to(cr, r, t);
        cairo_line_to(cr, r + d, t - d);
        cairo_line_to(cr, r + d, b - d);
        cairo_line_to(cr, r, b);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    SetColor(cr, c);
    cairo_rectangle(cr, l, t, r - l, b - t);
    cairo_fill(cr);
    SetColor(cr, ShadeColor(c, 0.7));
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, l + 0.5, t + 0.5, std::max(r - l - 1, 0.0), std::max(b - t - 1, 0.0));
    cairo_stroke(cr);
}

}  // namespace

void CXYChart::DrawBars(cairo_t* cr, const frame_t& f, const CLayer& layer) const {
    const size_t n = layer.Points(), sets = layer.DataSets().size();
    if (!n || !sets) return;
    const double xspan = f.x.Upper() - f.x.Lower();
    const double slot = xspan > 0 ? f.XLength() / xspan : f.XLength();
    const double barWidth = slot * 0.7 / static_cast<double>(sets);
    const double base = std::clamp(0.0, f.y.Lower(), f.y.Upper());
    for (size_t s = 0; s < sets; ++s) {
        const data_set_t& set = layer.DataSets()[s];
        for (size_t i = 0; i < set.values.size(); ++i) {
            const double x = layer.XAt(i);
            const double offset = (static_cast<double>(s) - (sets - 1) / 2.0) * barWidth;
            double along = f.Along(f.x, x, f.swap) + (f.swap ? -offset : offset);
            const double v0 = f.Along(f.y, base, !f.swap),
                         v1 = f.Along(f.y, set.values[i], !f.swap);
            const double a0 = along - barWidth / 2, a1 = along + barWidth / 2;
            if (f.swap)
                DrawBox(cr, v0, a0, v1, a1, layer.Depth(), set.color);
            else
                DrawBox(cr, a0, v0, a1, v1, layer.Depth(), set.color);
        }
    }
}

void CXYChart::DrawLines(cairo_t* cr, const frame_t& f, const CLayer& layer) const {
    const size_t sets = layer.DataSets().size();
    if (!sets) return;
    const double step = static_cast<double>(layer.Depth()) / static_cast<double>(sets);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (size_t k = sets; k-- > 0;) {  // the first data set stands in front
        const data_set_t& set = layer.DataSets()[k];
        const double off = step * static_cast<double>(k);
        auto px = [&](size_t i) { return f.Sx(layer.XAt(i), set.values[i]) + off; };
        auto py = [&](size_t i) { return f.Sy(layer.XAt(i), set.values[i]) - off; };
        if (step > 0) {
            SetColor(cr, ShadeColor(set.color, 0.65));
            for (size_t i = 0; i + 1 < set.values.size(); ++i) {
                cairo_move_to(cr, px(i), py(i));
                cairo_line_to(cr, px(i + 1), py(i + 1));
                cairo_line_to(cr, px(i + 1) + step, py(i + 1) - step);
                cairo_line_to(cr, px(i) + step, py(i) - step);
                cairo_close_path(cr);
            }
            cairo_fill(cr);
        }
        SetColor(cr, set.color);
        cairo_set_line_width(cr, 2);
        for (size_t i = 0; i < set.values.size(); ++i)
            (i ? cairo_line_to : cairo_move_to)(cr, px(i), py(i));
        if (set.values.size() == 1) {
            cairo_arc(cr, px(0), py(0), 3, 0, 2 * 3.14159265358979323846);
            cairo_fill(cr);
        }
        cairo_stroke(cr);
    }
}

void CXYChart::DrawAreas(cairo_t* cr, const frame_t& f, const CLayer& layer) const {
    const size_t n = layer.Points();
    if (n == 0) return;
    const double d = layer.Depth();
    if (n == 1) {  // a band needs two points; a single one stands as a slim column
        double base = 0;
        for (const data_set_t& set : layer.DataSets()) {
            const double top = base + (set.values.empty() ? 0 : set.values[0]);
            const double x = f.Sx(layer.XAt(0), base);
            DrawBox(cr, x - 6, f.Sy(layer.XAt(0), base), x + 6, f.Sy(layer.XAt(0), top), d,
                    set.color);
            base = top;
        }
        return;
    }
    std::vector<double> below(n, 0), above(n, 0);
    for (const data_set_t& set : layer.DataSets()) {
        for (size_t i = 0; i < n; ++i)
            above[i] = below[i] + (i < set.values.size() ? set.values[i] : 0);
        auto sx = [&](size_t i, const std::vector<double>& v) { return f.Sx(layer.XAt(i), v[i]); };
        auto sy = [&](size_t i, const std::vector<double>& v) { return f.Sy(layer.XAt(i), v[i]); };
        if (d > 0) {  // the top surface and the right end of this band
            SetColor(cr, ShadeColor(set.color, 0.75));
            for (size_t i = 0; i + 1 < n; ++i) {
                cairo_move_to(cr, sx(i, above), sy(i, above));
                cairo_line_to(cr, sx(i + 1, above), sy(i + 1, above));
                cairo_line_to(cr, sx(i + 1, above) + d, sy(i + 1, above) - d);
                cairo_line_to(cr, sx(i, above) + d, sy(i, above) - d);
                cairo_close_path(cr);
            }
            cairo_fill(cr);
            SetColor(cr, ShadeColor(set.color, 0.55));
            cairo_move_to(cr, sx(n - 1, below), sy(n - 1, below));
            cairo_line_to(cr, sx(n - 1, above), sy(n - 1, above));
            cairo_line_to(cr, sx(n - 1, above) + d, sy(n - 1, above) - d);
            cairo_line_to(cr, sx(n - 1, below) + d, sy(n - 1, below) - d);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        SetColor(cr, set.color);
        for (size_t i = 0; i < n; ++i)
            (i ? cairo_line_to : cairo_move_to)(cr, sx(i, above), sy(i, above));
        for (size_t i = n; i-- > 0;) cairo_line_to(cr, sx(i, below), sy(i, below));
        cairo_close_path(cr);
        cairo_fill(cr);
        below = above;
    }
}

void CXYChart::DrawValueAxis(cairo_t* cr, const frame_t& f) const {
    const font_t& font = f.y.LabelFont();
    const double left = f.front.x, bottom = f.front.y + f.front.height;
    double extent = 0;  // how far the labels reach out from the axis
    cairo_set_line_width(cr, 1);
    for (const tick_t& t : f.y.Ticks(f.YLength(), 30)) {
        const double sx = f.Sx(0, t.value), sy = f.Sy(0, t.value);
        SetColor(cr, 0x000000);
        if (f.swap) {
            cairo_move_to(cr, std::round(sx) + 0.5, bottom);
            cairo_line_to(cr, std::round(sx) + 0.5, bottom + 4);
            cairo_stroke(cr);
            DrawText(cr, font, t.label, sx, bottom + 6, halign_t::CENTER, valign_t::TOP);
            extent = std::max(extent, MeasureText(cr, font, t.label).height + 6);
        } else {
            cairo_move_to(cr, left - 4, std::round(sy) + 0.5);
            cairo_line_to(cr, left, std::round(sy) + 0.5);
            cairo_stroke(cr);
            DrawText(cr, font, t.label, left - 6, sy, halign_t::RIGHT, valign_t::MIDDLE);
            extent = std::max(extent, MeasureText(cr, font, t.label).width + 6);
        }
    }
    SetColor(cr, 0x000000);
    if (f.swap) {
        cairo_move_to(cr, left, bottom + 0.5);
        cairo_line_to(cr, left + f.front.width, bottom + 0.5);
    } else {
        cairo_move_to(cr, left - 0.5, f.front.y);
        cairo_line_to(cr, left - 0.5, bottom);
    }
    cairo_stroke(cr);
    const std::string& title = f.y.Title();
    if (title.empty()) return;
    const double th = MeasureText(cr, f.y.TitleFont(), title).height;
    if (f.swap) {
        DrawText(cr, f.y.TitleFont(), title, left + f.front.width / 2.0, bottom + extent + 6,
                 halign_t::CENTER, valign_t::TOP);
    } else {
        const double x = std::max(th / 2 + 2, left - extent - 6 - th / 2);
        DrawText(cr, f.y.TitleFont(), FitText(cr, f.y.TitleFont(), title, f.front.height + 40), x,
                 f.front.y + f.front.height / 2.0, halign_t::CENTER, valign_t::MIDDLE, 90);
    }
}

void CXYChart::DrawCategoryAxis(cairo_t* cr, const frame_t& f) const {
    const font_t& font = f.x.LabelFont();
    const double left = f.front.x, bottom = f.front.y + f.front.height;
    const double length = f.XLength();
    const std::vector<tick_t> ticks = f.x.Ticks(length, 70);
    const font_t& titleFont = f.x.TitleFont();
    const std::string& title = f.x.Title();
    const double titleHeight = title.empty() ? 0 : MeasureText(cr, titleFont, title).height + 4;

    double widest = 0, tall = MeasureText(cr, font, "Ag").height;
    for (const tick_t& t : ticks) widest = std::max(widest, MeasureText(cr, font, t.label).width);
    const double spacing = ticks.size() > 1 ? length / static_cast<double>(ticks.size()) : length;
    // Along a horizontal axis long labels turn 45 degrees; labels that still crowd are thinned.
    const bool slanted =
        !f.swap && f.x.Scale() == scale_t::LABELS && widest + 6 > spacing && widest > 2 * tall;
    // Stacked labels may sit closer than the font's line height: glyphs rarely use all of it.
    const double need = f.swap ? tall * 0.85 : slanted ? tall * 1.42 : widest + 10;
    const size_t every =
        spacing > 0 ? std::max<size_t>(1, static_cast<size_t>(std::ceil(need / spacing))) : 1;
    const double room =
        f.swap ? left - 10 - titleHeight : (Height() - bottom - 8 - titleHeight) * 1.41;

    double extent = tall + 6;
    cairo_set_line_width(cr, 1);
    for (size_t i = 0; i < ticks.size(); ++i) {
        const double pos = f.Along(f.x, ticks[i].value, f.swap);
        if (i % every && spacing < 3) continue;  // ticks this dense would only smear
        SetColor(cr, 0x000000);
        if (f.swap) {
            cairo_move_to(cr, left - 4, std::round(pos) + 0.5);
            cairo_line_to(cr, left, std::round(pos) + 0.5);
        } else {
            cairo_move_to(cr, std::round(pos) + 0.5, bottom);
            cairo_line_to(cr, std::round(pos) + 0.5, bottom + (i % every ? 2 : 4));
        }
        cairo_stroke(cr);
        if (i % every) continue;
        if (f.swap) {
            const std::string label = FitText(cr, font, ticks[i].label, room, true);
            DrawText(cr, font, label, left - 6, pos, halign_t::RIGHT, valign_t::MIDDLE);
        } else if (slanted) {
            const std::string label = FitText(cr, font, ticks[i].label, room, true);
            DrawText(cr, font, label, pos + 3, bottom + 5, halign_t::RIGHT, valign_t::TOP, 45);
            extent = std::max(extent, MeasureText(cr, font, label).width * 0.71 + tall);
        } else {
            DrawText(cr, font, ticks[i].label, pos, bottom + 6, halign_t::CENTER, valign_t::TOP);
        }
    }
    SetColor(cr, 0x000000);
    if (f.swap) {
        cairo_move_to(cr, left - 0.5, f.front.y);
        cairo_line_to(cr, left - 0.5, bottom);
    } else {
        cairo_move_to(cr, left, bottom + 0.5);
        cairo_line_to(cr, left + f.front.width, bottom + 0.5);
    }
    cairo_stroke(cr);
    if (title.empty()) return;
    if (f.swap) {
        DrawText(cr, titleFont, title, titleHeight / 2 + 2, f.front.y + f.front.height / 2.0,
                 halign_t::CENTER, valign_t::MIDDLE, 90);
    } else {
        const double y = std::min(bottom + extent + 4, Height() - titleHeight);
        DrawText(cr, titleFont, title, left + f.front.width / 2.0, y, halign_t::CENTER,
                 valign_t::TOP);
    }
}

void CXYChart::DrawLegend(cairo_t* cr) const {
    const font_t font{"Liberation Sans", 8, false, false, 0x000000};
    double x = m_legendX, y = m_legendY;
    for (const auto& layer : m_layers) {
        for (const data_set_t& set : layer->DataSets()) {
            if (set.name.empty()) continue;
            const text_size_t size = MeasureText(cr, font, set.name);
            if (x > m_legendX && x + 16 + size.width > Width() - 4) {
                x = m_legendX;
                y += size.height + 4;
            }
            SetColor(cr, set.color);
            cairo_rectangle(cr, x, y + size.height / 2 - 5, 10, 10);
            cairo_fill_preserve(cr);
            SetColor(cr, 0x000000);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
            DrawText(cr, font, set.name, x + 14, y + size.height / 2, halign_t::LEFT,
                     valign_t::MIDDLE);
            x += 14 + size.width + 14;
        }
    }
}

}  // namespace plot
