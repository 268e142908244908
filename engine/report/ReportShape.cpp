#include "engine/report/ReportShape.h"

void ShapeTableReport(CTableReport& report, const report_spec_t& spec, unsigned long rows) {
    report.Clear();
    report.SetReportName(spec.name);
    report.SetReportIconType(spec.icon);
    report.SetReportID(spec.id);
    report.SetReportClass(spec.reportClass);
    report.SetDescription(spec.description);
    report.SetHelpFile(spec.helpFile);
    report.AllocateChart(spec.numColumns, rows, spec.defaultSort);
    for (std::size_t col = 0; col < spec.numColumns; ++col) {
        report.SetColumnTitle(static_cast<int>(col), spec.columns[col].title);
        report.SetColumnType(col, spec.columns[col].type);
    }
    report.SetDisplayAsGraph(spec.graph);
    if (!spec.graph) return;
    report.SetGraphType(spec.graphType);
    report.SetXAxisTitle(spec.xAxisTitle);
    report.SetYAxisTitle(spec.yAxisTitle);
}

std::unique_ptr<CTableReport> NewTableReport(const report_spec_t& spec, unsigned long rows) {
    auto report = std::make_unique<CTableReport>();
    ShapeTableReport(*report, spec, rows);
    return report;
}

std::unique_ptr<CNestedTableReport> NewNestedReport(const report_spec_t& spec, unsigned long rows) {
    auto report = std::make_unique<CNestedTableReport>();
    ShapeTableReport(*report, spec, rows);
    return report;
}
