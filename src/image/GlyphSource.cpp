#include "image/GlyphSource.h"

namespace tt {
namespace {

    GlyphSource* installed = nullptr;

} // namespace

void installGlyphSource(GlyphSource* source)
{
    installed = source;
}

GlyphSource* installedGlyphSource()
{
    return installed;
}

} // namespace tt
