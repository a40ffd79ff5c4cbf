#pragma once
// Texts the window shows besides its controls' own: tool tips, message details, the About box.

#include "export/PlayerSourceSize.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tt::text {

inline constexpr std::string_view value1ToolTip
    = "Value 1, the leak: every frame the pin's level loses 100 / (9000 − Value 1) of itself "
      "(1/60 at 3000). Higher values leak faster.";
inline constexpr std::string_view value2ToolTip
    = "Value 2, the step: how far the pin drives the level up or down every frame, in sample "
      "units (full scale is 32768 for 16-bit sound, 128 for 8-bit sound).";
inline constexpr std::string_view volumeToolTip
    = "Volume, the gain: the input is multiplied by it before the pin follows it "
      "(1.000000 leaves it as it is; up to 4).";
inline constexpr std::string_view errorToolTip
    = "Error: the mean distance per frame between the input level and the pin's level, in "
      "sample units of the file. The lower, the closer the one-bit sound follows the input.";
// The audible SNR of a conversion, as the error label's tool tip ends it.
std::string audibleSnrToolTip(double audibleDb);
inline constexpr std::string_view refusedFileDetail
    = "TICKTRACE opens WAV files in any encoding, FLAC, Ogg Vorbis and Opus, MP3, AIFF and the "
      "other sound files the open dialog lists.";
inline constexpr std::string_view resampleTitle = "Resample";
inline constexpr std::string_view labelPrefixQuestion
    = "Written in front of every entry label of the exports (sfx_ gives sfx_key0000:), so that "
      "the exports of several sounds can go into one program. Letters, digits and _, not a "
      "digit first, up to 32; empty for none.";

inline constexpr std::string_view aboutTitle = "About TICKTRACE";

// The progress field after Switch A/B: what is heard now, or why nothing switched.
inline constexpr std::string_view hearingOriginalText = "Hearing: original";
inline constexpr std::string_view hearingOneBitText = "Hearing: 1Bit";
inline constexpr std::string_view switchABIdleText = "A/B: play 1Bit first";

// The information box's tool tip: what the player source text of the sound will take.
std::string exportSizeToolTip(const PlayerSourceSize& size);

// The progress field after a save, short enough for it: "Saved: 500 words, 1000 bytes" (of
// program memory) or "Saved: 16044 bytes"; its tool tip names the file and, for an export, says
// what the bytes are.
std::string exportedText(const PlayerSourceSize& size);
std::string exportedToolTip(
    std::string_view path, const PlayerSourceSize& size, std::uintmax_t fileBytes);
std::string savedText(std::uintmax_t sizeBytes);

// The Resample dialog's question, which names the sound's own rate.
std::string resampleQuestion(std::uint32_t ownRateHz);
// Why an answer to it was refused: the forms it takes.
std::string resampleRateDetail(std::uint32_t maxRateHz);

// The open dialog's filters: every sound file the program opens, then WAV files alone.
std::string openFileFilter();

// The About box: program, version, purpose and licence.
std::string aboutText();

} // namespace tt::text
