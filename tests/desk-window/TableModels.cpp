#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTableView>
#include <memory>

#include "WindowTestSupport.h"
#include "desk/window/NestedTableModel.h"
#include "desk/window/ReportTableModel.h"
#include "desk/window/ReportText.h"
#include "desk/window/TableViewSupport.h"

namespace {

using logvane::test::EnsureApplication;
using logvane::test::MakePagesTable;

// Column 0 of every shown row.
std::vector<std::string> FirstColumn(const QAbstractItemModel& model) {
    std::vector<std::string> cells;
    for (int r = 0; r < model.rowCount(); ++r)
        cells.push_back(model.index(r, 0).data().toString().toStdString());
    return cells;
}

// A 5-column table whose rows are deliberately out of every order.
std::unique_ptr<CTableReport> MixedTable(int defaultSort) {
    std::unique_ptr<CTableReport> table(MakePagesTable("Mixed", 4, defaultSort, false));
    const char* pages[] = {"/c", "/a", "/d", "/b"};
    const std::int64_t hits[] = {5, 20, 1, 7};
    const char* notes[] = {"y", "w", "z", "x"};
    for (unsigned long r = 0; r < 4; ++r) {
        table->SetItem(r, 0, std::string(pages[r]));
        table->SetItem(r, 1, hits[r]);
        table->SetItem(r, 4, std::string(notes[r]));
    }
    return table;
}

struct DefaultSortCase {
    int defaultSort;
    std::vector<std::string> order;
    int indicator;
};

class DefaultSortTest : public ::testing::TestWithParam<DefaultSortCase> {
protected:
    void SetUp() override { EnsureApplication(); }
};

TEST_P(DefaultSortTest, OpensInTheReportsDefaultOrder) {
    const DefaultSortCase& c = GetParam();
    const auto table = MixedTable(c.defaultSort);
    CReportTableModel model(table.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QTableView view;
    view.setModel(&model);
    table_view::ApplyDefaultSort(view.horizontalHeader(), &model, table->GetDefaultSortColumn());
    EXPECT_EQ(FirstColumn(model), c.order);
    EXPECT_EQ(view.horizontalHeader()->sortIndicatorSection(), c.indicator);
}

INSTANTIATE_TEST_SUITE_P(
    FiveColumns, DefaultSortTest,
    ::testing::Values(DefaultSortCase{-1, {"/a", "/b", "/c", "/d"}, 0},
                      DefaultSortCase{0, {"/c", "/a", "/d", "/b"}, -1},
                      DefaultSortCase{3, {"/c", "/a", "/d", "/b"}, 2},  // equal shares keep order
                      DefaultSortCase{2, {"/a", "/b", "/c", "/d"}, 1},
                      DefaultSortCase{-5, {"/a", "/b", "/c", "/d"}, 4},
                      DefaultSortCase{7, {"/c", "/a", "/d", "/b"}, -1},
                      DefaultSortCase{-6, {"/c", "/a", "/d", "/b"}, -1}),
    [](const auto& info) {
        const int d = info.param.defaultSort;
        return (d < 0 ? "Minus" : "Plus") + std::to_string(std::abs(d));
    });

TEST(DefaultSortOf, RangeAndDirection) {
    EXPECT_EQ(DefaultSortOf(-1, 5), std::pair(0, Qt::AscendingOrder));
    EXPECT_EQ(DefaultSortOf(3, 5), std::pair(2, Qt::DescendingOrder));
    EXPECT_EQ(DefaultSortOf(5, 5), std::pair(4, Qt::DescendingOrder));
    EXPECT_FALSE(DefaultSortOf(0, 5));
    EXPECT_FALSE(DefaultSortOf(7, 5));
    EXPECT_FALSE(DefaultSortOf(-1, 0));
}

class HeaderSortTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        model = std::make_unique<CReportTableModel>(table.get());
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        view = std::make_unique<QTableView>();
        view->setModel(model.get());
    }
    std::unique_ptr<CTableReport> table = MixedTable(0);
    std::unique_ptr<CReportTableModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
    std::unique_ptr<QTableView> view;
};

