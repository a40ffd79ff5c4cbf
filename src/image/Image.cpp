#include "image/Image.h"

#include "image/GlyphSource.h"

#include <algorithm>
#include <cstdlib>

namespace tt {
namespace {

    constexpr std::uint32_t packed(Rgb c)
    {
        return 0xff000000u | (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b;
    }

    __extension__ using Wide = __int128;

    // floor(a / b) for b > 0.
    Wide floorDiv(Wide a, Wide b)
    {
        const Wide q = a / b;
        return (a % b != 0 && a < 0) ? q - 1 : q;
    }

    // ceil(a / b) for b > 0.
    Wide ceilDiv(Wide a, Wide b)
    {
        return -floorDiv(-a, b);
    }

} // namespace

Image::Image(int width, int height)
    : width_(std::max(width, 0))
    , height_(std::max(height, 0))
    , pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), packed({}))
{
}

void Image::fillBox(int x, int y, int w, int h, Rgb colour)
{
    if (w <= 0 || h <= 0) {
        return;
    }
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(x) + w, width_);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(y) + h, height_);
    if (left >= right || top >= bottom) {
        return;
    }
    const std::uint32_t value = packed(colour);
    for (std::int64_t row = top; row < bottom; ++row) {
        std::uint32_t* line = pixels_.data() + row * width_;
        std::fill(line + left, line + right, value);
    }
}

void Image::lineExtent(int x, int y, int w, int h, Rgb colour)
{
    plotLine(x, y, x + w, y + h, false, colour);
}

void Image::lineBetween(int x1, int y1, int x2, int y2, Rgb colour)
{
    plotLine(x1, y1, x2, y2, true, colour);
}

// Bresenham's line in closed form: step k of n along the major axis lies at
// minor = start + sign * floor((2 k |dminor| + n) / (2 n)). Computing any step directly lets the
// loop start and stop at the image edges, so a line far outside costs nothing and the pixels
// inside are exactly those of the unclipped line.
void Image::plotLine(int x1, int y1, int x2, int y2, bool includeEnd, Rgb colour)
{
    const std::int64_t dx = std::int64_t(x2) - x1;
    const std::int64_t dy = std::int64_t(y2) - y1;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t n = xMajor ? std::llabs(dx) : std::llabs(dy);
    const std::int64_t lastStep = includeEnd ? n : n - 1;
    if (lastStep < 0) {
        return;
    }
    const std::int64_t majorStart = xMajor ? x1 : y1;
    const std::int64_t minorStart = xMajor ? y1 : x1;
    const std::int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t minorDelta = xMajor ? dy : dx;
    const std::int64_t minorSign = minorDelta < 0 ? -1 : 1;
    const std::int64_t minorAbs = std::llabs(minorDelta);
    const std::int64_t majorLimit = xMajor ? width_ : height_;
    const std::int64_t minorLimit = xMajor ? height_ : width_;

    // Steps whose major coordinate lies inside the image: 0 <= start + sign k < limit.
    std::int64_t first = 0;
    std::int64_t last = lastStep;
    if (majorSign > 0) {
        first = std::max(first, -majorStart);
        last = std::min(last, majorLimit - 1 - majorStart);
    } else {
        first = std::max(first, majorStart - (majorLimit - 1));
        last = std::min(last, majorStart);
    }
    if (first > last) {
        return;
    }
    // Narrow further to the steps whose minor coordinate can lie inside the image.
    // offset(k) = floor((2 k a + n) / (2 n)) is non-decreasing in k, so the steps with
    // lo <= offset(k) <= hi form one range. 128-bit arithmetic: coordinates may be any int.
    if (n > 0 && minorAbs > 0) {
        const std::int64_t lo = minorSign > 0 ? -minorStart : minorStart - (minorLimit - 1);
        const std::int64_t hi = minorSign > 0 ? minorLimit - 1 - minorStart : minorStart;
        if (hi < 0 || lo > hi) {
            return;
        }
        const Wide twoN = Wide(2) * n;
        const Wide twoA = Wide(2) * minorAbs;
        if (lo > 0) { // offset(k) >= lo  <=>  k >= ceil((2 n lo - n) / (2 a))
            first = static_cast<std::int64_t>(std::max<Wide>(first, ceilDiv(twoN * lo - n, twoA)));
        }
        // offset(k) <= hi  <=>  k <= floor((2 n (hi + 1) - n - 1) / (2 a))
        last = static_cast<std::int64_t>(
            std::min<Wide>(last, floorDiv(twoN * (hi + 1) - n - 1, twoA)));
        if (first > last) {
            return;
        }
    }

    // Walk from the first visible step with the remainder of the division carried along.
    const std::int64_t twoN = 2 * std::max<std::int64_t>(n, 1);
    const std::int64_t twoA = 2 * minorAbs;
    const Wide numerator = Wide(2) * first * minorAbs + n;
    std::int64_t offset = static_cast<std::int64_t>(floorDiv(numerator, twoN));
    std::int64_t remainder = static_cast<std::int64_t>(numerator - Wide(offset) * twoN);
    const std::uint32_t value = packed(colour);
    for (std::int64_t k = first; k <= last; ++k) {
        const std::int64_t major = majorStart + majorSign * k;
        const std::int64_t minor = minorStart + minorSign * offset;
        const std::int64_t px = xMajor ? major : minor;
        const std::int64_t py = xMajor ? minor : major;
        if (px >= 0 && px < width_ && py >= 0 && py < height_) {
            pixels_[static_cast<std::size_t>(py * width_ + px)] = value;
        }
        remainder += twoA;
        if (remainder >= twoN) { // 2 a <= 2 n: at most one carry per step
            remainder -= twoN;
            ++offset;
        }
    }
}

