#include "app/PlayConversion.h"

#include "modulator/NullBitSink.h"
#include "modulator/StreamingConversion.h"
#include "modulator/WholeFileConversion.h"
#include "wave/SampleStream.h"

#include <algorithm>
#include <vector>

namespace tt {

ConversionResult playFigures(
    const WaveHeader& header, std::span<const std::uint8_t> part, const ModulatorSettings& settings)
{
    const std::int64_t frames = conversionFrameCount(header, part.size(), part.size());
    StreamingConversion pass(header, settings, frames, true);
    ConversionResult result = pass.result();
    result.audibleSnrDb = pass.audibleSnrDb(); // 0 for a pass without frames, as it shows
    if (frames == 0) {
        return result;
    }
    const auto frameBytes = std::size_t(header.bytesPerFrame());
    const std::size_t inBytes = std::size_t(frames) * frameBytes;
    const std::size_t pieceBytes
        = std::max(SampleStream::pieceTargetBytes / frameBytes, std::size_t(1)) * frameBytes;
    // The samples the pass writes are not kept: one piece's room, used again for every piece.
    std::vector<std::uint8_t> samples(pieceBytes);
    NullBitSink sink;
    for (std::size_t at = 0; at < inBytes; at += pieceBytes) {
        pass.convert(part.subspan(at, std::min(pieceBytes, inBytes - at)), samples, sink);
    }
    samples.resize(std::max(samples.size(), pass.finishOutputBytes()));
    pass.finish(samples, sink);
    result = pass.result();
    result.audibleSnrDb = pass.audibleSnrDb();
    return result;
}

} // namespace tt
