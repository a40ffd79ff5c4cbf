// The play-mode conversion pass against a bare loop that only reads the samples and applies the
// update rule: the difference is what the model's bookkeeping, error summing, rounding and
// writing the image cost.

#include "MusicLikeSignal.h"
#include "modulator/WholeFileConversion.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

// The plainest loop of the rule, written here rather than calling the project's own update, so
// that a slow update cannot hide in its own baseline: read the two samples, form the target,
// step up or down with the leak, clamp. Nothing is stored but the level.
void BM_ConversionBareUpdateLoop(benchmark::State& state)
{
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    const double leak = 100.0 / (9000.0 - 3000.0), step = 1000.0, gain = 1.0, maxAmp = 32768.0;
    for (auto _ : state) {
        double level = 0.0;
        const std::uint8_t* in = data.data();
        for (std::int64_t i = 0; i < tt::bench::musicFrameCount; ++i, in += 4) {
            const int left = -std::int16_t(std::uint16_t(in[0] | (in[1] << 8)));
            const int right = -std::int16_t(std::uint16_t(in[2] | (in[3] << 8)));
            const double target = double(left + right) / 2.0 * gain;
            if (target > level) {
                level = level + (step - level * leak);
            } else {
                level = level + (-step - level * leak);
            }
            level = level < -maxAmp ? -maxAmp : level;
            level = level > maxAmp ? maxAmp : level;
        }
        benchmark::DoNotOptimize(level);
    }
    state.SetItemsProcessed(state.iterations() * tt::bench::musicFrameCount);
}
BENCHMARK(BM_ConversionBareUpdateLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

// The play-mode pass with the greedy modulator (BM_ConversionPlayMode) and with the look-ahead
// (BM_ConversionPlayModeLookAhead).
void BM_ConversionPlayMode(benchmark::State& state, tt::ModulatorKind modulator)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    std::vector<std::uint8_t> sampleArea(data.size());
    tt::ModulatorSettings settings;
    settings.modulator = modulator;
    for (auto _ : state) {
        const tt::ConversionResult result
            = tt::convertWholeFile(header, data, settings, sampleArea);
        benchmark::DoNotOptimize(result.errorSum);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * tt::bench::musicFrameCount);
}
BENCHMARK_CAPTURE(BM_ConversionPlayMode, , tt::ModulatorKind::Greedy)
    ->Name("BM_ConversionPlayMode")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ConversionPlayMode, , tt::ModulatorKind::LookAhead)
    ->Name("BM_ConversionPlayModeLookAhead")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
