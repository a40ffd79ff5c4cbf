#include "modulator/VolumeText.h"

#include "text/TextFormat.h"

#include <algorithm>

namespace tt {

std::string volumeText(int volume)
{
    return formatFixed6(float(volume) / 100.0f);
}

std::int64_t volumeFromText(std::string_view text)
{
    // Single precision throughout, as the field's value is a float: "2.675" gives 268.
    const float scaled = parseFloat(text) * 100.0f;
    // Far beyond any range a caller accepts, but finite and safely convertible.
    constexpr float limit = 1.0e12f;
    return roundHalfEven(double(std::clamp(scaled, -limit, limit)));
}

} // namespace tt
