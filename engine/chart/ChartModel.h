#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plot/Chart.h"
#include "plot/Types.h"

class CTableReport;

// Every decision about a report's chart (kind, frame, series, scale, unit, labels, sectors,
// colours) as plain data, so it can be checked without pixels; BuildChart turns it into a
// drawable chart of the plot library.

enum class chart_kind_t { NONE, LINE, AREA, BAR, SIDEBAR, PIE };

// The eleven colours of the charts: colour 0 is the title box (and, lightened, the plot
// background); colours 1 to 10 go to data sets and pie sectors in turn.
inline constexpr plot::color_t kChartPalette[11] = {0x220096, 0x0168B3, 0x009900, 0xE92DFE,
                                                    0xC39D05, 0xD60000, 0x71A4D1, 0xE47700,
                                                    0x6481FF, 0x72DE28, 0x826429};

// Colour of data set or sector i (0-based): palette colours 1 to 10, then again from 1.
plot::color_t ChartSeriesColor(size_t i);

struct chart_series_t {
    std::string name;
    plot::color_t color = 0;
    std::vector<double> values;  // already divided into the unit of the Y axis
};

struct pie_sector_t {
    std::string label;
    std::int64_t value = 0;
    plot::color_t color = 0;
};

struct chart_model_t {
    chart_kind_t kind = chart_kind_t::NONE;
    int width = 0, height = 0;
    std::string title;
    plot::rect_t plotArea;
    int depth = 0;  // 3-D depth of the layer in pixels
    std::string xTitle, yTitle;

    // Line and area charts: X per row (chart times when dateX) and a fixed Y scale.
    bool dateX = false;
    std::vector<double> x;
    std::string xLabelFormat;
    double yUpper = 0;
    std::string yLabelFormat;  // empty: plain numbers
    bool legend = false;
    int legendX = 0, legendY = 0;
    std::vector<chart_series_t> series;

    // Bar charts: one label per bar; the values are series[0].
    std::vector<std::string> labels;

    // Pie charts.
    int pieX = 0, pieY = 0, pieRadius = 0;
    std::vector<pie_sector_t> sectors;
};

// The chart of `report` at the given size; kind NONE for a null report or a graph type
// without a chart.
chart_model_t MakeChartModel(const CTableReport* report, int width, int height);

// The drawable chart of a spec; null for kind NONE.
std::unique_ptr<plot::CChart> BuildChart(const chart_model_t& spec);

// A bar label of 36 or more bytes becomes "..." and its last 32 bytes (never starting inside
// a UTF-8 character).
std::string ShortenBarLabel(const std::string& label);
