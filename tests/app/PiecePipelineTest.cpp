// The threads around the pass: the queue that hands pieces between them, the measure taken beside
// the pass, and a run whose reading throws or stops part-way, which must end as a run without
// threads would have (same figures, no file replaced, no temporary file left).

#include "app/BoundedQueue.h"
#include "app/OutputRun.h"
#include "app/PieceMeasure.h"
#include "export/ByteListWriter.h"
#include "export/FileSizeLimit.h"
#include "export/PlayerSourceWriter.h"
#include "export/StringSink.h"
#include "modulator/NullBitSink.h"
#include "modulator/StreamingConversion.h"
#include "wave/FrameCount.h"
#include "wave/LoadedWaveStream.h"
#include "wave/TestHeader.h"
#include "wave/WaveBytes.h"

#include <algorithm>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <new>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace tt {
namespace {

    TEST(BoundedQueue, HandsItemsOnInOrderAndStopsOnCloseOrCancel)
    {
        for (const std::size_t capacity : { 1u, 3u }) {
            SCOPED_TRACE(capacity);
            // A producer that outruns the consumer waits for room; close() lets the consumer
            // drain what is left.
            BoundedQueue<int> queue(capacity);
            std::jthread producer([&] {
                for (int i = 0; i < 1000; ++i) {
                    queue.push(i);
                }
                queue.close();
            });
            int expected = 0;
            while (const std::optional<int> item = queue.pop()) {
                EXPECT_EQ(*item, expected++);
            }
            EXPECT_EQ(expected, 1000);
            EXPECT_FALSE(queue.push(1)) << "pushed after close";

            // cancel() wakes a waiting pop and a push waiting for room, and drops what is held.
            BoundedQueue<int> empty(capacity);
            std::jthread popper([&] { EXPECT_FALSE(empty.pop()); });
            BoundedQueue<int> full(capacity);
            for (std::size_t i = 0; i < capacity; ++i) {
                ASSERT_TRUE(full.push(int(i)));
            }
            std::jthread pusher([&] { EXPECT_FALSE(full.push(-1)); });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            empty.cancel();
            full.cancel();
            popper.join();
            pusher.join();
            EXPECT_FALSE(full.pop());
        }
    }

    std::vector<std::uint8_t> noiseBytes(std::size_t size)
    {
        std::mt19937 random(11);
        std::vector<std::uint8_t> bytes(size);
        std::ranges::generate(bytes, [&] { return std::uint8_t(random()); });
        return bytes;
    }

    // The measure fed the pass's pieces and decided samples gives the bits of a pass that
    // measures itself, for pieces that split frames and a look-ahead that decides late.
    TEST(PieceMeasure, EqualsThePassMeasuringItselfForAnyPieces)
    {
        const std::vector<std::uint8_t> data = noiseBytes(60007);
        for (const int channels : { 1, 2, 3 }) {
            for (const int bits : { 8, 16 }) {
                for (const ModulatorSettings& settings : { ModulatorSettings {},
                         ModulatorSettings { 121, 3320, 208, ModulatorKind::LookAhead } }) {
                    for (const std::size_t pieceBytes :
                        { std::size_t(1), std::size_t(7), std::size_t(4096) }) {
                        SCOPED_TRACE(std::to_string(bits) + "-bit, " + std::to_string(channels)
                            + " channels, pieces of " + std::to_string(pieceBytes));
                        const WaveHeader header = testing::headerOf(bits, channels, 44100);
                        const std::int64_t frames = frameCount(header, data.size());
                        StreamingConversion measuring(header, settings, frames, true);
                        StreamingConversion plain(header, settings, frames);
                        PieceMeasure measure(header, settings, frames);
                        NullBitSink sink;
                        std::vector<std::uint8_t> out;
                        for (std::size_t at = 0; at < data.size(); at += pieceBytes) {
                            const auto in = std::span(data).subspan(
                                at, std::min(pieceBytes, data.size() - at));
                            out.resize(plain.outputBytesFor(in.size()));
                            measuring.convert(in, out, sink);
                            measure.add(in, std::span(out).first(plain.convert(in, out, sink)));
                        }
                        out.resize(plain.finishOutputBytes());
                        measuring.finish(out, sink);
                        measure.add({}, std::span(out).first(plain.finish(out, sink)));
                        EXPECT_EQ(measure.segmentalSnrDb(), measuring.segmentalSnrDb());
                        EXPECT_EQ(measure.audibleSnrDb(), measuring.audibleSnrDb());
                        EXPECT_EQ(measure.resultAudibleSnrDb(), measuring.result().audibleSnrDb);
                    }
                }
            }
        }
    }

