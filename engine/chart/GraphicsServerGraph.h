#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/EngineApi.h"
#include "engine/chart/GraphInterface.h"

// Draws the chart of a table report: line and area charts for time series, vertical and
// horizontal bar charts and 3-D pies, on screen (in memory) or into an image file.
class LOGVANE_ENGINE_API CGraphicsServerGraph : public CGraphInterface {
public:
    CGraphicsServerGraph();

    plot::image_t DrawOnScreen(const CTableReport* report, graph_size_t size) override;
    std::unique_ptr<plot::CChart> DrawGraph(const CTableReport* report, graph_size_t size) override;
    // The chart at 600 x 400.
    bool ExportToGIF(const CTableReport* report, const std::string& path) override;
    void UpdateSize(graph_size_t size) override;
    bool WantsTimer() override { return false; }
    void TimerTick() override {}
    void DoPrinting() override {}

    // Each channel c of 0xRRGGBB becomes 255 - (255 - c) * 0.2, truncated.
    static std::uint32_t LightenColor(std::uint32_t color);
    // The chart rendered into memory (the stand-in for a device bitmap); empty for no chart.
    static plot::image_t makeChartAsImage(const plot::CChart* chart);
    // "0000:00:DD:HH:MM:SS" of seconds modulo 365 days; negative intervals count as 0.
    static std::string FormatIntervalTime(long long seconds);

    static constexpr int kExportWidth = 600;
    static constexpr int kExportHeight = 400;

private:
    graph_size_t m_size{-1, -1};
    std::uint32_t m_palette[11];
};
