#pragma once
// The formats the bits can be exported in, one row each: what the command line calls it, the
// file name ending, the window's save dialog, and the writer the pass runs with. A new format is
// its writer and a row in ExportFormats.cpp.

#include "app/PiecePass.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tt {

struct ExportFormat {
    std::string_view name; // as the command line names it
    std::string_view extension; // with its dot; the window adds it to a name without one
    std::string_view dialogTitle; // of the window's save dialog
    std::string_view dialogFilter; // of that dialog: "description|pattern"
    // Runs the passes, one sound after another, with one writer of this format as their bit sink,
    // its text going to `out`.
    PassFailure (*runPasses)(
        std::span<PiecePass> passes, TextSink& out, const ExportOptions& options);
    // A bank pads every sound but the last to a multiple of this many frames, so that each starts
    // where the player can jump to (a block of the player source).
    std::int64_t bankAlignFrames;
    // The entry labels that lead to a frame a bank aligned, for telling which sound they start;
    // null for a format without them.
    std::vector<std::string> (*labelsAt)(std::int64_t frame, std::string_view prefix);
    // Whether the format takes this label prefix.
    bool (*takesLabelPrefix)(std::string_view prefix);
};

// Every format, the player source first.
std::span<const ExportFormat> exportFormats();

// The player source text, which the window's Export Beepster and --export write.
const ExportFormat& playerSourceFormat();

// The format of that name; null when there is none.
const ExportFormat* findExportFormat(std::string_view name);

} // namespace tt
