#include "store/report/ReportTree.h"

#include <memory>
#include <vector>

#include "store/hyperlink/LoadHyperlinkTreeReport.h"
#include "store/project/ProjectDescription.h"
#include "store/report/FolderReport.h"
#include "store/report/NestedTableReport.h"
#include "store/report/TableReport.h"
#include "store/report/TextMessageReport.h"
#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

namespace {

// Folders nest one or two levels in practice; a file nesting deeper than this is damaged, and
// its deeper folders load empty rather than recursing without bound.
constexpr int kMaxFolderDepth = 200;

std::unique_ptr<CReport> CreateReportFor(const std::string& tag) {
    if (tag == "TABLEREPORT") return std::make_unique<CTableReport>();
    if (tag == "NESTEDREPORT") return std::make_unique<CNestedTableReport>();
    if (tag == "HYPERLINKTREEREPORT") return std::make_unique<CLoadHyperlinkTreeReport>();
    if (tag == "TEXTMESSAGE") return std::make_unique<CTextMessageReport>();
    if (tag == "FOLDER") return std::make_unique<CFolderReport>();
    return nullptr;
}

CReport* LastOfChain(CReport* report) {
    while (report && report->GetSibling()) report = report->GetSibling();
    return report;
}

}  // namespace

CReportTree::CReportTree() : m_project(std::make_unique<CProjectDescription>()) {}

CReportTree::~CReportTree() { Clear(); }

void CReportTree::Clear() {
    delete m_root;
    m_root = m_current = nullptr;
}

void CReportTree::SetRoot(CReport* root) {
    if (root == m_root) return;
    Clear();
    m_root = root;
    if (root) root->SetParent(nullptr);
    m_current = LastOfChain(root);
}

void CReportTree::AddReport(CReport* report) {
    if (!report) return;
    if (!m_root) {
        m_root = report;
        report->SetParent(nullptr);
    } else {
        // A report added after Ascend or SetRoot goes to the end of the current level.
        m_current = LastOfChain(m_current ? m_current : m_root);
        m_current->SetSibling(report);
    }
    m_current = report;
}

void CReportTree::AddReportAsChild(CReport* report) {
    if (!report) return;
    if (!m_current) {
        AddReport(report);
        return;
    }
    // A second child chain would orphan (and leak) the first; join it to the end instead.
    if (CReport* last = LastOfChain(m_current->GetChild()))
        last->SetSibling(report);
    else
        m_current->SetChild(report);
    m_current = report;
}

void CReportTree::Ascend() {
    if (!m_current) return;
    CReport* parent = m_current->GetParent();
    m_current = LastOfChain(parent ? parent : m_root);
}

CReport* CReportTree::FindByReportID(const char* id) const {
    return InternalFindByReportID(m_root, id);
}

CReport* CReportTree::InternalFindByReportID(CReport* start, const char* id) {
    if (!start || !id) return nullptr;
    std::vector<CReport*> pending{start};
    while (!pending.empty()) {
        CReport* report = pending.back();
        pending.pop_back();
        if (report->GetReportID() == id) return report;
        if (report->GetSibling()) pending.push_back(report->GetSibling());
        if (report->GetChild()) pending.push_back(report->GetChild());
    }
    return nullptr;
}

void CReportTree::SetProjectDescription(const CProjectDescription& description) {
    *m_project = description;
}

std::string CReportTree::GetSiteDomainName() const { return m_project->GetSiteDomainName(); }

std::string CReportTree::GetSiteProjectName() const { return m_project->GetProjectName(); }

std::string CReportTree::GetCreationDate() const { return m_project->GetCreationDate(); }

bool CReportTree::SaveXML(const char* path) const {
    if (!path) return false;
    // Written as it is produced: a report file can be hundreds of megabytes, and only the
    // open path of the tree needs to be in memory.
    CMarkup markup;
    if (!markup.StartStream(path)) return false;
    markup.AddElem("REPORTS");
    markup.SetAttrib("SiteDomainName", m_project->GetSiteDomainName());
    markup.SetAttrib("ProjectName", m_project->GetProjectName());
    markup.SetAttrib("CreationDate", m_project->GetCreationDate());
    markup.IntoElem();
    CSaveXMLProgress progress(m_root ? m_root->GetCount() : 0);
    if (m_root) m_root->SaveXML(progress, markup, true);
    markup.OutOfElem();
    return markup.EndStream();
}

bool CReportTree::LoadXML(const char* path) {
    Clear();
    *m_project = CProjectDescription();
    CMarkup markup;
    if (!path || !markup.Load(path) || !markup.FindElem("REPORTS")) return false;
    m_project->SetCreationDate(markup.GetAttrib("CreationDate"));
    m_project->SetSiteDomainName(markup.GetAttrib("SiteDomainName"));
    m_project->SetProjectName(markup.GetAttrib("ProjectName"));
    markup.IntoElem();
    m_root = RecursiveLoadXML(markup);
    m_current = LastOfChain(m_root);
    return true;
}

CReport* CReportTree::RecursiveLoadXML(CMarkup& markup) { return LoadLevel(markup, 0, nullptr); }

CReport* CReportTree::LoadLevel(CMarkup& markup, int depth, CReport* parent) {
    CReport* first = nullptr;
    CReport* last = nullptr;
    while (markup.FindElem()) {
        std::unique_ptr<CReport> report = CreateReportFor(markup.GetTagName());
        if (!report || !report->LoadXML(markup)) continue;
        if (report->GetReportType() == CReport::FOLDER && depth < kMaxFolderDepth) {
            markup.IntoElem();
            CReport* children = LoadLevel(markup, depth + 1, report.get());
            markup.OutOfElem();
            report->SetChild(children);
        }
        report->SetParent(parent);
        CReport* added = report.release();
        if (last)
            last->SetSibling(added);
        else
            first = added;
        last = added;
    }
    return first;
}
