// The play-mode conversion pass against a bare loop that only reads the samples and applies the
// update rule: the difference is what error summing, rounding and writing the image cost.

#include "MusicLikeSignal.h"
#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

void BM_ConversionBareUpdateLoop(benchmark::State& state)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    const tt::ModulatorSettings settings;
    for (auto _ : state) {
        tt::PinModel model(settings, header);
        const std::uint8_t* in = data.data();
        for (std::int64_t i = 0; i < tt::bench::musicFrameCount; ++i) {
            // The stereo 16-bit layout is known here, as it is in the pass's stereo loop.
            const tt::ChannelPair samples { tt::readSample16(in), tt::readSample16(in + 2) };
            model.step(model.targetOf(samples));
            in += 4;
        }
        benchmark::DoNotOptimize(model.modelLevel);
    }
    state.SetItemsProcessed(state.iterations() * tt::bench::musicFrameCount);
}
BENCHMARK(BM_ConversionBareUpdateLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConversionPlayMode(benchmark::State& state)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    std::vector<std::uint8_t> sampleArea(data.size());
    const tt::ModulatorSettings settings;
    for (auto _ : state) {
        const tt::ConversionResult result
            = tt::convertWholeFile(header, data, settings, sampleArea);
        benchmark::DoNotOptimize(result.errorSum);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * tt::bench::musicFrameCount);
}
BENCHMARK(BM_ConversionPlayMode)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
