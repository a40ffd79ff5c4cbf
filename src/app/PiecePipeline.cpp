// runPieces: the passes over their sounds with the reading ahead and the outputs on threads of
// their own. Each piece, or a share of it, travels in a slot from a reader thread (which fills its
// input) to the calling thread (which converts it) to an output thread (which measures it and
// writes its bits and samples) and back; a few slots bound the memory and how far the reading
// runs ahead.

#include "app/BoundedQueue.h"
#include "app/PackedPass.h"
#include "app/PiecePass.h"
#include "wave/WaveImage.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <thread>
#include <utility>
#include <vector>

namespace tt {

namespace {

    // One being read, one converted, one written and one to spare, so that none of the three
    // waits for another while their speeds vary from piece to piece.
    constexpr std::size_t slotCount = 4;

    // The input a slot holds: a 256th of the sound, at least 64 KiB and at most the piece, in whole
    // frames. A small sound (a window's, in memory) keeps its few slots small beside its data; a
    // large one moves in whole pieces.
    std::size_t slotBytesOf(const SampleStream& input, std::size_t pieceBytes)
    {
        const auto frameBytes
            = std::uint64_t(std::max<std::int64_t>(input.header().bytesPerFrame(), 1));
        const std::uint64_t share = std::clamp<std::uint64_t>(
            input.sizeBytes() / 256, std::uint64_t(64) << 10, std::uint64_t(1) << 20);
        return std::size_t(std::max(
            frameBytes, std::min<std::uint64_t>(pieceBytes, share / frameBytes * frameBytes)));
    }

    struct Slot {
        enum class Kind { Piece, Finish }; // a piece of input, or the end of a pass

        Kind kind = Kind::Piece;
        std::size_t pass = 0;
        bool firstOfPass = false;
        bool startsPiece = false; // of the pieces the progress counts (PiecePass::pieceBytesOf)
        bool endsPiece = false;
        bool readFailed = false;
        std::exception_ptr readError; // what reading threw
        std::vector<std::uint8_t> in;
        std::size_t inBytes = 0;
        std::vector<std::uint8_t> out; // only when the samples are wanted
        std::size_t outBytes = 0;
        std::vector<std::uint16_t> words;
        std::size_t wordCount = 0;
        std::uint32_t tail = 0;
        int tailBits = 0;
        double errorSum = 0.0; // the pass's after this slot

        // Whether the progress moves on after this slot.
        bool closesPiece() const { return endsPiece || kind == Kind::Finish; }
    };

    // Where a thread stopped the run: the failure, its pass and that pass's error sum there.
    struct Stop {
        PassFailure failure = PassFailure::None;
        std::size_t pass = 0;
        double errorSum = 0.0;
    };

    template <class T> void growTo(std::vector<T>& buffer, std::size_t size)
    {
        if (buffer.size() < size) {
            buffer.resize(size);
        }
    }

    class Pipeline {
    public:
        Pipeline(std::span<PiecePass> passes, PackedBitSink* bits)
            : passes_(passes)
            , bits_(bits)
            , slots_(slotCount)
        {
            for (const PiecePass& pass : passes_) {
                keepsOutput_ = keepsOutput_ || pass.wav() || pass.measure();
            }
            writes_ = bits_ || keepsOutput_;
        }

        PassFailure run();

    private:
        // Where the reading is: the pass, the offset in its data and the end of the piece there.
        struct ReadCursor {
            std::size_t pass = 0;
            std::uint64_t offset = 0;
            std::uint64_t pieceEnd = 0;
        };
        struct ConvertState {
            WordPacker packer;
            double pieceStartErrorSum = 0.0;
        };

