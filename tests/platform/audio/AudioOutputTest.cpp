// Audio output against a real sound server: the private null sink that
// scripts/with-test-sound-server.sh starts. Every claim is checked on the sound the server
// actually played, recorded from the sink's monitor. The test thread only sleeps while sound
// plays and never runs a Qt event loop, so these tests also show that playback goes on while
// the calling thread is blocked.

#include "platform/audio/AudioOutput.h"

#include "PrivateSoundServer.h"
#include "SoundCapture.h"
#include "TestSounds.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <thread>

namespace tt {
namespace {

    using namespace std::chrono_literals;

    // Generous: on a loaded machine the server and the capture may lag by a second or more.
    constexpr auto soundTimeout = 15s;
    constexpr double loud = 0.25 * playedAmplitude;
    constexpr double toneThreshold = 0.5 * playedAmplitude;

    class AudioOutputTest : public testing::Test {
    protected:
        void SetUp() override
        {
            const char* sink = std::getenv("TICKTRACE_TEST_SINK");
            if (sink == nullptr) {
                GTEST_SKIP() << "no private sound server: run the tests through "
                                "scripts/with-test-sound-server.sh (needs pulseaudio)";
            }
            capture_ = std::make_unique<SoundCapture>(sink);
            ASSERT_TRUE(capture_->waitUntilFlowing(soundTimeout)) << "parec records nothing";
            ASSERT_TRUE(audio_.open());
        }

        // Waits until something has played after the first startSample samples and has then
        // been quiet for a while; returns what was captured from startSample on.
        CapturedSound captureUntilQuiet(std::size_t startSample = 0)
        {
            const auto rate = SoundCapture::sampleRateHz;
            const auto from = [&](const std::vector<std::int16_t>& s) {
                return CapturedSound(
                    { s.begin() + long(std::min(startSample, s.size())), s.end() }, rate);
            };
            const bool ended = capture_->waitUntil(
                [&](const std::vector<std::int16_t>& s) {
                    const auto span = from(s).loudSpan(loud);
                    return span && double(s.size() - startSample) / rate - span->endSeconds > 0.4;
                },
                soundTimeout);
            EXPECT_TRUE(ended) << "no sound, or it never ended";
            return from(capture_->samples());
        }

        void waitForTone(double frequencyHz, double seconds)
        {
            ASSERT_TRUE(capture_->waitUntil(
                [&](const std::vector<std::int16_t>& s) {
                    return CapturedSound(s, SoundCapture::sampleRateHz)
                               .toneSeconds(frequencyHz, toneThreshold)
                        >= seconds;
                },
                soundTimeout))
                << frequencyHz << " Hz never sounded";
        }

        void sleepCapturing(std::chrono::milliseconds duration)
        {
            // Measured on the capture's own clock, which is the server's.
            const std::size_t target = capture_->samples().size()
                + std::size_t(duration.count() * SoundCapture::sampleRateHz / 1000);
            capture_->waitUntil([&](const auto& s) { return s.size() >= target; }, soundTimeout);
        }

        void expectTone(const CapturedSound& sound, double frequencyHz, double seconds)
        {
            const auto span = sound.loudSpan(loud);
            ASSERT_TRUE(span);
            // Cut short or stretched by even a few milliseconds is a fault; a gap from an
            // overloaded machine may only make it longer.
            EXPECT_GT(span->lengthSeconds(), seconds - 0.005);
            EXPECT_LT(span->lengthSeconds(), seconds + 0.3);
            EXPECT_NEAR(sound.zeroCrossingHz(*span), frequencyHz, frequencyHz * 0.01);
            EXPECT_LT(sound.peak(), 1.15 * playedAmplitude);
        }

        AudioOutput audio_;
        std::unique_ptr<SoundCapture> capture_;
    };

    struct ToneCase {
        const char* name;
        ToneRecipe recipe;
        int slot;
    };

