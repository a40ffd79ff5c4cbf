#pragma once
// An off-screen picture that the program draws into and an image control shows.
//
// Boxes and lines are exact to the pixel and everything is clipped to the image, so callers may
// pass any coordinates. Text uses the glyphs of the installed GlyphSource (the desktop's default
// font while the window toolkit runs) with a transparent background; without one it draws
// nothing. The other operations need nothing but the image.

#include "image/Rgb.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tt {

class Image {
public:
    // A width x height image, every pixel black.
    Image(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    // Fills columns x ... x+w-1 and rows y ... y+h-1 (nothing when w or h is not positive).
    void fillBox(int x, int y, int w, int h, Rgb colour);

    // The line from (x, y) to (x+w, y+h), without its end point.
    void lineExtent(int x, int y, int w, int h, Rgb colour);

    // The line from (x1, y1) to (x2, y2), both end points included.
    void lineBetween(int x1, int y1, int x2, int y2, Rgb colour);

    // Text with its top-left corner at (x, y); only the glyphs are painted.
    void drawText(int x, int y, std::string_view text, Rgb colour);

    // Copies the whole of source with its top-left corner at (x, y).
    void copyFrom(const Image& source, int x, int y);

    Rgb pixel(int x, int y) const;

    // Rows top to bottom, each pixel 0xffRRGGBB: the layout the toolkit shows without copying.
    const std::uint32_t* pixels() const { return pixels_.data(); }

private:
    void plotLine(int x1, int y1, int x2, int y2, bool includeEnd, Rgb colour);

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

} // namespace tt
