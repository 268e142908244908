#include "engine/chart/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <numeric>

#include "engine/chart/GraphicsServerGraph.h"
#include "plot/LabelFormat.h"
#include "plot/PieChart.h"
#include "plot/XYChart.h"
#include "store/format/Format.h"
#include "store/report/TableReport.h"

namespace {

using column_t = CTableReport::column_t;

// How the Y values of a line or area chart are shown: divided by `divisor`, labelled by
// `format`, the axis title followed by " (unit)" when a unit is named.
struct y_unit_t {
    double divisor = 1;
    std::string format;
    std::string unit;
};

y_unit_t ChooseYUnit(column_t type, double upper) {
    if (type == CTableReport::BANDWIDTH) {
        if (upper > 1073741824.0) return {1073741824.0, "{value|1,.}GB", "gigabytes"};
        if (upper > 1048576.0) return {1048576.0, "{value|1,.}MB", "megabytes"};
        if (upper > 1024.0) return {1024.0, "{value|1,.}KB", "kilobytes"};
        return {1, "{value|1,.}B", "bytes"};
    }
    if (type == CTableReport::ELAPSEDTIME) {
        if (upper > 172800) return {86400, "{value|1,.}", "Days"};
        if (upper > 7200) return {3600, "{value|1,.}", "Hours"};
        if (upper / 2 <= 60) return {1, "{value|1,.}", "Seconds"};
        return {60, "{value|1,.}", "Minutes"};
    }
    return {};
}

bool IsTimeColumn(column_t type) {
    return type == CTableReport::JUSTDATE || type == CTableReport::JUSTTIME ||
           type == CTableReport::DATETIME || type == CTableReport::ELAPSEDTIME;
}

// The number in a cell; text that is no finite number (a damaged report file) counts as 0.
double CellNumber(const CTableReport& report, unsigned long row, unsigned long col) {
    const double v = std::strtod(report.GetItem(row, col).c_str(), nullptr);
    return std::isfinite(v) ? v : 0;
}

// The calendar day (UTC) of a time cell as a chart time.
double CellDay(const CTableReport& report, unsigned long row, unsigned long col) {
    const time_t t = static_cast<std::int32_t>(std::atoi(report.GetItem(row, col).c_str()));
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return 0;
    return plot::ChartTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

void SetFrame(chart_model_t& spec, const CTableReport& report, int width, int height) {
    spec.width = width;
    spec.height = height;
    spec.title = report.GetReportName();
}

struct xy_row_t {
    double x;
    std::vector<double> y;
};

// Rows beyond the X limit are added into the last kept row.
void FoldBeyondLimit(std::vector<xy_row_t>& rows, std::uint32_t limit) {
    if (limit == 0 || limit >= rows.size()) return;
    xy_row_t& last = rows[limit - 1];
    for (size_t r = limit; r < rows.size(); ++r)
        for (size_t c = 0; c < last.y.size(); ++c) last.y[c] += rows[r].y[c];
    rows.resize(limit);
}

// Every value above the bound so far moves the bound to that value + 2. Stacked areas count
// the stacked height of a row, which is what the scale has to hold.
double UpperBound(const std::vector<xy_row_t>& rows, bool stacked) {
    double upper = 0;
    for (const xy_row_t& row : rows) {
        double sum = 0;
        for (double v : row.y) {
            sum = stacked ? sum + v : v;
            if (sum > upper) upper = sum + 2;
        }
    }
    return upper;
}

void MakeLineSpec(chart_model_t& spec, const CTableReport& report, bool area) {
    const int w = spec.width, h = spec.height;
    spec.plotArea = {75, 75, w - 150, h - 150};
    spec.xTitle = report.GetXAxisTitle();
    spec.yTitle = report.GetYAxisTitle();
    const unsigned long available = report.GetNumColumns() > 1 ? report.GetNumColumns() - 1 : 0;
    const unsigned long columns = std::min<unsigned long>(
        static_cast<unsigned long>(std::max(1, report.GetNumGraphCols())), available);
    spec.depth = area ? 4 : 4 * static_cast<int>(std::max<unsigned long>(columns, 1));
    if (!area) {
        spec.legend = true;
        spec.legendX = 65;
        spec.legendY = h - 50;
    }
    spec.dateX = IsTimeColumn(report.GetColumnType(0));

    std::vector<xy_row_t> rows(report.GetNumRows());
    for (unsigned long r = 0; r < rows.size(); ++r) {
        rows[r].x = spec.dateX ? CellDay(report, r, 0) : CellNumber(report, r, 0);
        for (unsigned long c = 1; c <= columns; ++c) rows[r].y.push_back(CellNumber(report, r, c));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const xy_row_t& a, const xy_row_t& b) { return a.x < b.x; });
    FoldBeyondLimit(rows, report.GetXLimit());

    double upper = UpperBound(rows, area);
    const y_unit_t unit = ChooseYUnit(report.GetColumnType(1), upper);
    upper /= unit.divisor;
    spec.yUpper = upper;
    spec.yLabelFormat = unit.format;
    if (!unit.unit.empty()) spec.yTitle += " (" + unit.unit + ")";

    for (const xy_row_t& row : rows) spec.x.push_back(row.x);
    if (spec.dateX && !rows.empty()) {
        std::tm first{}, last{};
        const time_t t0 = static_cast<time_t>(rows.front().x),
                     t1 = static_cast<time_t>(rows.back().x);
        gmtime_r(&t0, &first);
        gmtime_r(&t1, &last);
        spec.xLabelFormat = first.tm_year == last.tm_year ? "{value|mmm d}" : "{value|mmm d, yyyy}";
    }
    for (unsigned long c = 1; c <= columns; ++c) {
        chart_series_t set{report.GetColumnTitle(c), ChartSeriesColor(c - 1), {}};
        for (const xy_row_t& row : rows) set.values.push_back(row.y[c - 1] / unit.divisor);
        spec.series.push_back(std::move(set));
    }
}

void MakeBarSpec(chart_model_t& spec, const CTableReport& report, bool side) {
    const int w = spec.width, h = spec.height;
    spec.plotArea =
        side ? plot::rect_t{200, 75, w - 275, h - 150} : plot::rect_t{75, 75, w - 150, h - 150};
    spec.depth = side ? 2 : 4;
    if (!report.GetReportName().empty()) {
        spec.xTitle = report.GetXAxisTitle();
        spec.yTitle = report.GetYAxisTitle();
    }
    const unsigned long rows =
        side ? std::min<unsigned long>(report.GetNumRows(), 20) : report.GetNumRows();
    chart_series_t set{report.GetColumnTitle(1), ChartSeriesColor(0), {}};
    for (unsigned long r = 0; r < rows; ++r) {
        spec.labels.push_back(ShortenBarLabel(report.GetFormattedItem(r, 0)));
        set.values.push_back(report.GetNumColumns() > 1 ? CellNumber(report, r, 1) : 0);
    }
    spec.series.push_back(std::move(set));
}

void MakePieSpec(chart_model_t& spec, const CTableReport& report) {
    // The pie keeps 100 pixels around it for labels; a very small view still gets a pie.
    spec.pieRadius = std::max((std::min(spec.width, spec.height) - 200) / 2, 10);
    spec.pieX = spec.width / 2;
    spec.pieY = spec.height / 2;
    std::vector<pie_sector_t> rows;
    for (unsigned long r = 0; r < report.GetNumRows(); ++r) {
        std::string label = report.GetFormattedItem(r, 0);
        if (report.GetNumColumns() > 2) label += " (" + report.GetFormattedItem(r, 2) + ")";
        rows.push_back({label, std::strtoll(report.GetItem(r, 1).c_str(), nullptr, 10), 0});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const pie_sector_t& a, const pie_sector_t& b) {
        return a.value > b.value;
    });
    const auto cut =
        std::find_if(rows.begin(), rows.end(), [](const pie_sector_t& s) { return s.value <= 0; });
    rows.erase(cut, rows.end());
    if (rows.size() >= 9) {
        const std::int64_t total =
            std::accumulate(rows.begin(), rows.end(), std::int64_t{0},
                            [](std::int64_t sum, const pie_sector_t& s) { return sum + s.value; });
        const std::int64_t rest =
            std::accumulate(rows.begin() + 7, rows.end(), std::int64_t{0},
                            [](std::int64_t sum, const pie_sector_t& s) { return sum + s.value; });
        rows.resize(7);
        rows.push_back(
            {"Items not shown (" + CFormat::MakePercentage(rest, total) + "%" + ")", rest, 0});
    }
    for (size_t i = 0; i < rows.size(); ++i) rows[i].color = ChartSeriesColor(i);
    spec.sectors = std::move(rows);
}

}  // namespace

