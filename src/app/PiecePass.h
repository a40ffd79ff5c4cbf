#pragma once
// The one conversion pass over a sound read in pieces, shared by every output: the bits go to a
// bit sink (an export format's writer, or none), the modelled samples to the one-bit WAV file
// when one is wanted. Each export format runs it with its own writer as the sink (ExportFormat),
// so the pass calls the writer directly, frame by frame, without a virtual call.

#include "export/ExportProgress.h"
#include "export/TextSink.h"
#include "modulator/BitSink.h"
#include "modulator/StreamingConversion.h"
#include "wave/SampleStream.h"
#include "wave/WaveImage.h"

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tt {

// Where the pass stopped, when it did not get through.
enum class PassFailure { None, Input, Wav, Text };

class PiecePass {
public:
    // `wav` (may be null) receives the one-bit WAV file: the image's header, the samples as the
    // pass decides them, then the silence the image holds behind the counted frames. `progress`
    // (may be empty) hears the percentage of frames decided after every piece.
    PiecePass(SampleStream& input, StreamingConversion& pass, TextSink* wav,
        const ProgressCallback& progress)
        : input_(input)
        , pass_(pass)
        , wav_(wav)
        , progress_(progress)
    {
    }

    std::int64_t frameCount() const { return pass_.frameCount(); }

    // Runs the whole pass once. Stops at the first piece that cannot be read or written; a sink
    // that writes text tells its failure by failed().
    template <BitSink Sink> PassFailure run(Sink& sink);

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

private:
    void report() const
    {
        if (progress_) {
            progress_(progressPercent(pass_.decidedFrameCount(), pass_.frameCount()));
        }
    }

    SampleStream& input_;
    StreamingConversion& pass_;
    TextSink* wav_;
    const ProgressCallback& progress_;
};

template <BitSink Sink> PassFailure PiecePass::run(Sink& sink)
{
    if (wav_ && !writeBytes(*wav_, WaveImage::headerFor(input_.header(), input_.sizeBytes()))) {
        return PassFailure::Wav;
    }
    std::vector<std::uint8_t> piece(pieceBytesOf(input_));
    std::vector<std::uint8_t> out;
    for (std::uint64_t offset = 0; offset < input_.sizeBytes();) {
        const std::span<std::uint8_t> in(piece.data(),
            std::size_t(std::min<std::uint64_t>(piece.size(), input_.sizeBytes() - offset)));
        if (!input_.readAt(offset, in)) {
            return PassFailure::Input;
        }
        offset += in.size();
        out.resize(std::max(out.size(), pass_.outputBytesFor(in.size())));
        const std::size_t decidedBytes = pass_.convert(in, out, sink);
        if (wav_ && !writeBytes(*wav_, { out.data(), decidedBytes })) {
            return PassFailure::Wav;
        }
        if constexpr (requires { sink.failed(); }) {
            if (sink.failed()) {
                return PassFailure::Text;
            }
        }
        report();
    }
    out.resize(std::max(out.size(), pass_.finishOutputBytes()));
    const std::size_t lastBytes = pass_.finish(out, sink);
    if (wav_) {
        const std::uint64_t countedBytes
            = std::uint64_t(pass_.frameCount()) * std::uint64_t(input_.header().bytesPerFrame());
        const std::vector<std::uint8_t> tail(std::size_t(input_.sizeBytes() - countedBytes),
            WaveImage::silenceByte(input_.header()));
        if (!writeBytes(*wav_, { out.data(), lastBytes }) || !writeBytes(*wav_, tail)) {
            return PassFailure::Wav;
        }
    }
    report();
    return PassFailure::None;
}

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
    for (PiecePass& pass : passes) {
        if (const PassFailure failure = pass.run(writer); failure != PassFailure::None) {
            return failure;
        }
    }
    return writer.finish() ? PassFailure::None : PassFailure::Text;
}

} // namespace tt
