#include "shell/ProgramTexts.h"

#include "decode/SoundFileExtensions.h"
#include "export/PlayerSourceWriter.h"
#include "shell/WindowLayout.h"
#include "text/TextFormat.h"

namespace tt::text {

std::string exportSizeToolTip(const PlayerSourceSize& size)
{
    return "Export Beepster writes " + playerSourceSizeText(size) + ".";
}

std::string exportedText(const PlayerSourceSize& size)
{
    return "Saved: " + std::to_string(size.wordCount) + " words, "
        + std::to_string(size.programBytes()) + " bytes";
}

std::string exportedToolTip(
    std::string_view path, const PlayerSourceSize& size, std::uintmax_t fileBytes)
{
    return std::string(path) + "\n" + std::to_string(size.wordCount) + " words, "
        + std::to_string(size.programBytes()) + " bytes of program memory; the file has "
        + std::to_string(fileBytes) + " bytes";
}

std::string savedText(std::uintmax_t sizeBytes)
{
    return "Saved: " + std::to_string(sizeBytes) + " bytes";
}

std::string audibleSnrToolTip(double audibleDb)
{
    return "\n\nAudible SNR of this conversion: " + formatFixed(audibleDb, 2)
        + " dB: how closely the one-bit sound follows the input as heard (the measure Find Best "
          "Settings raises).";
}

std::string resampleQuestion(std::uint32_t ownRateHz)
{
    return "Rate of the player in Hz (the sound's own: " + toDecimal(ownRateHz)
        + " Hz), or its clock in Hz over the cycles of its loop per sample (16000000/1000)."
          "\nThe sound is resampled to it before it is modelled, played and exported.";
}

std::string resampleRateDetail(std::uint32_t maxRateHz)
{
    return "The rate is a whole number of Hz from 1 to " + toDecimal(maxRateHz)
        + ", or the player's clock over its cycles per sample, as 16000000/1000.";
}

std::string openFileFilter()
{
    std::string patterns;
    for (const std::string& extension : soundFileExtensions()) {
        patterns += (patterns.empty() ? "*." : " *.") + extension;
    }
    return "Sound files|" + patterns + ";;*.wav|*.wav";
}

std::string aboutText()
{
    return std::string(programTitle)
        + "\n\n"
          "Prepares sound for a one-bit output: a pin that is only ever high or low, smoothed "
          "by a leaky integrator. Shows how the pin follows a sound file, plays the modelled "
          "sound and exports its bits as player source text.\n\n"
          "Released under the MIT License.\n"
          "Copyright (c) 2026 The TICKTRACE developers";
}

} // namespace tt::text