void Image::drawText(int x, int y, std::string_view text, Rgb colour)
{
    GlyphSource* const glyphs = installedGlyphSource();
    if (glyphs == nullptr) {
        return;
    }
    int penX = x;
    for (const char ch : text) {
        const Glyph& glyph = glyphs->glyph(static_cast<unsigned char>(ch));
        for (int gy = 0; gy < glyph.height; ++gy) {
            const int py = y + gy;
            if (py < 0 || py >= height_) {
                continue;
            }
            for (int gx = 0; gx < glyph.width; ++gx) {
                const int px = penX + gx;
                const std::uint32_t alpha = glyph.coverage[std::size_t(gy * glyph.width + gx)];
                if (px < 0 || px >= width_ || alpha == 0) {
                    continue;
                }
                std::uint32_t& target
                    = pixels_[std::size_t(py) * std::size_t(width_) + std::size_t(px)];
                const auto blend = [alpha](std::uint32_t under, std::uint32_t over) {
                    return (over * alpha + under * (255 - alpha) + 127) / 255;
                };
                const std::uint32_t r = blend((target >> 16) & 0xff, colour.r);
                const std::uint32_t g = blend((target >> 8) & 0xff, colour.g);
                const std::uint32_t b = blend(target & 0xff, colour.b);
                target = 0xff000000u | (r << 16) | (g << 8) | b;
            }
        }
        penX += glyph.advance;
    }
}

void Image::copyFrom(const Image& source, int x, int y)
{
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(x) + source.width_, width_);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(y) + source.height_, height_);
    if (left >= right || top >= bottom) {
        return;
    }
    for (std::int64_t row = top; row < bottom; ++row) {
        const std::uint32_t* from = source.pixels_.data() + (row - y) * source.width_ + (left - x);
        std::copy(from, from + (right - left), pixels_.data() + row * width_ + left);
    }
}

Rgb Image::pixel(int x, int y) const
{
    if (x < 0 || x >= width_ || y < 0 || y >= height_) {
        return {};
    }
    const std::uint32_t v = pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
    return { std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v) };
}

} // namespace tt
