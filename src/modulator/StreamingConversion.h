#pragma once
// The conversion pass, fed piece by piece: runs the pin model over the counted frames of a data
// block that arrives in pieces of any size, and writes the modelled level of every frame it has
// decided into an output piece with the layout of the input (the samples of the one-bit image),
// handing each frame's output bit to a bit sink. The whole-file pass is this pass over one piece,
// so both give the same levels, bits and error sum.
//
// The settings' modulator chooses the drives: greedily frame by frame, or by the look-ahead
// search, which decides each frame only delayFrames later and the last ones at finish(). Between
// pieces the pass keeps the pin's state, the error sum, the frame counts, the search's candidates
// and the targets of the frames still undecided, and the bytes of a frame split across pieces.
// Bytes behind the counted frames (the data's uncounted tail) are taken and ignored.
//
// Optionally it measures the segmental and the audible SNR on the way, from each frame's target
// and the level its output sample plays, exactly as segmentalSnrDb and audibleSnrDb measure a
// finished image.

#include "modulator/AudibleSnr.h"
#include "modulator/BitSink.h"
#include "modulator/ConversionResult.h"
#include "modulator/LookAheadPlayer.h"
#include "modulator/ModulatorSettings.h"
#include "modulator/PinModel.h"
#include "modulator/SegmentalSnr.h"
#include "wave/FrameReader.h"
#include "wave/LevelRounding.h"
#include "wave/WaveHeader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace tt {

namespace detail {

    // Channels 1 and 2 of the frame at `frame`; channel 2 reads 0 in a mono file.
    template <int BytesPerSample, int ChannelCount>
    inline ChannelPair readFrame(const std::uint8_t* frame, int channelCount)
    {
        ChannelPair pair;
        if constexpr (BytesPerSample == 1) {
            pair.first = readSample8(frame);
            if (ChannelCount > 1 || (ChannelCount == 0 && channelCount > 1)) {
                pair.second = readSample8(frame + 1);
            }
        } else {
            pair.first = readSample16(frame);
            if (ChannelCount > 1 || (ChannelCount == 0 && channelCount > 1)) {
                pair.second = readSample16(frame + 2);
            }
        }
        return pair;
    }

    // The output sample of a level in the image's encoding. 8-bit WAV samples are unsigned
    // around 0x80, so the level is limited to -128..+127 and offset; 16-bit ones are limited to
    // +32767 (the model's top level is +32768) and stored as their low 16 bits.
    template <int BytesPerSample> inline auto encodeSample(std::int32_t level)
    {
        if constexpr (BytesPerSample == 1) {
            return std::uint8_t(std::clamp(level, -128, 127) + 128);
        } else {
            return std::uint16_t(std::min(level, 32767));
        }
    }

    // The level the output sample of `level` plays, as the image's reader decodes it.
    template <int BytesPerSample> inline double playedLevel(std::int32_t level)
    {
        if constexpr (BytesPerSample == 1) {
            return double(std::clamp(level, -128, 127));
        } else {
            return double(std::min(level, 32767));
        }
    }

    // Stores the sample in every channel of the frame, little-endian.
    template <int BytesPerSample, int ChannelCount>
    inline void writeFrame(std::uint8_t* out, std::int32_t level, int channelCount)
    {
        const auto sample = encodeSample<BytesPerSample>(level);
        if constexpr (BytesPerSample == 2 && ChannelCount == 2) {
            const std::uint32_t pair = std::uint32_t(sample) * 0x00010001u;
            const std::uint8_t bytes[4] = { std::uint8_t(pair), std::uint8_t(pair >> 8),
                std::uint8_t(pair >> 16), std::uint8_t(pair >> 24) };
            std::memcpy(out, bytes, 4);
        } else {
            const int channels = ChannelCount == 0 ? channelCount : ChannelCount;
            for (int c = 0; c < channels; ++c) {
                if constexpr (BytesPerSample == 1) {
                    out[c] = sample;
                } else {
                    out[2 * c] = std::uint8_t(sample);
                    out[2 * c + 1] = std::uint8_t(sample >> 8);
                }
            }
        }
    }

} // namespace detail

class StreamingConversion {
public:
    // A pass over frameCount frames of data in the header's format (see conversionFrameCount;
    // 0 makes a pass that takes no frame). With measuresSnr it also measures the segmental and
    // the audible SNR.
    StreamingConversion(const WaveHeader& header, const ModulatorSettings& settings,
        std::int64_t frameCount, bool measuresSnr = false);

    // The output room convert() needs for a piece of inBytes: the frames that piece completes.
    std::size_t outputBytesFor(std::size_t inBytes) const;
    // The output room finish() needs: the frames taken but not yet decided.
    std::size_t finishOutputBytes() const;

    // Takes the next piece of the data block and writes the samples of the frames it decides
    // into the start of `out`, in frame order after those of earlier calls; their bits go to the
    // sink with their 1-based frame indices. Returns the bytes written. Throws
    // std::length_error, taking nothing, when `out` is smaller than outputBytesFor(in.size()).
    template <BitSink Sink>
    std::size_t convert(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, Sink& sink);

