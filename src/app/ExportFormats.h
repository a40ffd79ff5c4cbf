#pragma once
// The formats the bits can be exported in, one row each: what the command line calls it, the
// file name ending, the window's save dialog, and the writer the pass runs with. A new format is
// its writer and a row in ExportFormats.cpp.

#include "app/PiecePass.h"

#include <span>
#include <string_view>

namespace tt {

struct ExportFormat {
    std::string_view name; // as the command line names it
    std::string_view extension; // with its dot; the window adds it to a name without one
    std::string_view dialogTitle; // of the window's save dialog
    std::string_view dialogFilter; // of that dialog: "description|pattern"
    // Runs the pass with this format's writer as its bit sink, its text going to `out`.
    PassFailure (*runPass)(PiecePass& pass, TextSink& out);
};

// Every format, the player source first.
std::span<const ExportFormat> exportFormats();

// The player source text, which the window's Export Beepster and --export write.
const ExportFormat& playerSourceFormat();

// The format of that name; null when there is none.
const ExportFormat* findExportFormat(std::string_view name);

} // namespace tt
