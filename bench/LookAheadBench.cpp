// The play-mode pass with the look-ahead modulator over the 10 M frames of BM_ConversionPlayMode,
// and both passes timed in turn within one benchmark, so that their ratio (the look-ahead's
// time over the greedy one's; at most 6 is the goal) comes from the same run and the same state
// of a shared machine.

#include "MusicLikeSignal.h"
#include "modulator/WholeFileConversion.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace {

tt::ModulatorSettings lookAheadSettings()
{
    tt::ModulatorSettings settings;
    settings.modulator = tt::ModulatorKind::LookAhead;
    return settings;
}

void BM_ConversionPlayModeLookAhead(benchmark::State& state)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    std::vector<std::uint8_t> sampleArea(data.size());
    const tt::ModulatorSettings settings = lookAheadSettings();
    for (auto _ : state) {
        const tt::ConversionResult result
            = tt::convertWholeFile(header, data, settings, sampleArea);
        benchmark::DoNotOptimize(result.errorSum);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * tt::bench::musicFrameCount);
}
BENCHMARK(BM_ConversionPlayModeLookAhead)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each iteration runs the greedy pass and then the look-ahead pass; the counters are their
// summed wall-clock times and the ratio of the sums.
void BM_LookAheadAgainstGreedy(benchmark::State& state)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    std::vector<std::uint8_t> sampleArea(data.size());
    const tt::ModulatorSettings greedy;
    const tt::ModulatorSettings lookAhead = lookAheadSettings();
    using Clock = std::chrono::steady_clock;
    Clock::duration greedyTime {}, lookAheadTime {};
    for (auto _ : state) {
        for (const tt::ModulatorSettings* settings : { &greedy, &lookAhead }) {
            const Clock::time_point start = Clock::now();
            const tt::ConversionResult result
                = tt::convertWholeFile(header, data, *settings, sampleArea);
            benchmark::DoNotOptimize(result.errorSum);
            benchmark::ClobberMemory();
            (settings == &greedy ? greedyTime : lookAheadTime) += Clock::now() - start;
        }
    }
    const auto milliseconds = [&state](Clock::duration time) {
        return std::chrono::duration<double, std::milli>(time).count() / double(state.iterations());
    };
    state.counters["greedyMs"] = milliseconds(greedyTime);
    state.counters["lookAheadMs"] = milliseconds(lookAheadTime);
    state.counters["ratio"] = double(lookAheadTime.count()) / double(greedyTime.count());
}
BENCHMARK(BM_LookAheadAgainstGreedy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