    void PrintTo(const ToneCase& tone, std::ostream* out)
    {
        *out << tone.name;
    }

    class TonePlaysTest : public AudioOutputTest, public testing::WithParamInterface<ToneCase> { };

    TEST_P(TonePlaysTest, AtItsPitchForItsFullLength)
    {
        const ToneCase& tone = GetParam();
        ASSERT_TRUE(loadTone(audio_, tone.slot, makeToneImage(tone.recipe)));
        audio_.play(tone.slot);
        expectTone(captureUntilQuiet(), tone.recipe.segments[0].frequencyHz,
            tone.recipe.segments[0].durationSeconds);
    }

    INSTANTIATE_TEST_SUITE_P(Formats, TonePlaysTest,
        testing::Values(ToneCase { "Stereo16BitFile", { { { 700, 0.5 } }, 16, 2, 32000 }, 0 },
            ToneCase {
                "Mono8BitFileWithListChunk", { { { 450, 0.4 } }, 8, 1, 11025, 0.5, true }, 0 },
            ToneCase { "Mono16BitImage", { { { 1000, 0.5 } }, 16, 1, 44100 }, 1 },
            ToneCase { "Stereo8BitImage", { { { 330, 0.6 } }, 8, 2, 22050 }, 1 },
            // More channels than the server takes: channels 1 and 2 play.
            ToneCase { "TenChannel16BitFile", { { { 520, 0.5 } }, 16, 10, 22050 }, 0 },
            ToneCase { "TenChannel8BitImage", { { { 610, 0.5 } }, 8, 10, 16000 }, 1 }),
        [](const auto& info) { return std::string(info.param.name); });

    TEST_F(AudioOutputTest, BothSlotsSoundMixed)
    {
        const auto first = makeToneImage({ { { 600, 0.6 } }, 16, 1, 44100, 0.25 });
        ASSERT_TRUE(loadTone(audio_, 0, first));
        {
            // Shared, not copied: the output keeps the samples alive after the caller lets go.
            const auto tone = makeToneImage({ { { 1500, 0.6 } }, 8, 1, 22050, 0.25 });
            auto image = std::make_shared<SampleBytes>(tone.begin(), tone.end());
            ASSERT_TRUE(audio_.loadPcm(1, { 1, 22050, 8 }, image, 44, image->size() - 44));
        }
        audio_.play(0);
        audio_.play(1);
        const CapturedSound sound = captureUntilQuiet();
        const double each = 0.25 * 32768;
        EXPECT_GT(sound.togetherSeconds({ 600, 1500 }, 0.7 * each), 0.4);
        EXPECT_NEAR(sound.toneSeconds(600, 0.7 * each), 0.6, 0.1);
        EXPECT_NEAR(sound.toneSeconds(1500, 0.7 * each), 0.6, 0.1);
    }

    TEST_F(AudioOutputTest, SecondPlayRestartsInsteadOfAddingAVoice)
    {
        // A layered second voice would sound the low half while the first voice is in the
        // high half; a restart never has both at once.
        const auto image = makeToneImage({ { { 500, 0.4 }, { 1300, 0.4 } } });
        ASSERT_TRUE(loadTone(audio_, 0, image));
        audio_.play(0);
        waitForTone(500, 0.1);
        audio_.play(0);
        const CapturedSound sound = captureUntilQuiet();
        const double highSeconds = sound.toneSeconds(1300, toneThreshold);
        const double lowSeconds = sound.toneSeconds(500, toneThreshold);
        SCOPED_TRACE(testing::Message() << "500 Hz " << lowSeconds << " s, 1300 Hz " << highSeconds
                                        << " s, peak " << sound.peak());
        EXPECT_LT(sound.togetherSeconds({ 500, 1300 }, 0.7 * playedAmplitude), 0.03);
        EXPECT_NEAR(highSeconds, 0.4, 0.05);
        EXPECT_GT(lowSeconds, 0.45);
        EXPECT_LT(sound.peak(), 1.15 * playedAmplitude);
    }

