#pragma once
// The whole-file conversion pass: runs the pin model over every counted frame of the data block
// and writes the modelled level of each frame into the sample area of the one-bit image. Play
// mode discards the output bits; export mode hands them to a bit sink. The settings' modulator
// chooses the drives: greedily frame by frame, or by the look-ahead search, whose committed
// drives then move the pin exactly as a player replaying the bits would.
//
// The caller owns both buffers; the pass allocates nothing. The sample area is the image's bytes
// behind its 44-byte header and has the layout of the data block (same channels and bit depth).

#include "modulator/BitSink.h"
#include "modulator/ConversionResult.h"
#include "modulator/LevelRounding.h"
#include "modulator/LookAheadModulator.h"
#include "modulator/ModulatorSettings.h"
#include "modulator/NullBitSink.h"
#include "modulator/PinModel.h"
#include "wave/FrameCount.h"
#include "wave/FrameReader.h"
#include "wave/WaveHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tt {

// Frames a pass over these buffers walks: the frame count of the data block, bounded by what the
// sample area holds (both are the same for an image built from the loaded file). 0 for a header
// the model cannot read: bit depths other than 8 and 16, or no channels.
inline std::int64_t conversionFrameCount(
    const WaveHeader& header, std::size_t dataSizeBytes, std::size_t sampleAreaSizeBytes)
{
    if ((header.bitsPerSample != 8 && header.bitsPerSample != 16) || header.channelCount < 1) {
        return 0;
    }
    return frameCount(header, std::min(dataSizeBytes, sampleAreaSizeBytes));
}

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

    // ChannelCount is 1 or 2 for the common layouts, 0 for any other count (read at run time).
    // The model lives in this function only: the sink and the sample stores then cannot reach
    // it, and its levels stay in registers across the per-frame sink call. `out` is restrict
    // because byte stores may otherwise alias anything, the sink's bit state included, which
    // would force that state through memory on every frame.
    template <int BytesPerSample, int ChannelCount, BitSink Sink>
    double convertFrames(const ModulatorSettings& settings, const WaveHeader& header,
        const std::uint8_t* in, std::uint8_t* __restrict out, std::int64_t frameCount, Sink& sink)
    {
        PinModel model(settings, header);
        const int channels = ChannelCount == 0 ? header.channelCount : ChannelCount;
        const std::ptrdiff_t strideBytes = std::ptrdiff_t(BytesPerSample) * channels;
        double errorSum = 0.0;
        for (std::int64_t i = 1; i <= frameCount; ++i) {
            const ChannelPair samples = readFrame<BytesPerSample, ChannelCount>(in, channels);
            errorSum = errorSum + model.step(model.targetOf(samples));
            sink.takeBit(model.outputBit(), i);
            writeFrame<BytesPerSample, ChannelCount>(out, roundLevel(model.modelLevel), channels);
            in += strideBytes;
            out += strideBytes;
        }
        return errorSum;
    }

    // The look-ahead pass: the search takes every frame's target and commits drives delayFrames
    // behind; each committed drive moves the pin, goes to the sink and is written to the image,
    // and its frame's target is read again for the error sum.
    template <int BytesPerSample, int ChannelCount, BitSink Sink>
    double convertFramesLookAhead(const ModulatorSettings& settings, const WaveHeader& header,
        const std::uint8_t* in, std::uint8_t* __restrict out, std::int64_t frameCount, Sink& sink)
    {
        PinModel model(settings, header);
        LookAheadModulator search(model);
        const int channels = ChannelCount == 0 ? header.channelCount : ChannelCount;
        const std::ptrdiff_t strideBytes = std::ptrdiff_t(BytesPerSample) * channels;
        const std::uint8_t* committedIn = in;
        std::int64_t committedFrames = 0;
        double errorSum = 0.0;
        const auto play = [&](bool down) {
            const ChannelPair samples
                = readFrame<BytesPerSample, ChannelCount>(committedIn, channels);
            errorSum = errorSum + model.step(model.targetOf(samples), down);
            sink.takeBit(model.outputBit(), ++committedFrames);
            writeFrame<BytesPerSample, ChannelCount>(out, roundLevel(model.modelLevel), channels);
            committedIn += strideBytes;
            out += strideBytes;
        };
        bool down = false;
        for (std::int64_t i = 1; i <= frameCount; ++i) {
            const ChannelPair samples = readFrame<BytesPerSample, ChannelCount>(in, channels);
            if (search.take(model.targetOf(samples), down)) {
                play(down);
            }
            in += strideBytes;
        }
        while (search.flush(down)) {
            play(down);
        }
        return errorSum;
    }

    template <int BytesPerSample, BitSink Sink>
    double convertFrames(const ModulatorSettings& settings, const WaveHeader& header,
        const std::uint8_t* in, std::uint8_t* out, std::int64_t frameCount, Sink& sink)
    {
        if (settings.modulator == ModulatorKind::LookAhead) {
            switch (header.channelCount) {
            case 1:
                return convertFramesLookAhead<BytesPerSample, 1>(
                    settings, header, in, out, frameCount, sink);
            case 2:
                return convertFramesLookAhead<BytesPerSample, 2>(
                    settings, header, in, out, frameCount, sink);
            default:
                return convertFramesLookAhead<BytesPerSample, 0>(
                    settings, header, in, out, frameCount, sink);
            }
        }
        switch (header.channelCount) {
        case 1:
            return convertFrames<BytesPerSample, 1>(settings, header, in, out, frameCount, sink);
        case 2:
            return convertFrames<BytesPerSample, 2>(settings, header, in, out, frameCount, sink);
        default:
            return convertFrames<BytesPerSample, 0>(settings, header, in, out, frameCount, sink);
        }
    }

} // namespace detail

// Export mode: as play mode, and every frame's output bit goes to `sink` with its 1-based index.
// A pass over no frames (see conversionFrameCount) leaves the sample area and the sink alone.
template <BitSink Sink>
ConversionResult convertWholeFile(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea, Sink& sink)
{
    ConversionResult result;
    result.frameCount = conversionFrameCount(header, data.size(), sampleArea.size());
    if (result.frameCount == 0) {
        return result;
    }
    if (header.bitsPerSample == 8) {
        result.errorSum = detail::convertFrames<1>(
            settings, header, data.data(), sampleArea.data(), result.frameCount, sink);
    } else {
        result.errorSum = detail::convertFrames<2>(
            settings, header, data.data(), sampleArea.data(), result.frameCount, sink);
    }
    return result;
}

// Play mode.
ConversionResult convertWholeFile(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea);

} // namespace tt
