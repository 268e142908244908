#include "desk/window/MainFrame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrinter>
#include <QTimer>

#include "WindowTestSupport.h"
#include "desk/window/ChartView.h"
#include "desk/window/ExplanationDlgBar.h"
#include "desk/window/GraphView.h"
#include "desk/window/Icons.h"
#include "desk/window/LogvaneDeskApp.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/NestedChartView.h"
#include "desk/window/ReportPrinter.h"
#include "desk/window/ReportTableModel.h"
#include "desk/window/ReportTreeCtrl.h"
#include "desk/window/TextMessageView.h"
#include "support/TempDir.h"

namespace {

using logvane::test::EnsureApplication;
using logvane::test::ReadFile;
using logvane::test::ScopedHome;
using logvane::test::TempDir;
using logvane::test::UrlRecorder;
using logvane::test::WriteFile;

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        frame = std::make_unique<CMainFrame>(app);
        frame->resize(1000, 700);
        frame->show();
        reportPath = dir.file("Site.bvr");
        logvane::test::WriteSampleReportFile(reportPath);
    }

    void Load() { frame->GetDocument().LoadReportFile(reportPath); }

    // The report list's items in depth-first order as "depth:name:image".
    std::vector<std::string> ListedItems() const {
        std::vector<std::string> items;
        for (QTreeWidgetItemIterator it(frame->GetReportList()); *it; ++it) {
            int depth = 0;
            for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
            items.push_back(std::to_string(depth) + ":" + (*it)->text(0).toStdString() + ":" +
                            std::to_string((*it)->data(0, CReportTreeCtrl::ImageRole).toInt()));
        }
        return items;
    }

    QTreeWidgetItem* Item(const QString& name) const {
        const auto found =
            frame->GetReportList()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }

    void Select(const QString& name) { frame->GetReportList()->setCurrentItem(Item(name)); }

    view_class_t ActiveClass() const { return frame->GetActiveView()->GetViewClass(); }

    ScopedHome home;
    TempDir dir;
    CLogvaneDeskApp app;
    std::unique_ptr<CMainFrame> frame;
    std::string reportPath;
};

TEST_F(MainFrameTest, StartsOnTheBannerWithChooserAndOptionsDisabled) {
    EXPECT_EQ(ActiveClass(), view_class_t::GenericMessage);
    EXPECT_EQ(frame->windowTitle(), "Zentrik Logvane");
    EXPECT_FALSE(frame->GetAction("Project Chooser")->isEnabled());
    EXPECT_FALSE(frame->GetAction("Global Options")->isEnabled());
    EXPECT_TRUE(frame->GetAction("Open")->isEnabled());
    EXPECT_TRUE(frame->GetExplanationBar()->IsMinimised());
}

TEST_F(MainFrameTest, ListsReportsInFileOrderWithNestingAndIcons) {
    Load();
    const std::vector<std::string> expected = {"0:General:0",
                                               "1:Pages:3",
                                               "1:Referrers:9",
                                               "1:Note:7",
                                               "0:Empty:0",
                                               "0:Plain:5",
                                               "0:Summary \xC3\xA9t\xC3\xA9:7"};
    EXPECT_EQ(ListedItems(), expected);
    EXPECT_TRUE(Item("General")->isExpanded());
    EXPECT_EQ(frame->windowTitle(), "Zentrik Logvane: Example Site (Site.bvr)");
    // The first report is selected and shown.
    EXPECT_EQ(frame->GetReportList()->currentItem(), Item("General"));
    EXPECT_EQ(ActiveClass(), view_class_t::FolderMessage);
}

TEST_F(MainFrameTest, IconTypesMapToTheirImages) {
    EXPECT_EQ(icons::ReportImageIndex("FOLDER"), 0);
    EXPECT_EQ(icons::ReportImageIndex("3DPIECHART"), 11);
    EXPECT_EQ(icons::ReportImageIndex("HYPERLINKTREEVIEW"), 13);
    EXPECT_EQ(icons::ReportImageIndex("NOTHING"), 17);
    EXPECT_EQ(icons::ReportImageIndex("folder"), 17);
    EXPECT_EQ(icons::ReportImageIndex(""), 17);
    EXPECT_FALSE(icons::ReportIcon(17).pixmap(16, 16).isNull());
}

