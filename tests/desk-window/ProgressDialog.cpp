#include "desk/window/AnalysisProgressDlg.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

#include "WindowTestSupport.h"
#include "utility/Progress.h"

namespace {

using logvane::test::EnsureApplication;

std::string Document(const std::string& stage, const std::string& text, const char* percentage) {
    std::string doc = "<PROGRESS><TEXT>" + text + "</TEXT>";
    if (percentage) doc += std::string("<PERCENTAGE>") + percentage + "</PERCENTAGE>";
    return doc + "<STAGE>" + stage + "</STAGE><ERRORS/></PROGRESS>";
}

class ProgressDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        CProgress::Initialize();
    }
    void TearDown() override { CProgress::Kill(); }

    // A text wider than the status column.
    QString LongText(const CAnalysisProgressDlg& dlg) const {
        QString text;
        while (dlg.fontMetrics().horizontalAdvance(text) < dlg.GetStatusColumnWidth() * 2)
            text += QStringLiteral("word ");
        return text.trimmed();
    }
};

struct PercentageCase {
    const char* percentage;
    int shown;
    const char* progressText;
};

class PercentageTest : public ProgressDialogTest,
                       public ::testing::WithParamInterface<PercentageCase> {};

TEST_P(PercentageTest, ClampsAndWordsThePercentage) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    dlg.ShowProgress(Document("Parsing", "a.log", GetParam().percentage));
    EXPECT_EQ(dlg.GetProgressValue(), GetParam().shown);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Logvane Progress: %1%").arg(GetParam().shown));
    EXPECT_EQ(dlg.GetProgressText().toStdString(), GetParam().progressText);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, PercentageTest,
    ::testing::Values(
        PercentageCase{"150", 100, "Progress: 100% percent finished with current task."},
        PercentageCase{"-5", 0, "Progress:"}, PercentageCase{nullptr, 0, "Progress:"},
        PercentageCase{"42", 42, "Progress: 42% percent finished with current task."},
        PercentageCase{"7abc", 7, "Progress: 7% percent finished with current task."}));

TEST_F(ProgressDialogTest, SameStageUpdatesOneRowAndANewStageFinishesIt) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    dlg.ShowProgress(Document("Parsing", "a.log", "10"));
    dlg.ShowProgress(Document("Parsing", "b.log", "20"));
    ASSERT_EQ(dlg.GetRowCount(), 1);
    EXPECT_EQ(dlg.GetRowText(0, CAnalysisProgressDlg::COLUMN_STEP), "Parsing");
    EXPECT_EQ(dlg.GetRowText(0, CAnalysisProgressDlg::COLUMN_STATUS), "b.log");
    EXPECT_EQ(dlg.GetRowImage(0), CAnalysisProgressDlg::IMAGE_RUNNING);

    dlg.ShowProgress(Document("Preparing reports", "tables", "0"));
    ASSERT_EQ(dlg.GetRowCount(), 2);
    EXPECT_EQ(dlg.GetRowImage(0), CAnalysisProgressDlg::IMAGE_FINISHED);
    EXPECT_EQ(dlg.GetRowImage(1), CAnalysisProgressDlg::IMAGE_RUNNING);
    EXPECT_EQ(dlg.GetRowText(1, CAnalysisProgressDlg::COLUMN_STATUS), "tables");
}

TEST_F(ProgressDialogTest, BrokenOrPartialDocumentsKeepWhatTheyDoNotCarry) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    dlg.ShowProgress(Document("Parsing", "a.log", "10"));
    dlg.ShowProgress("<PROGRESS><TEXT>b.log");
    dlg.ShowProgress("");
    dlg.ShowProgress("<PROGRESS><PERCENTAGE>30</PERCENTAGE></PROGRESS>");
    ASSERT_EQ(dlg.GetRowCount(), 1);
    EXPECT_EQ(dlg.GetRowText(0, CAnalysisProgressDlg::COLUMN_STATUS), "a.log");
    EXPECT_EQ(dlg.GetProgressValue(), 30);
}

TEST_F(ProgressDialogTest, LongStatusWrapsIntoOneContinuationRow) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    const QString text = LongText(dlg);
    dlg.ShowProgress(Document("Parsing", text.toStdString(), "10"));
    ASSERT_EQ(dlg.GetRowCount(), 2);
    const QString first = dlg.GetRowText(0, CAnalysisProgressDlg::COLUMN_STATUS);
    const QString rest = dlg.GetRowText(1, CAnalysisProgressDlg::COLUMN_STATUS);
    EXPECT_EQ(first + " " + rest, text);
    EXPECT_LT(dlg.fontMetrics().horizontalAdvance(first), dlg.GetStatusColumnWidth());
    EXPECT_EQ(dlg.GetRowImage(1), CAnalysisProgressDlg::IMAGE_CONTINUATION);
    EXPECT_TRUE(dlg.GetRowText(1, CAnalysisProgressDlg::COLUMN_STEP).isEmpty());

    dlg.ShowProgress(Document("Parsing", "short", "20"));
    ASSERT_EQ(dlg.GetRowCount(), 1);
    EXPECT_EQ(dlg.GetRowText(0, CAnalysisProgressDlg::COLUMN_STATUS), "short");

    dlg.ShowProgress(Document("Parsing", text.toStdString(), "20"));
    dlg.ShowProgress(Document("Next", "x", "20"));
    ASSERT_EQ(dlg.GetRowCount(), 2) << "a new stage drops the continuation row";
    EXPECT_EQ(dlg.GetRowImage(0), CAnalysisProgressDlg::IMAGE_FINISHED);
    EXPECT_EQ(dlg.GetRowText(1, CAnalysisProgressDlg::COLUMN_STEP), "Next");
}

