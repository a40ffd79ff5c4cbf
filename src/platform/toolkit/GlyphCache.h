#pragma once
// Coverage masks of the default font's glyphs, rendered once through the toolkit and then
// blended by Image without touching the toolkit again: a zoom redraw paints some fifty glyphs
// and must stay well under a millisecond.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tt {

struct Glyph {
    int width = 0;
    int height = 0;
    int advance = 0;
    std::vector<std::uint8_t> coverage; // width * height, row by row, 0 = untouched
};

class GlyphCache {
public:
    static GlyphCache& instance();

    // The glyph of one byte of Latin-1 text; rendered on first use.
    const Glyph& glyph(unsigned char ch);

private:
    std::array<std::unique_ptr<Glyph>, 256> glyphs_ {};
};

} // namespace tt