TEST_F(MainFrameTest, SelectionSwitchesTheViewByReportType) {
    Load();
    const std::vector<std::pair<QString, view_class_t>> cases = {
        {"Pages", view_class_t::Graph},      {"Referrers", view_class_t::NestedChart},
        {"Note", view_class_t::TextMessage}, {"Empty", view_class_t::FolderMessage},
        {"Plain", view_class_t::Chart},      {"General", view_class_t::FolderMessage}};
    for (const auto& [name, viewClass] : cases) {
        Select(name);
        EXPECT_EQ(ActiveClass(), viewClass) << name.toStdString();
        EXPECT_EQ(frame->GetDocument().GetCurrentReport(), CReportTreeCtrl::ReportOf(Item(name)));
    }
}

TEST_F(MainFrameTest, TextPagesShowWindows1252AndUtf8Texts) {
    Load();
    Select("Note");
    auto* view = dynamic_cast<CTextMessageView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetMessage(), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC price"));
    EXPECT_NE(Item(QString::fromUtf8("Summary \xC3\xA9t\xC3\xA9")), nullptr);
}

TEST_F(MainFrameTest, GraphAndChartTogglesReselectOnlyOnChange) {
    Load();
    Select("Pages");
    ASSERT_EQ(ActiveClass(), view_class_t::Graph);
    auto* graph = dynamic_cast<CGraphView*>(frame->GetActiveView());
    ASSERT_TRUE(graph->Render());
    EXPECT_EQ(graph->GetImage().size(), graph->size() * graph->devicePixelRatioF());

    frame->GetAction("Show as Chart")->trigger();
    EXPECT_FALSE(frame->GetDocument().GetGraphMode());
    EXPECT_EQ(ActiveClass(), view_class_t::Chart);
    EXPECT_TRUE(frame->GetAction("Show as Chart")->isChecked());
    CReportView* chart = frame->GetActiveView();
    frame->GetAction("Show as Chart")->trigger();
    EXPECT_EQ(frame->GetActiveView(), chart) << "no change of mode keeps the view";

    frame->GetAction("Show as Graph")->trigger();
    EXPECT_EQ(ActiveClass(), view_class_t::Graph);
    EXPECT_TRUE(frame->GetAction("Show as Graph")->isChecked());
    // A table that cannot be drawn stays a table in graph mode.
    Select("Plain");
    EXPECT_EQ(ActiveClass(), view_class_t::Chart);
}

TEST_F(MainFrameTest, OneRowTableShowsAsGraphAndAsTableWithoutReloading) {
    CReportTree tree;
    tree.AddReport(logvane::test::MakePagesTable("One", 1, -1, true));
    const std::string one = dir.file("one.bvr");
    ASSERT_TRUE(tree.SaveXML(one.c_str()));
    frame->GetDocument().LoadReportFile(one);
    EXPECT_EQ(ActiveClass(), view_class_t::Graph);
    const CReportTree* loaded = frame->GetDocument().GetReportTree();
    frame->GetAction("Show as Chart")->trigger();
    EXPECT_EQ(ActiveClass(), view_class_t::Chart);
    EXPECT_EQ(frame->GetDocument().GetReportTree(), loaded);
    auto* chart = dynamic_cast<CChartView*>(frame->GetActiveView());
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->GetModel()->rowCount(), 1);
    // Columns fit the view: none wider than 8/10 of it, none narrower than 30 pixels.
    for (int c = 0; c < chart->GetModel()->columnCount(); ++c) {
        EXPECT_LE(chart->columnWidth(c), chart->viewport()->width() * 8 / 10 + 1);
        EXPECT_GE(chart->columnWidth(c), 30);
    }
}

TEST_F(MainFrameTest, GraphIsRedrawnAtTheNewSize) {
    Load();
    Select("Pages");
    auto* graph = dynamic_cast<CGraphView*>(frame->GetActiveView());
    ASSERT_NE(graph, nullptr);
    graph->resize(400, 300);
    graph->grab();
    EXPECT_EQ(graph->GetImage().width(), int(400 * graph->devicePixelRatioF()));
    graph->resize(500, 250);
    graph->grab();
    EXPECT_EQ(graph->GetImage().height(), int(250 * graph->devicePixelRatioF()));
    graph->CopyGraphToClipboard();
    EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
}

TEST_F(MainFrameTest, ExplanationBarFollowsTheDescription) {
    Load();
    Select("Pages");
    EXPECT_FALSE(frame->GetExplanationBar()->IsMinimised());
    EXPECT_EQ(frame->GetExplanationBar()->GetExplanation(), "The pages visitors asked for most.");
    EXPECT_EQ(frame->GetHelpTopic(), "Reports/Pages.htm");
    Select("Plain");
    EXPECT_TRUE(frame->GetExplanationBar()->IsMinimised());
    EXPECT_TRUE(frame->GetExplanationBar()->GetExplanation().isEmpty());
}

