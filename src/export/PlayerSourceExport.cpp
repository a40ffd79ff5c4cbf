#include "export/PlayerSourceExport.h"

#include "export/AtomicFileOutput.h"
#include "export/PlayerSourceWriter.h"
#include "modulator/WholeFileConversion.h"

namespace tt {

ExportStatus exportPlayerSource(TextSink& out, const WaveHeader& header,
    std::span<const std::uint8_t> data, const ModulatorSettings& settings,
    std::span<std::uint8_t> sampleArea, ConversionResult& result, const ProgressCallback& progress)
{
    PlayerSourceWriter writer(
        out, conversionFrameCount(header, data.size(), sampleArea.size()), progress);
    result = convertWholeFile(header, data, settings, sampleArea, writer);
    const bool written = writer.finish();
    writer.resetProgress();
    return written ? ExportStatus::Written : ExportStatus::CannotWrite;
}

ExportStatus exportPlayerSource(const std::string& path, const WaveHeader& header,
    std::span<const std::uint8_t> data, const ModulatorSettings& settings,
    std::span<std::uint8_t> sampleArea, ConversionResult& result, const ProgressCallback& progress)
{
    const std::unique_ptr<AtomicFileOutput> out = AtomicFileOutput::create(path);
    if (!out) {
        return ExportStatus::CannotCreate;
    }
    const ExportStatus status
        = exportPlayerSource(*out, header, data, settings, sampleArea, result, progress);
    if (status != ExportStatus::Written || !out->commit()) {
        return ExportStatus::CannotWrite;
    }
    return ExportStatus::Written;
}

} // namespace tt
