#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/table/FastHashTable.h"
#include "engine/table/TableEntries.h"

namespace {

// A million distinct URL-like keys with a skewed hit distribution, made once.
const std::vector<std::string>& Keys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        k.reserve(1000000);
        for (int i = 0; i < 1000000; ++i)
            k.push_back("/section" + std::to_string(i % 97) + "/page" + std::to_string(i) +
                        ".html");
        return k;
    }();
    return keys;
}

void Fill(CFastHashTable<referinfo_t>& table, const std::vector<std::string>& keys) {
    for (size_t i = 0; i < keys.size(); ++i) {
        const referinfo_t key{keys[i].data(), static_cast<uint32_t>(keys[i].size()), 0};
        bool isNew;
        referinfo_t* e = table.Lookup(key, isNew);
        if (isNew) *e = key;
        e->hits += 1 + (i * 2654435761u) % 1000;
    }
}

void BM_InsertMillionKeys(benchmark::State& state) {
    const auto& keys = Keys();
    for (auto _ : state) {
        CFastHashTable<referinfo_t> table(8192);
        Fill(table, keys);
        benchmark::DoNotOptimize(table.GetCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(keys.size()));
}
BENCHMARK(BM_InsertMillionKeys)->Unit(benchmark::kMillisecond);

void BM_LookupExistingKeys(benchmark::State& state) {
    const auto& keys = Keys();
    CFastHashTable<referinfo_t> table(8192);
    Fill(table, keys);
    size_t i = 0;
    for (auto _ : state) {
        const std::string& k = keys[i++ % keys.size()];
        bool isNew;
        benchmark::DoNotOptimize(
            table.Lookup(referinfo_t{k.data(), static_cast<uint32_t>(k.size()), 0}, isNew));
    }
}
BENCHMARK(BM_LookupExistingKeys);

// Sort of a million entries with the truncation limit as the argument.
void BM_SortMillionKeys(benchmark::State& state) {
    const auto& keys = Keys();
    for (auto _ : state) {
        state.PauseTiming();
        CFastHashTable<referinfo_t> table(8192);
        Fill(table, keys);
        state.ResumeTiming();
        table.Sort(static_cast<uint32_t>(state.range(0)));
        benchmark::DoNotOptimize(table.GetItemCount());
    }
}
BENCHMARK(BM_SortMillionKeys)->Arg(100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
