#include "engine/report/ReportTemplate.h"

#include <string>
#include <vector>

#include "engine/report/ReportSources.h"
#include "engine/report/ReportTreeAssembly.h"
#include "store/project/ProjectDescription.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"

namespace {

// Drops the rows of a fixed-row table and keeps everything else.
void StripRows(CTableReport& table) {
    const unsigned long columns = table.GetNumColumns();
    std::vector<std::string> titles;
    std::vector<CTableReport::column_t> types;
    std::vector<bool> alternative;
    for (unsigned long col = 0; col < columns; ++col) {
        titles.push_back(table.GetColumnTitle(col));
        types.push_back(table.GetColumnType(col));
        alternative.push_back(table.GetAlternativeSort(col));
    }
    table.AllocateChart(columns, 0, table.GetDefaultSortColumn());
    for (unsigned long col = 0; col < columns; ++col) {
        table.SetColumnTitle(static_cast<int>(col), titles[col].c_str());
        table.SetColumnType(col, types[col]);
        if (alternative[col]) table.SetAlternateSort(col);
    }
}

void StripAll(CReport* report) {
    for (; report; report = report->GetSibling()) {
        if (auto* table = dynamic_cast<CTableReport*>(report)) StripRows(*table);
        StripAll(report->GetChild());
    }
}

}  // namespace

void BuildReportTemplate(CReportTree& tree) {
    // No tables at all: every builder then gives its shape, and the hyperlink tree keeps no
    // reference to tables that would be gone before the tree is written.
    const report_sources_t sources;
    tree.Clear();
    tree.SetProjectDescription(CProjectDescription());
    BuildReportTree(sources, tree);
    StripAll(tree.GetRoot());
}

bool WriteReportTemplate(const char* path) {
    CReportTree tree;
    BuildReportTemplate(tree);
    return tree.SaveXML(path);
}
