#include "shell/ProgramTexts.h"

#include "shell/WindowLayout.h"

namespace tt::text {

std::string exportSizeToolTip(const PlayerSourceSize& size)
{
    return "Export Beepster writes " + std::to_string(size.wordCount) + " words in "
        + std::to_string(size.blockCount) + (size.blockCount == 1 ? " block" : " blocks")
        + " of up to 498 words: " + std::to_string(size.sizeBytes) + " bytes of text.";
}

std::string aboutText()
{
    return std::string(programTitle)
        + "\n\n"
          "Prepares sound for a one-bit output: a pin that is only ever high or low, smoothed "
          "by a leaky integrator. Shows how the pin follows a WAV file, plays the modelled "
          "sound and exports its bits as player source text.\n\n"
          "Released under the MIT License.\n"
          "Copyright (c) 2026 The TICKTRACE developers";
}

} // namespace tt::text
