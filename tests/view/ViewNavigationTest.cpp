#include "view/ViewNavigation.h"

#include "view/ViewPlacement.h"

#include <gtest/gtest.h>
#include <vector>

namespace tt {
namespace {

    TEST(ViewNavigation, StepsByGridAndPageWithinTheSound)
    {
        struct Case {
            std::int64_t frameCount;
            std::int64_t viewStart;
            ViewStep step;
            std::int64_t expected;
        };
        const Case cases[] = {
            { 600000, 0, ViewStep::GridForward, 8 },
            { 600000, 8, ViewStep::GridBack, 0 },
            { 600000, 0, ViewStep::GridBack, 0 },
            { 600000, 0, ViewStep::PageForward, 40 },
            { 600000, 80, ViewStep::PageBack, 40 },
            { 600000, 16, ViewStep::PageBack, 0 },
            { 600000, 299984, ViewStep::Start, 0 },
            { 600000, 0, ViewStep::End, 599984 }, // where the pointer's last column puts it
            { 600000, 599984, ViewStep::GridForward, 599984 },
            { 600000, 599976, ViewStep::PageForward, 599984 },
            { 600000, 599984, ViewStep::GridBack, 599976 },
            { 39, 0, ViewStep::End, 16 },
            { 39, 16, ViewStep::GridForward, 16 },
            { 24, 0, ViewStep::GridForward, 0 }, // the whole sound is in view
            { 0, 0, ViewStep::End, 0 },
            { 0, 0, ViewStep::PageForward, 0 },
        };
        for (const Case& c : cases) {
            EXPECT_EQ(steppedViewStart(c.viewStart, c.step, c.frameCount), c.expected)
                << c.frameCount << " frames, from " << c.viewStart << ", step " << int(c.step);
        }
    }

    // The view shows 40 frames; stepping through the sound shows each frame at least once,
    // also those that no pointer column reaches.
    TEST(ViewNavigation, GridStepsBringEveryFrameIntoView)
    {
        for (const std::int64_t frameCount : { 1, 31, 40, 47, 1000, 4097, 36000 }) {
            std::vector<bool> seen(std::size_t(frameCount), false);
            std::int64_t viewStart = 0;
            for (;;) {
                for (std::int64_t f = viewStart; f < viewStart + 40 && f < frameCount; ++f) {
                    seen[std::size_t(f)] = true;
                }
                const std::int64_t next
                    = steppedViewStart(viewStart, ViewStep::GridForward, frameCount);
                if (next == viewStart) {
                    break;
                }
                EXPECT_EQ(next, viewStart + 8);
                viewStart = next;
            }
            EXPECT_EQ(viewStart, lastViewStart(frameCount)) << frameCount;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0) << frameCount;
        }
    }

    TEST(ViewNavigation, KeyPlacedViewsRunInFromAsManyFramesAsLieBeforeThem)
    {
        EXPECT_EQ(placeViewAt(0).preRollFrames, 0);
        EXPECT_EQ(placeViewAt(8).preRollFrames, 8);
        EXPECT_EQ(placeViewAt(16).preRollFrames, 16);
        EXPECT_EQ(placeViewAt(800).preRollFrames, 16);
        EXPECT_EQ(placeViewAt(-8).viewStart, 0);
    }

} // namespace
} // namespace tt