TEST(SplitStatusText, CutsAtBlanksUntilThePartFits) {
    const auto chars = [](const QString& t) { return int(t.size()); };
    auto parts = SplitStatusText("aaaa bbbb cccc", 10, chars);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->first, "aaaa");
    EXPECT_EQ(parts->second, "bbbb cccc");
    parts = SplitStatusText("aaaa bbbb cccc", 16, chars);
    EXPECT_FALSE(parts) << "fits";
    parts = SplitStatusText("aaaaaaaaaaaaaaaa", 10, chars);
    EXPECT_FALSE(parts) << "nowhere to cut";
    parts = SplitStatusText("aaaaaaaaaaaa b", 10, chars);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->first, "aaaaaaaaaaaa");
    EXPECT_EQ(parts->second, "b");
}

TEST_F(ProgressDialogTest, ErrorModeWithoutErrorsEndsAtOnce) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::ERROR_MODE);
    EXPECT_FALSE(dlg.HasErrors());
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(ProgressDialogTest, ErrorModeListsErrorsWithTheirHelpTopics) {
    CAnalysisProgressDlg probe(nullptr, CAnalysisProgressDlg::ERROR_MODE);
    const std::string wide = LongText(probe).toStdString();
    CProgress::AddError("Could not open log file a.log\nsecond line", "Trouble/A.htm");
    CProgress::AddError(wide, "Trouble/B.htm");
    CProgress::AddError("Third", "Trouble/C.htm");
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::ERROR_MODE);
    ASSERT_TRUE(dlg.HasErrors());
    ASSERT_EQ(dlg.GetRowCount(), 4);
    EXPECT_EQ(dlg.GetRowText(0, CAnalysisProgressDlg::COLUMN_STEP), "Error:");
    EXPECT_EQ(dlg.GetRowText(0, CAnalysisProgressDlg::COLUMN_STATUS),
              "Could not open log file a.log");
    EXPECT_EQ(dlg.GetRowImage(0), CAnalysisProgressDlg::IMAGE_ERROR);
    EXPECT_EQ(dlg.GetRowImage(2), CAnalysisProgressDlg::IMAGE_CONTINUATION);
    const std::vector<std::string> topics = {"Trouble/A.htm", "Trouble/B.htm", "Trouble/B.htm",
                                             "Trouble/C.htm"};
    for (int row = 0; row < 4; ++row) EXPECT_EQ(dlg.GetRowHelpTopic(row), topics[size_t(row)]);
    // The dialog took the errors: the next run starts without them.
    EXPECT_FALSE(ParseProgressDocument(CProgress::GetXML()).errors->size());
}

TEST_F(ProgressDialogTest, CloseRequestBeforeTheDialogShowsStillEndsIt) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    std::thread([&dlg] { dlg.PostCloseRequest(); }).join();
    bool timedOut = false;
    QTimer::singleShot(5000, &dlg, [&] {
        timedOut = true;
        dlg.reject();
    });
    dlg.exec();
    EXPECT_FALSE(timedOut);
}

TEST_F(ProgressDialogTest, CancelSetsTheFlagAndCloses) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    QTimer::singleShot(0, &dlg, [&dlg] {
        for (QPushButton* button : dlg.findChildren<QPushButton*>())
            if (button->text() == "Cancel") button->click();
    });
    bool timedOut = false;
    QTimer::singleShot(5000, &dlg, [&] {
        timedOut = true;
        dlg.reject();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(CProgress::ShouldCancel());
}

TEST_F(ProgressDialogTest, EscapeDuringARunCancelsIt) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    QTimer::singleShot(0, &dlg, [&dlg] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    dlg.exec();
    EXPECT_TRUE(CProgress::ShouldCancel());
}

TEST_F(ProgressDialogTest, TheWorkersCloseRequestDoesNotCancel) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.PostCloseRequest(); });
    dlg.exec();
    EXPECT_FALSE(CProgress::ShouldCancel());
}

TEST_F(ProgressDialogTest, DocumentsFromAnotherThreadArriveWhole) {
    CAnalysisProgressDlg dlg(nullptr, CAnalysisProgressDlg::PROGRESS_MODE);
    std::thread poster([&dlg] {
        for (int i = 1; i <= 500; ++i)
            dlg.PostProgress(Document("Stage " + std::to_string(i / 100),
                                      "file " + std::to_string(i), std::to_string(i / 5).c_str()));
        dlg.PostCloseRequest();
    });
    dlg.exec();
    poster.join();
    QCoreApplication::processEvents();
    ASSERT_GE(dlg.GetRowCount(), 1);
    EXPECT_EQ(dlg.GetRowText(dlg.GetRowCount() - 1, CAnalysisProgressDlg::COLUMN_STATUS),
              "file 500");
    EXPECT_EQ(dlg.GetProgressValue(), 100);
    for (int row = 0; row + 1 < dlg.GetRowCount(); ++row)
        EXPECT_EQ(dlg.GetRowImage(row), CAnalysisProgressDlg::IMAGE_FINISHED);
}

}  // namespace