        void read();
        void convert();
        void write();
        void runSerially();
        // Fills the slot with the next share of a piece, or the end of a pass; false when every
        // pass was read.
        bool readNext(Slot& slot, ReadCursor& at);
        // Converts the slot; false, with the failure noted, for one that could not be read.
        bool convertNext(Slot& slot, ConvertState& state);
        // Where the output thread is in the passes.
        struct Progress {
            std::int64_t bitsHanded = 0; // in the pass
            bool wavFailed = false; // in the piece
        };
        Stop writeHeader(std::size_t pass);
        Stop writeSlot(Slot& slot, Progress& progress);
        // Ends the reading and the conversion early, after an output failed.
        void stopEarly()
        {
            stopped_ = true;
            free_.cancel();
            read_.cancel();
        }

        std::span<PiecePass> passes_;
        PackedBitSink* bits_;
        bool keepsOutput_ = false; // the samples are written or measured
        bool writes_ = false; // the output thread has work
        std::vector<Slot> slots_;
        BoundedQueue<Slot*> free_ { slotCount };
        BoundedQueue<Slot*> read_ { slotCount };
        BoundedQueue<Slot*> converted_ { slotCount };
        std::vector<std::uint8_t> scratch_; // the samples when nobody wants them
        std::atomic<bool> stopped_ { false };
        // Each set by one thread and read once the threads are joined.
        Stop convertStop_;
        Stop writeStop_;
        std::exception_ptr readError_;
        std::exception_ptr writeError_;
    };

    PassFailure Pipeline::run()
    {
        for (Slot& slot : slots_) {
            free_.push(&slot);
        }
        std::exception_ptr convertError;
        bool threaded = false;
        {
            std::jthread reader;
            std::jthread writer;
            // On any way out: the threads end at once (before they are joined, as declared
            // after them), unless they already did.
            struct Cancel {
                Pipeline& pipeline;
                ~Cancel()
                {
                    pipeline.free_.cancel();
                    pipeline.read_.cancel();
                    pipeline.converted_.cancel();
                }
            } cancel { *this };
            // The threads start their work only once both exist; where none can be had (a limit
            // on processes or memory), everything runs on this one.
            std::promise<bool> start;
            const std::shared_future<bool> go = start.get_future().share();
            try {
                reader = std::jthread([this, go] {
                    if (go.get()) {
                        read();
                    }
                });
                if (writes_) {
                    writer = std::jthread([this, go] {
                        if (go.get()) {
                            write();
                        }
                    });
                }
                threaded = true;
            } catch (...) { // no thread (std::system_error) or no memory for its state
            }
            start.set_value(threaded);
            if (threaded) {
                try {
                    convert();
                } catch (...) {
                    convertError = std::current_exception();
                    free_.cancel();
                    read_.cancel();
                }
                // The outputs get everything converted, as far as they get.
                converted_.close();
                if (writer.joinable()) {
                    writer.join();
                }
                free_.cancel();
                read_.cancel();
                reader.join();
            }
        }
        if (!threaded) {
            runSerially();
        }
        // The output thread only ever saw pieces before the one where the conversion stopped,
        // so what stopped it came first.
        if (writeError_) {
            std::rethrow_exception(writeError_);
        }
        Stop stop = writeStop_;
        if (stop.failure == PassFailure::None) {
            if (convertError) {
                std::rethrow_exception(convertError);
            }
            if (readError_) {
                std::rethrow_exception(readError_);
            }
            stop = convertStop_;
        }
        if (stop.failure != PassFailure::None) {
            passes_[stop.pass].stopAt(stop.errorSum);
            for (std::size_t later = stop.pass + 1; later < passes_.size(); ++later) {
                passes_[later].stopAt(0.0);
            }
        }
        return stop.failure;
    }

    void Pipeline::read()
    {
        ReadCursor at;
        while (const std::optional<Slot*> next = free_.pop()) {
            Slot& slot = **next;
            if (!readNext(slot, at)) {
                break;
            }
            const bool failed = slot.readFailed;
            if (!read_.push(&slot) || failed) {
                break;
            }
        }
        read_.close();
    }

