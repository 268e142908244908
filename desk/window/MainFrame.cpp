#include "desk/window/MainFrame.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "desk/window/DeskServices.h"
#include "desk/window/ExplanationDlgBar.h"
#include "desk/window/Icons.h"
#include "desk/window/LogvaneDeskApp.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/ReportText.h"
#include "desk/window/ReportTreeCtrl.h"
#include "store/report/Report.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"

namespace {

const QString kCaption = QStringLiteral("Zentrik Logvane");
const QString kTreeViewToolbar = QStringLiteral("Tree View Toolbar");

QString PlainName(QString text) { return text.remove('&').remove(QStringLiteral("...")); }

}  // namespace

CMainFrame::CMainFrame(CLogvaneDeskApp& app, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_doc(new CLogvaneDeskDoc(app, this)) {
    m_doc->SetFrame(this);
    createWidgets();
    createMenus();
    createToolBar();
    createConnections();
    SwitchView(view_class_t::GenericMessage);
    RemoveTreeViewToolbarItem();
    const QSettings profile;
    restoreGeometry(profile.value(QStringLiteral("MainWindow/geometry")).toByteArray());
    restoreState(profile.value(QStringLiteral("MainWindow/state")).toByteArray());
    // The explanation bar opens with the first explanation, wherever it was left.
    if (m_explanation->IsMinimised()) m_explanation->hide();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    QSettings profile;
    profile.setValue(QStringLiteral("MainWindow/geometry"), saveGeometry());
    profile.setValue(QStringLiteral("MainWindow/state"), saveState());
    QMainWindow::closeEvent(event);
}

CMainFrame::~CMainFrame() {
    // Nothing may reach the half-destroyed frame: the list and the document fall silent, and
    // the views, which read the document's reports, go first.
    m_reportList->blockSignals(true);
    m_doc->disconnect(this);
    if (m_view) delete m_view->AsWidget();
    m_view = nullptr;
    m_doc->SetFrame(nullptr);
}

void CMainFrame::createWidgets() {
    setWindowTitle(kCaption);
    setWindowIcon(icons::AppIcon());
    resize(1100, 720);
    m_viewHost = new QWidget(this);
    m_viewLayout = new QVBoxLayout(m_viewHost);
    m_viewLayout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_viewHost);

    m_reportDock = new QDockWidget(QStringLiteral("Report Listing"), this);
    m_reportDock->setObjectName(QStringLiteral("ReportListing"));
    m_reportList = new CReportTreeCtrl(*m_doc, m_reportDock);
    m_reportList->setMinimumWidth(200);
    m_reportDock->setWidget(m_reportList);
    addDockWidget(Qt::LeftDockWidgetArea, m_reportDock);
    resizeDocks({m_reportDock}, {300}, Qt::Horizontal);

    m_explanation = new CExplanationDlgBar(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_explanation);
    resizeDocks({m_explanation}, {90}, Qt::Vertical);

    m_statusReport = new QLabel(this);
    statusBar()->addPermanentWidget(m_statusReport);
    statusBar()->showMessage(QStringLiteral("Ready"));
}

QAction* CMainFrame::AddCommand(QMenu* menu, const QString& text, const QKeySequence& shortcut,
                                const QIcon& icon) {
    QAction* action = menu->addAction(icon, text);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    m_actions[PlainName(text)] = action;
    return action;
}

void CMainFrame::AddHelpCommand(QMenu* menu, const QString& text, const char* topic,
                                const QKeySequence& shortcut) {
    QAction* action = AddCommand(menu, text, shortcut);
    const std::string page = topic;
    connect(action, &QAction::triggered, this, [page] { OpenHelpTopic(page); });
}

