#pragma once
// The conversions behind the window's Play 1Bit: the one pass into the one-bit image that the
// sound then plays where it lies. The sound output itself stays with the window.

#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/WaveHeader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace tt {

// The whole pass into the sample area at once, with its audible SNR.
ConversionResult convertForPlay(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea);

// The same levels in pieces, for a sound that starts before the pass is done: `finished` hears
// how many bytes from the start of the sample area are final after every piece, the first piece
// about a second of sound, the later ones a mebibyte of frames each (the pass runs thousands of
// times faster than the sound plays), and at last the whole area (behind the counted frames the
// image holds silence, as every image does). The result measures the audible SNR.
ConversionResult convertWhilePlaying(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<std::uint8_t> sampleArea,
    const std::function<void(std::size_t finishedBytes)>& finished);

} // namespace tt
