#include "search/SnrOfStretches.h"

#include "modulator/AudibleSnr.h"
#include "modulator/ModulationRun.h"
#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"

#include <algorithm>
#include <cmath>

namespace tt {
namespace {

    constexpr double settleLeakCount = 8.0; // e^-8: a start from rest is forgotten
    constexpr std::int64_t shortestPreRollFrames = 64;
    constexpr std::int64_t longestPreRollFrames = 4096;
    // Frames between looks at the meter: a whole-file run is cancelled within a millisecond.
    constexpr std::int64_t meterBlockFrames = std::int64_t(1) << 16;

    // Frames of the data block the settings' pass walks: a modulator with a delay reads up to
    // it past a stretch, but never beyond these.
    std::int64_t walkedFrames(const WaveHeader& header, std::span<const std::uint8_t> data)
    {
        return conversionFrameCount(header, data.size(), data.size());
    }

    // The settings' modulator from rest through the pre-roll and over the stretch, adding the
    // stretch's targets and played levels to `snr`. It reads up to the modulator's delay past
    // the stretch, so that every frame of the stretch gets the drive the whole-file pass gives
    // it once the pre-roll reaches back to frame 0. False once the meter is cancelled.
    bool runStretch(const ModulatorSettings& settings, const WaveHeader& header,
        std::span<const std::uint8_t> data, const Stretch& stretch, AudibleSnr& snr,
        SearchMeter& meter)
    {
        PinModel model(settings, header);
        AnyModulator modulator = modulatorFor(settings.modulator, model);
        const std::int64_t preRoll = std::min(stretch.firstFrame, preRollFrames(settings, header));
        const std::int64_t modelStart = stretch.firstFrame - preRoll;
        const std::int64_t fileFrames = walkedFrames(header, data);
        return withModulation<false>(header, modulator, [&](const auto& layout, auto& chosen) {
            // Copies that nothing else can reach, as in the conversion pass: the pin's level
            // stays in registers across the measure's calls.
            PinModel pin = model;
            auto running = chosen;
            const std::int64_t readEnd
                = std::min(fileFrames, stretch.endFrame + std::int64_t(running.delayFrames()));
            const auto play = [&](const ModulatedFrame& frame) {
                const std::int64_t at = modelStart + frame.index - 1;
                if (at >= stretch.firstFrame && at < stretch.endFrame) {
                    snr.add(frame.target, frame.played);
                }
            };
            for (std::int64_t at = modelStart; at < readEnd;) {
                const std::int64_t blockFrames = std::min(readEnd - at, meterBlockFrames);
                runModulation(layout, data.data() + at * layout.strideBytes(), blockFrames, false,
                    pin, running, play);
                at += blockFrames;
                if (!meter.advance(blockFrames)) {
                    return false;
                }
            }
            // At the end of the file the cheapest candidate decides the frames still open.
            if (readEnd == fileFrames) {
                runModulation(layout, nullptr, 0, true, pin, running, play);
            }
            return true;
        });
    }

} // namespace

std::int64_t preRollFrames(const ModulatorSettings& settings, const WaveHeader& header)
{
    const double leakFactor = PinModel(settings, header).leakFactor;
    const double frames = std::ceil(settleLeakCount / leakFactor);
    if (frames >= double(longestPreRollFrames)) {
        return longestPreRollFrames;
    }
    return std::max(shortestPreRollFrames, std::int64_t(frames));
}

double audibleSnrOfStretches(const ModulatorSettings& settings, const WaveHeader& header,
    std::span<const std::uint8_t> data, std::span<const Stretch> stretches, SearchMeter& meter)
{
    AudibleSnr snr(header.sampleRateHz, PinModel(settings, header).maxAmp);
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        if (i > 0) {
            snr.endStretch();
        }
        if (!runStretch(settings, header, data, stretches[i], snr, meter)) {
            break;
        }
    }
    return snr.meanDb();
}

} // namespace tt
