#include "store/report/Report.h"

#include <vector>

CReport::~CReport() {
    // Unlink before deleting, so each deleted report has nothing left to delete itself.
    std::vector<CReport*> pending;
    if (m_child) pending.push_back(m_child);
    if (m_sibling) pending.push_back(m_sibling);
    m_child = m_sibling = nullptr;
    while (!pending.empty()) {
        CReport* report = pending.back();
        pending.pop_back();
        if (report->m_child) pending.push_back(report->m_child);
        if (report->m_sibling) pending.push_back(report->m_sibling);
        report->m_child = report->m_sibling = nullptr;
        delete report;
    }
}

void CReport::SetChild(CReport* child) {
    m_child = child;
    if (child) child->m_parent = this;
}

void CReport::SetSibling(CReport* sibling) {
    m_sibling = sibling;
    if (sibling) sibling->m_parent = m_parent;
}

int CReport::GetCount() const {
    int count = 0;
    std::vector<const CReport*> pending{this};
    while (!pending.empty()) {
        const CReport* report = pending.back();
        pending.pop_back();
        ++count;
        if (report->m_sibling) pending.push_back(report->m_sibling);
        if (report->m_child) pending.push_back(report->m_child);
    }
    return count;
}

void CReport::SaveXML(CSaveXMLProgress& progress, CMarkup& markup, bool all) {
    SaveElement(progress, markup, all);
    if (!all) return;
    for (CReport* sibling = m_sibling; sibling; sibling = sibling->m_sibling)
        sibling->SaveElement(progress, markup, true);
}
