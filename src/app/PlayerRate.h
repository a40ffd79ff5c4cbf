#pragma once
// The rate a one-bit player runs at, as its user knows it: in Hz ("16000"), or as the player's
// CPU clock in Hz over the cycles its loop takes per sample ("16000000/1000"), the form in which a
// player's rate is usually worked out. The command line's --rate and the window's Resample… both
// read it here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tt {

struct PlayerRate {
    std::uint32_t rateHz = 0; // the whole rate resampled to: clock / cycles to the nearest Hz
    std::uint64_t clockHz = 0; // 0 when the rate was given in Hz
    std::uint64_t cycles = 0;
};

// Reads "N" or "CLOCK/CYCLES" (whole numbers, no spaces); empty when malformed, when the cycles
// are 0, or when the rate falls outside 1 ... maxRateHz.
std::optional<PlayerRate> parsePlayerRate(std::string_view text, std::uint32_t maxRateHz);

// How a rate from a clock came about, "16000000/1001 = 15984.02 Hz, resampled to 15984 Hz"; the
// rate alone ("16000 Hz") otherwise.
std::string playerRateText(const PlayerRate& rate);

} // namespace tt
