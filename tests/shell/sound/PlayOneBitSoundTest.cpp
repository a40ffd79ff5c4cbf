// "Play 1Bit" end to end on the private test sound server: the window converts the loaded file
// and slot 1 plays the modelled sound in the file's own format. Checked on the recorded sound.

#include "SoundCapture.h"
#include "TestSounds.h"
#include "shell/ControlIds.h"
#include "shell/ShellDriver.h"
#include "wave/WaveBytes.h"

#include <QTest>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace tt {
namespace {

    using namespace std::chrono_literals;

    constexpr auto soundTimeout = 15s;

    // Every test plays on the private test sound server and skips without one.
    class PlayOneBitSound : public ::testing::Test {
    protected:
        void SetUp() override
        {
            if (sink == nullptr) {
                GTEST_SKIP() << "no private sound server: run the tests through "
                                "scripts/with-test-sound-server.sh (needs pulseaudio)";
            }
        }

        // Opens `frames` frames of 8-bit mono at 8000 Hz in the program.
        void openPattern(testing::ShellDriver& program, int frames)
        {
            ASSERT_TRUE(program.shell.openFile(files.write("long.wav",
                testing::canonicalWave({ 1, 1, 8000, 8 }, testing::samplePattern(frames)))));
        }

        const char* const sink = std::getenv("TICKTRACE_TEST_SINK");
        testing::TempFiles files;
    };

    TEST_F(PlayOneBitSound, IsHeardInTheFilesOwnFormat)
    {
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

    // Handles what is pending, as the program's loop would, for about the given time.
    void runFor(testing::ShellDriver& program, std::chrono::milliseconds duration)
    {
        const auto end = std::chrono::steady_clock::now() + duration;
        do {
            QTest::qWait(10);
            ASSERT_TRUE(program.pump());
        } while (std::chrono::steady_clock::now() < end);
    }

    // The one-bit slot plays the image where the pass wrote it. Play 1Bit replaces the one-bit
    // sound: a press while it plays stops it and rewrites the same image, so no second image is
    // ever held beside it.
    TEST_F(PlayOneBitSound, PlaysTheImageWhereItLiesAndAPressWhilePlayingReusesIt)
    {
        testing::ShellDriver program;
        ASSERT_TRUE(program.audio.open());
        openPattern(program, 24000);
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
        EXPECT_EQ(image.bytes().data(), first);
        press(control::stop);
        press(control::playOneBit);
        EXPECT_EQ(image.bytes().data(), first);
    }

    // Writing a file never stops a sound, and after Resample… the marker of the one-bit sound
    // made before stands where that sound is, at the same fraction of the resampled sound.
    TEST_F(PlayOneBitSound, PlaysOnThroughSavesAndResampleWithItsMarkerWhereItIs)
    {
        testing::ShellDriver program;
        ASSERT_TRUE(program.audio.open());
        constexpr int frames = 80000; // 10 s at 8000 Hz
        openPattern(program, frames);
        program.input.click(control::playOneBit);
        ASSERT_TRUE(program.pump());
        ASSERT_TRUE(program.audio.isPlaying(1));

        for (const char* item : { "Export Beepster…", "Save 1Bit Sound…" }) {
            SCOPED_TRACE(item);
            program.dialogs.answers.push_back((files.dir() / "out").string());
            program.dialogs.yesNoAnswers.push_back(true);
            program.input.chooseMenuItem(item);
            ASSERT_TRUE(program.pump());
            runFor(program, 800ms);
            EXPECT_TRUE(program.audio.isPlaying(1));
        }

        program.dialogs.textAnswers.push_back("48000"); // six times the frames
        program.input.chooseMenuItem("Resample…");
        runFor(program, 300ms);
        ASSERT_TRUE(program.audio.isPlaying(1));
        const double heard = double(program.audio.playingFrame(1)) / frames;
        const std::vector<std::int64_t>& marked = program.shell.state().playingFrames;
        ASSERT_EQ(marked.size(), 1u);
        EXPECT_NEAR(double(marked[0]) / double(program.shell.document().frameCount()), heard, 0.02);
    }

    // The peak memory above start-up, as a multiple of the file's sample data, over steps in
    // several orders with the one-bit sound playing on (STOP only where a sequence says so).
    TEST_F(PlayOneBitSound, MemoryStaysWithinTwiceTheDataInEveryOrderOfSteps)
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "the sanitizer's shadow memory adds to every block touched";
#endif
        const auto statusKilobytes = [](const std::string& field) {
            std::ifstream status("/proc/self/status");
            for (std::string line; std::getline(status, line);) {
                if (line.rfind(field + ":", 0) == 0) {
                    return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
                }
            }
            return -1L;
        };
        constexpr std::size_t dataBytes = 32u << 20; // 16-bit stereo, 8 Mi frames
        const std::string wav = files.write("big.wav",
            testing::canonicalWave({ 1, 2, 44100, 16 }, testing::samplePattern(dataBytes)));
        // o: open, p: Play 1Bit, e: Export Beepster, s: Save 1Bit Sound, x: STOP
        for (const std::string steps : { "oppeo", "opepso", "opxpeo", "oespop", "opsoep" }) {
            SCOPED_TRACE(steps);
            testing::ShellDriver program;
            ASSERT_TRUE(program.audio.open());
            ASSERT_TRUE(program.pump());
            const long startKb = statusKilobytes("VmRSS");
            {
                std::ofstream clear("/proc/self/clear_refs");
                clear << "5";
                clear.flush();
                if (!clear) {
                    GTEST_SKIP() << "the peak resident size cannot be reset here";
                }
            }
            for (const char step : steps) {
                switch (step) {
                case 'o':
                    program.dialogs.answers.push_back(wav);
                    program.input.chooseMenuItem("Open Wave…");
                    break;
                case 'p':
                    program.input.click(control::playOneBit);
                    break;
                case 'e':
                case 's':
                    program.dialogs.answers.push_back((files.dir() / "out").string());
                    program.dialogs.yesNoAnswers.push_back(true);
                    program.input.chooseMenuItem(
                        step == 'e' ? "Export Beepster…" : "Save 1Bit Sound…");
                    break;
                case 'x':
                    program.input.click(control::stop);
                    break;
                }
                ASSERT_TRUE(program.pump());
                if (step == 'p') {
                    EXPECT_TRUE(program.audio.isPlaying(1));
                }
            }
            const double peak = double(statusKilobytes("VmHWM") - startKb) * 1024.0 / dataBytes;
            EXPECT_LE(peak, 2.2);
            EXPECT_TRUE(program.dialogs.messages.empty());
        }
    }

} // namespace
} // namespace tt
