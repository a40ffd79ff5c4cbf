#pragma once

#include <bit>
#include <cstdint>

namespace tt {

// The per-sample rounding of the conversion pass and of every level made into a sample (a
// decoded or resampled sound): nearest integer, halves to even, for levels
// of magnitude below 2^31 (model levels never leave +-32768 * 4). Under the default
// round-to-nearest-even mode, adding 1.5 * 2^52 leaves a sum whose unit in the last place is 1,
// so the addition itself rounds the fraction away, and the low 32 bits of the sum's
// representation hold the rounded value in two's complement. Agrees with roundHalfEven of the
// text helpers for every such level; it avoids the rounding-mode handling that one does.
inline std::int32_t roundLevel(double level)
{
    const double shifted = level + 0x1.8p52;
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(shifted)));
}

} // namespace tt
