// Both play-mode passes over the 10 M frames of BM_ConversionPlayMode timed in turn within one
// benchmark (the look-ahead's pass alone is BM_ConversionPlayModeLookAhead), so that their ratio
// (the look-ahead's time over the greedy one's; at most 4 is the goal) comes from the same run. The
// ratio counts the thread's CPU time, which other work on a shared machine does not inflate.

#include "MusicLikeSignal.h"
#include "ThreadCpuTime.h"
#include "modulator/WholeFileConversion.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

tt::ModulatorSettings lookAheadSettings()
{
    tt::ModulatorSettings settings;
    settings.modulator = tt::ModulatorKind::LookAhead;
    return settings;
}

double threadCpuMilliseconds()
{
    return tt::bench::threadCpuSeconds() * 1e3;
}

// Each iteration runs the greedy pass and then the look-ahead pass; the counters are their mean
// CPU times, the same per frame, and the ratio of the sums.
void BM_LookAheadAgainstGreedy(benchmark::State& state)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    std::vector<std::uint8_t> sampleArea(data.size());
    const tt::ModulatorSettings greedy;
    const tt::ModulatorSettings lookAhead = lookAheadSettings();
    double greedyMs = 0.0, lookAheadMs = 0.0;
    for (auto _ : state) {
        for (const tt::ModulatorSettings* settings : { &greedy, &lookAhead }) {
            const double start = threadCpuMilliseconds();
            const tt::ConversionResult result
                = tt::convertWholeFile(header, data, *settings, sampleArea);
            benchmark::DoNotOptimize(result.errorSum);
            benchmark::ClobberMemory();
            (settings == &greedy ? greedyMs : lookAheadMs) += threadCpuMilliseconds() - start;
        }
    }
    const double iterations = double(state.iterations());
    state.counters["greedyCpuMs"] = greedyMs / iterations;
    state.counters["lookAheadCpuMs"] = lookAheadMs / iterations;
    const double framesRun = iterations * double(tt::bench::musicFrameCount);
    state.counters["greedyNsPerFrame"] = greedyMs * 1e6 / framesRun;
    state.counters["lookAheadNsPerFrame"] = lookAheadMs * 1e6 / framesRun;
    state.counters["ratio"] = lookAheadMs / greedyMs;
}
BENCHMARK(BM_LookAheadAgainstGreedy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
