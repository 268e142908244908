// The scanner with each parser over generated 2,000,000-line logs, parsing on the calling thread,
// on one worker thread and on two threads (a worker and the calling thread, chunk by chunk),
// against `mawk '{n++} END{print n}'` on the same combined file in the same run. CPU times are
// the whole process's. Options: --lines=N (default 2000000) and --repeat=N (default 3) besides
// Google Benchmark's.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <new>
#include <string>

#include "LogGenerator.h"
#include "engine/parse/LineParser.h"
#include "engine/parse/W3CFields.h"
#include "engine/scan/Scanner.h"

namespace {

using namespace logvane::bench;

std::atomic<std::uint64_t> g_allocations{0};

class CCountingConsumer : public CHitConsumer {
public:
    void ProcessHit(hit_t*) override { ++hits; }
    std::uint64_t hits = 0;
};

// A consumer with work of its own per hit, about as much as parsing a line: it hashes the hit's
// texts byte by byte. Overlapped parsing should hide the parsing behind it.
class CHashingConsumer : public CHitConsumer {
public:
    void ProcessHit(hit_t* hit) override {
        for (std::string_view text : {hit->Host(), hit->Path(), hit->Referrer(), hit->Agent()}) {
            for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        ++hits;
    }
    std::uint64_t hits = 0;
    std::uint64_t hash = 14695981039346656037ull;
};

struct generated_log_t {
    std::string path;
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
};

std::string g_folder;
int g_iterations = 3;
std::map<log_style_t, generated_log_t> g_logs;

const generated_log_t& LogOf(log_style_t style, std::uint64_t lines) {
    generated_log_t& log = g_logs[style];
    if (log.path.empty()) {
        log.path = g_folder + "/" + StyleName(style) + ".log";
        log.lines = lines;
        log.bytes = CLogGenerator().WriteFile(log.path, style, lines);
        // Otherwise the kernel writes the new file back to disk, on the same cores, while the
        // first benchmarks read it, and the ones after them (mawk last) run without that load.
        const int fd = ::open(log.path.c_str(), O_RDONLY);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
    }
    return log;
}

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

int LogTypeOf(log_style_t style) {
    switch (style) {
        case log_style_t::Common:
            return SCAN_LOG_CLF;
        case log_style_t::Combined:
            return SCAN_LOG_ELF;
        case log_style_t::CombinedCookieEnd:
            return SCAN_LOG_ELFEND;
        case log_style_t::CombinedCookieBegin:
            return SCAN_LOG_ELFBEG;
        case log_style_t::W3C:
            return SCAN_LOG_W3C;
    }
    return SCAN_LOG_AUTO;
}

// How the scanner parses: on the calling thread, on one worker, or on a worker and the calling
// thread taking chunks of lines.
enum class parse_mode_t { Calling, OneWorker, TwoWorkers };

template <class Consumer>
void BM_ScanParse(benchmark::State& state, log_style_t style, std::uint64_t lines, bool detect,
                  parse_mode_t mode) {
    const generated_log_t& log = LogOf(style, lines);
    scan_options_t options;
    options.cookieName = "SID";
    options.overlapParsing = mode != parse_mode_t::Calling;
    options.parseThreads = mode == parse_mode_t::TwoWorkers ? 2 : 1;
    std::vector<scan_file_t> files{{log.path, detect ? SCAN_LOG_AUTO : LogTypeOf(style)}};
    std::uint64_t hits = 0, allocations = 0;
    double callerSeconds = 0;
    for (auto _ : state) {
        Consumer consumer;
        std::uint64_t before = g_allocations.load();
        const double start = ThreadSeconds();
        ParseAllFiles(files, options, consumer);
        callerSeconds += ThreadSeconds() - start;
        allocations = g_allocations.load() - before;
        hits = consumer.hits;
    }
    // The calling thread hands every hit on: with a consumer slower than parsing, its CPU time
    // is what bounds a whole run, whatever else the machine runs.
    state.counters["caller_cpu_ms"] = 1000 * callerSeconds / double(state.iterations());
    if (hits != log.lines) state.SkipWithError("not every generated line became a hit");
    state.counters["lines/s"] = benchmark::Counter(double(log.lines) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(
        double(log.bytes) / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["allocs/line"] = double(allocations) / double(log.lines);
}

// The parser alone over lines already in memory: what the scanner adds is the difference.
void BM_ParseOnly(benchmark::State& state, log_style_t style, std::uint64_t lines) {
    const generated_log_t& log = LogOf(style, lines);
    std::FILE* file = std::fopen(log.path.c_str(), "rb");
    std::string text(log.bytes, '\0');
    if (!file || std::fread(text.data(), 1, text.size(), file) != text.size()) {
        state.SkipWithError("cannot read the generated log");
        if (file) std::fclose(file);
        return;
    }
    std::fclose(file);
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (text[pos] != '#') spans.emplace_back(pos, end - pos);
        pos = end + 1;
    }
    std::vector<hit_t> batch(kHitBatchSize);
    parse_context_t context;
    context.cookieName = "SID";
    context.cookieNameLen = 3;
    context.cookieMode = style == log_style_t::CombinedCookieEnd     ? COOKIE_END
                         : style == log_style_t::CombinedCookieBegin ? COOKIE_BEGIN
                                                                     : COOKIE_NONE;
    if (style == log_style_t::W3C) {
        std::string header = CLogGenerator::Header(style);
        std::size_t fields = header.find("#Fields:");
        MapW3CFields(std::string_view(header).substr(fields, header.find('\n', fields) - fields),
                     context.w3c);
        context.cookieMode = COOKIE_W3C;
    }
    line_parser_t parser = GetLineParser(LogTypeOf(style));
    std::uint64_t accepted = 0;
    for (auto _ : state) {
        accepted = 0;
        std::size_t slot = 0;
        for (const auto& [offset, length] : spans) {
            if (parser(text.data() + offset, length, batch[slot], context) > 0) ++accepted;
            slot = slot + 1 == batch.size() ? 0 : slot + 1;
        }
        benchmark::DoNotOptimize(batch.data());
    }
    if (accepted != spans.size()) state.SkipWithError("a generated line was rejected");
    state.counters["lines/s"] = benchmark::Counter(
        double(spans.size()) * double(state.iterations()), benchmark::Counter::kIsRate);
}

double Seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

void BM_Mawk(benchmark::State& state, std::uint64_t lines) {
    const generated_log_t& log = LogOf(log_style_t::Combined, lines);
    std::string command = "mawk '{n++} END{print n}' '" + log.path + "' > /dev/null";
    double cpuSeconds = 0;
    for (auto _ : state) {
        rusage before{}, after{};
        getrusage(RUSAGE_CHILDREN, &before);
        if (std::system(command.c_str()) != 0) state.SkipWithError("mawk failed");
        getrusage(RUSAGE_CHILDREN, &after);
        cpuSeconds += Seconds(after.ru_utime) + Seconds(after.ru_stime) - Seconds(before.ru_utime) -
                      Seconds(before.ru_stime);
    }
    // The benchmark's own CPU column sees only this process; mawk runs in a child.
    state.counters["child_cpu_ms"] = 1000 * cpuSeconds / double(state.iterations());
    state.counters["lines/s"] = benchmark::Counter(double(log.lines) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(
        double(log.bytes) / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

// Keeps the real time per iteration of every run so the ratio to mawk can be printed.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            std::string name = run.benchmark_name();
            name = name.substr(0, name.find("/iterations"));
            // Times are in the benchmark's unit, milliseconds here.
            realMs[name] = run.GetAdjustedRealTime();
            auto child = run.counters.find("child_cpu_ms");
            cpuMs[name] =
                child != run.counters.end() ? double(child->second) : run.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> realMs;
    std::map<std::string, double> cpuMs;
};

bool HaveMawk() { return std::system("command -v mawk > /dev/null 2>&1") == 0; }

}  // namespace

// Counts every allocation, so the benchmark shows that scanning allocates nothing per line.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    std::uint64_t lines = 2000000;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--lines=", 8) == 0)
            lines = std::strtoull(argv[i] + 8, nullptr, 10);
        else if (std::strncmp(argv[i], "--repeat=", 9) == 0)
            g_iterations = std::atoi(argv[i] + 9);
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    std::string pattern =
        (std::filesystem::temp_directory_path() / "logvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    g_folder = pattern;

    for (parse_mode_t mode :
         {parse_mode_t::Calling, parse_mode_t::OneWorker, parse_mode_t::TwoWorkers}) {
        const std::string prefix = mode == parse_mode_t::Calling     ? "ScanParse/"
                                   : mode == parse_mode_t::OneWorker ? "ScanParseOneWorker/"
                                                                     : "ScanParseOverlap/";
        for (log_style_t style :
             {log_style_t::Combined, log_style_t::CombinedCookieEnd,
              log_style_t::CombinedCookieBegin, log_style_t::Common, log_style_t::W3C}) {
            std::string name = prefix + StyleName(style);
            benchmark::RegisterBenchmark(name.c_str(), BM_ScanParse<CCountingConsumer>, style,
                                         lines, false, mode)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MeasureProcessCPUTime()
                ->Iterations(g_iterations);
        }
        benchmark::RegisterBenchmark((prefix + "combined-detected").c_str(),
                                     BM_ScanParse<CCountingConsumer>, log_style_t::Combined, lines,
                                     true, mode)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MeasureProcessCPUTime()
            ->Iterations(g_iterations);
        benchmark::RegisterBenchmark((prefix + "combined-hashing").c_str(),
                                     BM_ScanParse<CHashingConsumer>, log_style_t::Combined, lines,
                                     false, mode)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MeasureProcessCPUTime()
            ->Iterations(g_iterations);
    }
    for (log_style_t style : {log_style_t::Combined, log_style_t::W3C}) {
        std::string name = std::string("ParseOnly/") + StyleName(style);
        benchmark::RegisterBenchmark(name.c_str(), BM_ParseOnly, style, lines)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(g_iterations);
    }
    const bool mawk = HaveMawk();
    if (mawk)
        benchmark::RegisterBenchmark("Mawk/combined", BM_Mawk, lines)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(g_iterations);

    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!mawk) {
        std::printf("mawk is not installed: no comparison\n");
    } else if (reporter.realMs.count("Mawk/combined")) {
        for (const char* name :
             {"ScanParse/combined", "ScanParseOneWorker/combined", "ScanParseOverlap/combined"}) {
            if (!reporter.realMs.count(name)) continue;
            std::printf(
                "%s against mawk's line count on the same file:\n"
                "  elapsed %.1f ms vs %.1f ms: %.2fx mawk's speed\n"
                "  CPU     %.1f ms vs %.1f ms: %.2fx mawk's speed\n",
                name, reporter.realMs[name], reporter.realMs["Mawk/combined"],
                reporter.realMs["Mawk/combined"] / reporter.realMs[name], reporter.cpuMs[name],
                reporter.cpuMs["Mawk/combined"],
                reporter.cpuMs["Mawk/combined"] / reporter.cpuMs[name]);
        }
    }
    std::filesystem::remove_all(g_folder);
    benchmark::Shutdown();
    return 0;
}
