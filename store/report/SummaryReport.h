#pragma once

#include <string>

#include "store/StoreApi.h"
#include "store/report/Report.h"

// A non-owning handle on one report of a tree, for listing the tree without touching the
// reports. A handle on no report answers "no child", "no sibling" and empty texts.
class LOGVANE_STORE_API CSummaryReport {
public:
    explicit CSummaryReport(CReport* report = nullptr) : m_report(report) {}

    CReport* GetReport() const { return m_report; }
    // TEXT_MESSAGE for a handle on no report.
    CReport::report_t GetReportType() const;
    std::string GetReportName() const;
    std::string GetReportIconType() const;
    std::string GetReportClass() const;
    bool HasChild() const { return m_report && m_report->GetChild(); }
    CSummaryReport GetChild() const;
    bool HasSibling() const { return m_report && m_report->GetSibling(); }
    CSummaryReport GetSibling() const;

private:
    CReport* m_report;
};
