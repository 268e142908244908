#pragma once

#include <QApplication>
#include <QUrl>
#include <cstdlib>
#include <string>
#include <vector>

#include "desk/window/DeskServices.h"
#include "store/project/ProjectDescription.h"
#include "store/report/FolderReport.h"
#include "store/report/NestedTableReport.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"
#include "store/report/TextMessageReport.h"

namespace logvane::test {

// One QApplication for the whole test program, on the offscreen platform unless told
// otherwise.
inline QApplication& EnsureApplication() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "logvane-window-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own teardown at exit must not run after the application is gone.
    static auto* app = new QApplication(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Zentrik Labs"));
    QApplication::setApplicationName(QStringLiteral("Logvane4"));
    return *app;
}

// Records the addresses the program would have opened instead of opening them.
class UrlRecorder {
public:
    UrlRecorder() {
        m_old = SetUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }
    ~UrlRecorder() { SetUrlOpener(m_old); }
    std::vector<QUrl> opened;

private:
    url_opener_t m_old;
};

// A table of `rows` rows: a URL column of "/pN.html", hits counting down from 10 * rows, a
// share, bytes and a text column.
inline CTableReport* MakePagesTable(const char* name, unsigned long rows, int defaultSort,
                                    bool graph) {
    auto* table = new CTableReport();
    table->SetReportName(name);
    table->AllocateChart(5, rows, defaultSort);
    table->SetColumnType(CTableReport::URL, CTableReport::NUMBER, CTableReport::PERCENTAGE,
                         CTableReport::BANDWIDTH, CTableReport::TEXT);
    table->SetColumnTitle("Page", "Hits", "Share", "Bytes", "Note");
    for (unsigned long r = 0; r < rows; ++r) {
        const std::string page = "/p" + std::to_string(r) + ".html";
        table->SetItem(r, 0, page);
        table->SetItem(r, 1, static_cast<std::int64_t>((rows - r) * 10));
        table->SetItem(r, 2, 100.0 / double(rows));
        table->SetItem(r, 3, static_cast<std::int64_t>(1024 * (r + 1)));
        table->SetItem(r, 4, std::string(r % 2 ? "odd" : "even"));
    }
    table->SetDisplayAsGraph(graph);
    table->SetGraphType(CTableReport::BAR);
    table->SetReportIconType("BARCHART");
    table->SetReportID("PAGES");
    table->SetHelpFile("Reports/Pages.htm");
    table->SetDescription("The pages visitors asked for most.");
    return table;
}

// A report file with, in order: folder "General" { table "Pages" (graph), nested table
// "Referrers", text page "Note" }, folder "Empty", table "Plain" (no graph, icon "PIECHART"),
// text page "Summary".
inline void WriteSampleReportFile(const std::string& path) {
    CReportTree tree;
    CProjectDescription project;
    project.SetProjectName("Example Site");
    project.SetSiteDomainName("www.example.com");
    tree.SetProjectDescription(project);

    auto* general = new CFolderReport();
    general->SetReportName("General");
    general->SetMessage("Reports about the whole site.");
    general->SetDescription("General statistics.");
    tree.AddReport(general);
    tree.AddReportAsChild(MakePagesTable("Pages", 4, 2, true));

    auto* nested = new CNestedTableReport();
    nested->SetReportName("Referrers");
    nested->AllocateChart(2, 2, -1);
    nested->SetColumnType(CTableReport::URL, CTableReport::NUMBER);
    nested->SetColumnTitle("Page", "Hits");
    nested->SetItem(0, "/b.html", "3");
    nested->SetItem(1, "/a.html", "7");
    nested->AllocateNestedTable(1, 2);
    nested->SetNestedTableItem(1, 0, 0, "http://ref.example/1");
    nested->SetNestedTableItem(1, 0, 1, std::int64_t(5));
    nested->SetNestedTableItem(1, 1, 0, "http://ref.example/2");
    nested->SetNestedTableItem(1, 1, 1, std::int64_t(2));
    nested->SetReportIconType("NETWORK");
    nested->SetReportID("REFP");
    tree.AddReport(nested);

    auto* note = new CTextMessageReport();
    note->SetReportName("Note");
    note->SetMessage("Caf\xE9 \x80 price");  // Windows-1252 bytes
    tree.AddReport(note);
    tree.Ascend();

    auto* empty = new CFolderReport();
    empty->SetReportName("Empty");
    tree.AddReport(empty);

    CTableReport* plain = MakePagesTable("Plain", 3, -1, false);
    plain->SetReportIconType("PIECHART");
    plain->SetReportID("PLAIN");
    plain->SetDescription("");
    tree.AddReport(plain);

    auto* summary = new CTextMessageReport();
    summary->SetReportName("Summary \xC3\xA9t\xC3\xA9");  // UTF-8
    summary->SetMessage("All done.");
    tree.AddReport(summary);
    tree.SaveXML(path.c_str());
}

}  // namespace logvane::test
