// Cost of one scramble and one unscramble, with the heap allocations they make per call.
#include <benchmark/benchmark.h>

#include "allocation_count.h"
#include "identity_cipher.h"

namespace {

template <DigitString (*Cipher)(const DigitString&)>
void RunCipher(benchmark::State& state) {
    g_abCipherKey = kDefaultCipherKey;
    DigitString digits = {5, 2, 8, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5};
    const long before = AllocationCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(digits);
        digits = Cipher(digits);
        benchmark::DoNotOptimize(digits);
    }
    state.counters["allocs/call"] = benchmark::Counter(
        static_cast<double>(AllocationCount() - before), benchmark::Counter::kAvgIterations);
}

void BM_ScrambleDigits(benchmark::State& state) {
    RunCipher<ScrambleDigits>(state);
}
void BM_UnscrambleDigits(benchmark::State& state) {
    RunCipher<UnscrambleDigits>(state);
}

BENCHMARK(BM_ScrambleDigits);
BENCHMARK(BM_UnscrambleDigits);

}  // namespace

BENCHMARK_MAIN();
