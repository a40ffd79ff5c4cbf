// How much closer the look-ahead modulator's played level follows the input than the greedy
// one's, through the same pin at the same settings: segmental SNR and mean error over the
// generated benchmark sounds, at settings suited to each sound. Prints a table once and reports
// the mean and the smallest SNR gain as counters. The figures do not depend on the machine.

#include "GeneratedSounds.h"
#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "search/SettingsSearch.h"

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

// The settings a user gets from Find Best Settings with the greedy modulator at Volume 1: the
// look-ahead is then compared with greedy at exactly those settings.
tt::ModulatorSettings settingsFromSearch(const tt::bench::GeneratedSound& sound)
{
    tt::ModulatorSettings settings;
    const tt::SearchResult found = tt::findBestSettings(sound.header, sound.data, settings);
    settings.value1 = found.value1;
    settings.value2 = found.value2;
    return settings;
}

void BM_LookAheadQualityTable(benchmark::State& state)
{
    const std::vector<tt::bench::GeneratedSound> sounds = tt::bench::qualitySet();
    double gainSumDb = 0.0, leastGainDb = 1e300, errorChangeSum = 0.0;
    for (auto _ : state) {
        std::printf("\n%-26s %6s %6s %9s %9s %7s %9s %9s %7s\n", "sound", "Val1", "Val2",
            "greedy dB", "look dB", "gain", "greedy er", "look er", "error");
        for (const tt::bench::GeneratedSound& sound : sounds) {
            tt::ModulatorSettings settings = settingsFromSearch(sound);
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