    // After the last piece: decides the frames still open (the look-ahead's last delayFrames)
    // as convert() does. Returns the bytes written; throws as convert() does.
    template <BitSink Sink> std::size_t finish(std::span<std::uint8_t> out, Sink& sink);

    std::int64_t frameCount() const { return frameCount_; }
    std::int64_t decidedFrameCount() const { return decidedFrames_; }
    // The pass's frame count and the error summed over the frames decided so far.
    ConversionResult result() const
    {
        ConversionResult r { frameCount_, errorSum_, std::nullopt };
        if (audible_) {
            r.audibleSnrDb = audibleSnrDb();
        }
        return r;
    }
    // The segmental SNR over the frames decided so far (0 without measuresSnr).
    double segmentalSnrDb() const { return snr_.meanDb(); }
    // The audible SNR over the frames decided so far (0 without measuresSnr).
    double audibleSnrDb() const { return audible_ ? audible_->meanDb() : 0.0; }

private:
    // Runs `frames` whole frames from `in` (none with `flush`, which then decides the open
    // frames); returns the output position after the frames decided.
    template <BitSink Sink>
    std::uint8_t* run(
        const std::uint8_t* in, std::int64_t frames, std::uint8_t* out, Sink& sink, bool flush);
    template <int BytesPerSample, BitSink Sink>
    std::uint8_t* runWithChannels(
        const std::uint8_t* in, std::int64_t frames, std::uint8_t* out, Sink& sink, bool flush);
    template <int BytesPerSample, int ChannelCount, bool MeasuresSnr, BitSink Sink>
    std::uint8_t* runGreedy(
        const std::uint8_t* in, std::int64_t frames, std::uint8_t* __restrict out, Sink& sink);
    template <int BytesPerSample, int ChannelCount, bool MeasuresSnr, BitSink Sink>
    std::uint8_t* runLookAhead(const std::uint8_t* in, std::int64_t frames,
        std::uint8_t* __restrict out, Sink& sink, bool flush);

    WaveHeader header_;
    std::int64_t frameCount_ = 0;
    std::size_t frameBytes_ = 0;
    bool measuresSnr_ = false;

    // Absent in a pass without frames, whose header the model may not be able to read.
    std::optional<PinModel> model_;
    std::optional<LookAheadPlayer> search_;
    SegmentalSnr snr_ { 1 };
    std::optional<AudibleSnr> audible_; // present with measuresSnr and frames

    std::int64_t takenFrames_ = 0;
    std::int64_t decidedFrames_ = 0;
    double errorSum_ = 0.0;

    // The start of a frame that the last piece split; filled up by the next one.
    std::vector<std::uint8_t> splitFrame_;
    std::size_t splitFrameBytes_ = 0;
};

template <BitSink Sink>
std::size_t StreamingConversion::convert(
    std::span<const std::uint8_t> in, std::span<std::uint8_t> out, Sink& sink)
{
    if (out.size() < outputBytesFor(in.size())) {
        throw std::length_error("conversion output piece too small");
    }
    if (takenFrames_ >= frameCount_) {
        return 0;
    }
    const std::uint8_t* next = in.data();
    std::size_t leftBytes = in.size();
    std::uint8_t* const outStart = out.data();
    std::uint8_t* outEnd = outStart;
    if (splitFrameBytes_ > 0) {
        const std::size_t copiedBytes = std::min(leftBytes, frameBytes_ - splitFrameBytes_);
        std::memcpy(splitFrame_.data() + splitFrameBytes_, next, copiedBytes);
        splitFrameBytes_ += copiedBytes;
        next += copiedBytes;
        leftBytes -= copiedBytes;
        if (splitFrameBytes_ < frameBytes_) {
            return 0;
        }
        splitFrameBytes_ = 0;
        outEnd = run(splitFrame_.data(), 1, outEnd, sink, false);
    }
    const std::int64_t wholeFrames
        = std::min(std::int64_t(leftBytes / frameBytes_), frameCount_ - takenFrames_);
    if (wholeFrames > 0) {
        outEnd = run(next, wholeFrames, outEnd, sink, false);
        next += std::size_t(wholeFrames) * frameBytes_;
        leftBytes -= std::size_t(wholeFrames) * frameBytes_;
    }
    if (takenFrames_ < frameCount_ && leftBytes > 0) {
        splitFrame_.resize(frameBytes_);
        std::memcpy(splitFrame_.data(), next, leftBytes);
        splitFrameBytes_ = leftBytes;
    }
    return std::size_t(outEnd - outStart);
}

template <BitSink Sink>
std::size_t StreamingConversion::finish(std::span<std::uint8_t> out, Sink& sink)
{
    if (out.size() < finishOutputBytes()) {
        throw std::length_error("conversion output piece too small");
    }
    if (takenFrames_ == decidedFrames_) {
        return 0;
    }
    return std::size_t(run(nullptr, 0, out.data(), sink, true) - out.data());
}

template <BitSink Sink>
std::uint8_t* StreamingConversion::run(
    const std::uint8_t* in, std::int64_t frames, std::uint8_t* out, Sink& sink, bool flush)
{
    return header_.bitsPerSample == 8 ? runWithChannels<1>(in, frames, out, sink, flush)
                                      : runWithChannels<2>(in, frames, out, sink, flush);
}

