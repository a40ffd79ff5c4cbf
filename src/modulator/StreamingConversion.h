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
#include "modulator/ModulationRun.h"
#include "modulator/ModulatorSettings.h"
#include "modulator/PinModel.h"
#include "modulator/SegmentalSnr.h"
#include "wave/LevelRounding.h"
#include "wave/SampleFormat.h"
#include "wave/WaveHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tt {

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
    // runWith with every call in it inlined (the sink's and the layout's included), for the
    // greedy modulator, whose frame loop is then the pin's chain and a few stores. Not for the
    // look-ahead: its search inlined into the pass runs slower than called once a frame.
    template <bool MeasuresSnr, class Layout, class Modulator, BitSink Sink>
    [[gnu::flatten]] std::uint8_t* runFlat(const Layout& layout, const Modulator& modulator,
        const std::uint8_t* in, std::int64_t frames, std::uint8_t* out, Sink& sink, bool flush)
    {
        return runWith<MeasuresSnr>(layout, modulator, in, frames, out, sink, flush);
    }
    template <bool MeasuresSnr, class Layout, class Modulator, BitSink Sink>
    std::uint8_t* runWith(const Layout& layout, const Modulator& modulator, const std::uint8_t* in,
        std::int64_t frames, std::uint8_t* __restrict out, Sink& sink, bool flush);

    WaveHeader header_;
    std::int64_t frameCount_ = 0;
    std::size_t frameBytes_ = 0;
    bool measuresSnr_ = false;

    // Absent in a pass without frames, whose header the model may not be able to read.
    std::optional<PinModel> model_;
    std::optional<AnyModulator> modulator_;
    SegmentalSnr snr_ { 1 };
    std::optional<AudibleSnr> audible_; // present with measuresSnr and frames

    std::int64_t takenFrames_ = 0;
    std::int64_t decidedFrames_ = 0;
    double errorSum_ = 0.0;

    // The start of a frame that the last piece split; filled up by the next one.
    std::vector<std::uint8_t> splitFrame_;
    std::size_t splitFrameBytes_ = 0;
};

// Stores the image sample of the model level `level` in every channel of the frame: the same
// bytes as layout.write(frame, roundLevel(level)). 16-bit stereo, the common layout, stays in the
// SSE2 registers where they are there: min(level, 32767) rounded half to even is the rounded
// level limited as Samples16::playedLevel limits it, and its low 16 bits are the sample, stored
// twice without a trip through the integer registers (fewer instructions in the pass's loop).
template <class Layout>
[[gnu::always_inline]] inline void writeImageSample(
    const Layout& layout, std::uint8_t* frame, double level)
{
#if defined(__SSE2__)
    if constexpr (std::is_same_v<Layout, FrameLayout<Samples16, 2>>) {
        const __m128d limited = _mm_min_sd(_mm_set_sd(level), _mm_set_sd(32767.0));
        const __m128i rounded = _mm_castpd_si128(_mm_add_sd(limited, _mm_set_sd(0x1.8p52)));
        _mm_storeu_si32(frame, _mm_shufflelo_epi16(rounded, 0));
        return;
    }
#endif
    layout.write(frame, roundLevel(level));
}

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
    return withModulation(header_, *modulator_, [&](const auto& layout, auto& modulator) {
        if constexpr (std::is_same_v<std::decay_t<decltype(modulator)>, GreedyModulator>) {
            return measuresSnr_ ? runFlat<true>(layout, modulator, in, frames, out, sink, flush)
                                : runFlat<false>(layout, modulator, in, frames, out, sink, flush);
        } else {
            return measuresSnr_ ? runWith<true>(layout, modulator, in, frames, out, sink, flush)
                                : runWith<false>(layout, modulator, in, frames, out, sink, flush);
        }
    });
}

// The model and the modulator are copied into this function for the run: the sink and the
// sample stores then cannot reach them, and the model's levels stay in registers across the
// per-frame sink call. `out` is restrict because byte stores may otherwise alias anything, the
// sink's bit state included, which would force that state through memory on every frame. Each
// decided frame's error is summed, its bit goes to the sink and its sample is written out.
template <bool MeasuresSnr, class Layout, class Modulator, BitSink Sink>
std::uint8_t* StreamingConversion::runWith(const Layout& layout, const Modulator& modulator,
    const std::uint8_t* in, std::int64_t frames, std::uint8_t* __restrict out, Sink& sink,
    bool flush)
{
    PinModel model = *model_;
    Modulator running = modulator;
    [[maybe_unused]] SegmentalSnr snr = snr_;
    // Through a pointer, not copied: it keeps every segment measured so far, and a pass that
    // does not measure never touches it. Its per-frame state is a local for the run, kept in
    // registers (the segmental measure's copy is too).
    [[maybe_unused]] AudibleSnr* const audible = MeasuresSnr ? &*audible_ : nullptr;
    [[maybe_unused]] AudibleSnr::Running audibleState;
    if constexpr (MeasuresSnr) {
        audibleState = audible->running();
    }
    const std::ptrdiff_t strideBytes = layout.strideBytes();
    double errorSum = errorSum_;
    runModulation(layout, in, frames, flush, model, running, [&](const ModulatedFrame& frame) {
        errorSum = errorSum + frame.error;
        sink.takeBit(frame.down, frame.index);
        writeImageSample(layout, out, model.modelLevel);
        if constexpr (MeasuresSnr) {
            snr.add(frame.target, frame.played);
            audible->add(audibleState, frame.target, frame.played);
        }
        out += strideBytes;
    });
    model_.emplace(model);
    modulator_.emplace(std::in_place_type<Modulator>, running);
    if constexpr (MeasuresSnr) {
        snr_ = snr;
        audible->resume(audibleState);
    }
    errorSum_ = errorSum;
    takenFrames_ += frames;
    decidedFrames_ = running.decidedFrames();
    return out;
}

} // namespace tt
