#include "decode/SoundOrigin.h"

#include "text/TextFormat.h"

namespace tt {

std::string soundOriginText(
    const std::string& originalFormat, std::uint32_t ownRateHz, std::uint32_t rateHz)
{
    std::string text;
    if (!originalFormat.empty()) {
        text = "Original: " + originalFormat;
    }
    if (ownRateHz != rateHz) {
        text += (text.empty() ? "" : "\n") + std::string("Resampled from ") + toDecimal(ownRateHz)
            + " Hz to " + toDecimal(rateHz) + " Hz";
    }
    return text;
}

} // namespace tt