    TEST_F(AudioOutputTest, StopAndCloseSilence)
    {
        const auto low = makeToneImage({ { { 400, 3.0 } } });
        const auto high = makeToneImage({ { { 1200, 3.0 } }, 8, 1, 22050 });
        ASSERT_TRUE(loadTone(audio_, 0, low));
        ASSERT_TRUE(loadTone(audio_, 1, high));
        audio_.play(0);
        audio_.play(1);
        waitForTone(400, 0.1);
        audio_.stop(0);
        EXPECT_TRUE(audio_.isLoaded(0));
        sleepCapturing(300ms);
        audio_.close();
        EXPECT_FALSE(audio_.isLoaded(0));
        EXPECT_FALSE(audio_.isLoaded(1));
        audio_.play(1); // harmless after close
        const CapturedSound sound = captureUntilQuiet();
        const double lowSeconds = sound.toneSeconds(400, toneThreshold);
        const double highSeconds = sound.toneSeconds(1200, toneThreshold);
        EXPECT_LT(lowSeconds, 2.0);
        EXPECT_LT(highSeconds, 2.5);
        EXPECT_GT(highSeconds, lowSeconds + 0.2); // slot 1 went on after slot 0 stopped
    }

    TEST_F(AudioOutputTest, LoadingIntoAPlayingSlotSilencesItAndWaitsForPlay)
    {
        const auto old = makeToneImage({ { { 400, 3.0 } } });
        const auto next = makeToneImage({ { { 900, 0.3 } }, 8, 1, 8000 });
        ASSERT_TRUE(loadTone(audio_, 0, old));
        audio_.play(0);
        waitForTone(400, 0.1);
        ASSERT_TRUE(loadTone(audio_, 0, next));
        const CapturedSound afterLoad = captureUntilQuiet();
        EXPECT_LT(afterLoad.toneSeconds(400, toneThreshold), 2.0);
        EXPECT_EQ(afterLoad.toneSeconds(900, 0.1 * playedAmplitude), 0);

        const std::size_t before = capture_->samples().size();
        audio_.play(0);
        capture_->waitUntil(
            [&](const auto& s) {
                const std::vector<std::int16_t> tail(s.begin() + long(before), s.end());
                const auto span = CapturedSound(tail, SoundCapture::sampleRateHz).loudSpan(loud);
                return span
                    && double(tail.size()) / SoundCapture::sampleRateHz - span->endSeconds > 0.4;
            },
            soundTimeout);
        const auto samples = capture_->samples();
        expectTone(CapturedSound({ samples.begin() + long(before), samples.end() },
                       SoundCapture::sampleRateHz),
            900, 0.3);
    }

