#include "app/PlayConversion.h"

#include "modulator/NullBitSink.h"
#include "modulator/StreamingConversion.h"
#include "modulator/WholeFileConversion.h"

#include <algorithm>

namespace tt {

ConversionResult convertForPlay(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea)
{
    // One pass that measures on the way, not a pass and then a walk over the image it filled.
    StreamingConversion pass(
        header, settings, conversionFrameCount(header, data.size(), sampleArea.size()), true);
    NullBitSink sink;
    const std::size_t writtenBytes = pass.convert(data, sampleArea, sink);
    pass.finish(sampleArea.subspan(writtenBytes), sink);
    ConversionResult result = pass.result();
    result.audibleSnrDb = pass.audibleSnrDb();
    return result;
}

ConversionResult convertWhilePlaying(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea,
    const std::function<void(std::size_t finishedBytes)>& finished)
{
    const std::int64_t frames = conversionFrameCount(header, data.size(), sampleArea.size());
    const auto frameBytes = std::size_t(header.bytesPerFrame());
    const std::size_t inBytes = std::size_t(frames) * frameBytes;
    constexpr std::size_t laterPieceFrames = std::size_t(1) << 20;
    std::size_t pieceBytes
        = std::size_t(std::max<std::uint32_t>(header.sampleRateHz, 4096)) * frameBytes;

    StreamingConversion pass(header, settings, frames, true);
    NullBitSink sink;
    std::size_t inAt = 0;
    std::size_t outAt = 0;
    while (inAt < inBytes) {
        const std::size_t takenBytes = std::min(pieceBytes, inBytes - inAt);
        outAt += pass.convert(data.subspan(inAt, takenBytes), sampleArea.subspan(outAt), sink);
        inAt += takenBytes;
        finished(outAt);
        pieceBytes = laterPieceFrames * frameBytes;
    }
    pass.finish(sampleArea.subspan(outAt), sink);
    finished(sampleArea.size());
    return pass.result();
}

} // namespace tt