// ChannelCount is 1 or 2 for the common layouts, 0 for any other count (read at run time).
template <int BytesPerSample, BitSink Sink>
std::uint8_t* StreamingConversion::runWithChannels(
    const std::uint8_t* in, std::int64_t frames, std::uint8_t* out, Sink& sink, bool flush)
{
    const auto with = [&]<int ChannelCount>() {
        if (search_) {
            return measuresSnr_
                ? runLookAhead<BytesPerSample, ChannelCount, true>(in, frames, out, sink, flush)
                : runLookAhead<BytesPerSample, ChannelCount, false>(in, frames, out, sink, flush);
        }
        return measuresSnr_ ? runGreedy<BytesPerSample, ChannelCount, true>(in, frames, out, sink)
                            : runGreedy<BytesPerSample, ChannelCount, false>(in, frames, out, sink);
    };
    switch (header_.channelCount) {
    case 1:
        return with.template operator()<1>();
    case 2:
        return with.template operator()<2>();
    default:
        return with.template operator()<0>();
    }
}

// The model is copied into this function for the run: the sink and the sample stores then
// cannot reach it, and its levels stay in registers across the per-frame sink call. `out` is
// restrict because byte stores may otherwise alias anything, the sink's bit state included,
// which would force that state through memory on every frame.
template <int BytesPerSample, int ChannelCount, bool MeasuresSnr, BitSink Sink>
std::uint8_t* StreamingConversion::runGreedy(
    const std::uint8_t* in, std::int64_t frames, std::uint8_t* __restrict out, Sink& sink)
{
    PinModel model = *model_;
    [[maybe_unused]] SegmentalSnr snr = snr_;
    // Through a pointer, not copied: it keeps every segment measured so far, and a pass that
    // does not measure never touches it.
    [[maybe_unused]] AudibleSnr* const audible = MeasuresSnr ? &*audible_ : nullptr;
    const int channels = ChannelCount == 0 ? header_.channelCount : ChannelCount;
    const std::ptrdiff_t strideBytes = std::ptrdiff_t(BytesPerSample) * channels;
    double errorSum = errorSum_;
    const std::int64_t last = takenFrames_ + frames;
    for (std::int64_t i = takenFrames_ + 1; i <= last; ++i) {
        const double target
            = model.targetOf(detail::readFrame<BytesPerSample, ChannelCount>(in, channels));
        errorSum = errorSum + model.step(target);
        sink.takeBit(model.outputBit(), i);
        const std::int32_t level = roundLevel(model.modelLevel);
        detail::writeFrame<BytesPerSample, ChannelCount>(out, level, channels);
        if constexpr (MeasuresSnr) {
            const double played = detail::playedLevel<BytesPerSample>(level);
            snr.add(target, played);
            audible->add(target, played);
        }
        in += strideBytes;
        out += strideBytes;
    }
    model_.emplace(model);
    if constexpr (MeasuresSnr) {
        snr_ = snr;
    }
    errorSum_ = errorSum;
    takenFrames_ = last;
    decidedFrames_ = last;
    return out;
}

// The search takes every frame's target and decides drives delayFrames behind; each decided
// drive moves the pin with its own frame's target, goes to the sink and is written out.
template <int BytesPerSample, int ChannelCount, bool MeasuresSnr, BitSink Sink>
std::uint8_t* StreamingConversion::runLookAhead(const std::uint8_t* in, std::int64_t frames,
    std::uint8_t* __restrict out, Sink& sink, bool flush)
{
    PinModel model = *model_;
    LookAheadPlayer search = *search_;
    [[maybe_unused]] SegmentalSnr snr = snr_;
    [[maybe_unused]] AudibleSnr* const audible = MeasuresSnr ? &*audible_ : nullptr;
    const int channels = ChannelCount == 0 ? header_.channelCount : ChannelCount;
    const std::ptrdiff_t strideBytes = std::ptrdiff_t(BytesPerSample) * channels;
    double errorSum = errorSum_;
    const auto play = [&](double target, bool down) {
        errorSum = errorSum + model.step(target, down);
        sink.takeBit(model.outputBit(), search.decidedFrames());
        const std::int32_t level = roundLevel(model.modelLevel);
        detail::writeFrame<BytesPerSample, ChannelCount>(out, level, channels);
        if constexpr (MeasuresSnr) {
            const double played = detail::playedLevel<BytesPerSample>(level);
            snr.add(target, played);
            audible->add(target, played);
        }
        out += strideBytes;
    };
    for (std::int64_t i = 0; i < frames; ++i, in += strideBytes) {
        search.take(
            model.targetOf(detail::readFrame<BytesPerSample, ChannelCount>(in, channels)), play);
    }
    if (flush) {
        search.flush(play);
    }
    model_.emplace(model);
    search_.emplace(search);
    if constexpr (MeasuresSnr) {
        snr_ = snr;
    }
    errorSum_ = errorSum;
    takenFrames_ += frames;
    decidedFrames_ = search.decidedFrames();
    return out;
}

} // namespace tt
