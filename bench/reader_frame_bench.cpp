// Cost of building a reader frame and of handling an answer, and the heap allocations they make
// (the goal is none: a frame lives in its command's own storage).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "allocation_count.h"
#include "fake_port_library.h"
#include "port_library.h"
#include "reader_link.h"

namespace {

long g_nMeasuredAllocations = 0;

// A read answer as the reader sends it: status 0, a 15-byte record with two stuffed bytes.
constexpr std::uint8_t kReadAnswer[] = {0xAA, 0xBB, 0x15, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00,
                                        0x00, 0x12, 0x34, 0xAA, 0x00, 0x56, 0x03, 0x84, 0x00,
                                        0x01, 0xAA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF4};
constexpr std::uint8_t kRecord[12] = {0x00, 0x12, 0x34, 0xAA, 0x56, 0x03,
                                      0x84, 0x01, 0x01, 0x00, 0x00, 0x00};

template <typename Body>
void Measure(benchmark::State& state, Body body) {
    const long before = AllocationCount();
    for (auto _ : state) {
        body();
    }
    const long allocations = AllocationCount() - before;
    g_nMeasuredAllocations += allocations;
    state.counters["allocs/op"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void BM_BuildCheckFrame(benchmark::State& state) {
    Measure(state, [] {
        CReaderFrame frame(0, RDR_CMD_CHECK, nullptr, 0);
        benchmark::DoNotOptimize(frame.m_abRequest);
    });
}

void BM_BuildWriteTagFrame(benchmark::State& state) {
    Measure(state, [] {
        CReaderFrame frame(0, RDR_CMD_WRITE_TAG, kRecord, sizeof kRecord);
        benchmark::DoNotOptimize(frame.m_abRequest);
    });
}

void BM_HandleReadAnswer(benchmark::State& state) {
    CReaderFrame frame(0, RDR_CMD_READ_TAG, nullptr, 0);
    std::uint8_t destination[kReadBufferSize];
    Measure(state, [&] {
        std::memcpy(frame.m_abResponse, kReadAnswer, sizeof kReadAnswer);
        frame.m_nResponseCount = sizeof kReadAnswer;
        frame.Unstuff();
        benchmark::DoNotOptimize(frame.Status());
        frame.CopyData(destination, static_cast<std::size_t>(frame.DataLength()));
        benchmark::DoNotOptimize(destination);
    });
}

// Whole commands through a binding whose exchange copies a canned answer.
class FakeBinding {
public:
    FakeBinding() {
        g_fakeTransport = FakeTransport{};
        g_fakeTransport.SetAnswer(kReadAnswer, sizeof kReadAnswer);
        g_portLibrary.Reset(new FakePortLibrary);
    }
    ~FakeBinding() { g_portLibrary.Reset(); }
};

void BM_ReadTagCommand(benchmark::State& state) {
    const FakeBinding binding;
    CReaderLink link;
    std::uint8_t destination[kReadBufferSize];
    if (link.ReadTag(0, destination) != 0) {
        state.SkipWithError("the canned read answer was refused");
        return;
    }
    Measure(state, [&] { benchmark::DoNotOptimize(link.ReadTag(0, destination)); });
}

void BM_WriteTagCommand(benchmark::State& state) {
    const FakeBinding binding;
    CReaderLink link;
    Measure(state, [&] { benchmark::DoNotOptimize(link.WriteTag(0, kRecord)); });
}

BENCHMARK(BM_BuildCheckFrame);
BENCHMARK(BM_BuildWriteTagFrame);
BENCHMARK(BM_HandleReadAnswer);
BENCHMARK(BM_ReadTagCommand);
BENCHMARK(BM_WriteTagCommand);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("Heap allocations while building frames and handling answers: %ld (goal 0)\n",
                g_nMeasuredAllocations);
    return g_nMeasuredAllocations == 0 ? 0 : 1;
}
