#include "app/PlayerRate.h"

#include "text/TextFormat.h"

#include <charconv>

namespace tt {
namespace {

    std::optional<std::uint64_t> wholeNumber(std::string_view text)
    {
        std::uint64_t value = 0;
        const char* end = text.data() + text.size();
        const auto [at, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || error != std::errc {} || at != end) {
            return std::nullopt;
        }
        return value;
    }

} // namespace

std::optional<PlayerRate> parsePlayerRate(std::string_view text, std::uint32_t maxRateHz)
{
    PlayerRate rate;
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        const std::optional<std::uint64_t> hz = wholeNumber(text);
        if (!hz || *hz < 1 || *hz > maxRateHz) {
            return std::nullopt;
        }
        rate.rateHz = std::uint32_t(*hz);
        return rate;
    }
    const std::optional<std::uint64_t> clock = wholeNumber(text.substr(0, slash));
    const std::optional<std::uint64_t> cycles = wholeNumber(text.substr(slash + 1));
    if (!clock || !cycles || *cycles == 0) {
        return std::nullopt;
    }
    // Nearest whole Hz, halves up, in integers that cannot overflow.
    const std::uint64_t remainder = *clock % *cycles;
    const std::uint64_t nearest = *clock / *cycles + (remainder >= *cycles - remainder ? 1 : 0);
    if (nearest < 1 || nearest > maxRateHz) {
        return std::nullopt;
    }
    rate.rateHz = std::uint32_t(nearest);
    rate.clockHz = *clock;
    rate.cycles = *cycles;
    return rate;
}

std::string playerRateText(const PlayerRate& rate)
{
    const std::string hz = toDecimal(rate.rateHz) + " Hz";
    if (rate.cycles == 0) {
        return hz;
    }
    return std::to_string(rate.clockHz) + "/" + std::to_string(rate.cycles) + " = "
        + formatFixed(double(rate.clockHz) / double(rate.cycles), 2) + " Hz, resampled to " + hz;
}

} // namespace tt
