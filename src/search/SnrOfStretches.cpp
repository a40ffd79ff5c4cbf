#include "search/SnrOfStretches.h"

#include "modulator/AudibleSnr.h"
#include "modulator/LookAheadPlayer.h"
#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"
#include "wave/FrameReader.h"
#include "wave/LevelRounding.h"

#include <algorithm>
#include <cmath>

namespace tt {
namespace {

    constexpr double settleLeakCount = 8.0; // e^-8: a start from rest is forgotten
    constexpr std::int64_t shortestPreRollFrames = 64;
    constexpr std::int64_t longestPreRollFrames = 4096;
    // Frames between looks at the meter: a whole-file run is cancelled within a millisecond.
    constexpr std::int64_t meterBlockFrames = std::int64_t(1) << 16;

    // A model level as the one-bit image plays it.
    double imageLevel(double level, bool eightBit)
    {
        const std::int32_t rounded = roundLevel(level);
        return eightBit ? detail::playedLevel<1>(rounded) : detail::playedLevel<2>(rounded);
    }

    // Frames of the data block the settings' pass walks: the look-ahead reads up to its delay
    // past a stretch, but never beyond these.
    std::int64_t walkedFrames(const WaveHeader& header, std::span<const std::uint8_t> data)
    {
        return conversionFrameCount(header, data.size(), data.size());
    }

    // The greedy pin model from rest through the pre-roll and over the stretch, adding the
    // stretch's targets and played levels to `snr`. False once the meter is cancelled.
    bool runGreedyStretch(const ModulatorSettings& settings, const WaveHeader& header,
        std::span<const std::uint8_t> data, const Stretch& stretch, AudibleSnr& snr,
        SearchMeter& meter)
    {
        PinModel model(settings, header);
        const std::int64_t preRoll = std::min(stretch.firstFrame, preRollFrames(settings, header));
        const std::int64_t strideBytes = header.bytesPerFrame();
        const bool eightBit = header.bitsPerSample == 8;
        const std::uint8_t* frame = data.data() + (stretch.firstFrame - preRoll) * strideBytes;
        for (std::int64_t i = 0; i < preRoll; ++i, frame += strideBytes) {
            model.step(model.targetOf(readChannels(frame, header)));
        }
        if (!meter.advance(preRoll)) {
            return false;
        }
        for (std::int64_t at = stretch.firstFrame; at < stretch.endFrame;) {
            const std::int64_t blockEnd = std::min(stretch.endFrame, at + meterBlockFrames);
            const std::int64_t blockFrames = blockEnd - at;
            for (; at < blockEnd; ++at, frame += strideBytes) {
                const double target = model.targetOf(readChannels(frame, header));
                model.step(target);
                snr.add(target, imageLevel(model.modelLevel, eightBit));
            }
            if (!meter.advance(blockFrames)) {
                return false;
            }
        }
        return true;
    }

    // The same with the look-ahead choosing the drives. It reads up to its delay past the
    // stretch, so that every frame of the stretch gets the drive the whole-file pass gives it
    // once the pre-roll reaches back to frame 0; the played level follows the committed drives.
    bool runLookAheadStretch(const ModulatorSettings& settings, const WaveHeader& header,
        std::span<const std::uint8_t> data, const Stretch& stretch, AudibleSnr& snr,
        SearchMeter& meter)
    {
        PinModel model(settings, header);
        LookAheadPlayer search(model);
        const std::int64_t preRoll = std::min(stretch.firstFrame, preRollFrames(settings, header));
        const std::int64_t modelStart = stretch.firstFrame - preRoll;
        const std::int64_t fileFrames = walkedFrames(header, data);
        const std::int64_t readEnd
            = std::min(fileFrames, stretch.endFrame + std::int64_t(search.delayFrames()));
        const std::int64_t strideBytes = header.bytesPerFrame();
        const bool eightBit = header.bitsPerSample == 8;
        const auto play = [&](double target, bool down) {
            model.step(target, down);
            const std::int64_t frame = modelStart + search.decidedFrames() - 1;
            if (frame >= stretch.firstFrame && frame < stretch.endFrame) {
                snr.add(target, imageLevel(model.modelLevel, eightBit));
            }
        };
        for (std::int64_t at = modelStart; at < readEnd;) {
            const std::int64_t blockEnd = std::min(readEnd, at + meterBlockFrames);
            const std::int64_t blockFrames = blockEnd - at;
            for (; at < blockEnd; ++at) {
                search.take(
                    model.targetOf(readChannels(data.data() + at * strideBytes, header)), play);
            }
            if (!meter.advance(blockFrames)) {
                return false;
            }
        }
        // At the end of the file the cheapest candidate decides the frames still open.
        if (readEnd == fileFrames) {
            search.flush(play);
        }
        return true;
    }

    // The one place where a candidate's bits are chosen: by the settings' modulator.
    bool runStretch(const ModulatorSettings& settings, const WaveHeader& header,
        std::span<const std::uint8_t> data, const Stretch& stretch, AudibleSnr& snr,
        SearchMeter& meter)
    {
        if (settings.modulator == ModulatorKind::LookAhead) {
            return runLookAheadStretch(settings, header, data, stretch, snr, meter);
        }
        return runGreedyStretch(settings, header, data, stretch, snr, meter);
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
