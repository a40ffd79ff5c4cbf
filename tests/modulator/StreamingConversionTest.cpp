#include "modulator/StreamingConversion.h"

#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "wave/TestHeader.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace tt {
namespace {

    struct RecordingSink {
        std::vector<bool> bits;
        std::int64_t lastIndex = 0;
        bool indicesInOrder = true;
        void takeBit(bool bit, std::int64_t frameIndex)
        {
            bits.push_back(bit);
            indicesInOrder = indicesInOrder && frameIndex == ++lastIndex;
        }
    };

    struct Outcome {
        std::vector<std::uint8_t> samples;
        RecordingSink sink;
        ConversionResult result;
        double snrDb = 0.0;
    };

    // The pass fed in pieces whose sizes cycle through pieceSizes, each output piece exactly as
    // large as the pass asks for, so a write beyond it is caught.
    Outcome streamed(const WaveHeader& header, const std::vector<std::uint8_t>& data,
        const ModulatorSettings& settings, const std::vector<std::size_t>& pieceSizes)
    {
        Outcome outcome;
        StreamingConversion pass(
            header, settings, conversionFrameCount(header, data.size(), data.size()), true);
        std::size_t at = 0;
        for (std::size_t piece = 0; at < data.size(); ++piece) {
            const std::size_t size
                = std::min(pieceSizes[piece % pieceSizes.size()], data.size() - at);
            const std::span<const std::uint8_t> in(data.data() + at, size);
            std::vector<std::uint8_t> out(pass.outputBytesFor(size));
            out.resize(pass.convert(in, out, outcome.sink));
            outcome.samples.insert(outcome.samples.end(), out.begin(), out.end());
            at += size;
        }
        std::vector<std::uint8_t> last(pass.finishOutputBytes());
        last.resize(pass.finish(last, outcome.sink));
        outcome.samples.insert(outcome.samples.end(), last.begin(), last.end());
        outcome.result = pass.result();
        outcome.snrDb = pass.segmentalSnrDb();
        return outcome;
    }

    TEST(StreamingConversion, AnyPiecesGiveTheWholeFilePassByteForByte)
    {
        struct Format {
            int bits, channels;
        };
        const Format formats[] = { { 16, 2 }, { 16, 1 }, { 8, 1 }, { 8, 2 }, { 16, 3 }, { 8, 3 } };
        std::mt19937 random(5);
        for (const ModulatorKind modulator : { ModulatorKind::Greedy, ModulatorKind::LookAhead }) {
            for (const Format& format : formats) {
                const WaveHeader header = testing::headerOf(format.bits, format.channels);
                const std::size_t frameBytes = std::size_t(header.bytesPerFrame());
                // Random samples: a loud part, then a quiet one, so the drives change often and
                // the level also rests. 3001 frames and 5 bytes more: the frame count stops 1
                // frame short of the whole frames, and a split frame is left over.
                std::vector<std::uint8_t> data(3001 * frameBytes + 5);
                for (std::size_t i = 0; i < data.size(); ++i) {
                    const int byte = int(random() & 0xFF);
                    data[i] = std::uint8_t(i < data.size() / 2 ? byte : 0x80 + byte / 16);
                }
                const ModulatorSettings settings { 5000, 700, 150, modulator };
                std::vector<std::uint8_t> image(data.size(), 0);
                RecordingSink wholeSink;
                const ConversionResult whole
                    = convertWholeFile(header, data, settings, image, wholeSink);
                const double wholeSnrDb = segmentalSnrDb(header, data, settings, image);
                const std::size_t countedBytes = std::size_t(whole.frameCount) * frameBytes;
                ASSERT_EQ(whole.frameCount, 3000);

                // One frame; 7 bytes and a prime, which split frames and 16-bit words; a piece
                // shorter than the look-ahead's delay and one just longer; changing sizes; one
                // piece.
                const std::vector<std::vector<std::size_t>> pieceSizes = { { frameBytes }, { 7 },
                    { 1021 }, { 5 * frameBytes + 1 }, { 33 * frameBytes + 3 },
                    { 1, 2 * frameBytes, 3, 97, 40 * frameBytes - 1 }, { data.size() } };
                for (const auto& sizes : pieceSizes) {
                    SCOPED_TRACE(::testing::Message()
                        << modulatorName(modulator) << ", " << format.bits << " bit, "
                        << format.channels << " ch, first piece " << sizes.front() << " bytes");
                    const Outcome pieces = streamed(header, data, settings, sizes);
                    ASSERT_EQ(pieces.samples.size(), countedBytes);
                    EXPECT_TRUE(
                        std::equal(pieces.samples.begin(), pieces.samples.end(), image.begin()));
                    EXPECT_EQ(pieces.sink.bits, wholeSink.bits);
                    EXPECT_TRUE(pieces.sink.indicesInOrder);
                    EXPECT_EQ(pieces.result.frameCount, whole.frameCount);
                    EXPECT_EQ(pieces.result.errorSum, whole.errorSum);
                    EXPECT_EQ(pieces.snrDb, wholeSnrDb);
                }
            }
        }
    }

    TEST(StreamingConversion, RefusesAnOutputPieceTooSmallAndTakesNothingFromIt)
    {
        const WaveHeader header = testing::headerOf(16, 2);
        StreamingConversion pass(header, ModulatorSettings {}, 100);
        const std::vector<std::uint8_t> data(400, 0);
        std::vector<std::uint8_t> out(396);
        RecordingSink sink;
        EXPECT_EQ(pass.outputBytesFor(data.size()), 400u);
        EXPECT_THROW(pass.convert(data, out, sink), std::length_error);
        EXPECT_TRUE(sink.bits.empty());
        out.resize(400);
        EXPECT_EQ(pass.convert(data, out, sink), 400u);
        EXPECT_EQ(pass.decidedFrameCount(), 100);
        // Bytes behind the counted frames are taken and ignored.
        EXPECT_EQ(pass.outputBytesFor(4), 0u);
        EXPECT_EQ(pass.convert(std::span(data).first(4), out, sink), 0u);
        EXPECT_EQ(sink.bits.size(), 100u);
    }

} // namespace
} // namespace tt