    // Packed bits reach a writer as its own bits would, a word at a time or bit by bit: also
    // after an unfinished word (a pass whose frames are no whole words), where words must go bit
    // by bit.
    template <class Writer> void expectUnpackedLikeBits(const std::vector<bool>& bits)
    {
        testing::StringSink bitwise;
        Writer reference(bitwise, std::int64_t(bits.size()), {}, "p_");
        for (std::size_t i = 0; i < bits.size(); ++i) {
            reference.takeBit(bits[i], std::int64_t(i + 1));
        }
        ASSERT_TRUE(reference.finish());
        testing::StringSink packed;
        Writer writer(packed, std::int64_t(bits.size()), {}, "p_");
        UnpackingBitSink<Writer> unpacking(writer);
        std::size_t at = 0;
        for (const std::size_t stretch : { std::size_t(21 * 16 + 5), bits.size() - 341 }) {
            std::vector<std::uint16_t> words(stretch / 16);
            std::uint32_t tail = 0;
            for (std::size_t i = 0; i < stretch; ++i) {
                if (i < words.size() * 16) {
                    words[i / 16] = std::uint16_t((words[i / 16] << 1) | bits[at + i]);
                } else {
                    tail = (tail << 1) | std::uint32_t(bits[at + i]);
                }
            }
            unpacking.take(words, tail, int(stretch % 16), std::int64_t(at + 1));
            at += stretch;
        }
        ASSERT_TRUE(writer.finish());
        EXPECT_EQ(packed.text, bitwise.text);
    }

    TEST(UnpackingBitSink, FeedsEveryWriterAsItsOwnBitsWould)
    {
        std::mt19937 random(5);
        std::vector<bool> bits(16011); // a thousand words: two blocks, four-digit numbers
        std::generate(bits.begin(), bits.end(), [&] { return (random() & 1u) != 0; });
        expectUnpackedLikeBits<PlayerSourceWriter>(bits);
        expectUnpackedLikeBits<ByteListWriterOf<ByteListStyle::CHeader>>(bits);
        expectUnpackedLikeBits<ByteListWriterOf<ByteListStyle::Raw>>(bits);
    }

    // Reads its data until `failAt`, where reading fails or throws, as a file cut meanwhile or a
    // decoder out of memory.
    class FailingStream final : public SampleStream {
    public:
        FailingStream(const LoadedWave& wave, std::uint64_t failAt, bool throws)
            : whole_(wave)
            , failAt_(failAt)
            , throws_(throws)
        {
        }
        const WaveHeader& header() const override { return whole_.header(); }
        std::uint64_t sizeBytes() const override { return whole_.sizeBytes(); }
        bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override
        {
            if (offsetBytes + out.size() > failAt_ && throws_) {
                throw std::bad_alloc();
            }
            return offsetBytes + out.size() <= failAt_ && whole_.readAt(offsetBytes, out);
        }

    private:
        LoadedWaveStream whole_;
        std::uint64_t failAt_;
        bool throws_;
    };

