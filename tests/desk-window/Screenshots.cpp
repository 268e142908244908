// Pictures of the main views for people to look at (tools/screenshots.sh); they assert only
// that each picture was taken. Without LOGVANE_SCREENSHOT_DIR the test is skipped.
#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>
#include <QTest>
#include <cstdlib>

#include "WindowTestSupport.h"
#include "desk/window/AnalysisProgressDlg.h"
#include "desk/window/LogvaneDeskApp.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/MainFrame.h"
#include "desk/window/ReportTreeCtrl.h"
#include "store/report/NestedTableReport.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

namespace {

using logvane::test::EnsureApplication;

class Screenshots : public ::testing::Test {
protected:
    void SetUp() override {
        const char* out = std::getenv("LOGVANE_SCREENSHOT_DIR");
        if (!out || !*out) GTEST_SKIP() << "LOGVANE_SCREENSHOT_DIR is not set";
        EnsureApplication();
        folder = QString::fromLocal8Bit(out);
        QDir().mkpath(folder);
        const char* report = std::getenv("LOGVANE_SCREENSHOT_REPORT");
        if (report && *report) {
            reportPath = report;
        } else {
            reportPath = dir.file("sample.bvr");
            logvane::test::WriteSampleReportFile(reportPath);
        }
    }

    void Save(QWidget* widget, const char* name) {
        QTest::qWait(50);
        const QPixmap shot = widget->grab();
        ASSERT_FALSE(shot.isNull());
        ASSERT_TRUE(shot.save(folder + "/" + name + ".png")) << name;
    }

    // The first listed report that `want` accepts; null when none does.
    template <class Want>
    QTreeWidgetItem* Find(CMainFrame& frame, Want want) {
        for (QTreeWidgetItemIterator it(frame.GetReportList()); *it; ++it)
            if (const CReport* r = CReportTreeCtrl::ReportOf(*it); r && want(*r)) return *it;
        return nullptr;
    }

    logvane::test::TempDir dir;
    QString folder;
    std::string reportPath;
};

TEST_F(Screenshots, MainViews) {
    CLogvaneDeskApp app;
    CMainFrame frame(app);
    frame.resize(1280, 800);
    frame.show();
    Save(&frame, "01-empty");
    frame.GetDocument().LoadReportFile(reportPath);
    Save(&frame, "02-first");
    QTreeWidgetItem* graph = Find(frame, [](const CReport& r) {
        const auto* t = dynamic_cast<const CTableReport*>(&r);
        return t && !t->IsNestedTable() && t->CanDisplayAsGraph() && t->GetNumRows() > 3 &&
               t->GetGraphType() != CTableReport::PIE;
    });
    if (graph) {
        frame.GetReportList()->scrollToItem(graph);
        frame.GetReportList()->setCurrentItem(graph);
        Save(&frame, "03-graph");
        frame.GetAction("Show as Chart")->trigger();
        Save(&frame, "04-table");
        frame.GetAction("Show as Graph")->trigger();
    }
    QTreeWidgetItem* pie = Find(frame, [](const CReport& r) {
        const auto* t = dynamic_cast<const CTableReport*>(&r);
        return t && t->CanDisplayAsGraph() && t->GetGraphType() == CTableReport::PIE &&
               t->GetNumRows() > 2;
    });
    if (pie) {
        frame.GetReportList()->scrollToItem(pie);
        frame.GetReportList()->setCurrentItem(pie);
        Save(&frame, "05-pie");
    }
    QTreeWidgetItem* nested =
        Find(frame, [](const CReport& r) { return r.GetReportType() == CReport::NESTED_TABLE; });
    if (nested) {
        frame.GetReportList()->scrollToItem(nested);
        frame.GetReportList()->setCurrentItem(nested);
        Save(&frame, "06-nested");
    }
    QTreeWidgetItem* text =
        Find(frame, [](const CReport& r) { return r.GetReportType() == CReport::TEXT_MESSAGE; });
    if (text) {
        frame.GetReportList()->setCurrentItem(text);
        Save(&frame, "07-text");
    }
    QTreeWidgetItem* folder =
        Find(frame, [](const CReport& r) { return r.GetReportType() == CReport::FOLDER; });
    if (folder) {
        frame.GetReportList()->scrollToItem(folder);
        frame.GetReportList()->setCurrentItem(folder);
        Save(&frame, "07-folder");
    }
}

TEST_F(Screenshots, ProgressAndErrors) {
    CProgress::Initialize();
    CAnalysisProgressDlg progress(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    progress.show();
    const char* steps[][3] = {
        {"Updating the IP-to-country database", "Successfully updated IP to country database",
         "100"},
        {"Reading logs", "Analyzing access-2026-12-01.log", "100"},
        {"Reading logs",
         "Analyzing access-2026-12-02.log, a long file name that does not fit the "
         "status column of the step list",
         "64"}};
    for (const auto& step : steps)
        progress.ShowProgress(std::string("<PROGRESS><TEXT>") + step[1] + "</TEXT><PERCENTAGE>" +
                              step[2] + "</PERCENTAGE><STAGE>" + step[0] +
                              "</STAGE><ERRORS/></PROGRESS>");
    Save(&progress, "08-progress");
    progress.hide();

    CProgress::AddError("Could not open the log file /var/log/www/access-2026-11-30.log",
                        "Trouble/ErrorCannotOpenLogFile.htm");
    CProgress::AddError(
        "The FTP server ftp.example.com refused the user name or the password "
        "given in the project, so its logs were left out of this analysis",
        "Trouble/ErrorFtpLogin.htm");
    CProgress::AddError("No hits were left after the filters", "Trouble/ErrorNoHits.htm");
    CAnalysisProgressDlg errors(nullptr, CAnalysisProgressDlg::ERROR_MODE);
    errors.show();
    Save(&errors, "09-errors");
    CProgress::Kill();
}

}  // namespace
