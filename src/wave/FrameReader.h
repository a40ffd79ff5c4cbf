#pragma once
// Reading the channels of one frame whose layout is known only at run time: the overview strip
// and the tests read frames here; the modulation run reads them through its FrameLayout.

#include "wave/SampleFormat.h"
#include "wave/WaveHeader.h"

#include <cstdint>

namespace tt {

inline ChannelPair readChannels(const std::uint8_t* frame, const WaveHeader& header)
{
    return withSampleFormat(header.bitsPerSample, [&]<class Samples>(Samples) {
        return FrameLayout<Samples, 0> { header.channelCount }.read(frame);
    });
}

} // namespace tt
