#include "modulator/StreamingConversion.h"

#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "wave/TestHeader.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
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

    TEST(StreamingConversion, FrameLoopShortcutsGiveTheGeneralBits)
    {
        // The pass's one multiply for the target of a one- or two-channel frame against the
        // division and multiply of targetOf, over every Volume and samples to both ends.
        std::mt19937 random(11);
        std::uniform_int_distribution<int> sample(-32768, 32768);
        for (const int channels : { 1, 2 }) {
            for (int volume = ModulatorSettings::volumeMin; volume <= ModulatorSettings::volumeMax;
                 ++volume) {
                const PinModel pin(
                    ModulatorSettings { 3000, 1000, volume }, testing::headerOf(16, channels));
                for (int i = 0; i < 200; ++i) {
                    const ChannelPair pair { i == 0 ? -32768 : sample(random),
                        i == 1 ? 32768 : sample(random) };
                    ASSERT_EQ(pin.targetOfOneOrTwoChannels(pair), pin.targetOf(pair))
                        << channels << " ch, volume " << volume << ", " << pair.first << " "
                        << pair.second;
                }
            }
        }
        // The stored image sample against the layout's own write of the rounded level: halves
        // to even, the limits, the top level that plays as 32767, in every layout.
        std::vector<double> levels = { -32768.0, -32767.5, -32766.5, -1.5, -0.5, -0.0, 0.0, 0.5,
            1.5, 2.5, 127.5, 128.0, 32766.5, 32767.0, 32767.4, 32767.5, 32768.0 };
        std::uniform_real_distribution<double> level(-32768.0, 32768.0);
        for (int i = 0; i < 2000; ++i) {
            levels.push_back(level(random));
        }
        const auto sameBytes = [&](const auto& layout) {
            for (const double l : levels) {
                std::uint8_t fast[8] = {}, general[8] = {};
                writeImageSample(layout, fast, l);
                layout.write(general, roundLevel(l));
                ASSERT_TRUE(std::equal(std::begin(fast), std::end(fast), general)) << l;
            }
        };
        sameBytes(FrameLayout<Samples16, 2> {});
        sameBytes(FrameLayout<Samples16, 1> {});
        sameBytes(FrameLayout<Samples16, 0> { 3 });
        sameBytes(FrameLayout<Samples8, 2> {});
    }

} // namespace
} // namespace tt
