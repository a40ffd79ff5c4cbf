#include "app/ExportFormats.h"

#include "export/PlayerSourceWriter.h"

#include <array>

namespace tt {
namespace {

    constexpr std::array formats {
        ExportFormat { "player-source", ".txt", "Save 1Bit", "*.txt|*.txt",
            &runWithWriter<PlayerSourceWriter> },
    };

} // namespace

std::span<const ExportFormat> exportFormats()
{
    return formats;
}

const ExportFormat& playerSourceFormat()
{
    return formats[0];
}

const ExportFormat* findExportFormat(std::string_view name)
{
    for (const ExportFormat& format : formats) {
        if (format.name == name) {
            return &format;
        }
    }
    return nullptr;
}

} // namespace tt
