// Audio output through a sound server that stalls, dies and comes back: a server of this test's
// own (PrivateSoundServer), reached through PULSE_SERVER, which is set before the first
// connection of the process. The window's thread must never wait longer than
// AudioOutput::callTimeout for the audio thread, and sound must come back with the server.

#include "PrivateSoundServer.h"
#include "SoundCapture.h"
#include "TestSounds.h"
#include "platform/audio/AudioOutput.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace tt {
namespace {

    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;

    constexpr auto soundTimeout = 15s;
    constexpr double toneThreshold = 0.5 * playedAmplitude;
    // What a bounded call may take beyond the bound on a loaded machine.
    constexpr auto schedulingSlack = 300ms;

    PrivateSoundServer& server()
    {
        static PrivateSoundServer instance;
        return instance;
    }

    class ServerTroubleTest : public testing::Test {
    protected:
        void SetUp() override
        {
            if (!server().start()) {
                GTEST_SKIP() << "pulseaudio could not be started";
            }
            setenv("PULSE_SERVER", server().address().c_str(), 1);
            capture_ = std::make_unique<SoundCapture>(PrivateSoundServer::sinkName);
            ASSERT_TRUE(capture_->waitUntilFlowing(soundTimeout)) << "parec records nothing";
            ASSERT_TRUE(audio_.open());
        }

        void TearDown() override { server().thaw(); }

        // Seconds the tone has sounded in everything captured so far, once it reached minSeconds.
        bool waitForTone(double frequencyHz, double minSeconds, std::chrono::milliseconds timeout)
        {
            return capture_->waitUntil(
                [&](const std::vector<std::int16_t>& s) {
                    return CapturedSound(s, SoundCapture::sampleRateHz)
                               .toneSeconds(frequencyHz, toneThreshold)
                        >= minSeconds;
                },
                timeout);
        }

        template <typename Call> void expectBounded(const char* what, Call call)
        {
            const auto start = Clock::now();
            call();
            const auto took = Clock::now() - start;
            EXPECT_LT(took, AudioOutput::callTimeout + schedulingSlack)
                << what << " took "
                << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        }

        AudioOutput audio_;
        std::unique_ptr<SoundCapture> capture_;
    };

    TEST_F(ServerTroubleTest, FrozenServerBoundsEveryCallAndPlaysAgainWhenThawed)
    {
        const auto longTone = makeToneImage({ { { 400, 3.0 } } });
        const auto shortTone = makeToneImage({ { { 900, 0.4 } }, 16, 1, 22050 });
        ASSERT_TRUE(loadTone(audio_, 0, longTone));
        audio_.play(0);
        ASSERT_TRUE(waitForTone(400, 0.2, soundTimeout)) << "400 Hz never sounded";

        server().freeze();
        const auto frozenAt = Clock::now();
        expectBounded("play", [&] { audio_.play(0); });
        expectBounded("stop", [&] { audio_.stop(0); });
        expectBounded("load", [&] { EXPECT_TRUE(loadTone(audio_, 1, shortTone)); });
        expectBounded("second play", [&] { audio_.play(1); });
        EXPECT_LT(Clock::now() - frozenAt, AudioOutput::callTimeout + 4 * schedulingSlack)
            << "a stalled audio thread is waited for once, not at every call";
        // Longer than the 30 s after which the client library gives up on a request.
        std::this_thread::sleep_for(32s);
        server().thaw();
        std::this_thread::sleep_for(1s); // what was asked for during the stall may play out

        // A play asked for during the stall may sound or not (the library gives up on a stream
        // the server leaves unanswered for 30 s); the first one after it sounds.
        const auto thawedAt = capture_->samples().size();
        audio_.play(1);
        EXPECT_TRUE(capture_->waitUntil(
            [&](const std::vector<std::int16_t>& s) {
                const std::vector<std::int16_t> after(s.begin() + long(thawedAt), s.end());
                return CapturedSound(after, SoundCapture::sampleRateHz)
                           .toneSeconds(900, toneThreshold)
                    >= 0.35;
            },
            soundTimeout))
            << "play after the thaw is silent";

        // Closing while the server is frozen does not wait for it either.
        audio_.play(0);
        ASSERT_TRUE(waitForTone(400, 0.2, soundTimeout));
        server().freeze();
        expectBounded("play", [&] { audio_.play(1); });
        expectBounded("close", [&] { audio_.close(); });
        EXPECT_FALSE(audio_.isLoaded(0));
        server().thaw();
    }

    TEST_F(ServerTroubleTest, SoundComesBackAfterTheServerRestarts)
    {
        const auto tone = makeToneImage({ { { 700, 0.3 } } });
        ASSERT_TRUE(loadTone(audio_, 1, tone));
        audio_.play(1);
        ASSERT_TRUE(waitForTone(700, 0.25, soundTimeout)) << "700 Hz never sounded";

        server().kill();
        capture_.reset();
        expectBounded("play without a server", [&] { audio_.play(1); });
        std::this_thread::sleep_for(2s); // several reconnection attempts fail meanwhile
        ASSERT_TRUE(server().start());
        capture_ = std::make_unique<SoundCapture>(PrivateSoundServer::sinkName);
        ASSERT_TRUE(capture_->waitUntilFlowing(soundTimeout));

        // The user presses Play now and then until the sound is back.
        const auto deadline = Clock::now() + soundTimeout;
        bool heard = false;
        while (!heard && Clock::now() < deadline) {
            expectBounded("play", [&] { audio_.play(1); });
            std::this_thread::sleep_for(1s);
            heard = waitForTone(700, 0.25, 0ms);
        }
        EXPECT_TRUE(heard) << "still silent after the server came back";
        expectBounded("close", [&] { audio_.close(); });
    }

} // namespace
} // namespace tt
