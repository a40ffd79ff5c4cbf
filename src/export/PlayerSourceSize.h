#pragma once

#include <cstdint>
#include <string>

namespace tt {

// What the player source text of a sound takes: its data words, its blocks and its length.
struct PlayerSourceSize {
    std::int64_t wordCount = 0;
    std::int64_t blockCount = 0;
    std::int64_t sizeBytes = 0; // of the text

    // The player's program memory the data takes once assembled: two bytes per word.
    std::int64_t programBytes() const { return 2 * wordCount; }
};

// The size in the device's terms first, then the text's: "N words in B blocks of up to 498
// words: P bytes of program memory, T bytes of text". The window's tool tip and the command
// line's --info say it in these words.
std::string playerSourceSizeText(const PlayerSourceSize& size);

} // namespace tt