TEST_F(MainFrameTest, UrlClickOpensTheAddressUnderTheSite) {
    Load();
    frame->GetAction("Show as Chart")->trigger();
    Select("Pages");
    auto* chart = dynamic_cast<CChartView*>(frame->GetActiveView());
    ASSERT_NE(chart, nullptr);
    UrlRecorder recorder;
    chart->ActivateRow(0);
    ASSERT_EQ(recorder.opened.size(), 1u);
    // Default sort 2: descending by hits, so the first row is the first page.
    EXPECT_EQ(recorder.opened[0].toString(), "http://www.example.com/p0.html");
}

TEST_F(MainFrameTest, CopyRowAndTableGoToTheClipboard) {
    Load();
    frame->GetAction("Show as Chart")->trigger();
    Select("Plain");
    auto* chart = dynamic_cast<CChartView*>(frame->GetActiveView());
    ASSERT_NE(chart, nullptr);
    chart->CopyRowToClipboard(2);
    const QString row = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(row.startsWith("/p2.html\t10\t33.33%\t")) << row.toStdString();
    EXPECT_TRUE(row.endsWith("\teven")) << row.toStdString();
    chart->CopyTableToClipboard();
    const QStringList lines = QGuiApplication::clipboard()->text().split("\r\n");
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "Page\tHits\tShare\tBytes\tNote");
    EXPECT_TRUE(lines[1].startsWith("/p0.html\t30\t"));
}

TEST_F(MainFrameTest, TreeViewToolbarItemOnlyWithTheHyperlinkTree) {
    frame->GetDocument().LoadReportFile(std::string(LOGVANE_TEST_DATA_DIR) + "/report/sample.bvr");
    EXPECT_FALSE(frame->HasTreeViewToolbarItem());
    QTreeWidgetItem* tree = nullptr;
    for (QTreeWidgetItemIterator it(frame->GetReportList()); *it; ++it) {
        const CReport* report = CReportTreeCtrl::ReportOf(*it);
        if (report && report->GetReportType() == CReport::HYPERLINK_TREE) tree = *it;
    }
    ASSERT_NE(tree, nullptr);
    frame->GetReportList()->setCurrentItem(tree);
    EXPECT_EQ(ActiveClass(), view_class_t::HyperlinkTree);
    EXPECT_TRUE(frame->HasTreeViewToolbarItem());
    frame->GetReportList()->setCurrentItem(frame->GetReportList()->topLevelItem(0));
    EXPECT_FALSE(frame->HasTreeViewToolbarItem());
}

TEST_F(MainFrameTest, FindReportByIdSelectsIt) {
    Load();
    EXPECT_TRUE(frame->FindReportByID("REFP"));
    EXPECT_EQ(ActiveClass(), view_class_t::NestedChart);
    EXPECT_FALSE(frame->FindReportByID("NOPE"));
    EXPECT_EQ(ActiveClass(), view_class_t::NestedChart);
}

TEST_F(MainFrameTest, ReportFileWithoutReportsLeavesTheBanner) {
    const std::string empty = dir.file("empty.bvr");
    WriteFile(empty, "<?xml version=\"1.0\"?>\n<REPORTS ProjectName=\"None\"/>\n");
    frame->GetDocument().LoadReportFile(empty);
    EXPECT_EQ(frame->GetReportList()->topLevelItemCount(), 0);
    EXPECT_EQ(ActiveClass(), view_class_t::GenericMessage);
    frame->GetDocument().LoadReportFile(dir.file("missing.bvr"));
    EXPECT_EQ(frame->GetReportList()->topLevelItemCount(), 0);
    EXPECT_EQ(ActiveClass(), view_class_t::GenericMessage);
}

TEST_F(MainFrameTest, CloseEmptiesListAndView) {
    Load();
    Select("Plain");
    frame->GetDocument().CloseReport();
    EXPECT_EQ(frame->GetReportList()->topLevelItemCount(), 0);
    EXPECT_EQ(ActiveClass(), view_class_t::GenericMessage);
    EXPECT_EQ(frame->GetDocument().GetReportTree(), nullptr);
    EXPECT_EQ(frame->windowTitle(), "Zentrik Logvane");
}

