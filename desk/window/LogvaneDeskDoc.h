#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>

class CReport;
class CReportTree;
class CMainFrame;
class CLogvaneDeskApp;

// The program's one document: the loaded report tree, the report being shown and the viewing
// mode. Views read it; the main frame listens to its signals to fill the report list and
// switch views.
class CLogvaneDeskDoc : public QObject {
    Q_OBJECT
public:
    explicit CLogvaneDeskDoc(CLogvaneDeskApp& app, QObject* parent = nullptr);
    ~CLogvaneDeskDoc() override;

    void SetFrame(CMainFrame* frame) { m_frame = frame; }

    // Show table reports as graphs where they can be drawn.
    bool GetGraphMode() const { return m_graphMode; }
    // Changes the mode; the current report is shown again only when the mode changed.
    void SetGraphMode(bool graphMode);

    CReport* GetCurrentReport() const { return m_currentReport; }
    // Null when no report file is loaded.
    CReportTree* GetReportTree() const { return m_reportTree.get(); }
    // Makes `report` (a report of the loaded tree, or null) the shown one.
    void SelectReport(CReport* report);

    // Closes the shown report, then reads the report file `path` and shows its first report.
    // A missing or unreadable file loads as an empty tree. The title becomes the project name
    // and the file name.
    void LoadReportFile(const std::string& path);
    // Empties the viewer: no current report, no tree.
    void CloseReport();
    // The file the shown report was read from; empty when none is loaded.
    const std::string& GetLoadedPath() const { return m_loadedPath; }
    const QString& GetTitle() const { return m_title; }

    // The Project Chooser command: runs the project or loads the report that the command line
    // or Open named; without them (and until the chooser exists) leaves the viewer as it is.
    void OnProjectChooser();
    // The Open command's work once a path is known: ".bvp" analyses it, ".bvr" loads it.
    // False for any other extension (nothing changes).
    bool OpenPath(const std::string& path);

    int m_showWelcome = 1;
    std::string m_pendingOpenPath;
    bool m_exportPending = false;
    std::string m_exportPath;
    std::string m_projectPath;

signals:
    // The report list must be refilled from the tree.
    void reportLoaded();
    // The report list must be emptied; sent before the tree is deleted.
    void reportClosed();
    // The view must switch to show the current report.
    void reportSelected(CReport* report);

private:
    CLogvaneDeskApp& m_app;
    CMainFrame* m_frame = nullptr;
    bool m_graphMode = true;
    CReport* m_currentReport = nullptr;
    std::unique_ptr<CReportTree> m_reportTree;
    std::string m_loadedPath;
    QString m_title;
};
