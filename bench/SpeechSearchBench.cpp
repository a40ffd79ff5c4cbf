// The settings search judged by intelligibility: on recorded-like speech (espeak-ng voices with
// pauses over a noise floor at -50 dBFS, 8- and 16-bit, 8000 ... 22050 Hz), the STOI of the
// one-bit sound at the settings Find Best Settings chooses, against the defaults' and against
// the best STOI of an exhaustive grid, for both modulators.
//
//   ticktrace_bench --benchmark_filter=SpeechSearchStoi   (a few minutes; needs espeak-ng and sox)
//
// Targets: the found settings' STOI at least the defaults' and at least 0.97 times the grid's.

#include "Levels.h"
#include "Stoi.h"
#include "search/ParallelJobs.h"
#include "search/SettingsSearch.h"
#include "wave/WaveLoader.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct SpeechFile {
    std::string name;
    tt::LoadedWave wave;
};

struct Voice {
    const char* voice;
    const char* text;
};

constexpr Voice voices[] = {
    { "en+m3", "The quick brown fox jumps over the lazy dog. Then, after a pause, it runs away." },
    { "en+f3", "Please listen carefully. Our menu options have changed. Press one, or two." },
    { "en-us+m1", "Seven, eight, nine. Ready or not, here I come! Watch out for the bumps." },
    { "de+f2", "Guten Morgen. Der Zug nach Berlin hat heute leider zehn Minuten Verspätung." },
    { "fr+m2", "Bonjour à tous. Le train pour Paris partira du quai numéro trois." },
    { "es+f4", "Buenas tardes. El vuelo a Madrid sale a las cinco, por la puerta doce." },
};

