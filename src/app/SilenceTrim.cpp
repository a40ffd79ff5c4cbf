#include "app/SilenceTrim.h"

#include "wave/FrameReader.h"
#include "wave/SampleFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace tt {

bool findLoudPart(SampleStream& input, FrameRange within, FrameRange& loud)
{
    const WaveHeader& header = input.header();
    const std::int64_t frames = framesHeld(header, input.sizeBytes());
    const FrameRange range = within.empty() ? FrameRange { 0, frames } : within.within(frames);
    const double fullScale
        = withSampleFormat(header.bitsPerSample, [](auto samples) { return samples.fullScale; });
    const double threshold = fullScale * std::pow(10.0, silenceThresholdDbfs / 20.0);
    const auto isLoud = [threshold](ChannelPair pair) {
        return double(std::max(std::abs(pair.first), std::abs(pair.second))) > threshold;
    };

    const auto frameBytes = std::size_t(header.bytesPerFrame());
    const std::size_t pieceFrames = input.pieceBytes() / std::max<std::size_t>(frameBytes, 1);
    std::vector<std::uint8_t> piece;
    loud = {};
    for (std::int64_t at = range.first; at < range.end;) {
        const auto taken
            = std::int64_t(std::min<std::uint64_t>(pieceFrames, std::uint64_t(range.end - at)));
        piece.resize(std::size_t(taken) * frameBytes);
        if (!input.readAt(std::uint64_t(at) * frameBytes, piece)) {
            return false;
        }
        for (std::int64_t i = 0; i < taken; ++i) {
            if (isLoud(readChannels(piece.data() + std::size_t(i) * frameBytes, header))) {
                if (loud.empty()) {
                    loud.first = at + i;
                }
                loud.end = at + i + 1;
            }
        }
        at += taken;
    }
    return true;
}

} // namespace tt
