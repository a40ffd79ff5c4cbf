// How much closer the look-ahead modulator's played level follows the input than the greedy
// one's, through the same pin at the same settings: segmental SNR and mean error over the
// generated benchmark sounds, at settings suited to each sound. Prints a table once and reports
// the mean and the smallest SNR gain as counters. The figures do not depend on the machine.

#include "GeneratedSounds.h"
#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Rendering {
    double snrDb = 0.0;
    double meanError = 0.0; // the "Error" figure before rounding
};

Rendering render(const tt::bench::GeneratedSound& sound, const tt::ModulatorSettings& settings)
{
    std::vector<std::uint8_t> image(sound.data.size());
    const tt::ConversionResult result
        = tt::convertWholeFile(sound.header, sound.data, settings, image);
    return { tt::segmentalSnrDb(sound.header, sound.data, settings, image),
        result.errorSum / double(std::max<std::int64_t>(result.frameCount, 1)) };
}

// Stands in for the settings search until it is built: the settings with the best greedy
// segmental SNR over the whole sound on a plain grid. Value 2 runs in half-octave steps from
// maxAmp / 512 to maxAmp (19 steps, at least 1), Value 1 in half-octave steps of the leak from
// about 1/90 to 1 per frame (14 steps); Volume stays at 1.
tt::ModulatorSettings greedySettingsFromGrid(const tt::bench::GeneratedSound& sound)
{
    const double maxAmp = double((std::int64_t(1) << sound.header.bitsPerSample) / 2);
    tt::ModulatorSettings best;
    double bestDb = -1e300;
    for (int stepIndex = 0; stepIndex <= 18; ++stepIndex) {
        const int value2 = std::clamp(int(std::lround(maxAmp / 512.0 * std::exp2(stepIndex / 2.0))),
            tt::ModulatorSettings::value2Min, tt::ModulatorSettings::value2Max);
        for (int leakIndex = 0; leakIndex <= 13; ++leakIndex) {
            // leak = 100 / (9000 - value1), from 2^-6.5 (about 1/90) up to 1.
            const double leak = std::exp2(-6.5 + leakIndex / 2.0);
            tt::ModulatorSettings settings;
            settings.value1 = std::clamp(int(std::lround(9000.0 - 100.0 / leak)),
                tt::ModulatorSettings::value1Min, tt::ModulatorSettings::value1Max);
            settings.value2 = value2;
            const double db = render(sound, settings).snrDb;
            if (db > bestDb) {
                bestDb = db;
                best = settings;
            }
        }
    }
    return best;
}

void BM_LookAheadQualityTable(benchmark::State& state)
{
    const std::vector<tt::bench::GeneratedSound> sounds = tt::bench::qualitySet();
    double gainSumDb = 0.0, leastGainDb = 1e300, errorChangeSum = 0.0;
    for (auto _ : state) {
        std::printf("\n%-26s %6s %6s %9s %9s %7s %9s %9s %7s\n", "sound", "Val1", "Val2",
            "greedy dB", "look dB", "gain", "greedy er", "look er", "error");
        for (const tt::bench::GeneratedSound& sound : sounds) {
            tt::ModulatorSettings settings = greedySettingsFromGrid(sound);
            const Rendering greedy = render(sound, settings);
            settings.modulator = tt::ModulatorKind::LookAhead;
            const Rendering lookAhead = render(sound, settings);
            const double gainDb = lookAhead.snrDb - greedy.snrDb;
            const double errorChange = lookAhead.meanError / greedy.meanError - 1.0;
            gainSumDb += gainDb;
            leastGainDb = std::min(leastGainDb, gainDb);
            errorChangeSum += errorChange;
            std::printf("%-26s %6d %6d %9.2f %9.2f %+7.2f %9.1f %9.1f %+6.1f%%\n",
                sound.name.c_str(), settings.value1, settings.value2, greedy.snrDb, lookAhead.snrDb,
                gainDb, greedy.meanError, lookAhead.meanError, 100.0 * errorChange);
        }
        const double count = double(sounds.size());
        std::printf("mean SNR gain %+.2f dB, least %+.2f dB, mean error change %+.1f %%\n\n",
            gainSumDb / count, leastGainDb, 100.0 * errorChangeSum / count);
    }
    state.counters["meanGainDb"] = gainSumDb / double(sounds.size());
    state.counters["leastGainDb"] = leastGainDb;
    state.counters["meanErrorChangePct"] = 100.0 * errorChangeSum / double(sounds.size());
}
BENCHMARK(BM_LookAheadQualityTable)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