void CMainFrame::createMenus() {
    using icons::command_icon_t;
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    // The chooser and the options arrive with their own dialogs.
    AddCommand(file, QStringLiteral("Project &Chooser..."), QKeySequence(Qt::CTRL | Qt::Key_K),
               icons::CommandIcon(command_icon_t::ProjectChooser))
        ->setEnabled(false);
    AddCommand(file, QStringLiteral("&Open..."), QKeySequence::Open,
               icons::CommandIcon(command_icon_t::Open));
    // Saving copies the shown report's file: there is nothing to save before one is loaded.
    AddCommand(file, QStringLiteral("&Save Report..."), QKeySequence::Save,
               icons::CommandIcon(command_icon_t::Save))
        ->setEnabled(false);
    AddCommand(file, QStringLiteral("Open &XML report..."));
    file->addSeparator();
    AddCommand(file, QStringLiteral("&Export Report..."), {},
               icons::CommandIcon(command_icon_t::ExportReport))
        ->setEnabled(false);
    AddCommand(file, QStringLiteral("&Print Report..."), QKeySequence::Print)->setEnabled(false);
    file->addSeparator();
    AddCommand(file, QStringLiteral("E&xit"), QKeySequence::Quit);

    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* listing = m_reportDock->toggleViewAction();
    listing->setText(QStringLiteral("&Report Listing"));
    m_viewMenu->addAction(listing);
    m_actions[QStringLiteral("Report Listing")] = listing;
    QAction* explanation = m_explanation->toggleViewAction();
    m_viewMenu->addAction(explanation);
    m_actions[QStringLiteral("Explanation Bar")] = explanation;
    QAction* status = m_viewMenu->addAction(QStringLiteral("&Status Bar"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);
    m_viewMenu->addSeparator();
    m_treeViewToolbar = new QAction(kTreeViewToolbar, this);
    m_treeViewToolbar->setCheckable(true);
    m_graphGroup = new QActionGroup(this);
    QAction* graph = AddCommand(m_viewMenu, QStringLiteral("Show as &Graph"), {},
                                icons::CommandIcon(command_icon_t::GraphView));
    QAction* chart = AddCommand(m_viewMenu, QStringLiteral("Show as C&hart"), {},
                                icons::CommandIcon(command_icon_t::ChartView));
    for (QAction* a : {graph, chart}) {
        a->setCheckable(true);
        m_graphGroup->addAction(a);
    }

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    AddCommand(tools, QStringLiteral("&Global Options..."), {},
               icons::CommandIcon(command_icon_t::GlobalOptions))
        ->setEnabled(false);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* topics = AddCommand(help, QStringLiteral("&Help Topics"), QKeySequence::HelpContents,
                                 icons::CommandIcon(command_icon_t::Help));
    connect(topics, &QAction::triggered, this, &CMainFrame::OnContextHelp);
    AddHelpCommand(help, QStringLiteral("&Getting Started"), "HelpMenu/Tutorial.htm");
    AddHelpCommand(help, QStringLiteral("&Menu Item Help"), "ViewerMenus/ViewerIndex.htm");
    AddHelpCommand(help, QStringLiteral("&Report Descriptions"), "Reports/ReportsIndex.htm");
    AddHelpCommand(help, QStringLiteral("&Overview"), "HelpMenu/Overview.htm");
    AddHelpCommand(help, QStringLiteral("Supported &File Formats"), "Formats/FormstsIndex.htm");
    help->addSeparator();
    AddHelpCommand(help, QStringLiteral("&Support"), "HelpMenu/Support.htm");
    help->addSeparator();
    AddCommand(help, QStringLiteral("&About Logvane..."));
    UpdateGraphButtons();
}

void CMainFrame::createToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Tool Bar"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(24, 24));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->addAction(GetAction(QStringLiteral("Project Chooser")));
    bar->addAction(GetAction(QStringLiteral("Export Report")));
    bar->addSeparator();
    bar->addAction(GetAction(QStringLiteral("Show as Graph")));
    bar->addAction(GetAction(QStringLiteral("Show as Chart")));
    bar->addSeparator();
    bar->addAction(GetAction(QStringLiteral("Global Options")));
    // The tool bar names the two modes as views.
    GetAction(QStringLiteral("Show as Graph"))->setIconText(QStringLiteral("Graph View"));
    GetAction(QStringLiteral("Show as Chart"))->setIconText(QStringLiteral("Chart View"));
    m_viewMenu->insertAction(nullptr, bar->toggleViewAction());
}

