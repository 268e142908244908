#pragma once

#include "store/StoreApi.h"
#include "store/report/ReportTree.h"
#include "store/report/SummaryReport.h"

// A report file loaded for listing: hands out non-owning handles on its reports.
class LOGVANE_STORE_API CReportSummaryTree {
public:
    // Clears and loads the whole file; false (and an empty tree) when it cannot be read.
    bool LoadXML(const char* path) { return m_tree.LoadXML(path); }
    // A handle on the first top-level report (on no report when the tree is empty).
    CSummaryReport GetRoot() const { return CSummaryReport(m_tree.GetRoot()); }
    const CReportTree& GetTree() const { return m_tree; }

private:
    CReportTree m_tree;
};
