#pragma once
// The one conversion pass over a sound read in pieces, shared by every output: the bits go to a
// bit sink (an export format's writer, or none), the modelled samples to the one-bit WAV file
// when one is wanted, and the pass may be measured (PieceMeasure).
//
// The work around the pass runs beside it (runPieces): one thread reads the next pieces ahead
// into a few buffers, the calling thread runs the pass over them, and another thread measures
// the converted pieces, hands their bits to the sink and writes the samples. The pass itself is
// serial and the same as ever; its bits travel to the sink packed in words, which keeps the
// formatting of the text off the pass's thread. Memory stays bounded by those few pieces. A pass
// without outputs is best measured by itself (StreamingConversion with measuresSnr), in its own
// loop, where the measure's arithmetic overlaps the model's; with outputs a measure beside it
// (PieceMeasure) keeps the figures of every piece cheap to take.

#include "app/PieceMeasure.h"
#include "export/ExportProgress.h"
#include "export/TextSink.h"
#include "modulator/BitSink.h"
#include "modulator/ConversionResult.h"
#include "modulator/StreamingConversion.h"
#include "wave/SampleStream.h"

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tt {

// Where the pass stopped, when it did not get through.
enum class PassFailure { None, Input, Wav, Text };

class PiecePass {
public:
    // `wav` (may be null) receives the one-bit WAV file: the image's header, the samples as the
    // pass decides them, then the silence the image holds behind the counted frames. `progress`
    // (may be empty) hears the percentage of frames decided after every piece, on the thread
    // that runs the passes. `measure` (may be null) measures the pass; it must be a measure over
    // the pass's frames with the pass's settings.
    PiecePass(SampleStream& input, StreamingConversion& pass, TextSink* wav,
        const ProgressCallback& progress, PieceMeasure* measure = nullptr)
        : input_(input)
        , pass_(pass)
        , wav_(wav)
        , progress_(progress)
        , measure_(measure)
    {
    }

    std::int64_t frameCount() const { return pass_.frameCount(); }

    // The pass's frame count and its error sum over the frames decided, with the audible SNR
    // when it was measured. After a run that stopped at a failure: as far as the outputs got,
    // which is the piece that failed (a pass behind it: no error at all).
    ConversionResult result() const
    {
        ConversionResult r = pass_.result();
        if (stoppedErrorSum_) {
            r.errorSum = *stoppedErrorSum_;
        }
        if (measure_) {
            r.audibleSnrDb = measure_->resultAudibleSnrDb();
        }
        return r;
    }

    // The pieces: the stream's own size, but at most a hundredth of the sound (in whole frames)
    // so that a progress bar moves in steps of a percent or less.
    static std::size_t pieceBytesOf(const SampleStream& input)
    {
        const auto frameBytes
            = std::uint64_t(std::max<std::int64_t>(input.header().bytesPerFrame(), 1));
        const std::uint64_t hundredthFrames
            = std::max<std::uint64_t>((input.sizeBytes() / frameBytes + 99) / 100, 1);
        return std::size_t(std::min<std::uint64_t>(
            { input.pieceBytes(), hundredthFrames * frameBytes, input.sizeBytes() }));
    }

    // For runPieces.
    SampleStream& input() const { return input_; }
    StreamingConversion& conversion() const { return pass_; }
    TextSink* wav() const { return wav_; }
    PieceMeasure* measure() const { return measure_; }
    void report() const
    {
        if (progress_) {
            progress_(progressPercent(pass_.decidedFrameCount(), pass_.frameCount()));
        }
    }
    void stopAt(double errorSum) { stoppedErrorSum_ = errorSum; }

private:
    SampleStream& input_;
    StreamingConversion& pass_;
    TextSink* wav_;
    const ProgressCallback& progress_;
    PieceMeasure* measure_;
    std::optional<double> stoppedErrorSum_;
};

// The bits of the passes, handed on in frame order, a converted piece at a time: `words` hold 16
// frames each with the earliest in the most significant bit, then `tailBits` bits of `tail` the
// same way (only at a pass's end). firstIndex is the 1-based index in its pass of the first.
class PackedBitSink {
public:
    virtual ~PackedBitSink() = default;
    virtual void take(std::span<const std::uint16_t> words, std::uint32_t tail, int tailBits,
        std::int64_t firstIndex)
        = 0;
    // Whether text could not be written (checked after every piece but the last).
    virtual bool failed() const = 0;
};

// A bit sink fed from the packed bits as the pass would have fed it: bit by bit, or a word at a
// time to a sink that takes whole words (takeWord, the same as its 16 bits) while it holds no
// bit of an unfinished word.
template <BitSink Sink> class UnpackingBitSink final : public PackedBitSink {
public:
    explicit UnpackingBitSink(Sink& sink)
        : sink_(sink)
    {
    }

    void take(std::span<const std::uint16_t> words, std::uint32_t tail, int tailBits,
        std::int64_t firstIndex) override
    {
        std::int64_t index = firstIndex;
        if constexpr (requires { sink_.takeWord(std::uint16_t(), std::int64_t()); }) {
            if (heldBits_ == 0) {
                for (const std::uint16_t word : words) {
                    index += 16;
                    sink_.takeWord(word, index - 1);
                }
                words = {};
            }
        }
        for (const std::uint16_t word : words) {
            takeBits(word, 16, index);
        }
        takeBits(tail, tailBits, index);
    }

    bool failed() const override
    {
        if constexpr (requires { sink_.failed(); }) {
            return sink_.failed();
        } else {
            return false;
        }
    }

private:
    void takeBits(std::uint32_t bits, int count, std::int64_t& index)
    {
        for (int bit = count - 1; bit >= 0; --bit) {
            sink_.takeBit(((bits >> bit) & 1u) != 0, index++);
        }
        heldBits_ = (heldBits_ + count) % 16;
    }

    Sink& sink_;
    int heldBits_ = 0; // bits handed on since the last whole word, over all passes
};

// Runs the passes one after another, their bits to `bits` (may be null: not wanted). Stops at
// the first piece that cannot be read or written, with every output done up to that piece as a
// pass without threads would have left it, and the passes' results as far as that piece
// (PiecePass::result). An exception from reading, the pass or an output is thrown here once the
// threads have stopped.
PassFailure runPieces(std::span<PiecePass> passes, PackedBitSink* bits);

// What a user chooses of an export besides its format.
struct ExportOptions {
    // Written in front of every entry label, so that the exports of several sounds can go into
    // one program; checked by the format (PlayerSourceWriter::isLabelPrefix).
    std::string labelPrefix;
};

// An export format's writer: a bit sink made for a text sink, the frame count of its passes, a
// progress callback and a label prefix, which hands on the rest of its text at finish() (false
// when any of it could not be written). It may tell a failed write early by failed(), which ends
// the pass at the next piece.
template <class Writer>
concept ExportWriter = BitSink<Writer> && std::constructible_from<Writer, TextSink&, std::int64_t,
    ProgressCallback, std::string> && requires(Writer writer)
{
    {
        writer.finish()
        } -> std::same_as<bool>;
};

// The passes one after another with one writer of an export format as their sink: the text of a
// bank, or of one sound with a single pass.
template <ExportWriter Writer>
PassFailure runWithWriter(std::span<PiecePass> passes, TextSink& out, const ExportOptions& options)
{
    std::int64_t frames = 0;
    for (const PiecePass& pass : passes) {
        frames += pass.frameCount();
    }
    Writer writer(out, frames, {}, options.labelPrefix);
    UnpackingBitSink<Writer> unpacking(writer);
    if (const PassFailure failure = runPieces(passes, &unpacking); failure != PassFailure::None) {
        return failure;
    }
    return writer.finish() ? PassFailure::None : PassFailure::Text;
}

} // namespace tt
