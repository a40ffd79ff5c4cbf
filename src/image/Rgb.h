#pragma once

#include <cstdint>

namespace tt {

// A colour as three 8-bit components.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend constexpr bool operator==(Rgb, Rgb) = default;
};

} // namespace tt
