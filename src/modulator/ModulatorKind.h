#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace tt {

// How the drive of every frame is chosen. Greedy drives up whenever the target lies above the
// level, frame by frame. LookAhead searches the frames ahead for the drives whose levels follow
// the targets most closely (LookAheadModulator). Both drive the same pin, so their bits play on
// the same player. Each kind's class is chosen in ModulationRun.h.
enum class ModulatorKind { Greedy, LookAhead };

struct ModulatorKindInfo {
    ModulatorKind kind;
    std::string_view name; // the name people read (--info prints it)
    std::array<std::string_view, 2> spellings; // what --modulator accepts; empty ones unused
    std::string_view menuText; // the window's Sound menu item; "&" marks the mnemonic
    // The frame cost against the greedy model's: the settings search measures its confirmation
    // sample and its whole-file limit divided by it, to stay within the same time.
    int searchCostFactor;
};

// In the order of ModulatorKind. The look-ahead costs about four times the greedy model per frame.
inline constexpr auto modulatorKinds = std::to_array<ModulatorKindInfo>({
    { ModulatorKind::Greedy, "greedy", { "greedy", "" }, "&Greedy Modulator", 1 },
    { ModulatorKind::LookAhead, "look-ahead", { "lookahead", "look-ahead" },
        "&Look-ahead Modulator", 4 },
});
static_assert([] {
    for (std::size_t i = 0; i < modulatorKinds.size(); ++i) {
        if (modulatorKinds[i].kind != ModulatorKind(i)) {
            return false;
        }
    }
    return true;
}());

constexpr const ModulatorKindInfo& modulatorInfo(ModulatorKind kind)
{
    return modulatorKinds[std::size_t(kind)];
}

constexpr std::string_view modulatorName(ModulatorKind kind)
{
    return modulatorInfo(kind).name;
}

// The kind a --modulator value names; none for an unknown one.
constexpr std::optional<ModulatorKind> modulatorSpelled(std::string_view spelling)
{
    for (const ModulatorKindInfo& info : modulatorKinds) {
        for (const std::string_view known : info.spellings) {
            if (!known.empty() && known == spelling) {
                return info.kind;
            }
        }
    }
    return std::nullopt;
}

} // namespace tt
