// Export mode to a file against the play-mode pass (BM_ConversionPlayMode) over the same input:
// the difference is what collecting the bits, formatting the text, writing it and flushing it to
// the device cost. The bytes-per-second figure is the text throughput. Wall-clock time, since
// waiting for the device is part of the cost.

#include "MusicLikeSignal.h"
#include "export/PlayerSourceExport.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

void BM_ExportToFile(benchmark::State& state)
{
    const tt::WaveHeader header = tt::bench::musicHeader();
    const std::vector<std::uint8_t>& data = tt::bench::musicData();
    std::vector<std::uint8_t> sampleArea(data.size());
    const tt::ModulatorSettings settings;
    // TMPDIR chooses the file system the text is written to.
    const std::filesystem::path path
        = std::filesystem::temp_directory_path() / "ticktrace-export-bench.txt";
    int percentReports = 0;
    const tt::ProgressCallback progress = [&percentReports](int) { ++percentReports; };
    for (auto _ : state) {
        tt::ConversionResult result;
        const tt::ExportStatus status = tt::exportPlayerSource(
            path.string(), header, data, settings, sampleArea, result, progress);
        if (status != tt::ExportStatus::Written) {
            state.SkipWithError("the export failed");
            break;
        }
        benchmark::DoNotOptimize(result.errorSum);
    }
    std::error_code error;
    const auto textBytes = std::filesystem::file_size(path, error);
    std::filesystem::remove(path, error);
    state.SetItemsProcessed(state.iterations() * tt::bench::musicFrameCount);
    state.SetBytesProcessed(state.iterations() * std::int64_t(textBytes));
    state.counters["progress_reports"] = double(percentReports) / double(state.iterations());
}
BENCHMARK(BM_ExportToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
