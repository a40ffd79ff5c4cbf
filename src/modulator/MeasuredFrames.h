#pragma once

#include "modulator/ModulatorSettings.h"
#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"
#include "wave/FrameReader.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

// Calls take(target, played) for every frame a pass walks: the target from the data block with
// the settings' gain, the played level from the sample area that a conversion with those
// settings filled (whatever modulator chose its bits). What a quality measure of a converted
// sound runs over.
template <class Take>
void forEachMeasuredFrame(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<const std::uint8_t> sampleArea, Take&& take)
{
    const std::int64_t frames = conversionFrameCount(header, data.size(), sampleArea.size());
    const PinModel model(settings, header);
    const std::size_t strideBytes = std::size_t(header.bytesPerFrame());
    const bool eightBit = header.bitsPerSample == 8;
    for (std::int64_t f = 0; f < frames; ++f) {
        const std::size_t at = std::size_t(f) * strideBytes;
        const double target = model.targetOf(readChannels(data.data() + at, header));
        // The image stores levels as they are, without the negation the input gets on reading.
        const std::uint8_t* sample = sampleArea.data() + at;
        const double played
            = eightBit ? double(readSample8(sample)) : double(-readSample16(sample));
        take(target, played);
    }
}

} // namespace tt
