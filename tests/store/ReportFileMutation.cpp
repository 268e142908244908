#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "store/hyperlink/LoadHyperlinkTreeReport.h"
#include "store/report/NestedTableReport.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"
#include "support/TempDir.h"

namespace {

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::WriteFile;

// Damages a report file the ways disks, editors and half-finished copies do.
class Mutator {
public:
    explicit Mutator(unsigned seed) : m_random(seed) {}

    std::string Mutate(const std::string& original) {
        std::string text = original;
        const int edits = 1 + Pick(3);
        for (int i = 0; i < edits && !text.empty(); ++i) Edit(text);
        return text;
    }

private:
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
    }

    void Edit(std::string& text) {
        const std::size_t at = Pick(text.size());
        switch (Pick(6)) {
            case 0:  // flip a byte
                text[at] = static_cast<char>(1 + Pick(255));
                break;
            case 1:  // truncate
                text.resize(at);
                break;
            case 2:  // cut a range
                text.erase(at, 1 + Pick(200));
                break;
            case 3:  // repeat a range
                text.insert(at, text.substr(Pick(text.size()), 1 + Pick(300)));
                break;
            case 4: {  // odd markup characters
                static const char* pieces[] = {"<",     ">",        "\"", "&",    "&amp;", "</ROW>",
                                               "<ROW>", "<FOLDER>", "/>", "&#0;", "\xFF"};
                text.insert(at, pieces[Pick(std::size(pieces))]);
                break;
            }
            default:  // an extreme number in place of a count
                ReplaceNumber(text, at);
                break;
        }
    }

    void ReplaceNumber(std::string& text, std::size_t from) {
        static const char* numbers[] = {"-1",         "0",           "2147483647",
                                        "2147483648", "-2147483649", "99999999999999999999",
                                        "4294967296", "1e9",         ""};
        const std::size_t quote = text.find("=\"", from);
        if (quote == std::string::npos) return;
        const std::size_t end = text.find('"', quote + 2);
        if (end == std::string::npos) return;
        text.replace(quote + 2, end - quote - 2, numbers[Pick(std::size(numbers))]);
    }

    std::mt19937 m_random;
};

// Reads everything a viewer would read from the tree, checking its links as it goes.
void Walk(CReport* first, CReport* parent, int& visited) {
    for (CReport* report = first; report; report = report->GetSibling()) {
        ++visited;
        ASSERT_EQ(report->GetParent(), parent);
        (void)report->GetReportName();
        (void)report->GetReportID();
        if (auto* table = dynamic_cast<CTableReport*>(report)) {
            (void)table->WriteToCSV();
            const unsigned long rows = table->GetNumRows();
            for (unsigned long col = 0; col < table->GetNumColumns(); ++col)
                for (unsigned long row = 0; row + 1 < rows && row < 4; ++row) {
                    (void)table->CompareTwoRows(row, row + 1, col);
                    (void)table->GetRealURL(row, col);
                }
            if (rows > 1) table->SwapRows(0, rows - 1);
        }
        if (auto* links = dynamic_cast<CLoadHyperlinkTreeReport*>(report)) {
            for (const auto& [name, page] : links->GetPages())
                ASSERT_EQ(links->GetPageData(name.c_str()), &page);
        }
        Walk(report->GetChild(), report, visited);
    }
}

TEST(ReportFileMutation, DamagedFilesLoadAsEmptyOrPartialTrees) {
    const std::string seed = ReadFile(std::string(LOGVANE_TEST_DATA_DIR) + "/report/sample.bvr");
    ASSERT_GT(seed.size(), 1000u);
    TempDir dir;
    const std::string path = dir.file("mutated.bvr");
    const std::string resaved = dir.file("resaved.bvr");
    Mutator mutator(20261208);
    int loadedTrees = 0, emptyTrees = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3000; ++i) {
        WriteFile(path, mutator.Mutate(seed));
        CReportTree tree;
        if (tree.LoadXML(path.c_str()) && tree.GetRoot())
            ++loadedTrees;
        else
            ++emptyTrees;
        int visited = 0;
        Walk(tree.GetRoot(), nullptr, visited);
        if (HasFatalFailure()) FAIL() << "mutation " << i;
        if (tree.GetRoot()) {
            ASSERT_EQ(visited, tree.GetRoot()->GetCount());
        }
        // What was loaded writes and reads back to the same shape.
        if (i % 25 == 0 && tree.GetRoot()) {
            ASSERT_TRUE(tree.SaveXML(resaved.c_str()));
            CReportTree again;
            EXPECT_TRUE(again.LoadXML(resaved.c_str()));
        }
    }
    // Both outcomes occur, so the mutations reach past the XML parser into the readers.
    EXPECT_GT(loadedTrees, 300);
    EXPECT_GT(emptyTrees, 300);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

}  // namespace