void CMainFrame::createConnections() {
    connect(GetAction(QStringLiteral("Open")), &QAction::triggered, this, &CMainFrame::OnOpen);
    connect(GetAction(QStringLiteral("Save Report")), &QAction::triggered, this,
            &CMainFrame::OnSaveReport);
    connect(GetAction(QStringLiteral("Open XML report")), &QAction::triggered, this,
            &CMainFrame::OnOpenXmlReport);
    connect(GetAction(QStringLiteral("Print Report")), &QAction::triggered, this,
            &CMainFrame::OnPrintReport);
    connect(GetAction(QStringLiteral("Exit")), &QAction::triggered, this, &QWidget::close);
    connect(GetAction(QStringLiteral("About Logvane")), &QAction::triggered, this,
            &CMainFrame::OnAbout);
    connect(GetAction(QStringLiteral("Show as Graph")), &QAction::triggered, this, [this] {
        m_doc->SetGraphMode(true);
        UpdateGraphButtons();
    });
    connect(GetAction(QStringLiteral("Show as Chart")), &QAction::triggered, this, [this] {
        m_doc->SetGraphMode(false);
        UpdateGraphButtons();
    });
    connect(m_doc, &CLogvaneDeskDoc::reportLoaded, this, [this] {
        GetAction(QStringLiteral("Save Report"))->setEnabled(true);
        GetAction(QStringLiteral("Print Report"))->setEnabled(true);
        if (const CReportTree* tree = m_doc->GetReportTree()) m_reportList->Fill(*tree);
        if (!m_doc->GetReportTree() || !m_doc->GetReportTree()->GetRoot())
            m_doc->SelectReport(nullptr);
    });
    connect(m_doc, &CLogvaneDeskDoc::reportClosed, this, [this] {
        GetAction(QStringLiteral("Save Report"))->setEnabled(false);
        GetAction(QStringLiteral("Print Report"))->setEnabled(false);
        m_reportList->Empty();
    });
    connect(m_doc, &CLogvaneDeskDoc::reportSelected, this, &CMainFrame::OnReportSelected);
}

QAction* CMainFrame::GetAction(const QString& name) const {
    const auto it = m_actions.find(name);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::UpdateGraphButtons() {
    GetAction(m_doc->GetGraphMode() ? QStringLiteral("Show as Graph")
                                    : QStringLiteral("Show as Chart"))
        ->setChecked(true);
}

bool CMainFrame::HasTreeViewToolbarItem() const {
    return m_viewMenu->actions().contains(m_treeViewToolbar);
}

void CMainFrame::RemoveTreeViewToolbarItem() { m_viewMenu->removeAction(m_treeViewToolbar); }

void CMainFrame::InsertTreeViewToolbarItem() {
    if (HasTreeViewToolbarItem()) return;
    const QList<QAction*> items = m_viewMenu->actions();
    m_viewMenu->insertAction(items.size() > 4 ? items[4] : nullptr, m_treeViewToolbar);
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    setWindowTitle(title.isEmpty() ? kCaption : kCaption + QStringLiteral(": ") + title);
}

bool CMainFrame::FindReportByID(const std::string& id) { return m_reportList->FindReportByID(id); }

void CMainFrame::OnReportSelected(CReport* report) {
    m_helpTopic = report ? report->GetHelpFile() : std::string();
    RemoveTreeViewToolbarItem();
    const view_class_t viewClass = ChooseViewClass(report, m_doc->GetGraphMode());
    SwitchView(viewClass);
    if (viewClass == view_class_t::HyperlinkTree) InsertTreeViewToolbarItem();
    m_explanation->SetExplanation(report ? FromReportBytes(report->GetDescription()) : QString());
    const auto* table = dynamic_cast<const CTableReport*>(report);
    m_statusReport->setText(table ? QStringLiteral("%1 rows").arg(table->GetNumRows()) : QString());
}

void CMainFrame::SwitchView(view_class_t viewClass) {
    if (m_view && m_view->GetViewClass() == viewClass) {
        m_view->OnUpdate();
        return;
    }
    CReportView* old = m_view;
    m_view = CreateReportView(viewClass, *m_doc, m_viewHost);
    m_viewLayout->addWidget(m_view->AsWidget());
    if (old) {
        m_viewLayout->removeWidget(old->AsWidget());
        delete old->AsWidget();
    }
    m_view->AsWidget()->show();
    // Views size their columns from their width: give them their place first.
    m_viewLayout->activate();
    m_view->OnUpdate();
}

void CMainFrame::OnProjectChooser() { m_doc->OnProjectChooser(); }

void CMainFrame::OnOpen() {
    std::string path = m_doc->m_pendingOpenPath;
    if (path.empty()) {
        const QString chosen =
            QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                         QStringLiteral("Logvane Files (*.bvp *.bvr *.BVP *.BVR)"));
        if (chosen.isEmpty()) return;
        path = ToLocalPath(chosen);
    }
    if (!m_doc->OpenPath(path)) {
        m_doc->m_pendingOpenPath.clear();
        QMessageBox::warning(this, kCaption, QStringLiteral("Unknown File format."));
    }
}