TEST_F(HeaderSortTest, ClicksSortAscendingThenReverse) {
    QHeaderView* header = view->horizontalHeader();
    table_view::SortOnHeaderClick(header, 1);
    EXPECT_EQ(FirstColumn(*model), (std::vector<std::string>{"/d", "/c", "/b", "/a"}));
    table_view::SortOnHeaderClick(header, 1);
    EXPECT_EQ(FirstColumn(*model), (std::vector<std::string>{"/a", "/b", "/c", "/d"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    table_view::SortOnHeaderClick(header, 4);
    EXPECT_EQ(FirstColumn(*model), (std::vector<std::string>{"/a", "/b", "/c", "/d"}));
    EXPECT_EQ(header->sortIndicatorSection(), 4);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
}

TEST_F(HeaderSortTest, SelectionFollowsItsRowThroughASort) {
    const QPersistentModelIndex a = model->index(1, 0);  // "/a"
    table_view::SortOnHeaderClick(view->horizontalHeader(), 0);
    EXPECT_EQ(a.row(), 0);
    EXPECT_EQ(a.data().toString(), "/a");
    EXPECT_EQ(model->sourceRow(0), 1u);
}

TEST_F(HeaderSortTest, AlternativeSortValuesDecide) {
    table->SetAlternateSort(4);
    for (unsigned long r = 0; r < 4; ++r) table->SetAlternateSortItem(r, 4, std::int64_t(r) * -1);
    table_view::SortOnHeaderClick(view->horizontalHeader(), 4);
    EXPECT_EQ(FirstColumn(*model), (std::vector<std::string>{"/b", "/d", "/a", "/c"}));
}

TEST(CopyTableText, HeaderRowsAndNoTrailingLineEnd) {
    EnsureApplication();
    const auto table = MixedTable(0);
    CReportTableModel model(table.get());
    const QString text = model.tableText();
    EXPECT_TRUE(text.startsWith("Page\tHits\tShare\tBytes\tNote\r\n/c\t5\t"));
    EXPECT_FALSE(text.endsWith("\r\n"));
    EXPECT_EQ(text.count("\r\n"), 4);
    EXPECT_EQ(model.rowText(3).split('\t').size(), 5);
}

TEST(CopyTableText, EmptyTableIsTheHeaderLineAndALineEnd) {
    EnsureApplication();
    std::unique_ptr<CTableReport> table(MakePagesTable("Empty", 0, -1, false));
    CReportTableModel model(table.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.tableText(), "Page\tHits\tShare\tBytes\tNote\r\n");
}

TEST(CopyTableText, NoReportIsAnEmptyModel) {
    EnsureApplication();
    CReportTableModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    model.sort(0);
}

class NestedModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        report.AllocateChart(2, 3, 0);
        report.SetColumnType(CTableReport::URL, CTableReport::NUMBER);
        report.SetColumnTitle("Page", "Hits");
        report.SetItem(0, "/b", "3");
        report.SetItem(1, "/a", "7");
        report.SetItem(2, "/c", "1");
        report.AllocateNestedTable(1, 2);
        report.SetNestedTableItem(1, 0, 0, "http://r/1");
        report.SetNestedTableItem(1, 0, 1, std::int64_t(5));
        report.SetNestedTableItem(1, 1, 0, "http://r/2");
        report.SetNestedTableItem(1, 1, 1, std::int64_t(2));
        report.SetNestedRealUrl(1, 1, 0, "http://real/2");
        model = std::make_unique<CNestedTableModel>(&report);
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    CNestedTableReport report;
    std::unique_ptr<CNestedTableModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(NestedModelTest, OuterRowsCarryTheirNestedRows) {
    ASSERT_EQ(model->rowCount(), 3);
    const QModelIndex a = model->index(1, 0);
    EXPECT_EQ(model->rowCount(model->index(0, 0)), 0);
    ASSERT_EQ(model->rowCount(a), 2);
    EXPECT_EQ(model->index(0, 0, a).data().toString(), "http://r/1");
    EXPECT_EQ(model->index(1, 1, a).data().toString(), "2");
    EXPECT_EQ(model->parent(model->index(1, 1, a)), a);
    EXPECT_EQ(model->realUrl(model->index(1, 0, a)), "http://real/2");
    EXPECT_EQ(model->realUrl(model->index(0, 0, a)), "http://r/1");
}

TEST_F(NestedModelTest, SortingMovesOuterRowsWithTheirNestedRows) {
    const QPersistentModelIndex nested = model->index(1, 0, model->index(1, 0));
    model->sort(0, Qt::AscendingOrder);
    EXPECT_EQ(FirstColumn(*model), (std::vector<std::string>{"/a", "/b", "/c"}));
    const QModelIndex a = model->index(0, 0);
    EXPECT_EQ(model->rowCount(a), 2);
    EXPECT_EQ(nested.parent(), a);
    EXPECT_EQ(nested.data().toString(), "http://r/2");
    model->sort(1, Qt::DescendingOrder);
    EXPECT_EQ(FirstColumn(*model), (std::vector<std::string>{"/a", "/b", "/c"}));
}

TEST_F(NestedModelTest, TableTextListsNestedRowsAfterTheirOuterRow) {
    EXPECT_EQ(model->tableText(),
              "Page\tHits\r\n/b\t3\r\n/a\t7\r\nhttp://r/1\t5\r\nhttp://r/2\t2\r\n/c\t1");
}

struct TextCase {
    std::string bytes;
    QString shown;
};

class ReportTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ReportTextTest, Utf8WhenValidElseWindows1252) {
    EXPECT_EQ(FromReportBytes(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, ReportTextTest,
    ::testing::Values(TextCase{"plain", "plain"}, TextCase{"", ""},
                      TextCase{"caf\xC3\xA9", QString::fromUtf8("caf\xC3\xA9")},
                      TextCase{"caf\xE9", QString::fromUtf8("caf\xC3\xA9")},
                      TextCase{"\x80\x99", QString::fromUtf8("\xE2\x82\xAC\xE2\x84\xA2")},
                      TextCase{"\x81", QString(QChar(0x81))},
                      // Overlong, surrogate and cut sequences are not UTF-8.
                      TextCase{"\xC0\xAF", QString::fromUtf8("\xC3\x80\xC2\xAF")},
                      TextCase{"\xED\xA0\x80", QString::fromUtf8("\xC3\xAD\xC2\xA0\xE2\x82\xAC")},
                      TextCase{"ab\xE2\x82", QString::fromUtf8("ab\xC3\xA2\xE2\x80\x9A")},
                      TextCase{"\xF0\x9F\x98\x80", QString::fromUtf8("\xF0\x9F\x98\x80")}));

}  // namespace
