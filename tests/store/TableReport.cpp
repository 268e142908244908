#include "store/report/TableReport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

using Col = CTableReport::column_t;

struct FormatCase {
    Col type;
    std::string stored;
    std::string shown;
};

class FormatLikeColumnTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatLikeColumnTest, FormatsStoredTextByColumnType) {
    CTableReport table;
    table.AllocateChart(1, 1, 0);
    table.SetColumnType(0ul, GetParam().type);
    table.SetItem(0ul, 0ul, GetParam().stored);
    EXPECT_EQ(table.GetFormattedItem(0, 0), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, FormatLikeColumnTest,
    testing::Values(FormatCase{CTableReport::PERCENTAGE, "33.3333", "33.33%"},
                    FormatCase{CTableReport::PERCENTAGE, "12.5", "12.50%"},
                    FormatCase{CTableReport::PERCENTAGE, "junk", "0.00%"},
                    FormatCase{CTableReport::BANDWIDTH, "1048576", "1.00 megabytes"},
                    FormatCase{CTableReport::JUSTDATE, "0", "January 01, 1970"},
                    FormatCase{CTableReport::JUSTTIME, "3661", "01:01:01 AM"},
                    FormatCase{CTableReport::DATETIME, "86399", "January 01, 1970 11:59:59 PM"},
                    FormatCase{CTableReport::NUMBER, "12.75", "12.75"},
                    // Items are held escaped; the user sees the real text.
                    FormatCase{CTableReport::TEXT, "a &amp; &lt;b&gt;", "a & <b>"},
                    FormatCase{CTableReport::URL, "/x?a=1&amp;b=2", "/x?a=1&b=2"}));

TEST(TableReportFormat, PercentageIgnoresTheProcessLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale";
    CTableReport table;
    table.AllocateChart(1, 1, 0);
    table.SetColumnType(CTableReport::PERCENTAGE);
    table.SetItem(0ul, 0ul, "33.3333");
    table.SetItem(0ul, 0ul, table.GetFormattedItem(0, 0));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(table.GetItem(0, 0), "33.33%");
}

class TableReportTest : public testing::Test {
protected:
    void SetUp() override {
        table.AllocateChart(3, 3, -1);
        table.SetColumnType(CTableReport::TEXT, CTableReport::PERCENTAGE, CTableReport::URL);
        table.SetColumnTitle("Page", "Share", "Link");
        table.SetItem(0, "b", "12.75", "/one");
        table.SetItem(1, "a", "12.10", "/two");
        table.SetItem(2, "B", "3", "/three");
    }
    CTableReport table;
};

TEST_F(TableReportTest, ItemSettersStoreTheDocumentedTexts) {
    table.SetItem(0ul, 1ul, std::int64_t{-42});
    EXPECT_EQ(table.GetItem(0, 1), "-42");
    table.SetItem(0ul, 1ul, 0);
    EXPECT_EQ(table.GetItem(0, 1), "0");
    table.SetItem(0ul, 1ul, 2.345);
    EXPECT_EQ(table.GetItem(0, 1), "2.35");
    table.SetItemPercentage(0, 1, 1, 3);
    EXPECT_EQ(table.GetItem(0, 1), "33.33");
}

TEST_F(TableReportTest, OutOfRangeCellsAreIgnoredAndReadEmpty) {
    table.SetItem(3ul, 0ul, "x");
    table.SetItem(0ul, 3ul, "x");
    EXPECT_EQ(table.GetItem(3, 0), "");
    EXPECT_EQ(table.GetItem(0, 3), "");
    EXPECT_EQ(table.GetColumnType(9), CTableReport::NUMBER);
    EXPECT_EQ(table.GetColumnTitle(9), "");
}

TEST_F(TableReportTest, NumericColumnsCompareLeadingIntegersOnly) {
    EXPECT_EQ(table.CompareTwoRows(0, 1, 1), 0);  // 12.75 and 12.10 are both 12
    EXPECT_EQ(table.CompareTwoRows(2, 0, 1), -1);
    EXPECT_EQ(table.CompareTwoRows(0, 2, 1), 1);
    EXPECT_EQ(table.CompareTwoRows(1, 1, 1), 0);
}

TEST_F(TableReportTest, TextColumnsCompareBytesCaseSensitively) {
    EXPECT_GT(table.CompareTwoRows(0, 1, 0), 0);  // "b" > "a"
    EXPECT_LT(table.CompareTwoRows(2, 0, 0), 0);  // "B" < "b"
}

TEST_F(TableReportTest, AlternativeSortWinsOverTheText) {
    table.SetAlternateSort(0);
    table.SetAlternateSortItem(0, 0, 5);
    table.SetAlternateSortItem(1, 0, 9);
    EXPECT_EQ(table.CompareTwoRows(0, 1, 0), -1);
    EXPECT_EQ(table.CompareTwoRows(1, 0, 0), 1);
    EXPECT_EQ(table.CompareTwoRows(0, 2, 0), 1);  // row 2 kept its zero
}

TEST_F(TableReportTest, SwapRowsMovesItemsSortValuesAndRealUrls) {
    table.SetAlternateSort(1);
    table.SetAlternateSortItem(0, 1, 100);
    table.SetRealUrl(0, 2, "http://site/one");
    table.SwapRows(0, 2);
    EXPECT_EQ(table.GetItem(2, 0), "b");
    EXPECT_EQ(table.GetItem(0, 0), "B");
    EXPECT_EQ(table.GetAlternativeSortItem(2, 1), 100);
    EXPECT_EQ(table.GetAlternativeSortItem(0, 1), 0);
    EXPECT_EQ(table.GetRealURL(2, 2), "http://site/one");
    EXPECT_EQ(table.GetRealURL(0, 2), "");  // the list exists; this row's entry is empty
}

TEST_F(TableReportTest, RealUrlsOnlyOnUrlColumnsAndFallBackToTheItem) {
    EXPECT_EQ(table.GetRealURL(1, 2), "/two");
    table.SetRealUrl(1, 0, "http://ignored");
    EXPECT_FALSE(table.HasRealUrls(0));
    EXPECT_EQ(table.GetRealURL(1, 0), "a");
    table.SetRealUrl(1, 2, "http://site/two");
    EXPECT_EQ(table.GetRealURL(1, 2), "http://site/two");
}

TEST_F(TableReportTest, AllocatingAgainClearsEverything) {
    table.SetAlternateSort(1);
    table.SetRealUrl(0, 2, "u");
    table.AllocateChart(2, 1, 3);
    EXPECT_EQ(table.GetNumRows(), 1u);
    EXPECT_EQ(table.GetNumColumns(), 2u);
    EXPECT_FALSE(table.GetAlternativeSort(1));
    EXPECT_EQ(table.GetColumnTitle(0), "");
    EXPECT_EQ(table.GetItem(0, 0), "");
    EXPECT_EQ(table.GetDefaultSortColumn(), 3);
}

TEST(TableReportCsv, TitlesAreTabSeparatedAndItemsQuotedFormattedAndQuoteSafe) {
    CTableReport table;
    table.AllocateChart(3, 2, -1);
    table.SetColumnTitle("Hits", "Pages", "Bytes");
    table.SetItem(0, "1", "2", "3");
    table.SetColumnType(CTableReport::TEXT, CTableReport::NUMBER, CTableReport::BANDWIDTH);
    table.SetItem(1, "say \"hi\" &amp; go", "5", "2048");
    EXPECT_EQ(table.WriteToCSV(),
              "Hits\tPages\tBytes\r\n"
              "\"1\",\"2\",\"3.00 bytes\"\r\n"
              "\"say \"\"hi\"\" & go\",\"5\",\"2.00 kilobytes\"\r\n");
}

TEST(TableReportCsv, PlainThreeColumnRowIsQuotedItems) {
    CTableReport table;
    table.AllocateChart(3, 1, -1);
    table.SetColumnType(CTableReport::NUMBER, CTableReport::NUMBER, CTableReport::NUMBER);
    table.SetColumnTitle("Hits", "Pages", "Bytes");
    table.SetItem(0, "1", "2", "3");
    EXPECT_EQ(table.WriteToCSV(), "Hits\tPages\tBytes\r\n\"1\",\"2\",\"3\"\r\n");
}

struct TypeName {
    int value;
    const char* text;
};

class ColumnTypeNames : public testing::TestWithParam<TypeName> {};

TEST_P(ColumnTypeNames, RoundTrip) {
    const auto type = static_cast<CTableReport::column_t>(GetParam().value);
    EXPECT_EQ(CTableReport::ConvertColTypeToString(type), GetParam().text);
    EXPECT_EQ(CTableReport::ConvertStringToColType(GetParam().text), type);
}

INSTANTIATE_TEST_SUITE_P(All, ColumnTypeNames,
                         testing::Values(TypeName{0, "NUMBER"}, TypeName{1, "PERCENTAGE"},
                                         TypeName{2, "BANDWIDTH"}, TypeName{3, "TEXT"},
                                         TypeName{4, "URL"}, TypeName{5, "JUSTDATE"},
                                         TypeName{6, "JUSTTIME"}, TypeName{7, "DATETIME"},
                                         TypeName{8, "ELAPSEDTIME"}));

TEST(TypeNames, UnknownValuesAndTextsTakeTheDefaults) {
    EXPECT_EQ(CTableReport::ConvertColTypeToString(static_cast<CTableReport::column_t>(42)),
              "NUMBER");
    EXPECT_EQ(CTableReport::ConvertStringToColType("url"), CTableReport::NUMBER);
    EXPECT_EQ(CTableReport::ConvertGraphTypeToString(static_cast<CTableReport::graph_t>(-1)),
              "BAR");
    EXPECT_EQ(CTableReport::ConvertStringToGraphType("DONUT"), CTableReport::BAR);
    EXPECT_EQ(CTableReport::ConvertStringToGraphType("SIDEBAR"), CTableReport::SIDEBAR);
    EXPECT_EQ(CTableReport::ConvertGraphTypeToString(CTableReport::PIE), "PIE");
}

}  // namespace
