// CMarkup on a report-sized document: about 50 MB, the shape of a report file (reports holding
// rows of cells), built, saved, loaded and walked the way the report reader walks it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "utility/Markup.h"

namespace {

constexpr int kReports = 40;
constexpr int kRows = 12000;

CMarkup BuildReportFile() {
    CMarkup xml;
    xml.AddElem("REPORTS");
    xml.SetAttrib("version", "1");
    xml.IntoElem();
    for (int r = 0; r < kReports; ++r) {
        xml.AddElem("REPORT");
        xml.SetAttrib("Name", ("Report " + std::to_string(r)).c_str());
        xml.SetAttrib("ID", r);
        xml.IntoElem();
        for (int row = 0; row < kRows; ++row) {
            xml.AddElem("ROW");
            xml.AddChildElem("ITEM",
                             ("/section/" + std::to_string(row) + "/page.html?q=a&b").c_str());
            xml.AddChildElem("HITS", row * 7);
            xml.AddChildElem("PERCENT", "12.34");
            xml.AddChildElem("BYTES", row * 1024 + 17);
        }
        xml.OutOfElem();
    }
    return xml;
}

std::string TempPath() {
    return (std::filesystem::temp_directory_path() /
            ("logvane-bench-" + std::to_string(getpid()) + ".xml"))
        .string();
}

void BM_SaveReportFile(benchmark::State& state) {
    const CMarkup xml = BuildReportFile();
    const std::string path = TempPath();
    for (auto _ : state) {
        if (!xml.Save(path)) state.SkipWithError(xml.GetError().c_str());
    }
    const auto size = std::filesystem::file_size(path);
    state.counters["MB"] = double(size) / 1e6;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
    std::remove(path.c_str());
}

void BM_LoadAndWalkReportFile(benchmark::State& state) {
    const std::string path = TempPath();
    BuildReportFile().Save(path);
    const auto size = std::filesystem::file_size(path);
    for (auto _ : state) {
        CMarkup xml;
        if (!xml.Load(path)) state.SkipWithError(xml.GetError().c_str());
        size_t cells = 0;
        xml.FindElem("REPORTS");
        xml.IntoElem();
        while (xml.FindElem("REPORT")) {
            xml.IntoElem();
            while (xml.FindElem("ROW")) {
                while (xml.FindChildElem()) cells += xml.GetChildData().size() > 0;
            }
            xml.OutOfElem();
        }
        benchmark::DoNotOptimize(cells);
    }
    state.counters["MB"] = double(size) / 1e6;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
    std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_SaveReportFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadAndWalkReportFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