struct Format {
    std::uint32_t rateHz;
    int bits;
};
constexpr Format formats[]
    = { { 8000, 8 }, { 11025, 16 }, { 16000, 16 }, { 16000, 8 }, { 22050, 16 } };

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Speaks every voice once, then mixes in the noise floor with 0.3 s of pause before and 0.4 s
// after, normalises to -1 dBFS and writes every format. Empty when a tool is missing.
std::vector<SpeechFile> speechFiles()
{
    std::vector<SpeechFile> files;
    if (!run("command -v espeak-ng") || !run("command -v sox")) {
        return files;
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "ticktrace-speech";
    std::filesystem::create_directories(dir);
    int index = 0;
    for (const Voice& v : voices) {
        const std::string raw = (dir / ("voice" + std::to_string(index) + ".wav")).string();
        const std::string noisy = (dir / ("noisy" + std::to_string(index) + ".wav")).string();
        if (!std::filesystem::exists(noisy)) {
            run(std::string("espeak-ng -v ") + v.voice + " -s 150 -g 8 -w " + raw + " \"" + v.text
                + "\"");
            // The noise as long as the padded voice, then both mixed at full weight.
            run("sox " + raw + " " + raw + ".pad.wav pad 0.3 0.4");
            run("sox -n -r 22050 -c 1 -b 16 " + raw + ".noise.wav synth $(soxi -D " + raw
                + ".pad.wav) whitenoise vol -50dB");
            run("sox -m -v 1 " + raw + ".pad.wav -v 1 " + raw + ".noise.wav " + noisy + " norm -1");
        }
        for (const Format& f : formats) {
            const std::string out = (dir
                / ("speech" + std::to_string(index) + "-" + std::to_string(f.rateHz) + "-"
                    + std::to_string(f.bits) + ".wav"))
                                        .string();
            if (!std::filesystem::exists(out)) {
                run("sox " + noisy + " -r " + std::to_string(f.rateHz) + " -b "
                    + std::to_string(f.bits) + " " + out + " dither -s");
            }
            SpeechFile file;
            file.name = std::string(v.voice) + " " + std::to_string(f.bits) + "-bit "
                + std::to_string(f.rateHz) + " Hz";
            if (tt::loadWaveFile(out, file.wave) == tt::LoadStatus::Loaded) {
                files.push_back(std::move(file));
            }
        }
        ++index;
    }
    return files;
}

// The grid: 9000 - Value 1 from 8999 down by factors of 1.67, against the settle level
// step / leak from 1/32768 of full scale to 8 times it in 26 steps.
std::vector<tt::ModulatorSettings> grid(const tt::WaveHeader& header, tt::ModulatorKind modulator)
{
    const double fullScale = header.bitsPerSample == 8 ? 128.0 : 32768.0;
    std::vector<tt::ModulatorSettings> points;
    for (const int room : { 8999, 5000, 3000, 1800, 1000, 600, 350, 200, 120, 70, 40 }) {
        for (int i = 0; i < 26; ++i) {
            const double settle = fullScale * std::pow(2.0, -15.0 + 18.0 * double(i) / 25.0);
            const auto step = std::lround(settle * 100.0 / double(room));
            if (step < 1 || step > 32767) {
                continue;
            }
            tt::ModulatorSettings s;
            s.value1 = 9000 - room;
            s.value2 = int(step);
            s.modulator = modulator;
            if (std::none_of(points.begin(), points.end(),
                    [&](const auto& p) { return p.value1 == s.value1 && p.value2 == s.value2; })) {
                points.push_back(s);
            }
        }
    }
    return points;
}

void BM_SpeechSearchStoi(benchmark::State& state)
{
    const std::vector<SpeechFile> files = speechFiles();
    if (files.empty()) {
        state.SkipWithError("espeak-ng and sox are needed for the speech set");
        return;
    }
    double worstRatio = 2.0;
    int belowDefaults = 0, cases = 0;
    double sumFound = 0.0, sumDefaults = 0.0;
    for (auto _ : state) {
        for (const tt::ModulatorKind modulator :
            { tt::ModulatorKind::Greedy, tt::ModulatorKind::LookAhead }) {
            std::printf("\n%s modulator\n%-24s %7s %7s %7s %6s  %s\n",
                std::string(tt::modulatorName(modulator)).c_str(), "speech", "default", "grid",
                "found", "ratio", "found settings / grid's best");
            for (const SpeechFile& file : files) {
                const tt::WaveHeader& header = file.wave.header;
                const auto stoiOf = [&](const tt::ModulatorSettings& s) {
                    // The clean signal: the input at the Volume searched at (100 %).
                    const tt::bench::Levels levels
                        = tt::bench::levelsOf(header, file.wave.data.bytes(), s);
                    return tt::bench::stoi(levels.targets, levels.played, header.sampleRateHz);
                };
                tt::ModulatorSettings start;
                start.modulator = modulator;
                const std::vector<tt::ModulatorSettings> points = grid(header, modulator);
                std::vector<double> scores(points.size());
                tt::runParallelJobs(int(points.size()), tt::workerThreadCount(0),
                    [&](int i) { scores[std::size_t(i)] = stoiOf(points[std::size_t(i)]); }, {});
                const auto bestAt
                    = std::size_t(std::max_element(scores.begin(), scores.end()) - scores.begin());
                const tt::SearchResult found
                    = tt::findBestSettings(header, file.wave.data.bytes(), start);
                const double foundStoi = stoiOf(tt::settingsFound(found, start));
                const double defaultStoi = stoiOf(start);
                const double ratio = foundStoi / scores[bestAt];
                worstRatio = std::min(worstRatio, ratio);
                belowDefaults += foundStoi < defaultStoi ? 1 : 0;
                sumFound += foundStoi;
                sumDefaults += defaultStoi;
                ++cases;
                std::printf("%-24s %7.3f %7.3f %7.3f %6.3f  %d/%d  %d/%d\n", file.name.c_str(),
                    defaultStoi, scores[bestAt], foundStoi, ratio, found.value1, found.value2,
                    points[bestAt].value1, points[bestAt].value2);
            }
        }
        std::printf("worst ratio to the grid %.3f; below the defaults in %d of %d; mean STOI "
                    "%.3f found, %.3f defaults\n\n",
            worstRatio, belowDefaults, cases, sumFound / cases, sumDefaults / cases);
    }
    state.counters["worst_ratio"] = worstRatio;
    state.counters["below_defaults"] = belowDefaults;
    state.counters["mean_found_stoi"] = sumFound / std::max(cases, 1);
    state.counters["mean_default_stoi"] = sumDefaults / std::max(cases, 1);
}
BENCHMARK(BM_SpeechSearchStoi)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
