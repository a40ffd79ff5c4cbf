#include "modulator/WholeFileConversion.h"

namespace tt {

ConversionResult convertWholeFile(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea)
{
    NullBitSink sink;
    return convertWholeFile(header, data, settings, sampleArea, sink);
}

} // namespace tt
