#pragma once
// Where Image takes the glyphs of its text from. Only the window toolkit can render the desktop's
// font; it installs its source at start-up (GuiApplication), before any text is drawn, and
// removes it again before it goes away. Without a source, text draws nothing. Both calls and
// all drawing of text belong to the main thread.

#include "image/Glyph.h"

namespace tt {

class GlyphSource {
public:
    virtual ~GlyphSource() = default;

    // The glyph of one byte of Latin-1 text; it lives as long as the source.
    virtual const Glyph& glyph(unsigned char ch) = 0;
};

// nullptr removes the installed source.
void installGlyphSource(GlyphSource* source);
GlyphSource* installedGlyphSource();

} // namespace tt
