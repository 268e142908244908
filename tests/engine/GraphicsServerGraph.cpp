#include "engine/chart/GraphicsServerGraph.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "plot/LabelFormat.h"
#include "store/report/TableReport.h"
#include "support/TempDir.h"

namespace {

using column_t = CTableReport::column_t;
using logvane::test::ReadFile;
using logvane::test::TempDir;

// Charts like the analysis produces them, one per kind.
std::unique_ptr<CTableReport> SampleReport(CTableReport::graph_t graph) {
    auto r = std::make_unique<CTableReport>();
    const bool series = graph == CTableReport::LINE || graph == CTableReport::AREA;
    const unsigned long rows = series                           ? 45
                               : graph == CTableReport::PIE     ? 11
                               : graph == CTableReport::SIDEBAR ? 25
                                                                : 12;
    r->AllocateChart(4, rows, -1);
    r->SetDisplayAsGraph(true);
    r->SetGraphType(graph);
    r->SetNumGraphCols(graph == CTableReport::LINE ? 2 : 1);
    if (series) {
        r->SetReportName(graph == CTableReport::LINE ? "Hits and Page Views per Day"
                                                     : "Bandwidth per Day");
        r->SetXAxisTitle("Day");
        r->SetYAxisTitle(graph == CTableReport::LINE ? "Count" : "Bandwidth");
        r->SetColumnType(
            CTableReport::JUSTDATE,
            graph == CTableReport::LINE ? CTableReport::NUMBER : CTableReport::BANDWIDTH,
            CTableReport::NUMBER, CTableReport::PERCENTAGE);
        r->SetColumnTitle("Day", "Hits", "Page Views", "Percent");
        for (unsigned long i = 0; i < rows; ++i) {
            const long long day =
                static_cast<long long>(plot::ChartTime(2023, 12, 1)) + 86400LL * i;
            const long long hits = 2000 + (i * 7919) % 1500 + (i % 7 < 2 ? 0 : 900);
            r->SetItem(i, 0, day);
            r->SetItem(i, 1, graph == CTableReport::LINE ? hits : hits * 35000);
            r->SetItem(i, 2, hits / 3);
        }
        return r;
    }
    r->SetReportName(graph == CTableReport::PIE ? "Browsers" : "Top Pages");
    r->SetXAxisTitle("Page");
    r->SetYAxisTitle("Hits");
    r->SetColumnType(CTableReport::TEXT, CTableReport::NUMBER, CTableReport::PERCENTAGE,
                     CTableReport::NUMBER);
    r->SetColumnTitle("Item", "Hits", "Percent", "Visitors");
    const char* names[] = {"Firefox",   "Chrome", "Safari", "Edge",    "Opera", "Mobile Safari",
                           "Googlebot", "curl",   "Wget",   "bingbot", "Other", "Lynx"};
    long long total = 0;
    for (unsigned long i = 0; i < rows; ++i) total += 9000 / (i + 1);
    for (unsigned long i = 0; i < rows; ++i) {
        const std::string label = graph == CTableReport::PIE ? names[i]
                                  : i == 3
                                      ? "/documentation/reference/very/long/path/to/a/page.html"
                                      : "/section" + std::to_string(i) + "/index.html";
        r->SetItem(i, 0, label);
        r->SetItem(i, 1, static_cast<long long>(9000 / (i + 1)));
        r->SetItemPercentage(i, 2, 9000 / (i + 1), total);
    }
    return r;
}

size_t CountColor(const plot::image_t& image, std::uint32_t color) {
    size_t n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) n += (image.PixelAt(x, y) & 0xFFFFFF) == color;
    return n;
}

struct kind_case_t {
    CTableReport::graph_t graph;
    const char* name;
    std::vector<std::uint32_t> colors;  // colours the chart must show
};

void PrintTo(const kind_case_t& c, std::ostream* os) { *os << c.name; }

class DrawsEveryKind : public ::testing::TestWithParam<kind_case_t> {
protected:
    // LOGVANE_CHART_SHOTS names a folder that keeps the rendered files for people to look at.
    std::string Target(const std::string& file) {
        const char* shots = std::getenv("LOGVANE_CHART_SHOTS");
        return shots && *shots ? std::string(shots) + "/" + file : m_dir.file(file);
    }
    TempDir m_dir;
    CGraphicsServerGraph m_graph;
};

TEST_P(DrawsEveryKind, InMemoryAtTheViewSize) {
    auto report = SampleReport(GetParam().graph);
    const plot::image_t image = m_graph.DrawOnScreen(report.get(), {760, 480});
    ASSERT_EQ(image.width, 760);
    ASSERT_EQ(image.height, 480);
    EXPECT_GT(CountColor(image, 0x220096), 760u * 12);  // title box across the top
    for (std::uint32_t color : GetParam().colors)
        EXPECT_GT(CountColor(image, color), 150u) << std::hex << color;
}

