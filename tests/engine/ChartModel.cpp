#include "engine/chart/ChartModel.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <string>
#include <vector>

#include "engine/chart/GraphicsServerGraph.h"
#include "plot/LabelFormat.h"
#include "store/report/TableReport.h"

namespace {

using column_t = CTableReport::column_t;
using rows_t = std::vector<std::vector<std::string>>;

// A chart table: graph type, column types and titles, and rows of item texts.
std::unique_ptr<CTableReport> Table(CTableReport::graph_t graph, std::vector<column_t> types,
                                    const rows_t& rows, const char* name = "Daily Hits") {
    auto report = std::make_unique<CTableReport>();
    report->AllocateChart(static_cast<unsigned long>(types.size()),
                          static_cast<unsigned long>(rows.size()), -1);
    report->SetReportName(name);
    report->SetDisplayAsGraph(true);
    report->SetGraphType(graph);
    report->SetXAxisTitle("Day");
    report->SetYAxisTitle("Hits");
    for (unsigned long c = 0; c < types.size(); ++c) {
        report->SetColumnType(c, types[c]);
        report->SetColumnTitle(static_cast<int>(c), ("Col" + std::to_string(c)).c_str());
    }
    for (unsigned long r = 0; r < rows.size(); ++r)
        for (unsigned long c = 0; c < rows[r].size(); ++c) report->SetItem(r, c, rows[r][c]);
    return report;
}

// A numeric series: X = row number, Y as given.
std::unique_ptr<CTableReport> Series(CTableReport::graph_t graph, column_t ytype,
                                     const std::vector<double>& ys) {
    rows_t rows;
    for (size_t i = 0; i < ys.size(); ++i)
        rows.push_back({std::to_string(i), std::to_string(ys[i])});
    return Table(graph, {CTableReport::NUMBER, ytype}, rows);
}

std::string Day(int y, int m, int d, int seconds = 0) {
    return std::to_string(static_cast<long long>(plot::ChartTime(y, m, d)) + seconds);
}

struct kind_case_t {
    int graph;
    chart_kind_t kind;
};
void PrintTo(const kind_case_t& c, std::ostream* os) { *os << "graph " << c.graph; }

class ChoosesChartByGraphType : public ::testing::TestWithParam<kind_case_t> {};
TEST_P(ChoosesChartByGraphType, AsExpected) {
    auto report =
        Series(static_cast<CTableReport::graph_t>(GetParam().graph), CTableReport::NUMBER, {1, 2});
    const chart_model_t spec = MakeChartModel(report.get(), 600, 400);
    EXPECT_EQ(spec.kind, GetParam().kind);
    EXPECT_EQ(BuildChart(spec) == nullptr, GetParam().kind == chart_kind_t::NONE);
}
INSTANTIATE_TEST_SUITE_P(GraphTypes, ChoosesChartByGraphType,
                         ::testing::Values(kind_case_t{CTableReport::LINE, chart_kind_t::LINE},
                                           kind_case_t{CTableReport::AREA, chart_kind_t::AREA},
                                           kind_case_t{CTableReport::BAR, chart_kind_t::BAR},
                                           kind_case_t{CTableReport::SIDEBAR,
                                                       chart_kind_t::SIDEBAR},
                                           kind_case_t{CTableReport::PIE, chart_kind_t::PIE},
                                           kind_case_t{7, chart_kind_t::NONE}));

TEST(ChartModel, NullReportHasNoChart) {
    EXPECT_EQ(MakeChartModel(nullptr, 600, 400).kind, chart_kind_t::NONE);
}

TEST(LineSpec, SortsRowsByCalendarDayAndNamesEachDataSet) {
    auto report = Table(CTableReport::LINE,
                        {CTableReport::JUSTDATE, CTableReport::NUMBER, CTableReport::NUMBER},
                        {{Day(2024, 3, 2, 50000), "20", "2"}, {Day(2024, 3, 1, 3600), "10", "1"}});
    report->SetNumGraphCols(2);
    const chart_model_t spec = MakeChartModel(report.get(), 800, 500);
    EXPECT_EQ(spec.title, "Daily Hits");
    EXPECT_EQ(spec.plotArea.x, 75);
    EXPECT_EQ(spec.plotArea.y, 75);
    EXPECT_EQ(spec.plotArea.width, 650);
    EXPECT_EQ(spec.plotArea.height, 350);
    EXPECT_TRUE(spec.dateX);
    EXPECT_EQ(spec.x,
              (std::vector<double>{plot::ChartTime(2024, 3, 1), plot::ChartTime(2024, 3, 2)}));
    ASSERT_EQ(spec.series.size(), 2u);
    EXPECT_EQ(spec.series[0].name, "Col1");
    EXPECT_EQ(spec.series[0].values, (std::vector<double>{10, 20}));
    EXPECT_EQ(spec.series[1].values, (std::vector<double>{1, 2}));
    EXPECT_EQ(spec.series[0].color, 0x0168B3u);
    EXPECT_EQ(spec.series[1].color, 0x009900u);
    EXPECT_EQ(spec.depth, 8);
    EXPECT_TRUE(spec.legend);
    EXPECT_EQ(spec.legendX, 65);
    EXPECT_EQ(spec.legendY, 450);
    EXPECT_EQ(spec.xLabelFormat, "{value|mmm d}");
    EXPECT_EQ(spec.xTitle, "Day");
    EXPECT_EQ(spec.yTitle, "Hits");
}

TEST(LineSpec, DatesAcrossNewYearCarryTheYear) {
    auto report = Table(CTableReport::LINE, {CTableReport::JUSTDATE, CTableReport::NUMBER},
                        {{Day(2023, 12, 31), "5"}, {Day(2024, 1, 1), "6"}});
    EXPECT_EQ(MakeChartModel(report.get(), 600, 400).xLabelFormat, "{value|mmm d, yyyy}");
}

TEST(LineSpec, GraphColumnsAreLimitedToTheTable) {
    auto report = Series(CTableReport::LINE, CTableReport::NUMBER, {1, 2});
    report->SetNumGraphCols(5);
    EXPECT_EQ(MakeChartModel(report.get(), 600, 400).series.size(), 1u);
    report->SetNumGraphCols(0);
    EXPECT_EQ(MakeChartModel(report.get(), 600, 400).series.size(), 1u);
}

TEST(LineSpec, RowsBeyondTheXLimitFoldIntoTheLastKeptRow) {
    auto report = Series(CTableReport::AREA, CTableReport::NUMBER, {1, 2, 3, 4, 5});
    report->SetXLimit(3);
    chart_model_t spec = MakeChartModel(report.get(), 600, 400);
    EXPECT_EQ(spec.series[0].values, (std::vector<double>{1, 2, 12}));
    EXPECT_EQ(spec.x.size(), 3u);
    EXPECT_EQ(spec.depth, 4);
    EXPECT_FALSE(spec.legend);
    report->SetXLimit(0);  // no limit
    EXPECT_EQ(MakeChartModel(report.get(), 600, 400).series[0].values.size(), 5u);
}

TEST(LineSpec, UpperBoundFollowsValuesThatPassTheBoundSoFar) {
    // 5 sets the bound to 7; 6 is not above 7, so the bound stays.
    EXPECT_EQ(
        MakeChartModel(Series(CTableReport::LINE, CTableReport::NUMBER, {5, 6}).get(), 600, 400)
            .yUpper,
        7);
    EXPECT_EQ(
        MakeChartModel(Series(CTableReport::LINE, CTableReport::NUMBER, {10, 3}).get(), 600, 400)
            .yUpper,
        12);
    EXPECT_EQ(
        MakeChartModel(Series(CTableReport::LINE, CTableReport::NUMBER, {0, 0}).get(), 600, 400)
            .yUpper,
        0);
}

TEST(LineSpec, StackedAreaScaleHoldsTheStackedTotal) {
    auto report = Table(CTableReport::AREA,
                        {CTableReport::NUMBER, CTableReport::NUMBER, CTableReport::NUMBER},
                        {{"1", "10", "30"}, {"2", "20", "5"}});
    report->SetNumGraphCols(2);
    EXPECT_EQ(MakeChartModel(report.get(), 600, 400).yUpper, 42);
}

struct unit_case_t {
    column_t type;
    double largest;
    const char* title;
    const char* format;
    double divisor;
};
void PrintTo(const unit_case_t& c, std::ostream* os) { *os << c.title << " for " << c.largest; }

class ChoosesYUnit : public ::testing::TestWithParam<unit_case_t> {};
TEST_P(ChoosesYUnit, ByTheUpperBound) {
    const unit_case_t& c = GetParam();
    const chart_model_t spec =
        MakeChartModel(Series(CTableReport::LINE, c.type, {1, c.largest}).get(), 600, 400);
    EXPECT_EQ(spec.yTitle, c.title);
    EXPECT_EQ(spec.yLabelFormat, c.format);
    EXPECT_DOUBLE_EQ(spec.series[0].values[1], c.largest / c.divisor);
    EXPECT_DOUBLE_EQ(spec.yUpper, (c.largest + 2) / c.divisor);
}
INSTANTIATE_TEST_SUITE_P(
    Units, ChoosesYUnit,
    ::testing::Values(
        unit_case_t{CTableReport::BANDWIDTH, 2000000, "Hits (megabytes)", "{value|1,.}MB", 1048576},
        unit_case_t{CTableReport::BANDWIDTH, 1022, "Hits (bytes)", "{value|1,.}B", 1},
        unit_case_t{CTableReport::BANDWIDTH, 1023, "Hits (kilobytes)", "{value|1,.}KB", 1024},
        unit_case_t{CTableReport::BANDWIDTH, 1048574, "Hits (kilobytes)", "{value|1,.}KB", 1024},
        unit_case_t{CTableReport::BANDWIDTH, 3e9, "Hits (gigabytes)", "{value|1,.}GB", 1073741824},
        unit_case_t{CTableReport::ELAPSEDTIME, 118, "Hits (Seconds)", "{value|1,.}", 1},
        unit_case_t{CTableReport::ELAPSEDTIME, 119, "Hits (Minutes)", "{value|1,.}", 60},
        unit_case_t{CTableReport::ELAPSEDTIME, 7198, "Hits (Minutes)", "{value|1,.}", 60},
        unit_case_t{CTableReport::ELAPSEDTIME, 7199, "Hits (Hours)", "{value|1,.}", 3600},
        unit_case_t{CTableReport::ELAPSEDTIME, 172798, "Hits (Hours)", "{value|1,.}", 3600},
        unit_case_t{CTableReport::ELAPSEDTIME, 172799, "Hits (Days)", "{value|1,.}", 86400},
        unit_case_t{CTableReport::NUMBER, 500, "Hits", "", 1}));

TEST(BarSpec, SideBarsShowTheFirstTwentyRowsSideways) {
    std::vector<double> ys(50, 3);
    ys[0] = 99;
    const chart_model_t side =
        MakeChartModel(Series(CTableReport::SIDEBAR, CTableReport::NUMBER, ys).get(), 600, 400);
    EXPECT_EQ(side.labels.size(), 20u);
    ASSERT_EQ(side.series.size(), 1u);
    EXPECT_EQ(side.series[0].values.size(), 20u);
    EXPECT_EQ(side.series[0].values[0], 99);
    EXPECT_EQ(side.series[0].color, 0x0168B3u);
    EXPECT_EQ(side.depth, 2);
    EXPECT_EQ(side.plotArea.x, 200);
    EXPECT_EQ(side.plotArea.width, 325);
    EXPECT_EQ(side.plotArea.height, 250);

    const chart_model_t bars =
        MakeChartModel(Series(CTableReport::BAR, CTableReport::NUMBER, ys).get(), 600, 400);
    EXPECT_EQ(bars.labels.size(), 50u);
    EXPECT_EQ(bars.depth, 4);
    EXPECT_EQ(bars.plotArea.x, 75);
}

TEST(BarSpec, LabelsAreFormattedAndLongOnesKeepTheirEnd) {
    const std::string len35(35, 'a');
    const std::string len36 = "0123" + std::string(32, 'z');
    auto report = Table(CTableReport::BAR, {CTableReport::PERCENTAGE, CTableReport::NUMBER},
                        {{"12.5", "1"}, {len35, "2"}, {len36, "3"}});
    report->SetColumnType(0, CTableReport::TEXT);
    report->SetItem(0, 0, "/index.html");
    const chart_model_t spec = MakeChartModel(report.get(), 600, 400);
    EXPECT_EQ(spec.labels,
              (std::vector<std::string>{"/index.html", len35, "..." + std::string(32, 'z')}));
    report->SetColumnType(0, CTableReport::PERCENTAGE);
    EXPECT_EQ(MakeChartModel(report.get(), 600, 400).labels[0], "0.00%");
}

TEST(BarSpec, AxisTitlesOnlyWithAReportName) {
    auto named = Series(CTableReport::BAR, CTableReport::NUMBER, {1});
    EXPECT_EQ(MakeChartModel(named.get(), 600, 400).xTitle, "Day");
    auto unnamed =
        Table(CTableReport::BAR, {CTableReport::TEXT, CTableReport::NUMBER}, {{"a", "1"}}, "");
    EXPECT_EQ(MakeChartModel(unnamed.get(), 600, 400).xTitle, "");
    EXPECT_EQ(MakeChartModel(unnamed.get(), 600, 400).yTitle, "");
}

TEST(ShortenBarLabel, NeverCutsIntoAUtf8Character) {
    const std::string label = std::string(10, 'a') + "\xC3\xA9" + std::string(31, 'b');  // 43 bytes
    EXPECT_EQ(ShortenBarLabel(label), "..." + std::string(31, 'b'));
}

std::unique_ptr<CTableReport> PieTable(size_t rows, std::int64_t zeroFrom = -1) {
    rows_t items;
    for (size_t i = 0; i < rows; ++i) {
        const std::int64_t v = zeroFrom >= 0 && static_cast<std::int64_t>(i) >= zeroFrom
                                   ? 0
                                   : static_cast<std::int64_t>(i + 1);
        items.push_back({"item" + std::to_string(i), std::to_string(v), std::to_string(v) + ".00"});
    }
    return Table(CTableReport::PIE,
                 {CTableReport::TEXT, CTableReport::NUMBER, CTableReport::PERCENTAGE}, items);
}

TEST(PieSpec, TwelveRowsFoldIntoSevenAndTheRest) {
    const chart_model_t spec = MakeChartModel(PieTable(12).get(), 600, 400);
    ASSERT_EQ(spec.sectors.size(), 8u);
    EXPECT_EQ(spec.sectors[0].label, "item11 (12.00%)");
    EXPECT_EQ(spec.sectors[0].value, 12);
    EXPECT_EQ(spec.sectors[6].value, 6);
    // The rest: 1 + ... + 5 = 15 of 78.
    EXPECT_EQ(spec.sectors[7].value, 15);
    EXPECT_EQ(spec.sectors[7].label, "Items not shown (19.23%)");
    for (size_t i = 0; i < spec.sectors.size(); ++i)
        EXPECT_EQ(spec.sectors[i].color, kChartPalette[1 + i]);
}

TEST(PieSpec, EightRowsAllShowLargestFirst) {
    const chart_model_t spec = MakeChartModel(PieTable(8).get(), 600, 400);
    ASSERT_EQ(spec.sectors.size(), 8u);
    EXPECT_EQ(spec.sectors.front().value, 8);
    EXPECT_EQ(spec.sectors.back().value, 1);
}

TEST(PieSpec, ZeroValuesNeverAppearNorCountTowardsFolding) {
    const chart_model_t spec = MakeChartModel(PieTable(12, 5).get(), 600, 400);
    ASSERT_EQ(spec.sectors.size(), 5u);
    for (const pie_sector_t& s : spec.sectors) EXPECT_GT(s.value, 0);
}

TEST(PieSpec, RadiusLeavesRoomForLabels) {
    const chart_model_t spec = MakeChartModel(PieTable(3).get(), 600, 400);
    EXPECT_EQ(spec.pieRadius, 100);
    EXPECT_EQ(spec.pieX, 300);
    EXPECT_EQ(spec.pieY, 200);
    EXPECT_EQ(MakeChartModel(PieTable(3).get(), 150, 150).pieRadius, 10);
}

TEST(GraphicsServerGraph, LightensEachChannelToAFifthOfItsDistanceFromWhite) {
    EXPECT_EQ(CGraphicsServerGraph::LightenColor(0x220096), 0xD2CCEAu);
    EXPECT_EQ(CGraphicsServerGraph::LightenColor(0x000000), 0xCCCCCCu);
    EXPECT_EQ(CGraphicsServerGraph::LightenColor(0xFFFFFF), 0xFFFFFFu);
}

TEST(GraphicsServerGraph, FormatsIntervalsWithinAYear) {
    EXPECT_EQ(CGraphicsServerGraph::FormatIntervalTime(0), "0000:00:00:00:00:00");
    EXPECT_EQ(CGraphicsServerGraph::FormatIntervalTime(90061), "0000:00:01:01:01:01");
    EXPECT_EQ(CGraphicsServerGraph::FormatIntervalTime(31536000 + 59), "0000:00:00:00:00:59");
    EXPECT_EQ(CGraphicsServerGraph::FormatIntervalTime(364LL * 86400 + 3599),
              "0000:00:364:00:59:59");
    EXPECT_EQ(CGraphicsServerGraph::FormatIntervalTime(-5), "0000:00:00:00:00:00");
}

}  // namespace

namespace {

TEST(ChartModel, DamagedNumbersCountAsZero) {
    auto report = Table(CTableReport::LINE, {CTableReport::NUMBER, CTableReport::NUMBER},
                        {{"1", "inf"}, {"nan", "5"}, {"x", "-inf"}});
    const chart_model_t spec = MakeChartModel(report.get(), 600, 400);
    EXPECT_EQ(spec.yUpper, 7);
    for (double v : spec.series[0].values) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NE(BuildChart(spec), nullptr);
}

}  // namespace
