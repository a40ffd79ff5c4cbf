// The toolkit's glyphs as Image draws them once GuiApplication has installed them.

#include "image/Image.h"

#include <gtest/gtest.h>

namespace tt {
namespace {

    TEST(Image, TextPaintsGlyphsOnlyNearItsPosition)
    {
        Image image(60, 30);
        image.fillBox(0, 0, 60, 30, Rgb { 32, 32, 32 });
        image.drawText(10, 5, "108", Rgb { 128, 128, 0 });
        int changed = 0;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 60; ++x) {
                if (image.pixel(x, y) != Rgb { 32, 32, 32 }) {
                    ++changed;
                    EXPECT_GE(x, 10);
                    EXPECT_GE(y, 5);
                }
            }
        }
        EXPECT_GT(changed, 10); // legible digits, transparent background around them
        EXPECT_LT(changed, 400);
    }

} // namespace
} // namespace tt
