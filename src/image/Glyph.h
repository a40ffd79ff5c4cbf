#pragma once

#include <cstdint>
#include <vector>

namespace tt {

// The coverage mask of one character as the desktop's font draws it.
struct Glyph {
    int width = 0;
    int height = 0;
    int advance = 0; // from this character's pen position to the next one's
    std::vector<std::uint8_t> coverage; // width * height, row by row, 0 = untouched
};

} // namespace tt