    TEST_F(AudioOutputTest, FailedLoadsAndUnloadLeaveTheSlotEmpty)
    {
        const auto image = makeToneImage({ { { 800, 0.4 } } });
        const auto samples = std::make_shared<const SampleBytes>(image.begin() + 44, image.end());
        const std::size_t sizeBytes = samples->size();
        const PcmFormat mono16 { 1, 44100, 16 };
        const std::vector<std::function<bool()>> failures {
            [&] { return audio_.loadPcm(0, mono16, nullptr, 0, 0); },
            [&] { return audio_.loadPcm(0, mono16, samples, sizeBytes + 1, 0); },
            [&] { return audio_.loadPcm(0, mono16, samples, 2, sizeBytes); }, // past the end
            [&] { return audio_.loadPcm(0, mono16, samples, 0, 1); }, // no whole frame
            [&] {
                return audio_.loadPcm(0, { 1, 44100, 24 }, samples, 0, sizeBytes);
            },
            [&] {
                return audio_.loadPcm(0, { 0, 44100, 16 }, samples, 0, sizeBytes);
            },
            [&] {
                return audio_.loadPcm(0, { 1, 400000, 16 }, samples, 0, sizeBytes);
            },
            [&] {
                audio_.unload(0);
                return false;
            },
        };
        for (std::size_t i = 0; i < failures.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_TRUE(audio_.loadPcm(0, mono16, samples, 0, sizeBytes));
            EXPECT_FALSE(failures[i]());
            EXPECT_FALSE(audio_.isLoaded(0));
            EXPECT_EQ(samples.use_count(), 1) << "the empty slot still holds the samples";
            audio_.play(0); // the earlier sound is gone, not played
        }
        EXPECT_FALSE(audio_.loadPcm(2, mono16, samples, 0, sizeBytes));
        EXPECT_FALSE(audio_.loadPcm(-1, mono16, samples, 0, sizeBytes));
        audio_.stop(7);
        audio_.unload(7);
        sleepCapturing(600ms);
        EXPECT_EQ(CapturedSound(capture_->samples(), SoundCapture::sampleRateHz)
                      .toneSeconds(800, 0.1 * playedAmplitude),
            0);
    }

    // Both sides of each bound: the slowest and fastest rates play whole, the rates just beyond
    // are refused (each sound goes into slot 1, which a refusal leaves empty).
    TEST_F(AudioOutputTest, RatesPlayWithinTheServersBoundsAndAreRefusedBeyond)
    {
        struct Case {
            std::uint32_t rateHz;
            double frequencyHz; // 0: a steady level
            double seconds;
            bool plays;
        };
        const Case cases[] = {
            { AudioOutput::minSampleRateHz, 0, 2.0, true },
            { AudioOutput::minSampleRateHz - 1, 0, 2.0, false },
            { 50, 10, 1.0, true },
            { AudioOutput::maxSampleRateHz, 1000, 0.3, true },
            { AudioOutput::maxSampleRateHz + 1, 1000, 0.3, false },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.rateHz);
            const auto frameCount = std::size_t(c.seconds * std::max(c.rateHz, 1u));
            auto bytes = std::make_shared<SampleBytes>();
            for (std::size_t i = 0; i < frameCount; ++i) {
                const double level = c.frequencyHz == 0
                    ? 0.5
                    : 0.5 * std::sin(2 * std::numbers::pi * c.frequencyHz * double(i) / c.rateHz);
                const auto sample = std::uint16_t(std::int16_t(std::lround(32767 * level)));
                bytes->insert(bytes->end(), { std::uint8_t(sample), std::uint8_t(sample >> 8) });
            }
            EXPECT_EQ(audio_.loadPcm(1, { 1, c.rateHz, 16 }, bytes, 0, bytes->size()), c.plays);
            EXPECT_EQ(audio_.isLoaded(1), c.plays);
            const std::size_t before = capture_->samples().size();
            audio_.play(1);
            if (!c.plays) {
                sleepCapturing(300ms);
                const auto samples = capture_->samples();
                EXPECT_FALSE(CapturedSound(
                    { samples.begin() + long(before), samples.end() }, SoundCapture::sampleRateHz)
                                 .loudSpan(loud));
                continue;
            }
            const CapturedSound sound = captureUntilQuiet(before);
            const auto span = sound.loudSpan(loud);
            ASSERT_TRUE(span);
            // Resampled, the sound's edges blur over about one of its frames.
            EXPECT_GT(span->lengthSeconds(), c.seconds - std::max(0.005, 1.0 / c.rateHz));
            EXPECT_LT(span->lengthSeconds(), c.seconds + 0.3);
            if (c.frequencyHz > 0) {
                EXPECT_NEAR(sound.zeroCrossingHz(*span), c.frequencyHz, c.frequencyHz * 0.01);
            }
        }
    }

