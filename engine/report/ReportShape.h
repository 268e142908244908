#pragma once

#include <array>
#include <cstddef>
#include <memory>

#include "engine/EngineApi.h"
#include "store/report/NestedTableReport.h"
#include "store/report/TableReport.h"

// The fixed attributes of one catalogue report: everything but its rows.
struct report_column_t {
    const char* title = nullptr;
    CTableReport::column_t type = CTableReport::NUMBER;
};

struct report_spec_t {
    const char* name;
    const char* id;
    const char* reportClass;
    const char* icon;
    const char* helpFile;  // "" for none
    int defaultSort;       // 1-based column, negative for ascending, 0 for none
    std::size_t numColumns;
    std::array<report_column_t, 4> columns;
    bool graph = false;
    CTableReport::graph_t graphType = CTableReport::BAR;
    const char* xAxisTitle = "";
    const char* yAxisTitle = "";
    const char* description = "";
};

// A table report with the attributes of `spec` and `rows` empty rows.
LOGVANE_ENGINE_API std::unique_ptr<CTableReport> NewTableReport(const report_spec_t& spec,
                                                                unsigned long rows);
// As NewTableReport, for a report whose rows carry nested tables.
LOGVANE_ENGINE_API std::unique_ptr<CNestedTableReport> NewNestedReport(const report_spec_t& spec,
                                                                       unsigned long rows);
// Gives `report` the attributes of `spec` and `rows` empty rows (its grid is replaced).
LOGVANE_ENGINE_API void ShapeTableReport(CTableReport& report, const report_spec_t& spec,
                                         unsigned long rows);
