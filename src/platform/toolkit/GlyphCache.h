#pragma once
// Coverage masks of the default font's glyphs, rendered once through the toolkit and then
// blended by Image without touching the toolkit again: a zoom redraw paints some fifty glyphs
// and must stay well under a millisecond.

#include "image/GlyphSource.h"

#include <array>
#include <memory>

namespace tt {

class GlyphCache final : public GlyphSource {
public:
    static GlyphCache& instance();

    // The glyph of one byte of Latin-1 text; rendered on first use.
    const Glyph& glyph(unsigned char ch) override;

private:
    std::array<std::unique_ptr<Glyph>, 256> glyphs_ {};
};

} // namespace tt