plot::color_t ChartSeriesColor(size_t i) { return kChartPalette[1 + i % 10]; }

std::string ShortenBarLabel(const std::string& label) {
    if (label.size() < 36) return label;
    size_t from = label.size() - 32;
    while (from < label.size() && (static_cast<unsigned char>(label[from]) & 0xC0) == 0x80) ++from;
    return "..." + label.substr(from);
}

chart_model_t MakeChartModel(const CTableReport* report, int width, int height) {
    chart_model_t spec;
    if (!report) return spec;
    SetFrame(spec, *report, width, height);
    switch (report->GetGraphType()) {
        case CTableReport::LINE:
        case CTableReport::AREA:
            spec.kind = report->GetGraphType() == CTableReport::LINE ? chart_kind_t::LINE
                                                                     : chart_kind_t::AREA;
            MakeLineSpec(spec, *report, spec.kind == chart_kind_t::AREA);
            break;
        case CTableReport::BAR:
        case CTableReport::SIDEBAR:
            spec.kind = report->GetGraphType() == CTableReport::BAR ? chart_kind_t::BAR
                                                                    : chart_kind_t::SIDEBAR;
            MakeBarSpec(spec, *report, spec.kind == chart_kind_t::SIDEBAR);
            break;
        case CTableReport::PIE:
            spec.kind = chart_kind_t::PIE;
            MakePieSpec(spec, *report);
            break;
    }
    return spec;
}

