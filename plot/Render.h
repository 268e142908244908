#pragma once

#include <string>

#include "plot/Chart.h"
#include "plot/Types.h"

// Turning a chart into pixels or a file.
namespace plot {

enum class file_format_t { PNG, GIF, SVG };

// The format a file name asks for by its ending (".png", ".svg", ".gif", any case); any other
// ending gives GIF.
file_format_t FormatForPath(const std::string& path);

// The chart drawn into memory at its own size; an empty image when cairo fails.
image_t RenderToImage(const CChart& chart);

// Writes the chart to `path` in the format its name asks for, through a temporary file in the
// same folder renamed over the target. False (and the target untouched) on any failure.
bool RenderToFile(const CChart& chart, const std::string& path);

// An image as a GIF of at most 256 colours: the most frequent colours of the image, every
// other pixel mapped to the nearest of them. False on a write failure.
bool WriteGif(const image_t& image, int fd);

}  // namespace plot
