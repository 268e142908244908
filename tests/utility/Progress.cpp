#include "utility/Progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "utility/Markup.h"
#include "utility/SaveXMLProgress.h"

namespace {

struct ProgressDoc {
    std::string text, percentage, stage;
    std::vector<std::pair<std::string, std::string>> errors;
};

ProgressDoc ReadProgress() {
    ProgressDoc doc;
    CMarkup xml;
    EXPECT_TRUE(xml.SetDoc(CProgress::GetXML())) << xml.GetError();
    EXPECT_TRUE(xml.FindElem("PROGRESS"));
    if (xml.FindChildElem("TEXT")) doc.text = xml.GetChildData();
    if (xml.FindChildElem("PERCENTAGE")) doc.percentage = xml.GetChildData();
    if (xml.FindChildElem("STAGE")) doc.stage = xml.GetChildData();
    if (xml.FindChildElem("ERRORS")) {
        xml.IntoElem();
        while (xml.FindChildElem("ERROR"))
            doc.errors.emplace_back(xml.GetChildData(), xml.GetChildAttrib("HelpFile"));
    }
    return doc;
}

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override { CProgress::Initialize(); }
    void TearDown() override { CProgress::Kill(); }
};

}  // namespace

TEST_F(ProgressTest, DocumentCarriesTextStagePercentageAndErrorsInOrder) {
    CProgress::SetText(PROGRESS_PARSING, "Reading access.log");
    CProgress::SetPercentageDone(42);
    CProgress::AddError("Could not open <a & b>", "Trouble/ErrorCannotOpenLogFile.htm");
    ProgressAddError("second \"quoted\"", "Trouble/Other.htm");
    const ProgressDoc doc = ReadProgress();
    EXPECT_EQ(doc.text, "Reading access.log");
    EXPECT_EQ(doc.percentage, "42");
    EXPECT_EQ(doc.stage, CProgress::GetStageTitle(PROGRESS_PARSING));
    ASSERT_EQ(doc.errors.size(), 2u);
    EXPECT_EQ(doc.errors[0].first, "Could not open <a & b>");
    EXPECT_EQ(doc.errors[0].second, "Trouble/ErrorCannotOpenLogFile.htm");
    EXPECT_EQ(doc.errors[1].first, "second \"quoted\"");
}

TEST_F(ProgressTest, EveryStageHasATitle) {
    for (int stage : {1, 2, 3, 4, 6, 7, 9}) EXPECT_STRNE(CProgress::GetStageTitle(stage), "");
    EXPECT_STREQ(CProgress::GetStageTitle(5), "");
}

TEST_F(ProgressTest, ClearErrorsAndInitializeEmptyTheRecord) {
    CProgress::AddError("x", "y");
    CProgress::ClearErrors();
    EXPECT_TRUE(ReadProgress().errors.empty());
    CProgress::SetText(PROGRESS_RETRIEVING, "t");
    CProgress::SetCancel();
    ParseSetCancel(1);
    CProgress::Initialize();
    EXPECT_EQ(ReadProgress().text, "");
    EXPECT_FALSE(CProgress::ShouldCancel()) << "a second run starts with the flag cleared";
    EXPECT_EQ(ParseShouldEnd(), 0);
}

TEST_F(ProgressTest, CancelAndParseEndAreSeparateFlags) {
    ParseSetCancel(1);
    EXPECT_EQ(ParseShouldEnd(), 1);
    EXPECT_FALSE(CProgress::ShouldCancel());
    CProgress::SetCancel();
    ParseSetCancel(0);
    EXPECT_TRUE(CProgress::ShouldCancel());
    EXPECT_EQ(ParseShouldEnd(), 0);
}

TEST_F(ProgressTest, ConcurrentWritersNeverTearTheDocument) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w)
        writers.emplace_back([w, &stop] {
            for (int i = 0; !stop; ++i) {
                const std::string text(static_cast<size_t>(1 + i % 300),
                                       static_cast<char>('a' + w));
                ProgressSetText(PROGRESS_PARSING, text.c_str());
                CProgress::SetPercentageDone(i % 101);
                if (i < 1000 && i % 50 == 0) CProgress::AddError(text, "Trouble/x.htm");
            }
        });
    for (int i = 0; i < 500; ++i) {
        const ProgressDoc doc = ReadProgress();
        // A text is always one writer's whole text, never a mix.
        if (!doc.text.empty()) {
            EXPECT_EQ(doc.text.find_first_not_of(doc.text[0]), std::string::npos);
        }
    }
    stop = true;
    for (auto& t : writers) t.join();
}

TEST_F(ProgressTest, SaveProgressCountsReports) {
    CSaveXMLProgress progress(4);
    progress.InReport("Pages");
    progress.InReport("Referrers");
    const ProgressDoc doc = ReadProgress();
    EXPECT_EQ(doc.percentage, "50");
    EXPECT_NE(doc.text.find("Referrers"), std::string::npos);
    for (int i = 0; i < 5; ++i) progress.InReport("more");
    EXPECT_EQ(ReadProgress().percentage, "100") << "never past 100 when callers over-count";
}