TEST_F(MainFrameTest, OpenTakesReportsAndRefusesOtherFiles) {
    EXPECT_FALSE(frame->GetDocument().OpenPath(dir.file("notes.txt")));
    EXPECT_EQ(frame->GetDocument().GetReportTree(), nullptr);
    // The extension is matched in any case; the path itself is kept as given.
    const std::string mixed = dir.file("Mixed.BvR");
    WriteFile(mixed, ReadFile(reportPath));
    EXPECT_TRUE(frame->GetDocument().OpenPath(mixed));
    EXPECT_EQ(frame->GetDocument().GetLoadedPath(), mixed);
    EXPECT_EQ(frame->GetReportList()->topLevelItemCount(), 4);
}

TEST_F(MainFrameTest, OpenOfAnotherExtensionSaysUnknownFormat) {
    Load();
    const CReportTree* shown = frame->GetDocument().GetReportTree();
    QString message;
    QTimer::singleShot(0, frame.get(), [&message] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    frame->GetDocument().m_pendingOpenPath = dir.file("notes.txt");
    frame->OnOpen();
    EXPECT_EQ(message, "Unknown File format.");
    EXPECT_EQ(frame->GetDocument().GetReportTree(), shown);
    EXPECT_TRUE(frame->GetDocument().m_pendingOpenPath.empty());
}

TEST_F(MainFrameTest, PrintJobFollowsTheShownView) {
    EXPECT_FALSE(frame->GetAction("Print Report")->isEnabled());
    Load();
    EXPECT_TRUE(frame->GetAction("Print Report")->isEnabled());
    Select("Pages");
    report_print_t job = frame->GetPrintJob();
    EXPECT_TRUE(job.asGraph);
    frame->GetAction("Show as Chart")->trigger();
    job = frame->GetPrintJob();
    EXPECT_FALSE(job.asGraph);
    ASSERT_NE(job.rows, nullptr);
    const QString html = ReportPrintHtml(job);
    EXPECT_TRUE(html.contains("<h2>Pages</h2>"));
    EXPECT_EQ(html.count("<tr>"), 5);
    // Rows print in their shown order: descending hits puts /p0 first.
    EXPECT_LT(html.indexOf("/p0.html"), html.indexOf("/p3.html"));

    Select("Referrers");
    const QString nested = ReportPrintHtml(frame->GetPrintJob());
    EXPECT_EQ(nested.count("<tr>"), 5);
    EXPECT_LT(nested.indexOf("/a.html"), nested.indexOf("http://ref.example/1"));
    Select("Note");
    EXPECT_TRUE(ReportPrintHtml(frame->GetPrintJob()).contains(QString::fromUtf8("Caf\xC3\xA9")));
}

TEST_F(MainFrameTest, PrintsTablesAndGraphsToPdf) {
    Load();
    for (const bool graph : {true, false}) {
        frame->GetAction(graph ? "Show as Graph" : "Show as Chart")->trigger();
        Select("Pages");
        const std::string pdf = dir.file(graph ? "graph.pdf" : "table.pdf");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        ASSERT_TRUE(PrintReport(frame->GetPrintJob(), printer)) << graph;
        EXPECT_EQ(ReadFile(pdf).substr(0, 4), "%PDF") << graph;
    }
    QPrinter printer;
    EXPECT_FALSE(PrintReport({}, printer));
}

TEST_F(MainFrameTest, SaveReportCopiesTheShownReport) {
    EXPECT_FALSE(frame->GetAction("Save Report")->isEnabled());
    Load();
    EXPECT_TRUE(frame->GetAction("Save Report")->isEnabled());
    const std::string copy = dir.file("copy.bvr");
    WriteFile(copy, "old");
    EXPECT_TRUE(frame->SaveReportTo(QString::fromStdString(copy)));
    EXPECT_EQ(ReadFile(copy), ReadFile(reportPath));
}

struct AddressCase {
    std::string stored;
    std::string domain;
    std::string address;
};

class RealAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(RealAddressTest, StoredUrlBecomesAnAddressToOpen) {
    EXPECT_EQ(MakeRealAddress(GetParam().stored, GetParam().domain).toString().toStdString(),
              GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, RealAddressTest,
    ::testing::Values(
        AddressCase{"/a.html", "www.example.com", "http://www.example.com/a.html"},
        AddressCase{"/a.html", "https://secure.example/", "https://secure.example/a.html"},
        AddressCase{"/a.html", "", ""},
        AddressCase{"http://other.example/x", "www.example.com", "http://other.example/x"},
        AddressCase{"www.other.example/x", "", "http://www.other.example/x"},
        AddressCase{"/p?a=1&amp;b=2", "d.example", "http://d.example/p?a=1&b=2"},
        AddressCase{"   ", "d.example", ""}));

}  // namespace
