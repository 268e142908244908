#include "store/report/NestedTableReport.h"

#include <gtest/gtest.h>

namespace {

class NestedTableReportTest : public testing::Test {
protected:
    void SetUp() override {
        table.AllocateChart(2, 3, -1);
        table.SetColumnType(CTableReport::URL, CTableReport::PERCENTAGE);
        table.SetColumnTitle("Page", "Share");
        table.SetItem(0, "/a&amp;b", "50");
        table.SetItem(1, "/c", "25");
        table.SetItem(2, "/d", "25");
        table.AllocateNestedTable(0, 2);
        table.SetNestedTableItem(0, 0, 0, "ref \"one\"");
        table.SetNestedTableItem(0, 0, 1, "12.5");
        table.SetNestedTableItem(0, 1, 0, "ref &amp; two");
        table.SetNestedTableItem(0, 1, 1, 7);
        table.AllocateNestedTable(2, 1);
        table.SetNestedTableItem(2, 0, 0, "ref three");
    }
    CNestedTableReport table;
};

TEST_F(NestedTableReportTest, AverageItemIsTheIntegerQuotientOrZero) {
    table.SetNestedTableItem(0, 0, 1, std::int64_t{7}, std::int64_t{2});
    EXPECT_EQ(table.GetNestedTableItem(0, 0, 1), "3");
    table.SetNestedTableItem(0, 0, 1, std::int64_t{7}, std::int64_t{0});
    EXPECT_EQ(table.GetNestedTableItem(0, 0, 1), "0");
    table.SetNestedTableItem(0, 0, 1, INT64_MIN, std::int64_t{-1});
    EXPECT_EQ(table.GetNestedTableItem(0, 0, 1), "0");
    table.SetNestedTableItem(0, 0, 1, 0);
    EXPECT_EQ(table.GetNestedTableItem(0, 0, 1), "0");
}

TEST_F(NestedTableReportTest, RowsWithoutNestedTablesHaveNone) {
    EXPECT_EQ(table.GetNestedRows(0), 2);
    EXPECT_EQ(table.GetNestedRows(1), 0);
    EXPECT_EQ(table.GetNestedRows(-1), 0);
    EXPECT_EQ(table.GetNestedRows(99), 0);
    EXPECT_EQ(table.GetNestedTableItem(1, 0, 0), "");
    EXPECT_EQ(table.GetNestedTableItem(0, 2, 0), "");
    EXPECT_EQ(table.GetNestedTableItem(0, 0, 2), "");
    table.AllocateNestedTable(7, 3);  // no such outer row
    EXPECT_EQ(table.GetNestedRows(7), 0);
}

TEST_F(NestedTableReportTest, NestedRealUrlsOnlyOnUrlColumns) {
    EXPECT_EQ(table.GetNestedRealURL(0, 1, 0), "ref &amp; two");
    table.SetNestedRealUrl(0, 1, 1, "http://ignored");
    EXPECT_EQ(table.GetNestedRealURL(0, 1, 1), "7");
    table.SetNestedRealUrl(0, 1, 0, "http://two");
    EXPECT_EQ(table.GetNestedRealURL(0, 1, 0), "http://two");
    EXPECT_EQ(table.GetNestedRealURL(0, 0, 0), "");
}

TEST_F(NestedTableReportTest, CsvHasAnExtraTitleTabAndOneLinePerNestedRow) {
    EXPECT_EQ(table.WriteToCSV(),
              "Page\t\tShare\r\n"
              "\"/a&b\",\"ref \"\"one\"\"\",\"12.5\"\r\n"
              "\"/a&b\",\"ref &amp; two\",\"7\"\r\n"
              "\"/d\",\"ref three\",\"\"\r\n");
}

TEST_F(NestedTableReportTest, SwappedRowsKeepTheirNestedTables) {
    table.SwapRows(0, 1);
    EXPECT_EQ(table.GetItem(1, 0), "/a&amp;b");
    EXPECT_EQ(table.GetNestedRows(1), 2);
    EXPECT_EQ(table.GetNestedRows(0), 0);
    EXPECT_EQ(table.GetNestedTableItem(1, 1, 0), "ref &amp; two");
    table.SwapRows(1, 2);
    EXPECT_EQ(table.GetNestedTableItem(1, 0, 0), "ref three");
    EXPECT_EQ(table.GetNestedTableItem(2, 0, 0), "ref \"one\"");
}

TEST_F(NestedTableReportTest, ClearDropsNestedTables) {
    table.AllocateChart(2, 3, -1);
    EXPECT_EQ(table.GetNestedRows(0), 0);
    EXPECT_TRUE(table.IsNestedTable());
    EXPECT_EQ(table.GetReportType(), CReport::NESTED_TABLE);
}

}  // namespace
