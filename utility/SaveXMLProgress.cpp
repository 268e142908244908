#include "utility/SaveXMLProgress.h"

#include "utility/Progress.h"

CSaveXMLProgress::CSaveXMLProgress(int reportCount) : m_count(reportCount > 0 ? reportCount : 0) {
    CProgress::SetPercentageDone(0);
}

void CSaveXMLProgress::InReport(const std::string& reportName) {
    CProgress::SetText(PROGRESS_PREPARING_TREE, "Saving report: " + reportName);
    if (m_done < m_count) ++m_done;
    CProgress::SetPercentageDone(m_count ? m_done * 100 / m_count : 100);
}