    bool Pipeline::readNext(Slot& slot, ReadCursor& at)
    {
        if (at.pass >= passes_.size()) {
            return false;
        }
        SampleStream& input = passes_[at.pass].input();
        const std::uint64_t sizeBytes = input.sizeBytes();
        const std::size_t pieceBytes = PiecePass::pieceBytesOf(input);
        // Without outputs a slot is a whole piece, so that the pass stops at a piece that cannot
        // be read with nothing of it converted.
        const std::size_t slotBytes = writes_ ? slotBytesOf(input, pieceBytes) : pieceBytes;
        const bool finishes = at.offset >= sizeBytes;
        slot.kind = finishes ? Slot::Kind::Finish : Slot::Kind::Piece;
        slot.pass = at.pass;
        slot.firstOfPass = at.offset == 0;
        slot.startsPiece = at.offset == at.pieceEnd;
        if (slot.startsPiece && !finishes) {
            at.pieceEnd = at.offset + std::min<std::uint64_t>(pieceBytes, sizeBytes - at.offset);
        }
        slot.inBytes = std::size_t(std::min<std::uint64_t>(slotBytes, at.pieceEnd - at.offset));
        slot.endsPiece = at.offset + slot.inBytes == at.pieceEnd;
        slot.readFailed = false;
        slot.readError = nullptr;
        if (finishes) {
            at = { at.pass + 1, 0, 0 };
            return true;
        }
        growTo(slot.in, slot.inBytes);
        try {
            slot.readFailed = !input.readAt(at.offset, { slot.in.data(), slot.inBytes });
        } catch (...) {
            slot.readFailed = true;
            slot.readError = std::current_exception();
        }
        at.offset += slot.inBytes;
        return true;
    }

    void Pipeline::convert()
    {
        ConvertState state;
        while (const std::optional<Slot*> next = read_.pop()) {
            Slot& slot = **next;
            if (!convertNext(slot, state)) {
                return;
            }
            // Once handed on the slot is the other threads'.
            const PiecePass& pass = passes_[slot.pass];
            const bool endsPiece = slot.closesPiece();
            (writes_ ? converted_ : free_).push(&slot);
            if (endsPiece) {
                pass.report();
            }
            if (stopped_) {
                return;
            }
        }
    }

    bool Pipeline::convertNext(Slot& slot, ConvertState& state)
    {
        PiecePass& pass = passes_[slot.pass];
        StreamingConversion& conversion = pass.conversion();
        // The error sums an output's failure may need (a pass that measures itself works out its
        // figures for every result(), so only then).
        if (slot.startsPiece && writes_) {
            state.pieceStartErrorSum = conversion.result().errorSum;
        }
        // A piece that cannot be read is not converted at all, not even the shares of it that
        // could be.
        if (slot.readFailed) {
            convertStop_ = { PassFailure::Input, slot.pass,
                writes_ ? state.pieceStartErrorSum : conversion.result().errorSum };
            readError_ = slot.readError;
            return false;
        }
        const bool finishes = slot.kind == Slot::Kind::Finish;
        const std::span<const std::uint8_t> in(slot.in.data(), slot.inBytes);
        const std::size_t outBytes
            = finishes ? conversion.finishOutputBytes() : conversion.outputBytesFor(in.size());
        std::vector<std::uint8_t>& out = keepsOutput_ ? slot.out : scratch_;
        growTo(out, outBytes);
        const auto frameBytes
            = std::size_t(std::max<std::int64_t>(pass.input().header().bytesPerFrame(), 1));
        growTo(slot.words, outBytes / frameBytes / 16 + 2);
        // Packed also when nobody wants the bits: one sink for every pass keeps the pass's loop
        // compiled once.
        state.packer.startWords(slot.words.data());
        slot.outBytes = finishes ? finishPacked(conversion, out, state.packer)
                                 : convertPacked(conversion, in, out, state.packer);
        slot.wordCount = std::size_t(state.packer.next() - slot.words.data());
        slot.tailBits = finishes ? state.packer.takeTail(slot.tail) : 0;
        if (writes_) {
            slot.errorSum = conversion.result().errorSum;
        }
        return true;
    }

