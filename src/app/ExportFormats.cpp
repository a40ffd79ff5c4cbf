#include "app/ExportFormats.h"

#include "export/PlayerSourceWriter.h"

#include <array>

namespace tt {
namespace {

    std::vector<std::string> playerSourceLabelsAt(std::int64_t frame, std::string_view prefix)
    {
        if (frame % PlayerSourceWriter::framesPerBlock != 0) {
            return {};
        }
        return PlayerSourceWriter::labelsOfBlock(
            frame / PlayerSourceWriter::framesPerBlock + 1, prefix);
    }

    constexpr std::array formats {
        ExportFormat { "player-source", ".txt", "Save 1Bit", "*.txt|*.txt",
            &runWithWriter<PlayerSourceWriter>, PlayerSourceWriter::framesPerBlock,
            &playerSourceLabelsAt, &PlayerSourceWriter::isLabelPrefix },
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
