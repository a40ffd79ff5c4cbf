#pragma once

#include "modulator/ModulatorSettings.h"
#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"
#include "wave/SampleFormat.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

// Calls take(target, played) for the first `frames` frames of both: the target from the data with
// the settings' gain, the played level from the samples that a conversion with those settings
// wrote (whatever modulator chose its bits). Any whole frames: those a pass decided in a piece.
template <class Take>
void forEachFrameOf(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<const std::uint8_t> sampleArea,
    std::int64_t frames, Take&& take)
{
    const PinModel model(settings, header);
    withFrameLayout(header, [&]<class Layout>(const Layout& layout) {
        const std::size_t strideBytes = std::size_t(layout.strideBytes());
        for (std::int64_t f = 0; f < frames; ++f) {
            const std::size_t at = std::size_t(f) * strideBytes;
            take(model.targetOf(layout.read(data.data() + at)),
                double(Layout::Samples::readPlayed(sampleArea.data() + at)));
        }
    });
}

// The same for every frame a pass walks: what a quality measure of a converted sound runs over.
template <class Take>
void forEachMeasuredFrame(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<const std::uint8_t> sampleArea, Take&& take)
{
    forEachFrameOf(header, data, settings, sampleArea,
        conversionFrameCount(header, data.size(), sampleArea.size()), take);
}

} // namespace tt
