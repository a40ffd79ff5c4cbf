#pragma once
// The whole-file conversion pass: runs the pin model over every counted frame of the data block
// and writes the modelled level of each frame into the sample area of the one-bit image. Play
// mode discards the output bits; export mode hands them to a bit sink. The settings' modulator
// chooses the drives: greedily frame by frame, or by the look-ahead search, whose committed
// drives then move the pin exactly as a player replaying the bits would.
//
// The caller owns both buffers. The sample area is the image's bytes behind its 44-byte header and
// has the layout of the data block (same channels and bit depth). This is the streaming pass
// (StreamingConversion) over the data block as one piece.

#include "modulator/BitSink.h"
#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "modulator/NullBitSink.h"
#include "modulator/StreamingConversion.h"
#include "wave/FrameCount.h"
#include "wave/SampleFormat.h"
#include "wave/WaveHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tt {

// Frames a pass over these buffers walks: the frame count of the data block, bounded by what the
// sample area holds (both are the same for an image built from the loaded file). 0 for a header
// the model cannot read: bit depths other than 8 and 16, or no channels.
inline std::int64_t conversionFrameCount(
    const WaveHeader& header, std::size_t dataSizeBytes, std::size_t sampleAreaSizeBytes)
{
    if (!knownSampleBits(header.bitsPerSample) || header.channelCount < 1) {
        return 0;
    }
    return frameCount(header, std::min(dataSizeBytes, sampleAreaSizeBytes));
}

// Export mode: as play mode, and every frame's output bit goes to `sink` with its 1-based index.
// A pass over no frames (see conversionFrameCount) leaves the sample area and the sink alone.
template <BitSink Sink>
ConversionResult convertWholeFile(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea, Sink& sink)
{
    StreamingConversion pass(
        header, settings, conversionFrameCount(header, data.size(), sampleArea.size()));
    const std::size_t writtenBytes = pass.convert(data, sampleArea, sink);
    pass.finish(sampleArea.subspan(writtenBytes), sink);
    return pass.result();
}

// Play mode.
ConversionResult convertWholeFile(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea);

} // namespace tt