void CMainFrame::OnSaveReport() {
    QFileDialog dialog(this, QStringLiteral("Save Report"), QString(),
                       QStringLiteral("Logvane Reports (*.bvr)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("bvr"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SaveReportTo(dialog.selectedFiles().first());
}

bool CMainFrame::SaveReportTo(const QString& path) {
    // The shown report is copied: after Open of a report file that is that file, not the
    // last analysis's working report.
    const std::string source =
        m_doc->GetLoadedPath().empty() ? GetWorkingReportPath() : m_doc->GetLoadedPath();
    QFile in(FromLocalPath(source));
    QSaveFile out(path);
    bool ok = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly);
    if (ok) {
        ok = out.write(in.readAll()) == in.size();
        ok = ok && out.commit();
    }
    if (!ok)
        QMessageBox::warning(
            this, kCaption,
            QStringLiteral("Was not able to copy Report XML to \"") + path + QStringLiteral("\""));
    return ok;
}

void CMainFrame::OnOpenXmlReport() {
    QFileDialog dialog(this, QStringLiteral("Open XML report"), QString(),
                       QStringLiteral("XML Files (*.xml);;All Files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("xml"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    m_doc->LoadReportFile(ToLocalPath(dialog.selectedFiles().first()));
}

report_print_t CMainFrame::GetPrintJob() const {
    report_print_t job;
    job.report = m_doc->GetCurrentReport();
    if (!m_view) return job;
    job.asGraph = m_view->GetViewClass() == view_class_t::Graph;
    if (auto* table = dynamic_cast<const QAbstractItemView*>(m_view->AsWidget()))
        job.rows = table->model();
    return job;
}

void CMainFrame::OnPrintReport() {
    const report_print_t job = GetPrintJob();
    if (!job.report) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(FromReportBytes(job.report->GetReportName()));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!PrintReport(job, printer))
        QMessageBox::warning(this, kCaption, QStringLiteral("The report could not be printed."));
}

void CMainFrame::OnContextHelp() {
    OpenHelpTopic(m_helpTopic.empty() ? std::string("HelpMenu/Topics.htm") : m_helpTopic);
}

void CMainFrame::OnAbout() {
    QMessageBox about(this);
    about.setWindowTitle(QStringLiteral("About Logvane"));
    about.setIconPixmap(icons::AppIcon().pixmap(64, 64));
    about.setText(QStringLiteral("<b>Logvane 4</b>"));
    about.setInformativeText(QStringLiteral("Web server access log analysis.<br>Version %1<br><br>"
                                            "Copyright \u00A9 Zentrik Labs. All rights reserved.")
                                 .arg(QStringLiteral(LOGVANE_VERSION_TEXT)));
    about.exec();
}
