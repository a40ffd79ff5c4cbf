#include "export/OneBitSoundFile.h"

#include "export/AtomicFileOutput.h"
#include "modulator/NullBitSink.h"
#include "modulator/WholeFileConversion.h"
#include "wave/WaveImage.h"

#include <memory>
#include <vector>

namespace tt {

ExportStatus saveOneBitSound(const std::string& path, const WaveHeader& header,
    std::span<const std::uint8_t> data, const ModulatorSettings& settings, ConversionResult& result)
{
    const std::unique_ptr<AtomicFileOutput> out = AtomicFileOutput::create(path);
    if (!out) {
        return ExportStatus::CannotCreate;
    }
    bool written = writeBytes(*out, WaveImage::headerFor(header, data.size()));
    NullBitSink sink;
    result
        = convertInPieces(header, data, settings, sink, [&](std::span<const std::uint8_t> samples) {
              written = written && writeBytes(*out, samples);
              return written;
          });
    const std::uint64_t countedBytes
        = std::uint64_t(result.frameCount) * std::uint64_t(header.bytesPerFrame());
    const std::vector<std::uint8_t> tail(
        std::size_t(data.size() - std::min<std::uint64_t>(countedBytes, data.size())),
        WaveImage::silenceByte(header));
    if (!written || !writeBytes(*out, tail) || !out->commit()) {
        return ExportStatus::CannotWrite;
    }
    return ExportStatus::Written;
}

} // namespace tt
