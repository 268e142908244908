#include "plot/Render.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <filesystem>
#include <string>

#include "plot/PieChart.h"
#include "plot/XYChart.h"
#include "support/TempDir.h"

namespace plot {
namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;

constexpr color_t kBlue = 0x0168B3, kGreen = 0x009900, kPink = 0xE92DFE;

size_t CountColor(const image_t& image, color_t color, int x0 = 0, int y0 = 0, int x1 = -1,
                  int y1 = -1) {
    if (x1 < 0) x1 = image.width;
    if (y1 < 0) y1 = image.height;
    size_t n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += (image.PixelAt(x, y) & 0xFFFFFF) == color;
    return n;
}

// Length of the longest run of `color` along row y.
int LongestRun(const image_t& image, int y, color_t color) {
    int best = 0, run = 0;
    for (int x = 0; x < image.width; ++x) {
        run = (image.PixelAt(x, y) & 0xFFFFFF) == color ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

std::unique_ptr<CXYChart> BarChart(bool sideways) {
    auto chart = std::make_unique<CXYChart>(400, 300);
    chart->SetTitle("Bars", font_t{"Liberation Sans", 11, true, true, 0xFFFFFF}, 0x220096);
    chart->SetPlotArea(100, 50, 260, 200, 0xF0F0F0, 0xC0C0C0);
    chart->XAxis().SetLabels({"first", "second"});
    if (sideways) {
        chart->XAxis().SetReverse();
        chart->SwapXY();
    }
    chart->AddLayer(layer_kind_t::BAR, 2).AddDataSet({100, 10}, kBlue, "Hits");
    return chart;
}

TEST(Render, ImageHasTheChartSizeAndItsColours) {
    const image_t image = RenderToImage(*BarChart(false));
    ASSERT_EQ(image.width, 400);
    ASSERT_EQ(image.height, 300);
    EXPECT_GE(image.stride, 400 * 4);
    EXPECT_EQ(image.PixelAt(2, 299) & 0xFFFFFF, 0xFFFFFFu);        // chart background
    EXPECT_GT(CountColor(image, 0x220096, 0, 0, 400, 20), 3000u);  // title box
    EXPECT_GT(CountColor(image, 0xFFFFFF, 150, 0, 250, 20), 10u);  // white title text
    EXPECT_GT(CountColor(image, kBlue), 2000u);
}

TEST(Render, SwappedReversedBarsRunAcrossWithTheFirstOnTop) {
    const image_t image = RenderToImage(*BarChart(true));
    // Two slots of 100 pixels below y = 52; the first (value 100) lies in the upper one.
    const int upper = LongestRun(image, 52 + 50, kBlue);
    const int lower = LongestRun(image, 52 + 150, kBlue);
    EXPECT_GT(upper, 200);
    EXPECT_LT(lower, upper / 4);
    EXPECT_GT(lower, 5);
}

TEST(Render, LinesAndStackedAreasDrawEveryDataSet) {
    for (layer_kind_t kind : {layer_kind_t::LINE, layer_kind_t::STACKED_AREA}) {
        CXYChart chart(500, 300);
        chart.SetPlotArea(60, 40, 400, 200, 0xFFFFFF, 0xC0C0C0);
        chart.YAxis().SetLinearScale(0, 30);
        CLayer& layer = chart.AddLayer(kind, 4);
        layer.SetXData({0, 1, 2, 3});
        layer.AddDataSet({5, 10, 8, 12}, kBlue, "a");
        layer.AddDataSet({3, 4, 5, 6}, kGreen, "b");
        chart.SetLegend(60, 270);
        const image_t image = RenderToImage(chart);
        EXPECT_GT(CountColor(image, kBlue), 100u);
        EXPECT_GT(CountColor(image, kGreen), 100u);
        EXPECT_GT(CountColor(image, kBlue, 60, 262, 300, 300), 50u);  // legend key
    }
}

TEST(Render, PieShowsEachNonZeroSectorInItsColour) {
    CPieChart chart(500, 400);
    chart.SetPieSize(250, 200, 100);
    chart.Set3D();
    chart.SetData({60, 0, 30, 10}, {"a", "zero", "c", "d"});
    chart.SetColors({kBlue, 0xD60000, kGreen, kPink});
    const image_t image = RenderToImage(chart);
    EXPECT_GT(CountColor(image, kBlue), 5000u);
    EXPECT_GT(CountColor(image, kGreen), 2000u);
    EXPECT_GT(CountColor(image, kPink), 500u);
    EXPECT_EQ(CountColor(image, 0xD60000), 0u);
    EXPECT_EQ(chart.SectorLabel(2), "c");
}

struct format_case_t {
    const char* path;
    file_format_t format;
};
void PrintTo(const format_case_t& c, std::ostream* os) { *os << c.path; }

class ChoosesFormatByEnding : public ::testing::TestWithParam<format_case_t> {};
TEST_P(ChoosesFormatByEnding, AsExpected) {
    EXPECT_EQ(FormatForPath(GetParam().path), GetParam().format);
}
INSTANTIATE_TEST_SUITE_P(Paths, ChoosesFormatByEnding,
                         ::testing::Values(format_case_t{"a.png", file_format_t::PNG},
                                           format_case_t{"/x/A.PNG", file_format_t::PNG},
                                           format_case_t{"chart.svg", file_format_t::SVG},
                                           format_case_t{"chart.gif", file_format_t::GIF},
                                           format_case_t{"chart.bmp", file_format_t::GIF},
                                           format_case_t{"dir.png/chart", file_format_t::GIF},
                                           format_case_t{"chart", file_format_t::GIF}));

std::uint32_t BigEndian32(const std::string& s, size_t at) {
    return (std::uint32_t(std::uint8_t(s[at])) << 24) |
           (std::uint32_t(std::uint8_t(s[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(s[at + 2])) << 8) | std::uint8_t(s[at + 3]);
}

TEST(RenderToFile, WritesEachFormatWithItsSignatureAndSize) {
    TempDir dir;
    auto chart = BarChart(false);
    ASSERT_TRUE(RenderToFile(*chart, dir.file("c.png")));
    ASSERT_TRUE(RenderToFile(*chart, dir.file("c.gif")));
    ASSERT_TRUE(RenderToFile(*chart, dir.file("c.svg")));
    const std::string png = ReadFile(dir.file("c.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(BigEndian32(png, 16), 400u);
    EXPECT_EQ(BigEndian32(png, 20), 300u);
    const std::string gif = ReadFile(dir.file("c.gif"));
    ASSERT_GT(gif.size(), 13u);
    EXPECT_EQ(gif.substr(0, 3), "GIF");
    EXPECT_EQ(std::uint8_t(gif[6]) | std::uint8_t(gif[7]) << 8, 400);
    EXPECT_EQ(std::uint8_t(gif[8]) | std::uint8_t(gif[9]) << 8, 300);
    EXPECT_EQ(gif.back(), ';');
    const std::string svg = ReadFile(dir.file("c.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("width=\"400\""), std::string::npos);
    // Nothing but the three files is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST(RenderToFile, FailsWithoutTouchingAnythingWhenTheFolderIsMissing) {
    TempDir dir;
    EXPECT_FALSE(RenderToFile(*BarChart(false), dir.file("missing/c.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST(RenderToFile, ReplacesAnExistingFileWhole) {
    TempDir dir;
    logvane::test::WriteFile(dir.file("c.png"), std::string(100000, 'x'));
    ASSERT_TRUE(RenderToFile(*BarChart(false), dir.file("c.png")));
    const std::string png = ReadFile(dir.file("c.png"));
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.find("xxxx"), std::string::npos);
}

TEST(WriteGif, KeepsTheMainColoursExactly) {
    TempDir dir;
    auto chart = BarChart(false);
    ASSERT_TRUE(RenderToFile(*chart, dir.file("c.gif")));
    const std::string gif = ReadFile(dir.file("c.gif"));
    // The global colour table follows the 13-byte header; the bar colour must be in it.
    const int entries = 2 << (std::uint8_t(gif[10]) & 7);
    bool found = false;
    for (int i = 0; i < entries; ++i) {
        const size_t at = 13 + 3 * static_cast<size_t>(i);
        found = found || (std::uint8_t(gif[at]) == 0x01 && std::uint8_t(gif[at + 1]) == 0x68 &&
                          std::uint8_t(gif[at + 2]) == 0xB3);
    }
    EXPECT_TRUE(found);
}

TEST(WriteGif, DecodesBackToTheRenderedPixels) {
    TempDir dir;
    CPieChart chart(300, 200);
    chart.SetTitle("Pie", font_t{"Liberation Sans", 11, true, true, 0xFFFFFF}, 0x220096);
    chart.SetPieSize(150, 110, 50);
    chart.SetData({3, 2, 1}, {"a", "b", "c"});
    chart.SetColors({kBlue, kGreen, kPink});
    ASSERT_TRUE(RenderToFile(chart, dir.file("p.gif")));
    const image_t image = RenderToImage(chart);

    int error = 0;
    GifFileType* gif = DGifOpenFileName(dir.file("p.gif").c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    ASSERT_EQ(gif->ImageCount, 1);
    ASSERT_EQ(gif->SWidth, 300);
    ASSERT_EQ(gif->SHeight, 200);
    const ColorMapObject* map = gif->SColorMap;
    const GifByteType* raster = gif->SavedImages[0].RasterBits;
    int exact = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300; ++x) {
            const GifColorType c = map->Colors[raster[y * 300 + x]];
            const std::uint32_t rgb = (std::uint32_t(c.Red) << 16) | (c.Green << 8) | c.Blue;
            exact += rgb == (image.PixelAt(x, y) & 0xFFFFFF);
        }
    }
    DGifCloseFile(gif, &error);
    EXPECT_GT(exact, 300 * 200 * 95 / 100);  // only anti-aliased edges may shift
}

}  // namespace
}  // namespace plot
