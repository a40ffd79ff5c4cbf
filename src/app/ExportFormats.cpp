#include "app/ExportFormats.h"

#include "export/ByteListWriter.h"
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

    // The byte formats define names rather than the player's entry labels; a bank aligns their
    // sounds to whole words.
    template <ByteListStyle Style>
    constexpr ExportFormat byteFormat(
        std::string_view name, std::string_view extension, std::string_view filter)
    {
        return ExportFormat { name, extension, "Save 1Bit", filter,
            &runWithWriter<ByteListWriterOf<Style>>, 16, nullptr,
            &PlayerSourceWriter::isLabelPrefix };
    }

    constexpr std::array formats {
        ExportFormat { "player-source", ".txt", "Save 1Bit", "*.txt|*.txt",
            &runWithWriter<PlayerSourceWriter>, PlayerSourceWriter::framesPerBlock,
            &playerSourceLabelsAt, &PlayerSourceWriter::isLabelPrefix },
        byteFormat<ByteListStyle::CHeader>("c-header", ".h", "*.h|*.h"),
        byteFormat<ByteListStyle::Raw>("raw", ".bin", "*.bin|*.bin"),
        byteFormat<ByteListStyle::AvrDb>("avr-db", ".inc", "*.inc|*.inc"),
        byteFormat<ByteListStyle::Z80Defb>("z80-defb", ".asm", "*.asm|*.asm"),
        byteFormat<ByteListStyle::Byte6502>("6502-byte", ".s", "*.s|*.s"),
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
