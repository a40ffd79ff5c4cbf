// The reference player in examples/player, assembled with an exported sound and run on a
// simulated ATmega328P: its pin must play exactly the exported bits, one every clock / rate
// cycles.

#include "convert/ConvertProcess.h"
#include "export/PlayerSourceBits.h"
#include "wave/TestHeader.h"
#include "wave/WaveBytes.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>

extern "C" {
#include <simavr/avr_ioport.h>
#include <simavr/sim_avr.h>
#include <simavr/sim_hex.h>
}

namespace tt {
namespace {

    struct PinTrace {
        avr_t* avr = nullptr;
        std::vector<std::pair<std::uint64_t, bool>> changes; // cycle, level
    };

    void onPinChange(avr_irq_t*, std::uint32_t value, void* param)
    {
        auto& trace = *static_cast<PinTrace*>(param);
        const bool level = value != 0;
        // The pin idles low: the first change is up.
        if ((trace.changes.empty() && level)
            || (!trace.changes.empty() && trace.changes.back().second != level)) {
            trace.changes.emplace_back(trace.avr->cycle, level);
        }
    }

    TEST(ReferencePlayer, PlaysTheExportedBitsOneEveryClockOverRateCycles)
    {
        testing::TempFiles files;
        // A chirp at 16000 Hz, so that the bits change often and at every spacing.
        testing::Bytes samples;
        constexpr int frames = 4000;
        for (int i = 0; i < frames; ++i) {
            const double level = 12000.0 * std::sin(0.002 * i * i);
            testing::putU16(samples, std::uint16_t(std::int16_t(std::lround(level))));
        }
        const std::string wav
            = files.write("chirp.wav", testing::canonicalWave({ 1, 1, 16000, 16 }, samples));
        const auto exported = testing::runConvert(
            { "--export", (files.dir() / "sound.txt").string(), wav }, files.dir());
        ASSERT_EQ(exported.exitCode, 0) << exported.err;
        const std::vector<bool> bits
            = testing::bitsOfText(testing::fileText(files.dir() / "sound.txt"));
        ASSERT_EQ(bits.size(), std::size_t(frames));

        for (const int cyclesPerBit : { 1000, 41 }) { // 16 MHz at 16000 Hz; near the fastest
            SCOPED_TRACE(cyclesPerBit);
            std::ofstream(files.dir() / "run.asm")
                << ".equ CYCLES_PER_BIT = " << cyclesPerBit << "\n.include \""
                << TICKTRACE_EXAMPLES_DIR << "/player/player.asm\"\n";
            const std::string assemble
                = "cd " + files.dir().string() + " && avra run.asm > avra.log 2>&1";
            ASSERT_EQ(std::system(assemble.c_str()), 0)
                << testing::fileText(files.dir() / "avra.log");

            avr_t* avr = avr_make_mcu_by_name("atmega328p");
            ASSERT_NE(avr, nullptr);
            avr_init(avr);
            avr->frequency = 16000000;
            avr->log = LOG_NONE;
            ihex_chunk_p chunks = nullptr;
            const int chunkCount
                = read_ihex_chunks((files.dir() / "run.hex").string().c_str(), &chunks);
            ASSERT_GT(chunkCount, 0);
            for (int i = 0; i < chunkCount; ++i) {
                avr_loadcode(avr, chunks[i].data, chunks[i].size, chunks[i].baseaddr);
            }
            PinTrace trace;
            trace.avr = avr;
            avr_irq_register_notify(
                avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), 1), onPinChange, &trace);
            const std::uint64_t endCycle
                = std::uint64_t(frames + 100) * std::uint64_t(cyclesPerBit);
            while (avr->cycle < endCycle) {
                const int state = avr_run(avr);
                ASSERT_NE(state, cpu_Crashed);
                ASSERT_NE(state, cpu_Done);
            }

            // The level at every compare match. A change can only come at one; the simulator
            // tells it at the end of the instruction that ran over it, up to 3 cycles late.
            // The first change (to high: the first 0) fixes the grid of matches.
            ASSERT_FALSE(trace.changes.empty());
            constexpr std::int64_t reportedLateCycles = 3;
            const std::int64_t period = cyclesPerBit;
            const std::size_t leadingOnes
                = std::size_t(std::find(bits.begin(), bits.end(), false) - bits.begin());
            std::int64_t firstMatch
                = std::int64_t(trace.changes.front().first) - std::int64_t(leadingOnes) * period;
            for (const auto& change : trace.changes) { // the earliest of the late reports
                std::int64_t late = (std::int64_t(change.first) - firstMatch) % period;
                late = late > period / 2 ? late - period : late;
                firstMatch += std::min<std::int64_t>(late, 0);
            }
            std::int64_t latest = 0;
            for (const auto& change : trace.changes) {
                latest = std::max(latest, (std::int64_t(change.first) - firstMatch) % period);
            }
            EXPECT_LT(latest, reportedLateCycles) << "a change off the grid of matches";
            std::vector<bool> played;
            std::size_t next = 0;
            bool level = false;
            for (std::size_t i = 0; i < bits.size(); ++i) {
                const std::int64_t at = firstMatch + std::int64_t(i) * period + reportedLateCycles;
                while (
                    next < trace.changes.size() && std::int64_t(trace.changes[next].first) <= at) {
                    level = trace.changes[next++].second;
                }
                played.push_back(!level); // low: driven down, a 1
            }
            EXPECT_EQ(played, bits);
            // After the last bit the pin is let go: low, and no change after the last match.
            EXPECT_FALSE(trace.changes.back().second);
            EXPECT_LE(std::int64_t(trace.changes.back().first),
                firstMatch + std::int64_t(bits.size()) * period);
            avr_terminate(avr);
            for (int i = 0; i < chunkCount; ++i) {
                std::free(chunks[i].data);
            }
            std::free(chunks);
        }
    }

} // namespace
} // namespace tt
