// Start-up cost of the duplicate index: loading 1,000,000 logged identities from 200 write logs,
// with the growth of the process's peak memory; then the cost of one lookup and one addition.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "allocation_count.h"
#include "write_log.h"
#include "write_log_index.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 200;
constexpr int kLinesPerFile = 5000;

// Peak resident set of the process so far, in kB.
long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One log per run of continuous writing: consecutive national numbers, a tag every few seconds.
class LogDirectory {
public:
    LogDirectory() {
        char pattern[] = "/tmp/pelorin-index-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        m_path = pattern;
        std::string content;
        for (int file = 0; file < kFiles; ++file) {
            content.assign(WriteLogHeader());
            const LogTime start{2020 + file / 50, file % 50 / 5 + 1, file % 5 * 5 + 1, 8, 0, 0};
            const std::string stamp = LogTimeStamp(start);
            for (int line = 0; line < kLinesPerFile; ++line) {
                char record[40];
                std::snprintf(record, sizeof record, "528%012d,%s,Y \n",
                              file * kLinesPerFile + line, stamp.c_str());
                content += record;
            }
            std::ofstream(m_path / (stamp + ".csv"), std::ios::binary) << content;
        }
    }
    ~LogDirectory() { fs::remove_all(m_path); }
    std::string Path() const { return m_path.string(); }

private:
    fs::path m_path;
};

const LogDirectory& Logs() {
    static const LogDirectory logs;
    return logs;
}

void BM_Load(benchmark::State& state) {
    const std::string path = Logs().Path();
    const long peakBefore = PeakKilobytes();
    std::size_t identities = 0;
    for (auto _ : state) {
        CWriteLogIndex index;
        if (!index.Load(path)) {
            state.SkipWithError(index.ReadError().c_str());
            return;
        }
        identities = index.Counts().nIdentities;
    }
    state.counters["identities"] = static_cast<double>(identities);
    state.counters["peak_MB"] = static_cast<double>(PeakKilobytes() - peakBefore) / 1024.0;
}
// First, so that the peak it reports is its own.
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(5);

const CWriteLogIndex& Loaded() {
    static const CWriteLogIndex index = [] {
        CWriteLogIndex loaded;
        if (!loaded.Load(Logs().Path())) {
            std::fprintf(stderr, "%s\n", loaded.ReadError().c_str());
            std::exit(1);
        }
        return loaded;
    }();
    return index;
}

// Identities spread over the logs (hits) or just past them (misses).
void Lookup(benchmark::State& state, long first) {
    const CWriteLogIndex& index = Loaded();
    char identity[24];
    long n = 0;
    const long before = AllocationCount();
    for (auto _ : state) {
        std::snprintf(identity, sizeof identity, "528%012ld", first + n * 7919 % 1000000);
        benchmark::DoNotOptimize(index.Find(identity));
        ++n;
    }
    state.counters["allocs/op"] = benchmark::Counter(
        static_cast<double>(AllocationCount() - before), benchmark::Counter::kAvgIterations);
}

void BM_FindLogged(benchmark::State& state) {
    Lookup(state, 0);
}
void BM_FindNew(benchmark::State& state) {
    Lookup(state, 1000000);
}
BENCHMARK(BM_FindLogged);
BENCHMARK(BM_FindNew);

void BM_Add(benchmark::State& state) {
    CWriteLogIndex index = Loaded();
    char identity[24];
    long n = 2000000;
    for (auto _ : state) {
        std::snprintf(identity, sizeof identity, "528%012ld", n++);
        benchmark::DoNotOptimize(index.Add(identity, "20260301100000.csv", "20260301100000"));
    }
}
BENCHMARK(BM_Add);

}  // namespace

BENCHMARK_MAIN();
