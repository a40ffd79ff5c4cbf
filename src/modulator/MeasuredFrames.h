#pragma once

#include "modulator/ModulatorSettings.h"
#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"
#include "wave/SampleFormat.h"
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
    withFrameLayout(header, [&]<class Layout>(const Layout& layout) {
        const std::size_t strideBytes = std::size_t(layout.strideBytes());
        for (std::int64_t f = 0; f < frames; ++f) {
            const std::size_t at = std::size_t(f) * strideBytes;
            take(model.targetOf(layout.read(data.data() + at)),
                double(Layout::Samples::readPlayed(sampleArea.data() + at)));
        }
    });
}

} // namespace tt