    // A run stopped part-way tells the error sum of the frames up to the piece where it stopped,
    // whatever the threads had converted beyond: a piece that cannot be read counts not at all,
    // one whose samples cannot be written wholly. One whose reading threw passes the exception
    // on. Either way the old files stay and no temporary file is left. The larger sound moves
    // through the threads in shares of pieces, and fails in the middle of one.
    TEST(OutputRun, StopsAtThePieceThatFailedAndPassesAnExceptionOn)
    {
        for (const std::size_t sizeBytes : { std::size_t(400000), std::size_t(16) << 20 }) {
            LoadedWave wave;
            wave.header = testing::headerOf(16, 2);
            const std::vector<std::uint8_t> data = noiseBytes(sizeBytes);
            wave.data.sizeBytes = data.size();
            const std::shared_ptr<SampleBytes> block = newSampleBytes(data.size());
            std::ranges::copy(data, block->begin());
            wave.data.block = block;
            const std::size_t pieceBytes = PiecePass::pieceBytesOf(LoadedWaveStream(wave));
            enum class Stop { ReadFails, ReadThrows, WavFails };
            for (const Stop stop : { Stop::ReadFails, Stop::ReadThrows, Stop::WavFails }) {
                for (const std::size_t pieces : { 0u, 1u, 2u, 30u }) {
                    SCOPED_TRACE(std::to_string(sizeBytes) + " bytes, " + std::to_string(int(stop))
                        + " in piece " + std::to_string(pieces));
                    const std::size_t converted = pieces + (stop == Stop::WavFails ? 1 : 0);
                    StreamingConversion expected(
                        wave.header, {}, frameCount(wave.header, data.size()));
                    NullBitSink sink;
                    std::vector<std::uint8_t> out(converted * pieceBytes);
                    expected.convert(std::span(data).first(converted * pieceBytes), out, sink);

                    testing::TempFiles files;
                    for (const char* name : { "out.txt", "out.wav" }) {
                        std::ofstream(files.dir() / name) << "old text";
                    }
                    // Only measured when the reading fails: the pass then measures itself.
                    const bool outputs = stop == Stop::WavFails || pieces % 2 == 0;
                    OutputRun run({ outputs ? &playerSourceFormat() : nullptr,
                        outputs ? (files.dir() / "out.txt").string() : "", nullptr,
                        outputs ? (files.dir() / "out.wav").string() : "", true, {} });
                    const std::size_t failAt = pieces * pieceBytes + pieceBytes / 2;
                    FailingStream input(wave, stop == Stop::WavFails ? data.size() : failAt,
                        stop == Stop::ReadThrows);
                    if (stop == Stop::ReadThrows) {
                        EXPECT_THROW(run.run(input, {}), std::bad_alloc);
                    } else {
                        const testing::FileSizeLimit limit(
                            stop == Stop::WavFails ? 44 + failAt : RLIM_INFINITY);
                        const RunOutcome outcome = run.run(input, {});
                        EXPECT_EQ(outcome.failure,
                            stop == Stop::WavFails ? RunFailure::WavNotWritten
                                                   : RunFailure::InputUnreadable);
                        EXPECT_EQ(outcome.result.errorSum, expected.result().errorSum);
                    }
                    for (const char* name : { "out.txt", "out.wav" }) {
                        EXPECT_EQ(testing::fileText(files.dir() / name), "old text") << name;
                    }
                    EXPECT_EQ(testing::entryCount(files.dir()), 2u) << "a temporary file was left";
                }
            }
        }
    }

    // Where no thread can be had (here: no address space for a thread's stack), the run goes on
    // without threads and gives the same outputs and figures. Run in a child process, whose
    // exit code tells: 0 the same, 1 different, 2 a thread could still be started.
    TEST(OutputRun, WithoutThreadsGivesTheSameOutputs)
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "a sanitizer's shadow memory does not fit in a capped address space";
#endif
        LoadedWave wave;
        wave.header = testing::headerOf(16, 2);
        const std::vector<std::uint8_t> data = noiseBytes(400000);
        wave.data.sizeBytes = data.size();
        const std::shared_ptr<SampleBytes> block = newSampleBytes(data.size());
        std::ranges::copy(data, block->begin());
        wave.data.block = block;
        const auto run = [&](std::uint64_t failAt) {
            testing::StringSink text;
            LoadedWave cut = wave;
            FailingStream input(cut, failAt, false);
            const RunOutcome outcome
                = OutputRun({ &playerSourceFormat(), "", &text, "", true, {} }).run(input, {});
            return std::tuple(outcome.failure, outcome.result.errorSum, outcome.audibleSnrDb,
                failAt < data.size() ? std::string() : text.text);
        };
        const auto whole = run(data.size());
        const auto cut = run(data.size() / 3);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::ifstream status("/proc/self/status");
            long kilobytes = 0;
            for (std::string line; std::getline(status, line);) {
                if (line.rfind("VmSize:", 0) == 0) {
                    kilobytes = std::strtol(line.c_str() + 7, nullptr, 10);
                }
            }
            const rlim_t cap = rlim_t(kilobytes + 4096) * 1024;
            const rlimit limit { cap, cap };
            if (::setrlimit(RLIMIT_AS, &limit) != 0) {
                ::_exit(3);
            }
            // Threads that wait take up the stacks the process keeps for reuse, until no new one
            // can be mapped.
            std::promise<void> release;
            const std::shared_future<void> released = release.get_future().share();
            std::vector<std::thread> holders;
            try {
                while (holders.size() < 64) {
                    holders.emplace_back([released] { released.wait(); });
                }
                ::_exit(2);
            } catch (const std::system_error&) {
            }
            ::_exit(run(data.size()) == whole && run(data.size() / 3) == cut ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 2) {
            GTEST_SKIP() << "a thread could be started in the capped address space";
        }
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }

} // namespace
} // namespace tt
