#include "engine/chart/GraphicsServerGraph.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "engine/chart/ChartModel.h"
#include "plot/Render.h"

CGraphicsServerGraph::CGraphicsServerGraph() {
    std::copy(std::begin(kChartPalette), std::end(kChartPalette), m_palette);
}

plot::image_t CGraphicsServerGraph::DrawOnScreen(const CTableReport* report, graph_size_t size) {
    const std::unique_ptr<plot::CChart> chart = DrawGraph(report, size);
    return makeChartAsImage(chart.get());
}

std::unique_ptr<plot::CChart> CGraphicsServerGraph::DrawGraph(const CTableReport* report,
                                                              graph_size_t size) {
    if (size.cx <= 0 || size.cy <= 0) return nullptr;
    return BuildChart(MakeChartModel(report, size.cx, size.cy));
}

bool CGraphicsServerGraph::ExportToGIF(const CTableReport* report, const std::string& path) {
    const std::unique_ptr<plot::CChart> chart = DrawGraph(report, {kExportWidth, kExportHeight});
    return chart && plot::RenderToFile(*chart, path);
}

void CGraphicsServerGraph::UpdateSize(graph_size_t) { m_size = {-1, -1}; }

std::uint32_t CGraphicsServerGraph::LightenColor(std::uint32_t color) {
    std::uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        const std::uint32_t c = (color >> shift) & 0xFF;
        out |= static_cast<std::uint32_t>(255 - (255 - c) * 0.2) << shift;
    }
    return out;
}

plot::image_t CGraphicsServerGraph::makeChartAsImage(const plot::CChart* chart) {
    return chart ? plot::RenderToImage(*chart) : plot::image_t{};
}

std::string CGraphicsServerGraph::FormatIntervalTime(long long seconds) {
    const long long s = std::max(seconds, 0LL) % 31536000;
    char buf[64];
    std::snprintf(buf, sizeof buf, "0000:%.2d:%.2d:%.2d:%.2d:%.2d", 0, static_cast<int>(s / 86400),
                  static_cast<int>(s / 3600 % 24), static_cast<int>(s / 60 % 60),
                  static_cast<int>(s % 60));
    return buf;
}