TEST_P(DrawsEveryKind, ToPngGifAndSvgAt600By400) {
    auto report = SampleReport(GetParam().graph);
    const std::string base = GetParam().name;
    ASSERT_TRUE(m_graph.ExportToGIF(report.get(), Target(base + ".png")));
    ASSERT_TRUE(m_graph.ExportToGIF(report.get(), Target(base + ".gif")));
    ASSERT_TRUE(m_graph.ExportToGIF(report.get(), Target(base + ".svg")));
    const std::string png = ReadFile(Target(base + ".png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ((std::uint8_t(png[18]) << 8) | std::uint8_t(png[19]), 600);
    EXPECT_EQ((std::uint8_t(png[22]) << 8) | std::uint8_t(png[23]), 400);
    const std::string gif = ReadFile(Target(base + ".gif"));
    ASSERT_GT(gif.size(), 10u);
    EXPECT_EQ(gif.substr(0, 3), "GIF");
    EXPECT_EQ(std::uint8_t(gif[6]) | std::uint8_t(gif[7]) << 8, 600);
    EXPECT_EQ(std::uint8_t(gif[8]) | std::uint8_t(gif[9]) << 8, 400);
    const std::string svg = ReadFile(Target(base + ".svg"));
    EXPECT_NE(svg.find("width=\"600\""), std::string::npos);
    EXPECT_NE(svg.find("height=\"400\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DrawsEveryKind,
    ::testing::Values(kind_case_t{CTableReport::LINE, "line", {0x0168B3, 0x009900, 0xD2CCEA}},
                      kind_case_t{CTableReport::AREA, "area", {0x0168B3, 0xD2CCEA}},
                      kind_case_t{CTableReport::BAR, "bar", {0x0168B3, 0xD2CCEA}},
                      kind_case_t{CTableReport::SIDEBAR, "sidebar", {0x0168B3, 0xD2CCEA}},
                      kind_case_t{CTableReport::PIE,
                                  "pie",
                                  {0x0168B3, 0x009900, 0xE92DFE, 0xC39D05, 0xD60000, 0x71A4D1,
                                   0xE47700, 0x6481FF}}),
    [](const auto& info) { return std::string(info.param.name); });

// Shapes of data that stress the layout: a numeric X axis, a single day, many bars, a pie of
// two sectors. Each must still show its data colour.
struct shape_case_t {
    const char* name;
    CTableReport::graph_t graph;
    column_t xtype;
    std::vector<long long> values;
};

void PrintTo(const shape_case_t& c, std::ostream* os) { *os << c.name; }

class DrawsUnusualShapes : public ::testing::TestWithParam<shape_case_t> {};

TEST_P(DrawsUnusualShapes, WithTheirDataColour) {
    const shape_case_t& c = GetParam();
    CTableReport r;
    r.AllocateChart(3, static_cast<unsigned long>(c.values.size()), -1);
    r.SetReportName(c.name);
    r.SetGraphType(c.graph);
    r.SetXAxisTitle("Hour");
    r.SetYAxisTitle("Hits");
    r.SetColumnType(c.xtype, CTableReport::NUMBER, CTableReport::PERCENTAGE);
    r.SetColumnTitle("Item", "Hits", "Percent");
    long long total = 0;
    for (long long v : c.values) total += v;
    for (unsigned long i = 0; i < c.values.size(); ++i) {
        if (c.xtype == CTableReport::JUSTDATE)
            r.SetItem(i, 0, static_cast<long long>(plot::ChartTime(2024, 6, 1)) + 86400LL * i);
        else
            r.SetItem(i, 0, static_cast<long long>(i));
        r.SetItem(i, 1, c.values[i]);
        r.SetItemPercentage(i, 2, c.values[i], total);
    }
    CGraphicsServerGraph graph;
    const plot::image_t image = graph.DrawOnScreen(&r, {600, 400});
    EXPECT_GT(CountColor(image, 0x0168B3), 40u);
    if (const char* shots = std::getenv("LOGVANE_CHART_SHOTS"))
        graph.ExportToGIF(&r, std::string(shots) + "/" + c.name + ".png");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DrawsUnusualShapes,
    ::testing::Values(shape_case_t{"hours",
                                   CTableReport::LINE,
                                   CTableReport::NUMBER,
                                   {5,  3,  2,  1,  1,  2,  8,  20, 35, 40, 42, 38,
                                    36, 39, 41, 37, 30, 25, 20, 18, 15, 12, 9,  6}},
                      shape_case_t{"oneday", CTableReport::LINE, CTableReport::JUSTDATE, {120}},
                      shape_case_t{
                          "oneday_area", CTableReport::AREA, CTableReport::JUSTDATE, {120}},
                      shape_case_t{"manybars", CTableReport::BAR, CTableReport::NUMBER,
                                   std::vector<long long>(31, 17)},
                      shape_case_t{"twoslices", CTableReport::PIE, CTableReport::TEXT, {70, 30}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GraphicsServerGraph, NoReportDrawsAndWritesNothing) {
    TempDir dir;
    CGraphicsServerGraph graph;
    EXPECT_TRUE(graph.DrawOnScreen(nullptr, {400, 300}).empty());
    EXPECT_EQ(graph.DrawGraph(nullptr, {400, 300}), nullptr);
    EXPECT_FALSE(graph.ExportToGIF(nullptr, dir.file("none.gif")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.gif")));
    auto report = SampleReport(CTableReport::BAR);
    EXPECT_TRUE(graph.DrawOnScreen(report.get(), {0, 300}).empty());
    EXPECT_FALSE(graph.WantsTimer());
}

TEST(GraphicsServerGraph, ExportIntoAMissingFolderFails) {
    TempDir dir;
    CGraphicsServerGraph graph;
    auto report = SampleReport(CTableReport::PIE);
    EXPECT_FALSE(graph.ExportToGIF(report.get(), dir.file("no/such/chart.gif")));
}

TEST(GraphicsServerGraph, TinyViewsAndEmptyTablesStillDraw) {
    CGraphicsServerGraph graph;
    for (auto type : {CTableReport::LINE, CTableReport::AREA, CTableReport::BAR,
                      CTableReport::SIDEBAR, CTableReport::PIE}) {
        CTableReport empty;
        empty.SetGraphType(type);
        EXPECT_EQ(graph.DrawOnScreen(&empty, {120, 90}).width, 120);
        auto report = SampleReport(type);
        EXPECT_EQ(graph.DrawOnScreen(report.get(), {60, 40}).height, 40);
    }
}

}  // namespace
