#include "store/report/SummaryReport.h"

CReport::report_t CSummaryReport::GetReportType() const {
    return m_report ? m_report->GetReportType() : CReport::TEXT_MESSAGE;
}

std::string CSummaryReport::GetReportName() const {
    return m_report ? m_report->GetReportName() : std::string();
}

std::string CSummaryReport::GetReportIconType() const {
    return m_report ? m_report->GetReportIconType() : std::string();
}

std::string CSummaryReport::GetReportClass() const {
    return m_report ? m_report->GetReportClass() : std::string();
}

CSummaryReport CSummaryReport::GetChild() const {
    return CSummaryReport(m_report ? m_report->GetChild() : nullptr);
}

CSummaryReport CSummaryReport::GetSibling() const {
    return CSummaryReport(m_report ? m_report->GetSibling() : nullptr);
}