namespace {

const plot::font_t kTitleFont{"Liberation Sans", 11, true, true, 0xFFFFFF};

void AddXYLayer(plot::CXYChart& chart, const chart_model_t& spec) {
    const plot::layer_kind_t kind = spec.kind == chart_kind_t::LINE ? plot::layer_kind_t::LINE
                                    : spec.kind == chart_kind_t::AREA
                                        ? plot::layer_kind_t::STACKED_AREA
                                        : plot::layer_kind_t::BAR;
    plot::CLayer& layer = chart.AddLayer(kind, spec.depth);
    if (kind != plot::layer_kind_t::BAR) layer.SetXData(spec.x);
    for (const chart_series_t& set : spec.series) layer.AddDataSet(set.values, set.color, set.name);
}

std::unique_ptr<plot::CChart> BuildXYChart(const chart_model_t& spec) {
    auto chart = std::make_unique<plot::CXYChart>(spec.width, spec.height, 0xFFFFFF);
    chart->SetTitle(spec.title, kTitleFont, kChartPalette[0]);
    const plot::rect_t& area = spec.plotArea;
    chart->SetPlotArea(area.x, area.y, area.width, area.height,
                       CGraphicsServerGraph::LightenColor(kChartPalette[0]), 0xC0C0C0);
    chart->XAxis().SetTitle(spec.xTitle, 8);
    chart->YAxis().SetTitle(spec.yTitle, 8);
    if (spec.kind == chart_kind_t::LINE || spec.kind == chart_kind_t::AREA) {
        chart->YAxis().SetLinearScale(0, spec.yUpper);
        chart->YAxis().SetLabelFormat(spec.yLabelFormat);
        if (spec.dateX && !spec.x.empty()) {
            chart->XAxis().SetDateScale(spec.x.front(), spec.x.back(), 86400);
            chart->XAxis().SetLabelFormat(spec.xLabelFormat);
        }
        if (spec.legend) chart->SetLegend(spec.legendX, spec.legendY);
    } else {
        chart->XAxis().SetLabels(spec.labels);
        if (spec.kind == chart_kind_t::SIDEBAR) {
            chart->XAxis().SetReverse();
            chart->SwapXY();
        }
    }
    AddXYLayer(*chart, spec);
    return chart;
}

std::unique_ptr<plot::CChart> BuildPieChart(const chart_model_t& spec) {
    auto chart = std::make_unique<plot::CPieChart>(spec.width, spec.height, 0xFFFFFF);
    chart->SetTitle(spec.title, kTitleFont, kChartPalette[0]);
    chart->SetPieSize(spec.pieX, spec.pieY, spec.pieRadius);
    chart->Set3D();
    std::vector<double> values;
    std::vector<std::string> labels;
    std::vector<plot::color_t> colors;
    for (const pie_sector_t& s : spec.sectors) {
        values.push_back(static_cast<double>(s.value));
        labels.push_back(s.label);
        colors.push_back(s.color);
    }
    chart->SetData(std::move(values), std::move(labels));
    chart->SetColors(std::move(colors));
    chart->SetLabelLayoutCircular(6);
    chart->SetLabelFormat("{label}");
    chart->SetLabelStyle(plot::font_t{"Liberation Sans", 10, false, false, 0xFFFFFF});
    return chart;
}

}  // namespace

std::unique_ptr<plot::CChart> BuildChart(const chart_model_t& spec) {
    switch (spec.kind) {
        case chart_kind_t::NONE:
            return nullptr;
        case chart_kind_t::PIE:
            return BuildPieChart(spec);
        default:
            return BuildXYChart(spec);
    }
}
