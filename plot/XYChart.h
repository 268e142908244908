#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plot/Axis.h"
#include "plot/Chart.h"

// Charts with an X and a Y axis: lines, stacked areas and bars, optionally with a 3-D depth
// and with the axes swapped (horizontal bars).
namespace plot {

enum class layer_kind_t { LINE, STACKED_AREA, BAR };

struct data_set_t {
    std::string name;  // UTF-8 legend text
    color_t color = 0x000000;
    std::vector<double> values;
};

class CLayer {
public:
    CLayer(layer_kind_t kind, int depth) : m_kind(kind), m_depth(depth < 0 ? 0 : depth) {}

    void AddDataSet(std::vector<double> values, color_t color, const std::string& name = {});
    // Where point i lies on the X axis; without X data point i lies at i.
    void SetXData(std::vector<double> x) { m_x = std::move(x); }

    layer_kind_t Kind() const { return m_kind; }
    int Depth() const { return m_depth; }
    const std::vector<data_set_t>& DataSets() const { return m_sets; }
    const std::vector<double>& XData() const { return m_x; }
    // Number of points: the longest data set.
    size_t Points() const;
    double XAt(size_t i) const { return i < m_x.size() ? m_x[i] : static_cast<double>(i); }

private:
    layer_kind_t m_kind;
    int m_depth;
    std::vector<data_set_t> m_sets;
    std::vector<double> m_x;
};

class CXYChart : public CChart {
public:
    using CChart::CChart;

    void SetPlotArea(int x, int y, int width, int height, color_t background, color_t grid);
    // Legend keys laid out in a row from (x, y) on a transparent background.
    void SetLegend(int x, int y);
    // Swapped: the X axis runs up the left side and the Y axis along the bottom.
    void SwapXY(bool swap = true) { m_swap = swap; }
    CAxis& XAxis() { return m_x; }
    CAxis& YAxis() { return m_y; }
    const CAxis& XAxis() const { return m_x; }
    const CAxis& YAxis() const { return m_y; }
    CLayer& AddLayer(layer_kind_t kind, int depth = 0);
    const std::vector<std::unique_ptr<CLayer>>& Layers() const { return m_layers; }
    const rect_t& PlotArea() const { return m_plot; }
    bool Swapped() const { return m_swap; }

protected:
    void DrawContent(cairo_t* cr) const override;

private:
    struct frame_t;
    void SettleScales(CAxis& x, CAxis& y, const rect_t& front) const;
    void DrawBackWall(cairo_t* cr, const frame_t& f) const;
    void DrawLayer(cairo_t* cr, const frame_t& f, const CLayer& layer) const;
    void DrawBars(cairo_t* cr, const frame_t& f, const CLayer& layer) const;
    void DrawLines(cairo_t* cr, const frame_t& f, const CLayer& layer) const;
    void DrawAreas(cairo_t* cr, const frame_t& f, const CLayer& layer) const;
    void DrawValueAxis(cairo_t* cr, const frame_t& f) const;
    void DrawCategoryAxis(cairo_t* cr, const frame_t& f) const;
    void DrawLegend(cairo_t* cr) const;
    int Depth() const;

    rect_t m_plot{50, 50, 200, 200};
    color_t m_plotBackground = 0xFFFFFF;
    color_t m_grid = 0xC0C0C0;
    bool m_legend = false;
    int m_legendX = 0, m_legendY = 0;
    bool m_swap = false;
    CAxis m_x, m_y;
    std::vector<std::unique_ptr<CLayer>> m_layers;
};

}  // namespace plot
