#include "modulator/ConversionResult.h"

#include "text/TextFormat.h"

namespace tt {

std::string errorLabelText(const ConversionResult& result)
{
    if (result.frameCount <= 0) {
        return "Error: 0";
    }
    return "Error: " + toDecimal(roundHalfEven(result.errorSum / double(result.frameCount)));
}

} // namespace tt
