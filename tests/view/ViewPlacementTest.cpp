#include "view/ViewPlacement.h"

#include <gtest/gtest.h>

namespace tt {
namespace {

    // The view the mouse gives for a pointer column in the overview band.
    ViewPlacement placeView(int cursorX, std::int64_t frameCount)
    {
        return placeViewAt(viewStartAtColumn(cursorX, frameCount));
    }

    // With 600 frames the cursor's frame is cursorX + 1.
    TEST(ViewPlacement, StartsAtFrameZeroUntilThePreRollFits)
    {
        for (const int cursorX : { 0, 7, 15, 23, 30 }) { // aligned frames 0, 8, 16, 24, 24
            const ViewPlacement placement = placeView(cursorX, 600);
            EXPECT_EQ(placement.viewStart, 0) << cursorX;
            EXPECT_EQ(placement.preRollFrames, 0) << cursorX;
        }
        const ViewPlacement at32 = placeView(31, 600);
        EXPECT_EQ(at32.viewStart, 16);
        EXPECT_EQ(at32.preRollFrames, 16);
        const ViewPlacement at39 = placeView(38, 600);
        EXPECT_EQ(at39.viewStart, 16);
        EXPECT_EQ(placeView(39, 600).viewStart, 24);
    }

    TEST(ViewPlacement, FollowsTheCursorThroughALongFile)
    {
        EXPECT_EQ(placeView(0, 9600).viewStart, 0); // cursor frame 16
        EXPECT_EQ(placeView(299, 600000).viewStart, 299984);
        EXPECT_EQ(placeView(299, 600000).preRollFrames, 16);
        EXPECT_EQ(placeView(599, 600000).viewStart, 599984);
        // 600 x frames overflows 32 bits here; the view must still reach the end of the file.
        EXPECT_EQ(placeView(599, 4000000).viewStart, 3999984);
        EXPECT_EQ(placeView(299, 4000000).viewStart, 1999984);
    }

    TEST(ViewPlacement, AlignsDownToTheGridLineAtOrBeforeTheCursorFrame)
    {
        // 300 frames: the cursor frame is (cursorX + 1) / 2.
        EXPECT_EQ(placeView(93, 300).viewStart, 24); // frame 47 -> grid line 40
        EXPECT_EQ(placeView(94, 300).viewStart, 32); // 47.5 rounds to 48
        EXPECT_EQ(placeView(95, 300).viewStart, 32); // 48
    }

    TEST(ViewPlacement, ShortAndEmptyFilesStayAtTheStart)
    {
        for (const int cursorX : { 0, 300, 599 }) {
            EXPECT_EQ(placeView(cursorX, 24).viewStart, 0) << cursorX;
            EXPECT_EQ(placeView(cursorX, 0).viewStart, 0) << cursorX;
            EXPECT_EQ(placeView(cursorX, 0).preRollFrames, 0) << cursorX;
        }
        EXPECT_EQ(placeView(599, 39).viewStart, 16);
        EXPECT_EQ(placeView(599, 39).preRollFrames, 16);
    }

    TEST(ViewPlacement, CursorOutsideTheBandIsTakenAsTheNearestEnd)
    {
        EXPECT_EQ(placeView(-5, 600000).viewStart, placeView(0, 600000).viewStart);
        EXPECT_EQ(placeView(10000, 600000).viewStart, 599984);
    }

} // namespace
} // namespace tt
