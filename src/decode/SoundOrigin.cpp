#include "decode/SoundOrigin.h"

#include "text/TextFormat.h"

namespace tt {

std::string soundOriginText(const std::string& originalFormat, std::uint32_t ownRateHz,
    std::uint32_t rateHz, const std::string& decodeNote)
{
    std::string text;
    if (!originalFormat.empty()) {
        text = "Original: " + originalFormat;
    }
    if (!decodeNote.empty()) {
        text += (text.empty() ? "" : "\n") + decodeNote;
    }
    if (ownRateHz != rateHz) {
        text += (text.empty() ? "" : "\n") + std::string("Resampled from ") + toDecimal(ownRateHz)
            + " Hz to " + toDecimal(rateHz) + " Hz";
    }
    return text;
}

} // namespace tt
