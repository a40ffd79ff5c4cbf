// Loading a 10 M-frame 16-bit stereo file (40 MB) against reading its bytes alone. The file is
// written once and then sits in the page cache, so both measure memory work, not the disk.

#include "wave/SampleBytes.h"
#include "wave/WaveDocument.h"
#include "wave/WaveLoader.h"
#ifdef TICKTRACE_BENCH_GUI
#include "image/Image.h"
#include "wave/overview/OverviewStrip.h"
#endif

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t loadBenchFrames = 10'000'000;
constexpr std::uint32_t loadBenchBytesPerFrame = 4;

void putU32(std::ofstream& out, std::uint32_t v)
{
    const char b[4] = { char(v), char(v >> 8), char(v >> 16), char(v >> 24) };
    out.write(b, 4);
}

void putU16(std::ofstream& out, std::uint32_t v)
{
    const char b[2] = { char(v), char(v >> 8) };
    out.write(b, 2);
}

// A temporary WAV file that lives as long as the process: removed by its destructor, which runs
// at exit after every benchmark (a handler registered with atexit while the path is still being
// built would run after the path is destroyed, and remove nothing).
class TemporaryWaveFile {
public:
    TemporaryWaveFile()
        : path_((std::filesystem::temp_directory_path()
            / ("ticktrace-load-bench-" + std::to_string(::getpid()) + ".wav"))
                    .string())
    {
        // Written in 1 MB pieces so that making the file does not raise the peak memory measured
        // later.
        const std::uint32_t dataBytes = std::uint32_t(loadBenchFrames * loadBenchBytesPerFrame);
        std::ofstream out(path_, std::ios::binary);
        out.write("RIFF", 4);
        putU32(out, 36 + dataBytes);
        out.write("WAVEfmt ", 8);
        putU32(out, 16);
        putU16(out, 1);
        putU16(out, 2);
        putU32(out, 44100);
        putU32(out, 44100 * loadBenchBytesPerFrame);
        putU16(out, loadBenchBytesPerFrame);
        putU16(out, 16);
        out.write("data", 4);
        putU32(out, dataBytes);
        std::vector<char> piece(1 << 20);
        std::uint32_t state = 12345;
        for (std::uint32_t written = 0; written < dataBytes;
             written += std::uint32_t(piece.size())) {
            for (char& c : piece) {
                state = state * 1664525u + 1013904223u;
                c = char(state >> 24);
            }
            out.write(piece.data(),
                std::streamsize(std::min<std::size_t>(piece.size(), dataBytes - written)));
        }
    }
    ~TemporaryWaveFile() { std::remove(path_.c_str()); }
    TemporaryWaveFile(const TemporaryWaveFile&) = delete;
    TemporaryWaveFile& operator=(const TemporaryWaveFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const std::string& loadBenchFile()
{
    static const TemporaryWaveFile file;
    return file.path();
}

double residentMegabytes()
{
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double peakMegabytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The file's bytes alone, read into a plain vector (what any program would do) and into the
// loader's own block memory (the fair baseline for the loader's overhead).
template <class Buffer> void BM_LoadFileBytesOnly(benchmark::State& state)
{
    const std::string& path = loadBenchFile();
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        const auto sizeBytes = std::size_t(in.tellg());
        in.seekg(0);
        Buffer buffer(sizeBytes);
        in.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(sizeBytes));
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * loadBenchFrames * loadBenchBytesPerFrame);
}
BENCHMARK(BM_LoadFileBytesOnly<std::vector<std::uint8_t>>)
    ->Name("BM_LoadFileBytesOnly")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_LoadFileBytesOnly<tt::SampleBytes>)
    ->Name("BM_LoadFileBytesOnlyIntoSampleBytes")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// What "Open Wave" costs once the file is chosen: read and check, take over into the document,
// draw the overview strip (when the toolkit is built).
void BM_LoadWaveDocumentAndStrip(benchmark::State& state)
{
    const std::string& path = loadBenchFile();
    tt::WaveDocument document;
#ifdef TICKTRACE_BENCH_GUI
    tt::Image strip(600, 100);
#endif
    double residentAfterLoad = 0;
    for (auto _ : state) {
        tt::LoadedWave wave;
        if (tt::loadWaveFile(path, wave) != tt::LoadStatus::Loaded) {
            state.SkipWithError("the benchmark file did not load");
            return;
        }
        document.accept(std::move(wave));
#ifdef TICKTRACE_BENCH_GUI
        tt::drawOverviewStrip(strip, document.header, document.data.bytes(), document.frameCount());
        benchmark::DoNotOptimize(strip.pixels());
#endif
        state.PauseTiming();
        residentAfterLoad = residentMegabytes();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * loadBenchFrames * loadBenchBytesPerFrame);
    state.counters["rssAfterLoadMB"] = residentAfterLoad;
    state.counters["peakRssMB"] = peakMegabytes();
}
BENCHMARK(BM_LoadWaveDocumentAndStrip)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