    // Without threads: each slot read, converted and written in turn, by the same steps.
    void Pipeline::runSerially()
    {
        Slot& slot = slots_.front();
        ReadCursor at;
        ConvertState state;
        Progress progress;
        if (writes_) {
            writeStop_ = writeHeader(0);
        }
        while (writeStop_.failure == PassFailure::None && readNext(slot, at)
            && convertNext(slot, state)) {
            if (writes_) {
                writeStop_ = writeSlot(slot, progress);
            }
            if (slot.closesPiece()) {
                passes_[slot.pass].report();
            }
        }
    }

    void Pipeline::write()
    {
        try {
            Progress progress;
            if (const Stop stop = writeHeader(0); stop.failure != PassFailure::None) {
                writeStop_ = stop;
                stopEarly();
                return;
            }
            while (const std::optional<Slot*> next = converted_.pop()) {
                if (const Stop stop = writeSlot(**next, progress);
                    stop.failure != PassFailure::None) {
                    writeStop_ = stop;
                    stopEarly();
                    return;
                }
                free_.push(*next);
            }
        } catch (...) {
            writeError_ = std::current_exception();
            stopEarly();
        }
    }

    // The WAV file's header, where a pass without threads writes it: before it reads anything.
    Stop Pipeline::writeHeader(std::size_t pass)
    {
        TextSink* const wav = passes_[pass].wav();
        const SampleStream& input = passes_[pass].input();
        if (wav && !writeBytes(*wav, WaveImage::headerFor(input.header(), input.sizeBytes()))) {
            return { PassFailure::Wav, pass, 0.0 };
        }
        return {};
    }

    // In the order a pass without threads takes these steps for a piece: the measure and the
    // bits (which may write text) as the pass decides the frames, then the samples, then the
    // check of the text. A failure counts at the end of its piece, as that pass finds it there:
    // once the whole piece was read (a piece that could not be read fails as such) and
    // converted, and a failed write of samples before failed text.
    Stop Pipeline::writeSlot(Slot& slot, Progress& progress)
    {
        const PiecePass& pass = passes_[slot.pass];
        TextSink* const wav = pass.wav();
        const SampleStream& input = pass.input();
        if (slot.firstOfPass) {
            progress.bitsHanded = 0;
        }
        const std::span<const std::uint8_t> out(slot.out.data(), keepsOutput_ ? slot.outBytes : 0);
        if (PieceMeasure* const measure = pass.measure()) {
            measure->add({ slot.in.data(), slot.inBytes }, out);
        }
        if (bits_) {
            bits_->take({ slot.words.data(), slot.wordCount }, slot.tail, slot.tailBits,
                progress.bitsHanded + 1);
            progress.bitsHanded += std::int64_t(slot.wordCount) * 16 + slot.tailBits;
        }
        const auto failed = [&](PassFailure failure) {
            return Stop { failure, slot.pass, slot.errorSum };
        };
        if (slot.kind == Slot::Kind::Piece) {
            progress.wavFailed = (wav && !writeBytes(*wav, out)) || progress.wavFailed;
            if (!slot.endsPiece) {
                return {};
            }
            const bool wavFailed = std::exchange(progress.wavFailed, false);
            if (wavFailed) {
                return failed(PassFailure::Wav);
            }
            if (bits_ && bits_->failed()) {
                return failed(PassFailure::Text);
            }
            return {};
        }
        if (wav) {
            // Behind the counted frames the image holds silence.
            const std::uint64_t countedBytes = std::uint64_t(pass.conversion().frameCount())
                * std::uint64_t(input.header().bytesPerFrame());
            const std::vector<std::uint8_t> tail(std::size_t(input.sizeBytes() - countedBytes),
                WaveImage::silenceByte(input.header()));
            if (!writeBytes(*wav, out) || !writeBytes(*wav, tail)) {
                return failed(PassFailure::Wav);
            }
        }
        return slot.pass + 1 < passes_.size() ? writeHeader(slot.pass + 1) : Stop {};
    }

} // namespace

PassFailure runPieces(std::span<PiecePass> passes, PackedBitSink* bits)
{
    return Pipeline(passes, bits).run();
}

} // namespace tt
