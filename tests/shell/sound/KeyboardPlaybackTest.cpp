// Playing and stopping with the keyboard alone on the private test sound server, and the thin
// marker that follows the playing position over the overview band.

#include "TestSounds.h"
#include "shell/ControlIds.h"
#include "shell/ShellDriver.h"

#include <QTest>
#include <Qt>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

namespace tt {
namespace {

    using namespace std::chrono_literals;

    class KeyboardPlayback : public ::testing::Test, protected testing::ShellDriver {
    protected:
        void SetUp() override
        {
            if (std::getenv("TICKTRACE_TEST_SINK") == nullptr) {
                GTEST_SKIP() << "no private sound server: run the tests through "
                                "scripts/with-test-sound-server.sh (needs pulseaudio)";
            }
            ASSERT_TRUE(audio.open());
        }

        // Handles what is pending, as the program's loop would, for about the given time.
        void run(std::chrono::milliseconds duration = 0ms)
        {
            const auto end = std::chrono::steady_clock::now() + duration;
            do {
                QTest::qWait(10);
                ASSERT_TRUE(pump());
            } while (std::chrono::steady_clock::now() < end);
        }

        void key(int qtKey)
        {
            input.pressKey(qtKey);
            run();
        }

        // Columns of the overview band that show the playing marker.
        std::set<int> markerColumns() const
        {
            std::set<int> columns;
            for (int x = 0; x < 600; ++x) {
                if (shell.zoomView().pixel(x, 250) == Rgb { 0, 96, 255 }) {
                    columns.insert(x);
                }
            }
            return columns;
        }
    };

    TEST_F(KeyboardPlayback, SpaceEscapeAndReturnPlayAndStopWhileTheMarkerFollows)
    {
        ASSERT_TRUE(shell.openFile(
            writeTempFile(makeToneImage({ { { 440, 2.0 } }, 8, 1, 8000 }), "keys.wav")));

        // Space starts the one-bit sound; its marker runs to the right with what is heard.
        key(Qt::Key_Space);
        EXPECT_TRUE(audio.isPlaying(1));
        EXPECT_TRUE(shell.window().ticking());
        run(300ms);
        const std::set<int> early = markerColumns();
        run(600ms);
        const std::set<int> later = markerColumns();
        ASSERT_EQ(early.size(), 1u);
        ASSERT_EQ(later.size(), 1u);
        // 0.6 s of 2 s is 180 columns; a loaded machine may stretch the wait, never the sound.
        EXPECT_GT(*later.begin(), *early.begin() + 100);

        // Space again stops it, and the marker goes.
        key(Qt::Key_Space);
        EXPECT_FALSE(audio.isPlaying(1));
        EXPECT_TRUE(markerColumns().empty());

        // Return presses the focused Play Wave button; Escape stops every sound.
        input.focus(control::playWave);
        key(Qt::Key_Return);
        key(Qt::Key_Space);
        EXPECT_TRUE(audio.isPlaying(0));
        EXPECT_TRUE(audio.isPlaying(1));
        run(200ms);
        EXPECT_GE(markerColumns().size(), 1u);
        key(Qt::Key_Escape);
        EXPECT_FALSE(audio.isPlaying(0));
        EXPECT_FALSE(audio.isPlaying(1));
        EXPECT_TRUE(markerColumns().empty());

        // With STOP focused Space still toggles the one-bit sound, never a second one.
        input.focus(control::stop);
        key(Qt::Key_Space);
        EXPECT_TRUE(audio.isPlaying(1));
        key(Qt::Key_Space);
        EXPECT_FALSE(audio.isPlaying(1));
    }

    TEST_F(KeyboardPlayback, ASoundPlayedToItsEndTakesItsMarkerAndTheTicksWithIt)
    {
        ASSERT_TRUE(shell.openFile(
            writeTempFile(makeToneImage({ { { 440, 0.3 } }, 16, 2, 22050 }), "short.wav")));
        key(Qt::Key_Space);
        ASSERT_TRUE(audio.isPlaying(1));
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (audio.isPlaying(1) && std::chrono::steady_clock::now() < deadline) {
            run(50ms);
        }
        run(100ms);
        EXPECT_FALSE(audio.isPlaying(1));
        EXPECT_FALSE(shell.window().ticking());
        EXPECT_TRUE(markerColumns().empty());
    }

    // Play Wave plays the selection and Play from View the sound from the view's frame; with Loop
    // Playback a sound that reaches its end starts again.
    TEST_F(KeyboardPlayback, TheSelectionPlaysAndLoopsAndPlayFromViewStartsAtTheView)
    {
        ASSERT_TRUE(shell.openFile(
            writeTempFile(makeToneImage({ { { 440, 2.0 } }, 16, 1, 8000 }), "part.wav")));
        input.pressLeft({ 300, 250 }, true); // frames 8013 ... 11993: the columns 300 ... 449
        input.moveTo({ 449, 250 });
        input.releaseLeft({ 449, 250 });
        run();
        const auto markerInSelection = [this] {
            const std::set<int> columns = markerColumns();
            return columns.size() == 1 && *columns.begin() >= 300 && *columns.begin() < 450;
        };
        input.click(control::playWave);
        run(100ms);
        EXPECT_TRUE(markerInSelection());
        input.chooseMenuItem("Loop Playback");
        run(900ms); // the selection lasts 0.5 s
        EXPECT_TRUE(audio.isPlaying(0));
        EXPECT_TRUE(markerInSelection());
        input.chooseMenuItem("Loop Playback");
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (audio.isPlaying(0) && std::chrono::steady_clock::now() < deadline) {
            run(50ms);
        }
        EXPECT_FALSE(audio.isPlaying(0));

        input.pressKey(Qt::Key_P, true); // the view at frame 0, before the selection
        run(100ms);
        const std::set<int> columns = markerColumns();
        ASSERT_EQ(columns.size(), 1u);
        EXPECT_LT(*columns.begin(), 100);
    }

} // namespace
} // namespace tt