    // A sound holds a stream on the server only while it is heard: gone soon after its end
    // and at once after stop, so the sound card can go idle; play still starts at once.
    TEST_F(AudioOutputTest, StreamsLastOnlyWhileTheirSoundIsHeard)
    {
        const auto shortTone = makeToneImage({ { { 600, 0.5 } } });
        const auto longTone = makeToneImage({ { { 1100, 3.0 } }, 8, 2, 22050 });
        ASSERT_TRUE(loadTone(audio_, 0, shortTone));
        ASSERT_TRUE(loadTone(audio_, 1, longTone));
        const auto streamsGoneWithin = [](std::chrono::milliseconds timeout) {
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            while (!playbackStreams().empty()) {
                if (std::chrono::steady_clock::now() > deadline) {
                    return false;
                }
                std::this_thread::sleep_for(50ms);
            }
            return true;
        };
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            audio_.play(1);
            sleepCapturing(300ms);
            EXPECT_EQ(playbackStreams().size(), 1u);
            audio_.stop(1);
            EXPECT_TRUE(streamsGoneWithin(500ms)) << "stopped, yet the stream stays";

            // The short sound ends whole, and its stream goes with it.
            const std::size_t before = capture_->samples().size();
            audio_.play(0);
            expectTone(captureUntilQuiet(before), 600, 0.5);
            EXPECT_TRUE(streamsGoneWithin(1s)) << "ended, yet the stream stays";
        }
    }

    TEST_F(AudioOutputTest, PlayingFrameFollowsWhatIsHeardToTheEnd)
    {
        constexpr double rateHz = 22050;
        const auto tone = makeToneImage({ { { 800, 1.5 } }, 16, 1, int(rateHz) });
        ASSERT_TRUE(loadTone(audio_, 0, tone));
        EXPECT_EQ(audio_.playingFrame(0), -1);
        audio_.play(0);
        EXPECT_TRUE(audio_.isPlaying(0));
        waitForTone(800, 0.5);
        // The recording lags the server's clock a little; a loaded machine may add to it.
        const std::int64_t heard = audio_.playingFrame(0);
        EXPECT_GT(heard, 0.4 * rateHz);
        EXPECT_LT(heard, 1.2 * rateHz);

        std::int64_t last = heard;
        const auto deadline = std::chrono::steady_clock::now() + soundTimeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::int64_t frame = audio_.playingFrame(0);
            if (frame < 0) {
                break;
            }
            EXPECT_GE(frame, last) << "the playing position went back";
            last = frame;
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_FALSE(audio_.isPlaying(0));
        EXPECT_GT(last, 1.2 * rateHz) << "not followed to the end";
        EXPECT_LE(last, 1.5 * rateHz);

        audio_.play(0);
        audio_.stop(0);
        EXPECT_FALSE(audio_.isPlaying(0));
        EXPECT_EQ(audio_.playingFrame(0), -1);
    }

    // Runs in a child process that sees no server at all; the sound server connection Qt keeps
    // is per process, so the parent's connection cannot interfere.
    TEST(AudioOutputWithoutServer, OpenFailsAndEverythingElseIsHarmless)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                setenv("PULSE_SERVER", "unix:/nonexistent/ticktrace/native", 1);
                const auto image = makeToneImage({ { { 440, 0.1 } } });
                AudioOutput audio;
                const bool loadedBeforeOpen = loadTone(audio, 0, image);
                const auto start = std::chrono::steady_clock::now();
                const bool opened = audio.open();
                const auto openTime = std::chrono::steady_clock::now() - start;
                const bool loaded = loadTone(audio, 0, image) || loadTone(audio, 1, image)
                    || audio.isLoaded(0) || audio.isLoaded(1);
                audio.play(0);
                audio.stop(1);
                audio.close();
                audio.close();
                std::exit(!loadedBeforeOpen && !opened && !loaded && openTime < 5s ? 0 : 1);
            },
            testing::ExitedWithCode(0), "");
    }

} // namespace
} // namespace tt
