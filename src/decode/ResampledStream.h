#pragma once

#include "decode/ProducedSampleStream.h"
#include "decode/Resampler.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tt {

// A sound at another rate, resampled piece by piece as it is read: 16-bit PCM with the source's
// channels, whatever the source's bits (an 8-bit source gains the resampler's finer levels).
// Its length is the source's whole frames at the new rate (resampledFrameCount): the
// resampler's delay is taken out, its tail is cut there, and any frames it falls short by are
// silence.
class ResampledStream final : public ProducedSampleStream {
public:
    // The frame count at the new rate: frameCount x to / from, to the nearest frame (halves up).
    static std::int64_t resampledFrameCount(
        std::int64_t frameCount, std::uint32_t fromRateHz, std::uint32_t toRateHz);

    // At most this many channels are resampled, and fewer the more the rate is raised: the
    // resampler's memory grows with channels x (new rate / old rate), and beyond these it
    // takes gigabytes (or fails inside without a word).
    static constexpr int maxChannels = 256;
    static constexpr std::uint64_t maxChannelsTimesRaise = 1u << 21;

    // Why a sound of this format and this many frames cannot be resampled to rateHz, as a
    // sentence for the user; empty when it can. Decided before anything is allocated.
    static std::string refusal(
        const WaveHeader& from, std::uint64_t frameCount, std::uint32_t rateHz);

    // Takes an 8- or 16-bit source. False when refusal() gives a reason or the resampler
    // refuses the rates; `reason` then tells why.
    bool open(std::unique_ptr<SampleStream> source, std::uint32_t rateHz, std::string& reason);

protected:
    std::optional<std::size_t> produce(std::span<std::uint8_t> out) override;
    bool restart() override;

private:
    // The next frames of the source into input_; false when they cannot be read.
    bool readSource();

    std::unique_ptr<SampleStream> source_;
    Resampler resampler_;
    std::uint64_t sourceSizeBytes_ = 0; // whole frames only
    std::uint64_t sourceReadBytes_ = 0;
    std::vector<std::uint8_t> sourceBytes_;
    std::vector<double> input_; // source frames as levels, from inputFrom_ on not yet taken
    std::size_t inputFrom_ = 0;
    std::size_t inputFrames_ = 0;
    std::vector<double> output_;
    std::size_t framesPerStep_ = 0;
    bool drained_ = false; // the source has ended and the resampler gave its last frame
};

} // namespace tt
