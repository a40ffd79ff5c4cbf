// The settings search: its time on long 44.1 kHz stereo sounds, and how close its choice comes
// to the best point of an exhaustive grid over the whole sound on the quality set.
//
//   ticktrace_bench --benchmark_filter=SettingsSearchTime   times (target: 2 s at most)
//   ticktrace_bench --benchmark_filter=SettingsSearchGap    the quality table (a few minutes)
//
// Target: within 0.2 dB of the grid's best audible SNR on music (chords, plucked notes,
// square-wave melodies); the table also gives the SNR of the band below 4 kHz after the best
// overall gain, the measure music is judged by.

#include "GeneratedSounds.h"
#include "Levels.h"
#include "Stoi.h"
#include "modulator/WholeFileConversion.h"
#include "search/ParallelJobs.h"
#include "search/SettingsSearch.h"
#include "search/SnrOfStretches.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using tt::bench::GeneratedSound;
using tt::bench::SoundKind;

// Ten minutes of 44.1 kHz 16-bit stereo, built once per process: twelve seconds of each kind of
// the quality set in turn, the minute they make repeated.
const GeneratedSound& longSound()
{
    static const GeneratedSound sound = [] {
        GeneratedSound minute;
        for (const SoundKind kind : { SoundKind::Speech, SoundKind::Chord, SoundKind::Plucked,
                 SoundKind::Sweep, SoundKind::Noise }) {
            GeneratedSound part = tt::bench::generateSound(kind, 44100, 16, 2, 12.0);
            minute.header = part.header;
            minute.data.insert(minute.data.end(), part.data.begin(), part.data.end());
        }
        GeneratedSound all;
        all.name = "10 min of 44.1 kHz 16-bit stereo";
        all.header = minute.header;
        for (int i = 0; i < 10; ++i) {
            all.data.insert(all.data.end(), minute.data.begin(), minute.data.end());
        }
        return all;
    }();
    return sound;
}

void BM_SettingsSearchTime(benchmark::State& state)
{
    const GeneratedSound& sound = longSound();
    const auto bytes = std::size_t(state.range(0)) * 44100 * 4;
    const std::span<const std::uint8_t> data(sound.data.data(), bytes);
    tt::SearchResult result;
    for (auto _ : state) {
        tt::ModulatorSettings start;
        start.modulator = tt::ModulatorKind(state.range(1));
        result = tt::findBestSettings(sound.header, data, start);
        benchmark::DoNotOptimize(result.snrDb);
    }
    state.counters["value1"] = result.value1;
    state.counters["value2"] = result.value2;
    state.counters["snr_dB"] = result.snrDb;
    state.counters["start_snr_dB"] = result.startSnrDb;
    state.counters["candidates"] = result.candidateCount;
}
// The second argument is the modulator the candidates run with: 0 greedy, 1 look-ahead.
BENCHMARK(BM_SettingsSearchTime)
    ->ArgNames({ "seconds", "modulator" })
    ->ArgsProduct(
        { { 10, 60, 600 }, { int(tt::ModulatorKind::Greedy), int(tt::ModulatorKind::LookAhead) } })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The exhaustive grid: every Value 2 from 1 to 32 and then in steps of 5 % up to 32767, against
// 9000 - Value 1 in steps of 20 % from 8999 down to 60 (leaks above 1.67 per frame only ever
// scored the floor), each over the whole sound.
std::vector<int> gridSteps()
{
    std::vector<int> steps;
    for (int v = 1; v <= 32; ++v) {
        steps.push_back(v);
    }
    for (double v = 32 * 1.05; v < 32767; v *= 1.05) {
        steps.push_back(int(std::lround(v)));
    }
    steps.push_back(32767);
    return steps;
}

std::vector<int> gridLeakRooms()
{
    std::vector<int> rooms;
    for (double r = 8999; r >= 60; r /= 1.2) {
        rooms.push_back(int(std::lround(r)));
    }
    return rooms;
}

struct GridBest {
    tt::ModulatorSettings settings;
    double snrDb = -1e9;
};

