#include "image/Image.h"

#include "image/GlyphSource.h"

#include <gtest/gtest.h>
#include <random>
#include <set>
#include <utility>

namespace tt {
namespace {

    constexpr Rgb red { 255, 0, 0 };
    constexpr Rgb black {};

    std::set<std::pair<int, int>> paintedPixels(const Image& image)
    {
        std::set<std::pair<int, int>> painted;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != black) {
                    painted.insert({ x, y });
                }
            }
        }
        return painted;
    }

    TEST(Image, StartsBlackAndFillsExactlyTheBox)
    {
        Image image(20, 10);
        EXPECT_TRUE(paintedPixels(image).empty());
        image.fillBox(2, 3, 4, 5, red);
        const auto painted = paintedPixels(image);
        EXPECT_EQ(painted.size(), 20u);
        EXPECT_TRUE(painted.count({ 2, 3 }) && painted.count({ 5, 7 }));
        EXPECT_FALSE(painted.count({ 6, 3 }) || painted.count({ 2, 8 }));
        image.fillBox(0, 0, 0, 5, red);
        image.fillBox(0, 0, 5, -1, red);
        EXPECT_EQ(paintedPixels(image).size(), 20u);
    }

    TEST(Image, BoxesAreClippedAtEveryEdge)
    {
        Image image(10, 10);
        image.fillBox(-5, -5, 7, 7, red); // top-left corner: 2x2 visible
        image.fillBox(8, 8, 100, 100, red); // bottom-right corner: 2x2 visible
        image.fillBox(-100, 5, 1000, 1, red); // whole row 5
        EXPECT_EQ(paintedPixels(image).size(), 4u + 4u + 10u);
        image.fillBox(20, 20, 5, 5, red);
        image.fillBox(-30, -30, 5, 5, red);
        EXPECT_EQ(paintedPixels(image).size(), 18u);
    }

    TEST(Image, LineBetweenIncludesBothEndsAndLineExtentLeavesOutItsEnd)
    {
        Image between(20, 20);
        between.lineBetween(2, 3, 9, 3, red);
        EXPECT_EQ(paintedPixels(between).size(), 8u);
        EXPECT_EQ(between.pixel(2, 3), red);
        EXPECT_EQ(between.pixel(9, 3), red);

        Image extent(20, 20);
        extent.lineExtent(2, 3, 7, 0, red); // to (9, 3), without it
        EXPECT_EQ(paintedPixels(extent).size(), 7u);
        EXPECT_EQ(extent.pixel(8, 3), red);
        EXPECT_EQ(extent.pixel(9, 3), black);

        Image vertical(20, 20);
        vertical.lineExtent(5, 0, 0, 10, red); // rows 0 ... 9
        EXPECT_EQ(paintedPixels(vertical).size(), 10u);
        EXPECT_EQ(vertical.pixel(5, 10), black);

        Image diagonal(20, 20);
        diagonal.lineBetween(10, 1, 1, 19, red); // steep, right to left
        const auto painted = paintedPixels(diagonal);
        EXPECT_EQ(painted.size(), 19u); // one pixel per row
        EXPECT_TRUE(painted.count({ 10, 1 }) && painted.count({ 1, 19 }));

        Image point(5, 5);
        point.lineBetween(2, 2, 2, 2, red);
        point.lineExtent(4, 4, 0, 0, red); // empty
        EXPECT_EQ(paintedPixels(point), (std::set<std::pair<int, int>> { { 2, 2 } }));
    }

    TEST(Image, ClippedLinesHaveExactlyThePixelsOfTheUnclippedLine)
    {
        // Reference: the same line on a canvas large enough to hold it, cropped afterwards.
        std::mt19937 random(7);
        std::uniform_int_distribution<int> coordinate(-60, 90);
        for (int round = 0; round < 2000; ++round) {
            const int x1 = coordinate(random), y1 = coordinate(random);
            const int x2 = coordinate(random), y2 = coordinate(random);
            const bool withEnd = round % 2 == 0;
            Image clipped(30, 20);
            Image large(400, 400);
            constexpr int shift = 150;
            if (withEnd) {
                clipped.lineBetween(x1, y1, x2, y2, red);
                large.lineBetween(x1 + shift, y1 + shift, x2 + shift, y2 + shift, red);
            } else {
                clipped.lineExtent(x1, y1, x2 - x1, y2 - y1, red);
                large.lineExtent(x1 + shift, y1 + shift, x2 - x1, y2 - y1, red);
            }
            for (int y = 0; y < clipped.height(); ++y) {
                for (int x = 0; x < clipped.width(); ++x) {
                    ASSERT_EQ(clipped.pixel(x, y), large.pixel(x + shift, y + shift))
                        << "line (" << x1 << "," << y1 << ")-(" << x2 << "," << y2 << ") at " << x
                        << "," << y;
                }
            }
        }
    }

    TEST(Image, FarAwayCoordinatesCostNothingAndDrawNothing)
    {
        Image image(10, 10);
        image.lineBetween(-2000000000, 5, 2000000000, 5, red);
        EXPECT_EQ(paintedPixels(image).size(), 10u);
        image.lineBetween(2000000000, -2000000000, 2000000000, 2000000000, red);
        EXPECT_EQ(paintedPixels(image).size(), 10u);
    }

    TEST(Image, CopyPlacesTheWholeSourceAndClips)
    {
        Image source(3, 2);
        source.fillBox(0, 0, 3, 2, red);
        source.fillBox(2, 1, 1, 1, Rgb { 0, 0, 255 });
        Image target(5, 5);
        target.copyFrom(source, 1, 2);
        EXPECT_EQ(target.pixel(1, 2), red);
        EXPECT_EQ(target.pixel(3, 3), (Rgb { 0, 0, 255 }));
        EXPECT_EQ(target.pixel(0, 2), black);
        EXPECT_EQ(target.pixel(1, 4), black);
        EXPECT_EQ(paintedPixels(target).size(), 6u);

        Image edge(5, 5);
        edge.copyFrom(source, 3, -1); // only columns 3, 4 of row 0
        EXPECT_EQ(paintedPixels(edge).size(), 2u);
        EXPECT_EQ(edge.pixel(4, 0), red);
    }

    // Every character the same: full coverage on a diagonal, half below it.
    struct DiagonalGlyphs final : GlyphSource {
        Glyph diagonal { 2, 3, 3, { 255, 0, 0, 255, 128, 0 } };
        const Glyph& glyph(unsigned char) override { return diagonal; }
    };

    TEST(Image, TextBlendsTheInstalledGlyphsAtThePenAndClips)
    {
        constexpr Rgb grey { 32, 32, 32 };
        constexpr Rgb olive { 128, 128, 0 };
        constexpr Rgb half { 80, 80, 16 }; // olive over grey at 128 / 255, rounded
        Image image(7, 6);
        image.fillBox(0, 0, 7, 6, grey);
        image.drawText(0, 0, "x", olive); // no source installed: nothing
        DiagonalGlyphs glyphs;
        installGlyphSource(&glyphs);
        image.drawText(1, 1, "ab", olive);
        image.drawText(5, 4, "c", olive); // its last row and column lie outside
        installGlyphSource(nullptr);
        const std::set<std::pair<int, int>> full { { 1, 1 }, { 2, 2 }, { 4, 1 }, { 5, 2 }, { 5, 4 },
            { 6, 5 } };
        const std::set<std::pair<int, int>> halves { { 1, 3 }, { 4, 3 } };
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const Rgb expected
                    = full.count({ x, y }) ? olive : (halves.count({ x, y }) ? half : grey);
                EXPECT_EQ(image.pixel(x, y), expected) << x << "," << y;
            }
        }
    }

} // namespace
} // namespace tt
