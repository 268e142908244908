#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "desk/cli/ProgressPrinter.h"
#include "utility/Progress.h"

namespace {

std::string Document(const std::string& text, const std::string& percentage,
                     const std::string& stage, const std::string& errors = "") {
    return "<PROGRESS><TEXT>" + text + "</TEXT><PERCENTAGE>" + percentage + "</PERCENTAGE><STAGE>" +
           stage + "</STAGE><ERRORS>" + errors + "</ERRORS></PROGRESS>";
}

// Captures what the printer writes through a memory stream.
class PrinterTest : public ::testing::Test {
protected:
    void SetUp() override { out = open_memstream(&buffer, &size); }
    void TearDown() override {
        if (out) std::fclose(out);
        std::free(buffer);
    }
    std::string Output() {
        std::fflush(out);
        return std::string(buffer, size);
    }

    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = nullptr;
};

TEST_F(PrinterTest, PrintsStagesItemsAndTheirLastPercentages) {
    CProgressPrinter printer(out);
    printer.Show(Document("", "0", ""));
    printer.Show(Document("Decompressing a.log.gz...", "50", "Decompressing logs"));
    printer.Show(Document("Decompressing b.log.gz...", "100", "Decompressing logs"));
    printer.Show(Document("Analyzing a.log", "0", "Reading logs"));
    printer.Show(Document("Analyzing a.log", "40", "Reading logs"));
    printer.Show(Document("Analyzing a.log", "75", "Reading logs"));
    printer.Finish();
    EXPECT_EQ(Output(),
              "\nDecompressing logs:\n\n - Decompressing a.log.gz...(50%)\n - Decompressing "
              "b.log.gz...(100%)\nReading logs:\n\n - Analyzing a.log(100%)");
}

TEST_F(PrinterTest, StageWithoutTextPrintsOnlyItsHeader) {
    CProgressPrinter printer(out);
    printer.Show(Document("", "0", "Building reports"));
    printer.Finish();
    EXPECT_EQ(Output(), "\nBuilding reports:\n(100%)");
}

TEST_F(PrinterTest, UnchangedDocumentPrintsNothing) {
    CProgressPrinter printer(out);
    const std::string doc = Document("Analyzing a.log", "10", "Reading logs");
    printer.Show(doc);
    const std::string once = Output();
    printer.Show(doc);
    EXPECT_EQ(Output(), once);
}

TEST_F(PrinterTest, NoProgressAtAllPrintsOnlyTheEnd) {
    CProgressPrinter printer(out);
    printer.Show(Document("", "0", "", "<ERROR HelpFile=\"x\">failed</ERROR>"));
    printer.Finish();
    EXPECT_EQ(Output(), "(100%)");
}

// A finished run stops the printer itself: waiting for the cancel flag would hang here.
TEST_F(PrinterTest, StopEndsRunWithItsLastOutput) {
    CProgress::SetCancel(false);
    CProgressPrinter printer(out);
    std::thread run([&printer] { printer.Run(); });
    printer.Stop();
    run.join();
    EXPECT_FALSE(CProgress::ShouldCancel());
    const std::string text = Output();
    ASSERT_GE(text.size(), 6u);
    EXPECT_EQ(text.substr(text.size() - 6), "(100%)");
}

struct PercentageCase {
    const char* text;
    int expected;
};

class PercentageTest : public ::testing::TestWithParam<PercentageCase> {};

TEST_P(PercentageTest, TakesLeadingDigitsClamped) {
    EXPECT_EQ(ReadProgressView(Document("t", GetParam().text, "s")).percentage,
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PercentageTest,
                         ::testing::Values(PercentageCase{"42", 42}, PercentageCase{"", 0},
                                           PercentageCase{"7x", 7}, PercentageCase{"-5", 0},
                                           PercentageCase{"250", 100},
                                           PercentageCase{"99999999999999999999", 100}));

TEST(ProgressErrorsTest, CutsEachMessageAtItsFirstLineBreak) {
    const std::string doc = Document(
        "", "0", "",
        "<ERROR HelpFile=\"a\">first line\r\nsecond</ERROR><ERROR HelpFile=\"\">one\nmore</ERROR>"
        "<ERROR HelpFile=\"\">a &amp; b</ERROR>");
    EXPECT_EQ(ReadProgressErrors(doc), (std::vector<std::string>{"first line", "one", "a & b"}));
}

TEST(ProgressErrorsTest, BrokenDocumentHasNoErrorsAndEmptyFields) {
    EXPECT_TRUE(ReadProgressErrors("<PROGRESS><TEXT>").empty());
    const progress_view_t view = ReadProgressView("not xml");
    EXPECT_EQ(view.text, "");
    EXPECT_EQ(view.percentage, 0);
}

}  // namespace
