// Cost of the per-hit country lookup (Convert + FindIP + GetIPAbbrev) over the shipped
// database, for a million random addresses given as dotted texts.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/geo/IPToCountry.h"

namespace {

// The shipped database unpacked once into a temporary folder.
CIPToCountry& Database() {
    static CIPToCountry* geo = [] {
        std::string folder =
            (std::filesystem::temp_directory_path() / "logvane-bench-XXXXXX").string();
        mkdtemp(folder.data());
        auto* g = new CIPToCountry(folder);
        g->SetUpdateHost("");
        g->SetShippedFolder(
            (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string());
        if (!g->Fetch() || !g->Load()) std::fprintf(stderr, "no shipped database\n");
        std::filesystem::remove_all(folder);
        return g;
    }();
    return *geo;
}

std::vector<std::string> RandomAddresses(size_t count) {
    std::mt19937 rng(42);
    std::vector<std::string> texts;
    texts.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const unsigned a = rng();
        texts.push_back(std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." +
                        std::to_string(a >> 8 & 255) + "." + std::to_string(a & 255));
    }
    return texts;
}

void BM_ConvertAndFind(benchmark::State& state) {
    CIPToCountry& geo = Database();
    const std::vector<std::string> texts = RandomAddresses(1000000);
    size_t known = 0;
    for (auto _ : state) {
        for (const std::string& text : texts) {
            geo.FindIP(geo.Convert(text));
            known += geo.GetIPAbbrev().size() == 2;
        }
    }
    benchmark::DoNotOptimize(known);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts.size()));
}
BENCHMARK(BM_ConvertAndFind)->Unit(benchmark::kMillisecond);

void BM_FindOnly(benchmark::State& state) {
    CIPToCountry& geo = Database();
    std::mt19937 rng(7);
    std::vector<std::uint32_t> addresses(1000000);
    for (auto& a : addresses) a = rng();
    for (auto _ : state) {
        for (std::uint32_t a : addresses) {
            geo.FindIP(a);
            benchmark::DoNotOptimize(geo.GetCurrentIndex());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * addresses.size()));
}
BENCHMARK(BM_FindOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
