#include "modulator/VolumeText.h"

#include "modulator/ModulatorSettings.h"
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

std::optional<int> volumeOfField(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t digits = std::size_t(std::ranges::count_if(text, isDigit));
    const std::size_t points = std::size_t(std::ranges::count(text, '.'));
    if (digits == 0 || points > 1 || digits + points != text.size()) {
        return std::nullopt;
    }
    const std::int64_t volume = volumeFromText(text);
    if (volume < ModulatorSettings::volumeMin || volume > ModulatorSettings::volumeMax) {
        return std::nullopt;
    }
    return int(volume);
}

} // namespace tt
