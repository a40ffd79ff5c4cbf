// "Play 1Bit" end to end on the private test sound server: the window converts the loaded file
// and slot 1 plays the modelled sound in the file's own format. Checked on the recorded sound.

#include "SoundCapture.h"
#include "TestSounds.h"
#include "shell/ControlIds.h"
#include "shell/ShellDriver.h"
#include "wave/WaveBytes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>

namespace tt {
namespace {

    using namespace std::chrono_literals;

    constexpr auto soundTimeout = 15s;

    TEST(PlayOneBitSound, IsHeardInTheFilesOwnFormat)
    {
        const char* sink = std::getenv("TICKTRACE_TEST_SINK");
        if (sink == nullptr) {
            GTEST_SKIP() << "no private sound server: run the tests through "
                            "scripts/with-test-sound-server.sh (needs pulseaudio)";
        }
        SoundCapture capture(sink);
        ASSERT_TRUE(capture.waitUntilFlowing(soundTimeout)) << "parec records nothing";
        testing::ShellDriver program;
        ASSERT_TRUE(program.audio.open());
        Shell& shell = program.shell;
        UserInput& input = program.input;
        const auto pump = [&] { ASSERT_TRUE(program.pump()); };

        // One second of a 500 Hz tone, 8-bit stereo at 8000 Hz. With Value 2 at 100 the model
        // follows it closely enough that the one-bit sound carries the tone at about 0.45 of full
        // scale. Played at another rate it would have another pitch and length; played as mono,
        // half the pitch and twice the length.
        constexpr int rateHz = 8000;
        constexpr int frameCount = rateHz;
        constexpr double toneHz = 500;
        testing::Bytes samples;
        for (int i = 0; i < frameCount; ++i) {
            const auto sample = std::uint8_t(128
                + std::lround(0.8 * 127 * std::sin(2 * std::numbers::pi * toneHz * i / rateHz)));
            samples.insert(samples.end(), { sample, sample });
        }
        testing::TempFiles files;
        const auto path
            = files.write("tone.wav", testing::canonicalWave({ 1, 2, rateHz, 8 }, samples));
        program.dialogs.answers.push_back(path);
        input.chooseMenuItem("Open Wave…");
        pump();
        ASSERT_EQ(shell.window().text(control::samplesLabel), "8000 Samples");
        input.typeText(control::value2Spin, "100");
        pump();
        ASSERT_EQ(shell.window().value(control::value2Trackbar), 100);

        input.click(control::playOneBit);
        pump();
        EXPECT_EQ(shell.window().text(control::samplesLabel).rfind("Error: ", 0), 0u);

        constexpr double threshold = 0.25 * 32768;
        // Tone seconds once the tone has sounded and been gone for a while; 0 before.
        const auto toneSecondsOnceEnded = [&](const std::vector<std::int16_t>& recorded) {
            const auto track
                = CapturedSound(recorded, SoundCapture::sampleRateHz).toneTrack(toneHz);
            const auto last = std::find_if(
                track.rbegin(), track.rend(), [&](double a) { return a > threshold; });
            const bool ended
                = last != track.rend() && (last - track.rbegin()) * CapturedSound::hopSeconds > 0.4;
            return ended ? double(std::count_if(
                               track.begin(), track.end(), [&](double a) { return a > threshold; }))
                    * CapturedSound::hopSeconds
                         : 0.0;
        };
        ASSERT_TRUE(capture.waitUntil(
            [&](const auto& recorded) { return toneSecondsOnceEnded(recorded) > 0; }, soundTimeout))
            << "the one-bit sound never played, or never ended";
        const auto captured = capture.samples();
        // One second at the file's rate, whole; a gap on a loaded machine may only add to it.
        const double toneSeconds = toneSecondsOnceEnded(captured);
        EXPECT_GT(toneSeconds, 0.95);
        EXPECT_LT(toneSeconds, 1.3);
        EXPECT_LT(
            CapturedSound(captured, SoundCapture::sampleRateHz).toneSeconds(toneHz / 2, threshold),
            0.1);
    }

    // The one-bit slot plays the image where the pass wrote it. A press while that sound plays
    // writes the image's other buffer, so the sound keeps its samples until the new ones are
    // loaded; once it is silent, a press rewrites the image where it lies.
    TEST(PlayOneBitSound, PlaysTheImageWhereItLiesAndKeepsAPlayingSoundsSamples)
    {
        if (std::getenv("TICKTRACE_TEST_SINK") == nullptr) {
            GTEST_SKIP() << "no private sound server: run the tests through "
                            "scripts/with-test-sound-server.sh (needs pulseaudio)";
        }
        testing::ShellDriver program;
        ASSERT_TRUE(program.audio.open());
        testing::TempFiles files;
        program.dialogs.answers.push_back(files.write(
            "long.wav", testing::canonicalWave({ 1, 1, 8000, 8 }, testing::samplePattern(24000))));
        program.input.chooseMenuItem("Open Wave…");
        ASSERT_TRUE(program.pump());
        const WaveImage& image = program.shell.document().image;
        const auto press = [&](int control) {
            program.input.click(control);
            ASSERT_TRUE(program.pump());
        };

        press(control::playOneBit);
        ASSERT_TRUE(program.audio.isPlaying(1));
        EXPECT_TRUE(image.isShared());
        const std::uint8_t* first = image.bytes().data();
        press(control::playOneBit);
        EXPECT_TRUE(program.audio.isPlaying(1));
        const std::uint8_t* second = image.bytes().data();
        EXPECT_NE(second, first);
        press(control::stop);
        press(control::playOneBit);
        EXPECT_EQ(image.bytes().data(), second);
    }

} // namespace
} // namespace tt
