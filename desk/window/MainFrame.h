#pragma once

#include <QMainWindow>
#include <map>
#include <string>

#include "desk/window/ReportPrinter.h"
#include "desk/window/ReportView.h"

class CExplanationDlgBar;
class CLogvaneDeskApp;
class CLogvaneDeskDoc;
class CReport;
class CReportTreeCtrl;
class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class QMenu;
class QVBoxLayout;

// The main window: menus, tool bar, the docked report list and explanation bar, and the main
// area that shows the selected report in the view its type asks for.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CLogvaneDeskApp& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CLogvaneDeskDoc& GetDocument() { return *m_doc; }
    CReportTreeCtrl* GetReportList() const { return m_reportList; }
    CExplanationDlgBar* GetExplanationBar() const { return m_explanation; }
    CReportView* GetActiveView() const { return m_view; }
    // The command's action by its menu text without "&" and shortcut ("Open", "Show as Graph").
    QAction* GetAction(const QString& name) const;
    // Whether the View menu holds "Tree View Toolbar" (only while the hyperlink tree shows).
    bool HasTreeViewToolbarItem() const;

    // The topic F1 opens; empty means the general help topics.
    const std::string& GetHelpTopic() const { return m_helpTopic; }
    void SetHelpTopic(const std::string& topic) { m_helpTopic = topic; }
    // Caption "Zentrik Logvane: <title>", or "Zentrik Logvane" alone for an empty title.
    void SetDocumentTitle(const QString& title);
    // Selects the report whose id is `id`; false when the loaded tree has none.
    bool FindReportByID(const std::string& id);

    // File commands (the dialogs ask for a path first).
    void OnOpen();
    void OnSaveReport();
    // Copies the shown report's file to `path`, replacing it; shows the failure message.
    bool SaveReportTo(const QString& path);
    void OnOpenXmlReport();
    void OnProjectChooser();
    void OnPrintReport();
    // What Print Report prints now: the current report as its view shows it.
    report_print_t GetPrintJob() const;

protected:
    // Remembers the window's size and the places of its bars for the next start.
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets();
    void createMenus();
    void createToolBar();
    void createConnections();
    QAction* AddCommand(QMenu* menu, const QString& text, const QKeySequence& shortcut = {},
                        const QIcon& icon = {});
    void AddHelpCommand(QMenu* menu, const QString& text, const char* topic,
                        const QKeySequence& shortcut = {});
    void RemoveTreeViewToolbarItem();
    void InsertTreeViewToolbarItem();
    void OnReportSelected(CReport* report);
    void SwitchView(view_class_t viewClass);
    void OnAbout();
    void OnContextHelp();
    void UpdateGraphButtons();

    CLogvaneDeskApp& m_app;
    CLogvaneDeskDoc* m_doc;
    CReportTreeCtrl* m_reportList = nullptr;
    QDockWidget* m_reportDock = nullptr;
    CExplanationDlgBar* m_explanation = nullptr;
    QWidget* m_viewHost = nullptr;
    QVBoxLayout* m_viewLayout = nullptr;
    CReportView* m_view = nullptr;
    QMenu* m_viewMenu = nullptr;
    QAction* m_treeViewToolbar = nullptr;
    QActionGroup* m_graphGroup = nullptr;
    QLabel* m_statusReport = nullptr;
    std::map<QString, QAction*> m_actions;
    std::string m_helpTopic;
};
