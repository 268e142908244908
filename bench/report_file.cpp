// A large report file written and read through the report classes: 40 table reports of 10,000
// rows (4 of them nested, with 50 nested rows under each of their first 1,000 or all 10,000
// rows: the argument) and a hyperlink tree of 50,000 pages with 4 child and 4 parent links each.
// Counters give the file size and the peak memory the load adds.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "store/hyperlink/HyperlinkTableView.h"
#include "store/hyperlink/SaveHyperlinkTreeReport.h"
#include "store/report/FolderReport.h"
#include "store/report/NestedTableReport.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"

namespace {

constexpr int kTables = 40;
constexpr int kNestedTables = 4;
constexpr unsigned long kRows = 10000;
constexpr int kNestedRows = 50;
constexpr int kPages = 50000;
constexpr int kLinksPerPage = 4;

void FillTable(CTableReport& table, int index) {
    table.SetReportName(("Report " + std::to_string(index)).c_str());
    table.SetReportID("R" + std::to_string(index));
    table.AllocateChart(4, kRows, -2);
    table.SetColumnType(CTableReport::URL, CTableReport::NUMBER, CTableReport::PERCENTAGE,
                        CTableReport::BANDWIDTH);
    table.SetColumnTitle("Page", "Hits", "Share", "Bytes");
    table.SetAlternateSort(1);
    for (unsigned long row = 0; row < kRows; ++row) {
        table.SetItem(row, 0ul, "/section/" + std::to_string(row) + "/page.html?q=a&amp;b");
        table.SetItem(row, 1ul, std::int64_t(row * 7));
        table.SetItem(row, 2ul, "12.34");
        table.SetItem(row, 3ul, std::int64_t(row * 1024 + 17));
        table.SetAlternateSortItem(row, 1, std::int64_t(row));
    }
}

void FillNested(CNestedTableReport& table, int outerRows) {
    for (int row = 0; row < outerRows; ++row) {
        table.AllocateNestedTable(row, kNestedRows);
        for (int n = 0; n < kNestedRows; ++n) {
            table.SetNestedTableItem(row, n, 0,
                                     ("http://ref" + std::to_string(n) + ".example/").c_str());
            table.SetNestedTableItem(row, n, 1, std::int64_t(n));
        }
    }
}

// Counting tables of the hyperlink tree in the shape the engine hands over.
struct LinkTables {
    std::vector<std::string> names;
    std::vector<std::vector<hyperlink_link_view_t>> children, parents;
    std::vector<page_count_view_t> exits;
    LinkTables() : names(kPages), children(kPages), parents(kPages) {
        for (int p = 0; p < kPages; ++p)
            names[p] =
                "/site/area" + std::to_string(p % 97) + "/page" + std::to_string(p) + ".html";
        for (int p = 0; p < kPages; ++p)
            for (int k = 1; k <= kLinksPerPage; ++k) {
                const int q = (p + k * 7919) % kPages;
                children[p].push_back({names[q], k, page_type_t::PAGE, nullptr});
                parents[q].push_back({names[p], k, page_type_t::PAGE, nullptr});
            }
        for (int p = 0; p < kPages; p += 3) exits.push_back({names[p], p % 11});
    }
    std::unique_ptr<CReport> MakeReport() const {
        auto walk = [this](const auto& visit) {
            for (int p = 0; p < kPages; ++p) {
                const CSpanEntryRange<hyperlink_link_view_t> c(children[p]), r(parents[p]);
                visit(hyperlink_page_view_t{names[p], page_type_t::PAGE, &c, &r});
            }
        };
        return std::make_unique<CSaveHyperlinkTreeReport>(
            0, MakeEntryRange<hyperlink_page_view_t>(walk), nullptr, nullptr, nullptr, nullptr,
            std::make_unique<CSpanEntryRange<page_count_view_t>>(exits));
    }
};

// `nestedOuterRows`: how many rows of each nested table carry nested rows.
void BuildTree(CReportTree& tree, const LinkTables& links, int nestedOuterRows) {
    auto* folder = new CFolderReport;
    folder->SetReportName("General");
    tree.AddReport(folder);
    for (int i = 0; i < kTables; ++i) {
        if (i < kNestedTables) {
            auto* nested = new CNestedTableReport;
            FillTable(*nested, i);
            FillNested(*nested, nestedOuterRows);
            i == 0 ? tree.AddReportAsChild(nested) : tree.AddReport(nested);
        } else {
            auto* table = new CTableReport;
            FillTable(*table, i);
            tree.AddReport(table);
        }
    }
    tree.Ascend();
    tree.AddReport(links.MakeReport().release());
}

std::string TempPath() {
    return (std::filesystem::temp_directory_path() /
            ("logvane-bench-" + std::to_string(getpid()) + ".bvr"))
        .string();
}

long PeakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

long CurrentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// Returns freed heap to the system and restarts the peak count at the current size, so the
// next peak shows what the measured step adds.
void ResetPeak() {
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

void BM_SaveReportFile(benchmark::State& state) {
    LinkTables links;
    CReportTree tree;
    BuildTree(tree, links, int(state.range(0)));
    const std::string path = TempPath();
    double addedMB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetPeak();
        const long before = CurrentKilobytes();
        state.ResumeTiming();
        benchmark::DoNotOptimize(tree.SaveXML(path.c_str()));
        state.PauseTiming();
        addedMB = double(PeakKilobytes() - before) / 1024;
        state.ResumeTiming();
    }
    const double fileMB = double(std::filesystem::file_size(path)) / 1e6;
    state.counters["file_MB"] = fileMB;
    state.counters["peak_added_MB"] = addedMB;
    state.counters["peak_per_file_byte"] = addedMB / fileMB;
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveReportFile)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(1000)->Arg(10000);

void BM_LoadReportFile(benchmark::State& state) {
    const std::string path = TempPath();
    {
        LinkTables links;
        CReportTree tree;
        BuildTree(tree, links, int(state.range(0)));
        tree.SaveXML(path.c_str());
    }
    const double fileMB = double(std::filesystem::file_size(path)) / 1e6;
    double addedMB = 0, treeMB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetPeak();
        const long before = CurrentKilobytes();
        state.ResumeTiming();
        CReportTree tree;
        benchmark::DoNotOptimize(tree.LoadXML(path.c_str()));
        state.PauseTiming();
        addedMB = double(PeakKilobytes() - before) / 1024;
        malloc_trim(0);
        treeMB = double(CurrentKilobytes() - before) / 1024;
        if (!tree.GetRoot() || tree.GetRoot()->GetCount() != kTables + 2)
            state.SkipWithError("the file did not load whole");
        state.ResumeTiming();
    }
    state.counters["file_MB"] = fileMB;
    state.counters["peak_added_MB"] = addedMB;
    state.counters["peak_per_file_byte"] = addedMB / fileMB;
    state.counters["tree_MB"] = treeMB;
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadReportFile)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(1000)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
