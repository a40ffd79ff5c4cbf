// The conversion pass against a bare loop that only reads the samples and applies the update
// rule: the difference is what the model's bookkeeping, error summing, rounding and writing the
// image cost.
//
// Besides time, every benchmark here reports the core's clock cycles per frame
// ("cycles_per_frame"): the thread's CPU time per frame times the core clock, which is measured
// once per process by a chain of dependent double additions taken at addLatencyCycles each (3 on
// the machines these figures come from; set TICKTRACE_BENCH_ADD_CYCLES for a core whose adder
// is slower). The hardware's own cycle counter is not used, as virtual machines often do not
// offer it. "tsc_per_frame" is the time stamp counter's ticks per frame on x86: a wall clock at
// the nominal frequency, not the core's. The chain from one frame's level to the next (multiply,
// subtract, add) needs 3 adder latencies: the floor any pass of the serial model has.

#include "MusicLikeSignal.h"
#include "ThreadCpuTime.h"
#include "app/PackedPass.h"
#include "modulator/StreamingConversion.h"
#include "modulator/WholeFileConversion.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace {

using tt::bench::threadCpuSeconds;

std::uint64_t timeStampTicks()
{
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return 0;
#endif
}

// Core cycles per second of thread CPU time: the fastest of a few runs of a chain of dependent
// additions (the build forbids reassociating them, so each waits for the last).
double coreCyclesPerCpuSecond()
{
    static const double hz = [] {
        const char* const text = std::getenv("TICKTRACE_BENCH_ADD_CYCLES");
        const double addLatencyCycles = text != nullptr ? std::atof(text) : 3.0;
        constexpr std::int64_t additions = 100'000'000;
        double best = 0.0;
        for (int run = 0; run < 3; ++run) {
            double sum = 1.0;
            double increment = 1e-12;
            benchmark::DoNotOptimize(increment);
            const double start = threadCpuSeconds();
            for (std::int64_t i = 0; i < additions; ++i) {
                sum = sum + increment;
            }
            benchmark::DoNotOptimize(sum);
            best = std::max(
                best, double(additions) * addLatencyCycles / (threadCpuSeconds() - start));
        }
        return best;
    }();
    return hz;
}

// Times the iterations of a benchmark over `frames` frames each and reports the counters
// described at the top.
class FrameClock {
public:
    explicit FrameClock(std::int64_t frames)
        : frames_(frames)
    {
    }

    void start()
    {
        cpuStart_ = threadCpuSeconds();
        ticksStart_ = timeStampTicks();
    }
    void stop()
    {
        ticks_ += double(timeStampTicks() - ticksStart_);
        cpuSeconds_ += threadCpuSeconds() - cpuStart_;
    }

    void report(benchmark::State& state) const
    {
        const double frames = double(frames_) * double(state.iterations());
        state.SetItemsProcessed(state.iterations() * frames_);
        state.counters["cycles_per_frame"] = cpuSeconds_ * coreCyclesPerCpuSecond() / frames;
        state.counters["core_GHz"] = coreCyclesPerCpuSecond() * 1e-9;
        if (ticks_ > 0.0) {
            state.counters["tsc_per_frame"] = ticks_ / frames;
        }
    }

private:
    std::int64_t frames_;
    double cpuStart_ = 0.0;
    std::uint64_t ticksStart_ = 0;
    double cpuSeconds_ = 0.0;
    double ticks_ = 0.0;
};

// The plainest loop of the rule, written here rather than calling the project's own update, so
// that a slow update cannot hide in its own baseline: read the two samples, form the target,
// step up or down with the leak, clamp. Nothing is stored but the level.
void BM_ConversionBareUpdateLoop(benchmark::State& state)
{
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    const double leak = 100.0 / (9000.0 - 3000.0), step = 1000.0, gain = 1.0, maxAmp = 32768.0;
    FrameClock clock(tt::bench::musicFrameCount);
    for (auto _ : state) {
        clock.start();
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
        clock.stop();
    }
    clock.report(state);
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
    FrameClock clock(tt::bench::musicFrameCount);
    for (auto _ : state) {
        clock.start();
        const tt::ConversionResult result
            = tt::convertWholeFile(header, data, settings, sampleArea);
        benchmark::DoNotOptimize(result.errorSum);
        benchmark::ClobberMemory();
        clock.stop();
    }
    clock.report(state);
}
BENCHMARK_CAPTURE(BM_ConversionPlayMode, , tt::ModulatorKind::Greedy)
    ->Name("BM_ConversionPlayMode")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ConversionPlayMode, , tt::ModulatorKind::LookAhead)
    ->Name("BM_ConversionPlayModeLookAhead")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The pass ticktrace-convert --export runs, at the default settings: the streaming conversion
// fed in the pieces the command line reads (a hundredth of the sound, at most 1 MiB), compiled
// where the program compiles it (convertPacked) with the word packer as its bit sink, and the
// one-bit samples written to an output piece. With measures (the third argument) it also measures
// both SNRs, as --info does.
void BM_ConversionPass(benchmark::State& state, tt::ModulatorKind modulator, bool measures)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    tt::ModulatorSettings settings;
    settings.modulator = modulator;
    const std::size_t frameBytes = 4;
    const std::size_t pieceBytes = std::min<std::size_t>(
        std::size_t(1) << 20, (data.size() / frameBytes + 99) / 100 * frameBytes);
    std::vector<std::uint8_t> out(pieceBytes + 128 * frameBytes);
    std::vector<std::uint16_t> words(out.size() / frameBytes / 16 + 2);
    const std::span<const std::uint8_t> in(data);
    FrameClock clock(tt::bench::musicFrameCount);
    for (auto _ : state) {
        clock.start();
        tt::StreamingConversion pass(header, settings, tt::bench::musicFrameCount, measures);
        tt::WordPacker packer;
        for (std::size_t at = 0; at < in.size(); at += pieceBytes) {
            packer.startWords(words.data());
            const std::size_t written = tt::convertPacked(
                pass, in.subspan(at, std::min(pieceBytes, in.size() - at)), out, packer);
            benchmark::DoNotOptimize(out.data() + written);
            benchmark::DoNotOptimize(packer.next());
        }
        packer.startWords(words.data());
        tt::finishPacked(pass, out, packer);
        benchmark::DoNotOptimize(packer.next());
        benchmark::DoNotOptimize(pass.result().errorSum);
        clock.stop();
    }
    clock.report(state);
}
BENCHMARK_CAPTURE(BM_ConversionPass, , tt::ModulatorKind::Greedy, false)
    ->Name("BM_ConversionPass")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ConversionPass, , tt::ModulatorKind::Greedy, true)
    ->Name("BM_ConversionPassMeasured")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ConversionPass, , tt::ModulatorKind::LookAhead, false)
    ->Name("BM_ConversionPassLookAhead")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
