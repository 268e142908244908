#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "WindowTestSupport.h"
#include "desk/window/AnalysisProgressDlg.h"
#include "desk/window/LogvaneDeskApp.h"
#include "desk/window/LogvaneDeskDoc.h"
#include "desk/window/MainFrame.h"
#include "desk/window/ReportTreeCtrl.h"
#include "store/project/ProjectInformation.h"
#include "store/settings/SettingsFolder.h"
#include "support/TempDir.h"

namespace {

using logvane::test::EnsureApplication;
using logvane::test::ScopedHome;
using logvane::test::TempDir;
namespace fs = std::filesystem;

// Answers the run's modal dialogs the way a user would: optionally cancels the progress
// dialog as soon as it shows, and confirms the error list.
class DialogDriver : public QObject {
public:
    explicit DialogDriver(bool cancel) : m_cancel(cancel) {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &DialogDriver::Poll);
        m_timer.start();
    }
    int progressShown = 0;
    int errorRows = -1;

private:
    void Poll() {
        auto* dlg = qobject_cast<CAnalysisProgressDlg*>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible()) return;
        if (dlg->GetMode() == CAnalysisProgressDlg::ERROR_MODE) {
            errorRows = dlg->GetRowCount();
            Click(dlg, "OK");
        } else if (dlg != m_lastProgress) {
            m_lastProgress = dlg;
            ++progressShown;
            if (m_cancel) Click(dlg, "Cancel");
        }
    }
    static void Click(QWidget* dlg, const QString& text) {
        for (QPushButton* button : dlg->findChildren<QPushButton*>())
            if (button->text() == text) button->click();
    }
    bool m_cancel;
    QTimer m_timer;
    QWidget* m_lastProgress = nullptr;
};

class WindowRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        const fs::path shipped = fs::path(LOGVANE_BIN_DIR) / "xml";
        if (!fs::is_directory(shipped)) GTEST_SKIP() << "the shipped data files are not built";
        fs::create_directories(GetSettingsDir());
        for (const auto& entry : fs::directory_iterator(shipped))
            if (entry.is_regular_file())
                fs::copy_file(entry.path(), fs::path(GetSettingsDir()) / entry.path().filename());
        frame = std::make_unique<CMainFrame>(app);
        frame->show();
    }

    // A project over one combined-format log of `lines` lines.
    std::string MakeProject(const std::string& name, int lines) {
        const std::string log = dir.file(name + ".log");
        std::ofstream out(log);
        for (int i = 0; i < lines; ++i)
            out << "10.0." << (i / 250) % 250 << '.' << i % 250
                << " - - [08/Dec/2026:" << (10 + (i / 3600) % 10) << ':' << (10 + (i / 60) % 50)
                << ':' << (10 + i % 50) << " +0000] \"GET /page" << i % 300
                << ".html HTTP/1.1\" 200 " << 1000 + i % 5000 << " \"http://ref.example/" << i % 30
                << "\" \"Mozilla/5.0 (X11; Linux x86_64) "
                << "Firefox/120.0\"\n";
        out.close();
        CProjectInformation project;
        project.AllocateLogInfo(0);
        project.SetProjectName(name);
        CLogfileInformation entry;
        entry.SetPath(-1, log);
        project.AddLogfileInformation(entry);
        const std::string path = dir.file(name + ".bvp");
        EXPECT_TRUE(project.SaveXML(path.c_str()));
        return path;
    }

    void Run(const std::string& project) {
        app.m_projectPath = project;
        frame->OnProjectChooser();
    }

    ScopedHome home;
    TempDir dir;
    CLogvaneDeskApp app;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(WindowRunTest, CancelLeavesTheViewerEmptyAndASecondRunWorks) {
    {
        DialogDriver driver(true);
        Run(MakeProject("Big", 300000));
        EXPECT_EQ(driver.progressShown, 1);
    }
    EXPECT_EQ(frame->GetDocument().GetReportTree(), nullptr);
    EXPECT_EQ(frame->GetReportList()->topLevelItemCount(), 0);
    EXPECT_EQ(frame->GetActiveView()->GetViewClass(), view_class_t::GenericMessage);
    EXPECT_TRUE(app.m_projectPath.empty()) << "the command-line project acts once";

    DialogDriver driver(false);
    const std::string small = MakeProject("Small", 200);
    Run(small);
    EXPECT_EQ(driver.progressShown, 1);
    ASSERT_NE(frame->GetDocument().GetReportTree(), nullptr);
    EXPECT_GT(frame->GetReportList()->topLevelItemCount(), 0);
    EXPECT_EQ(frame->GetDocument().GetLoadedPath(), GetWorkingReportPath());
    EXPECT_TRUE(fs::exists(GetWorkingReportPath()));
    EXPECT_EQ(frame->GetDocument().m_projectPath, small);
    EXPECT_TRUE(frame->windowTitle().endsWith("(load.xml)")) << frame->windowTitle().toStdString();
}

TEST_F(WindowRunTest, AFailedRunListsItsErrorsAndLoadsNothing) {
    DialogDriver driver(false);
    Run(dir.file("missing.bvp"));
    EXPECT_GE(driver.errorRows, 1);
    EXPECT_EQ(frame->GetDocument().GetReportTree(), nullptr);
    EXPECT_EQ(frame->GetActiveView()->GetViewClass(), view_class_t::GenericMessage);
}

TEST_F(WindowRunTest, AReportAloneIsShownWithoutARun) {
    const std::string report = dir.file("Given.bvr");
    logvane::test::WriteSampleReportFile(report);
    DialogDriver driver(false);
    app.m_reportPath = report;
    frame->OnProjectChooser();
    EXPECT_EQ(driver.progressShown, 0);
    EXPECT_EQ(frame->GetDocument().GetLoadedPath(), report);
    EXPECT_EQ(frame->GetReportList()->topLevelItemCount(), 4);
}

}  // namespace
