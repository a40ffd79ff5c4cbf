#pragma once

#include <string_view>

namespace tt {

// How the drive of every frame is chosen. Greedy drives up whenever the target lies above the
// level, frame by frame. LookAhead searches the frames ahead for the drives whose levels follow
// the targets most closely (LookAheadModulator). Both drive the same pin, so their bits play on
// the same player.
enum class ModulatorKind { Greedy, LookAhead };

// The name people read: "greedy", "look-ahead".
constexpr std::string_view modulatorName(ModulatorKind kind)
{
    return kind == ModulatorKind::LookAhead ? "look-ahead" : "greedy";
}

} // namespace tt