GridBest exhaustiveGrid(const GeneratedSound& sound)
{
    const std::vector<int> steps = gridSteps();
    const std::vector<int> rooms = gridLeakRooms();
    const std::int64_t frames
        = tt::conversionFrameCount(sound.header, sound.data.size(), sound.data.size());
    const tt::Stretch whole { 0, frames };
    std::vector<double> scores(steps.size() * rooms.size());
    tt::SearchMeter meter;
    tt::runParallelJobs(int(scores.size()), tt::workerThreadCount(0),
        [&](int i) {
            tt::ModulatorSettings settings;
            settings.value1 = 9000 - rooms[std::size_t(i) / steps.size()];
            settings.value2 = steps[std::size_t(i) % steps.size()];
            scores[std::size_t(i)] = tt::audibleSnrOfStretches(
                settings, sound.header, sound.data, std::span(&whole, 1), meter);
        },
        {});
    GridBest best;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (scores[i] > best.snrDb) {
            best.snrDb = scores[i];
            best.settings.value1 = 9000 - rooms[i / steps.size()];
            best.settings.value2 = steps[i % steps.size()];
        }
    }
    return best;
}

// Also searched with a sample of a quarter of the sound in 16 stretches, so that the sampling
// and the confirmation take part as they do for a long sound.
void BM_SettingsSearchGap(benchmark::State& state)
{
    const std::vector<GeneratedSound> set = tt::bench::qualitySet();
    double worstGapDb = -1e9, worstSampledGapDb = -1e9, gridSeconds = 0.0;
    for (auto _ : state) {
        std::printf("\nGrid: %zu steps x %zu leaks = %zu points per sound, each over the whole "
                    "sound\n",
            gridSteps().size(), gridLeakRooms().size(),
            gridSteps().size() * gridLeakRooms().size());
        std::printf("%-29s %7s %12s %7s %12s %7s %6s %7s %7s   %s\n", "sound", "default",
            "grid best", "dB", "search", "dB", "gap", "sampled", "gap",
            "band SNR below 4 kHz after the best gain: default, grid best, search");
        for (const GeneratedSound& sound : set) {
            const auto started = std::chrono::steady_clock::now();
            const GridBest grid = exhaustiveGrid(sound);
            gridSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                               .count();
            const tt::SearchResult found
                = tt::findBestSettings(sound.header, sound.data, tt::ModulatorSettings {});
            tt::SearchTuning quarter;
            quarter.sampleFrames
                = std::int64_t(sound.data.size()) / sound.header.bytesPerFrame() / 4;
            quarter.sampleStretchCount = 16;
            const tt::SearchResult sampled = tt::findBestSettings(
                sound.header, sound.data, tt::ModulatorSettings {}, {}, quarter);
            const double gap = grid.snrDb - found.snrDb;
            const double sampledGap = grid.snrDb - sampled.snrDb;
            worstGapDb = std::max(worstGapDb, gap);
            worstSampledGapDb = std::max(worstSampledGapDb, sampledGap);
            const auto bandSnr = [&](const tt::ModulatorSettings& settings) {
                const tt::bench::Levels levels
                    = tt::bench::levelsOf(sound.header, sound.data, settings);
                return tt::bench::bandLimitedGainSnrDb(
                    levels.targets, levels.played, sound.header.sampleRateHz);
            };
            std::printf("%-29s %7.2f %5d/%-6d %7.2f %5d/%-6d %7.2f %+6.2f %7.2f %+6.2f   %6.2f "
                        "%6.2f %6.2f\n",
                sound.name.c_str(), found.startSnrDb, grid.settings.value1, grid.settings.value2,
                grid.snrDb, found.value1, found.value2, found.snrDb, gap, sampled.snrDb, sampledGap,
                bandSnr(tt::ModulatorSettings {}), bandSnr(grid.settings),
                bandSnr(tt::settingsFound(found, tt::ModulatorSettings {})));
        }
        std::printf("worst gap %+.2f dB (sampled %+.2f dB); grid %.1f s in all\n\n", worstGapDb,
            worstSampledGapDb, gridSeconds);
    }
    state.counters["worst_gap_dB"] = worstGapDb;
    state.counters["worst_sampled_gap_dB"] = worstSampledGapDb;
    state.counters["grid_s"] = gridSeconds;
}
BENCHMARK(BM_SettingsSearchGap)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
