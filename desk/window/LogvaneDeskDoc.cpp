#include "desk/window/LogvaneDeskDoc.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <filesystem>

#include "desk/window/AnalysisRun.h"
#include "desk/window/LogvaneDeskApp.h"
#include "desk/window/MainFrame.h"
#include "desk/window/ReportText.h"
#include "store/project/ProjectInformation.h"
#include "store/report/Report.h"
#include "store/report/ReportTree.h"
#include "store/settings/SettingsFolder.h"

namespace {

bool HasExtension(const std::string& path, const char* upperExtension) {
    const std::string ext = upperExtension;
    if (path.size() < ext.size()) return false;
    for (size_t i = 0; i < ext.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(path[path.size() - ext.size() + i])) != ext[i])
            return false;
    return true;
}

}  // namespace

CLogvaneDeskDoc::CLogvaneDeskDoc(CLogvaneDeskApp& app, QObject* parent)
    : QObject(parent), m_app(app) {
    m_showWelcome = QSettings().value(QStringLiteral("showSplash"), 1).toInt();
}

CLogvaneDeskDoc::~CLogvaneDeskDoc() = default;

void CLogvaneDeskDoc::SetGraphMode(bool graphMode) {
    if (graphMode == m_graphMode) return;
    m_graphMode = graphMode;
    SelectReport(m_currentReport);
}

void CLogvaneDeskDoc::SelectReport(CReport* report) {
    m_currentReport = report;
    emit reportSelected(report);
}

void CLogvaneDeskDoc::CloseReport() {
    m_currentReport = nullptr;
    emit reportClosed();
    SelectReport(nullptr);
    m_reportTree.reset();
    m_loadedPath.clear();
    m_title.clear();
    if (m_frame) m_frame->SetDocumentTitle(m_title);
}

void CLogvaneDeskDoc::LoadReportFile(const std::string& path) {
    CloseReport();
    m_reportTree = std::make_unique<CReportTree>();
    m_reportTree->LoadXML(path.c_str());
    m_loadedPath = path;
    m_currentReport = m_reportTree->GetRoot();
    m_title = FromReportBytes(m_reportTree->GetSiteProjectName()) + QStringLiteral(" (") +
              QFileInfo(FromLocalPath(path)).fileName() + QStringLiteral(")");
    if (m_frame) m_frame->SetDocumentTitle(m_title);
    emit reportLoaded();
}

void CLogvaneDeskDoc::OnProjectChooser() {
    std::string projectPath = (std::filesystem::path(GetSettingsDir()) / "project.xml").string();
    std::string reportPath = GetWorkingReportPath();
    m_exportPending = false;
    const std::string savedTopic = m_frame ? m_frame->GetHelpTopic() : std::string();
    if (m_frame) m_frame->SetHelpTopic("ProjectWizard/ProjectEditorIndex.htm");
    bool run = false;
    bool loaded = false;
    if (!m_app.m_projectPath.empty()) projectPath = m_app.m_projectPath, run = true;
    if (!m_app.m_reportPath.empty()) reportPath = m_app.m_reportPath, loaded = true;
    // Without a command-line file the project chooser would come here; until it exists the
    // viewer stays on its banner.
    m_app.m_projectPath.clear();
    m_app.m_reportPath.clear();
    if (run) {
        const analysis_result_t result =
            RunAnalysisInWindow(m_frame, {projectPath, true, reportPath});
        loaded = result.success;
        m_exportPending = !result.exportPath.empty();
        m_exportPath = result.exportPath;
        m_projectPath = projectPath;
        CloseReport();
    }
    if (loaded) {
        m_projectPath = projectPath;
        LoadReportFile(reportPath);
    }
    if (m_frame) m_frame->SetHelpTopic(savedTopic);
    if (m_app.m_exitRequested && m_frame) m_frame->close();
}

bool CLogvaneDeskDoc::OpenPath(const std::string& path) {
    if (HasExtension(path, "BVP"))
        m_app.m_projectPath = path;
    else if (HasExtension(path, "BVR"))
        m_app.m_reportPath = path;
    else
        return false;
    m_pendingOpenPath.clear();
    OnProjectChooser();
    return true;
}
