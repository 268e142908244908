// ProcessHit over generated hits with the shipped identification files: the second half of the
// inner loop (the first is parsing). Reports hits per second.

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/filter/FilterEvaluation.h"
#include "engine/hit/HitProcessor.h"
#include "engine/ident/DomainSuffixTable.h"
#include "engine/ident/FastFileTypeIdentification.h"
#include "engine/ident/GenericIdentification.h"
#include "engine/ident/SearchEngineIdentification.h"
#include "engine/session/VisitorSessions.h"
#include "engine/table/RunTables.h"
#include "engine/table/StringPool.h"
#include "store/filter/TagInformation.h"
#include "store/ident/FileTypeIdentification.h"

namespace {

const std::string kData =
    (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string() + "/";

void Put(char* field, std::int32_t& length, const std::string& text) {
    const std::size_t n = std::min<std::size_t>(text.size(), kHitTextMax);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
    length = static_cast<std::int32_t>(n);
}

// Distinct hit shapes, cycled: a site of a few hundred URLs, a few thousand clients, common
// agents and referrers (some from search engines).
std::vector<hit_t> MakeTemplates(std::size_t count) {
    std::mt19937 random(12345);
    const auto upTo = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    const std::vector<std::string> agents{
        "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/120.0.0.0 Safari/537.36",
        "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like "
        "Gecko) Version/17.1 Safari/605.1.15",
        "Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0",
        "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
        "Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 Mobile"};
    const std::vector<std::string> extensions{".html", ".php", ".gif", ".css", ".js", ".pdf", "/"};
    const std::vector<int> statuses{200, 200, 200, 200, 200, 200, 304, 304, 404, 206, 302, 500};
    std::vector<hit_t> hits(count);
    for (hit_t& hit : hits) {
        hit = hit_t{};
        const int client = upTo(3000);
        Put(hit.host, hit.hostLen,
            "192.0." + std::to_string(client / 256) + "." + std::to_string(client % 256));
        std::string path = "/section" + std::to_string(upTo(20)) + "/page" +
                           std::to_string(upTo(25)) + extensions[static_cast<std::size_t>(upTo(7))];
        if (upTo(10) == 0) path += "?id=" + std::to_string(upTo(100)) + "&sort=asc";
        Put(hit.path, hit.pathLen, path);
        const int r = upTo(10);
        const std::string referrer =
            r < 4   ? "-"
            : r < 7 ? "http://www.example.com/section" + std::to_string(upTo(20)) + "/"
            : r < 9 ? "https://www.google.com/search?q=web+log+" + std::to_string(upTo(50))
                    : "http://blog" + std::to_string(upTo(40)) + ".example.org/post.html";
        Put(hit.referrer, hit.referrerLen, referrer);
        Put(hit.agent, hit.agentLen, agents[static_cast<std::size_t>(upTo(5))]);
        Put(hit.user, hit.userLen, upTo(20) == 0 ? "member" + std::to_string(upTo(10)) : "-");
        Put(hit.server, hit.serverLen, "www.example.com");
        Put(hit.cookie, hit.cookieLen, "");
        hit.status = statuses[static_cast<std::size_t>(upTo(12))];
        hit.bytes = upTo(60000);
        hit.referrerPresent = hit.agentPresent = 1;
    }
    return hits;
}

void BM_ProcessHit(benchmark::State& state) {
    const std::size_t hitsPerRun = static_cast<std::size_t>(state.range(0));
    const std::vector<hit_t> templates = MakeTemplates(8192);
    CFileTypeIdentification fileTypes;
    fileTypes.LoadXML((kData + "filetypeidentification.xml").c_str());
    const CFastFileTypeIdentification types(fileTypes);
    CSpiderIdentification spiders;
    spiders.LoadXML((kData + "spider.xml").c_str());
    CBrowserIdentification browsers;
    browsers.LoadXML((kData + "browser.xml").c_str());
    COSIdentification oses;
    oses.LoadXML((kData + "os.xml").c_str());
    CSearchEngineIdentification engines;
    engines.LoadXML((kData + "searchengines.xml").c_str());
    CDomainSuffixTable suffixes;
    suffixes.LoadXML((kData + "suffixdata.xml").c_str());
    CFilterEvaluator filters;
    filter_t excludeImages;
    excludeImages.includeType = filter_t::EXCLUDE;
    excludeImages.infoType = filter_t::FILE;
    excludeImages.string = "/section19/*";
    filters.CompileFilters({excludeImages}, filter_compile_options_t{});

    hit_classifiers_t classifiers;
    classifiers.fileTypes = &types;
    classifiers.spiders = &spiders;
    classifiers.browsers = &browsers;
    classifiers.oses = &oses;
    classifiers.searchEngines = &engines;
    classifiers.filters = &filters;
    classifiers.suffixes = &suffixes;
    hit_options_t options;
    options.defaultPage = "index.html";
    options.siteDomain = "www.example.com";

    hit_t hit;
    for (auto _ : state) {
        state.PauseTiming();
        PoolCreate();
        auto tables = std::make_unique<CRunTables>();
        CTagInformation tags;
        auto sessions = std::make_unique<CVisitorSessions>(*tables, tags, false);
        CHitProcessor processor(*tables, sessions.get(), options, classifiers);
        state.ResumeTiming();
        std::int32_t time = 1700000000;
        for (std::size_t i = 0; i < hitsPerRun; ++i) {
            // The parser writes each record into its batch slot; so does this copy.
            std::memcpy(&hit, &templates[i % templates.size()], sizeof hit);
            time += static_cast<std::int32_t>(i & 1);
            hit.time = time;
            hit.hour = (time % 86400) / 3600;
            hit.dayOfWeek = (time / 86400 + 4) % 7;
            processor.ProcessHit(hit);
        }
        sessions->CloseAllSessions();
        benchmark::DoNotOptimize(tables->counters.totalHits);
        state.PauseTiming();
        sessions.reset();
        tables.reset();
        PoolDestroy();
        state.ResumeTiming();
    }
    state.counters["hits/s"] = benchmark::Counter(
        static_cast<double>(hitsPerRun) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ProcessHit)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
