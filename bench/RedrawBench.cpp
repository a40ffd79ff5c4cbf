// One zoom view redraw of a 600 000-frame file: it runs once per mouse move while the cursor is
// dragged, so it must stay far below the interval between mouse events. With either modulator;
// the look-ahead one runs its search over the drawn frames and its delay beyond them.

#ifdef TICKTRACE_BENCH_GUI

#include "image/Image.h"
#include "modulator/ModulatorSettings.h"
#include "platform/toolkit/GuiApplication.h"
#include "view/ViewPlacement.h"
#include "view/ZoomView.h"
#include "wave/ChunkHeader.h"
#include "wave/WaveHeader.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::int64_t redrawFrameCount = 600'000;

// Text needs a running toolkit; without one the labels and digits would cost nothing and the
// figure would be too good. Created on first use, off screen unless a platform was chosen.
void ensureToolkit()
{
    static int argc = 1;
    static char name[] = "ticktrace_bench";
    static char* argv[] = { name, nullptr };
    static const tt::GuiApplication application = [] {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        return tt::GuiApplication(argc, argv);
    }();
}

struct RedrawInput {
    tt::WaveHeader header;
    tt::ChunkHeader data;
    tt::Image strip { 600, 100 };
};

// 16-bit stereo tones with noise, so the lines run in every direction and the bits vary.
const RedrawInput& redrawInput()
{
    static const RedrawInput input = [] {
        RedrawInput in;
        in.header.channelCount = 2;
        in.header.sampleRateHz = 44100;
        in.header.bitsPerSample = 16;
        in.header.blockAlign = 4;
        in.header.byteRate = 44100 * 4;
        auto bytes = std::make_shared<tt::SampleBytes>(std::size_t(redrawFrameCount) * 4);
        std::mt19937 random(4711);
        std::normal_distribution<double> noise(0.0, 900.0);
        for (std::int64_t f = 0; f < redrawFrameCount; ++f) {
            const double t = double(f) / 44100.0;
            const double tone = 9000.0 * std::sin(6.283185307179586 * 220.0 * t)
                + 3000.0 * std::sin(6.283185307179586 * 1318.5 * t);
            for (std::size_t c = 0; c < 2; ++c) {
                const auto word = std::uint16_t(std::int16_t(std::lround(tone + noise(random))));
                (*bytes)[std::size_t(f) * 4 + c * 2] = std::uint8_t(word);
                (*bytes)[std::size_t(f) * 4 + c * 2 + 1] = std::uint8_t(word >> 8);
            }
        }
        in.data.sizeBytes = bytes->size();
        in.data.block = std::move(bytes);
        in.strip.fillBox(0, 0, 600, 100, tt::Rgb { 0, 0, 96 });
        return in;
    }();
    return input;
}

tt::ModulatorSettings settingsWith(tt::ModulatorKind kind)
{
    tt::ModulatorSettings settings;
    settings.modulator = kind;
    return settings;
}

// The cursor in the middle: 16 pre-roll frames and all 40 columns.
template <tt::ModulatorKind Kind> void BM_Redraw600kFramesMidCursor(benchmark::State& state)
{
    ensureToolkit();
    const RedrawInput& in = redrawInput();
    const tt::ModulatorSettings settings = settingsWith(Kind);
    tt::Image zoom(600, 300);
    for (auto _ : state) {
        tt::redrawZoomView(zoom, in.strip, in.header, in.data, settings,
            tt::viewStartAtColumn(299, redrawFrameCount));
        benchmark::DoNotOptimize(zoom.pixels());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Redraw600kFramesMidCursor<tt::ModulatorKind::Greedy>)
    ->Name("BM_Redraw600kFramesMidCursor")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Redraw600kFramesMidCursor<tt::ModulatorKind::LookAhead>)
    ->Name("BM_Redraw600kFramesMidCursorLookAhead")
    ->Unit(benchmark::kMicrosecond);

// A drag across the whole band, one redraw per mouse move; the time is per redraw.
template <tt::ModulatorKind Kind> void BM_Redraw600kFramesDrag(benchmark::State& state)
{
    ensureToolkit();
    const RedrawInput& in = redrawInput();
    const tt::ModulatorSettings settings = settingsWith(Kind);
    tt::Image zoom(600, 300);
    int cursorX = 0;
    for (auto _ : state) {
        tt::redrawZoomView(zoom, in.strip, in.header, in.data, settings,
            tt::viewStartAtColumn(cursorX, redrawFrameCount));
        benchmark::DoNotOptimize(zoom.pixels());
        benchmark::ClobberMemory();
        cursorX = cursorX == 599 ? 0 : cursorX + 1;
    }
}
BENCHMARK(BM_Redraw600kFramesDrag<tt::ModulatorKind::Greedy>)
    ->Name("BM_Redraw600kFramesDrag")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Redraw600kFramesDrag<tt::ModulatorKind::LookAhead>)
    ->Name("BM_Redraw600kFramesDragLookAhead")
    ->Unit(benchmark::kMicrosecond);

} // namespace

#endif
