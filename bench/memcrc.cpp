// memcrc on the keys the counting tables hash: host addresses, paths, user agents.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "utility/MemCrc.h"

namespace {

std::vector<std::string> Keys(size_t length) {
    std::vector<std::string> keys;
    for (int i = 0; i < 4096; ++i) {
        std::string k = "/k" + std::to_string(i * 2654435761u);
        while (k.size() < length) k += "/segment";
        k.resize(length);
        keys.push_back(k);
    }
    return keys;
}

void BM_MemCrc(benchmark::State& state) {
    const auto keys = Keys(static_cast<size_t>(state.range(0)));
    size_t i = 0;
    uint32_t sink = 0;
    for (auto _ : state) {
        const std::string& k = keys[i++ & 4095];
        sink ^= memcrc(k.data(), k.size(), 0);
    }
    benchmark::DoNotOptimize(sink);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_MemCrc)->Arg(12)->Arg(40)->Arg(120)->Arg(1024);
BENCHMARK_MAIN();
