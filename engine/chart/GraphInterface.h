#pragma once

#include <memory>
#include <string>

#include "engine/EngineApi.h"
#include "plot/Chart.h"
#include "plot/Types.h"

class CTableReport;

// Size of a chart in pixels.
struct graph_size_t {
    int cx = 0;
    int cy = 0;
};

// What the report viewer asks of a chart drawer. The desktop program wraps the images it
// gets (premultiplied ARGB32) for display and copies them to the clipboard itself.
class LOGVANE_ENGINE_API CGraphInterface {
public:
    virtual ~CGraphInterface() = default;

    // The chart of `report` drawn at `size`; an empty image when the report has no chart.
    virtual plot::image_t DrawOnScreen(const CTableReport* report, graph_size_t size) = 0;
    // The chart of `report` at `size`, owned by the caller; null when the report has no chart.
    virtual std::unique_ptr<plot::CChart> DrawGraph(const CTableReport* report,
                                                    graph_size_t size) = 0;
    // Writes the chart as an image file whose format the file name's ending chooses (".png",
    // ".svg", otherwise GIF). False when there is no chart or the file cannot be written.
    virtual bool ExportToGIF(const CTableReport* report, const std::string& path) = 0;
    // Forgets the cached size.
    virtual void UpdateSize(graph_size_t size) = 0;
    virtual bool WantsTimer() = 0;
    virtual void TimerTick() = 0;
    virtual void DoPrinting() = 0;
};
