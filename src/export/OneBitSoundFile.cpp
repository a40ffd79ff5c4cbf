#include "export/OneBitSoundFile.h"

#include "export/AtomicFileOutput.h"
#include "modulator/WholeFileConversion.h"

#include <memory>
#include <string_view>

namespace tt {

bool writeOneBitSound(TextSink& out, const WaveImage& image)
{
    const std::span<const std::uint8_t> bytes = image.bytes();
    return out.write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

ExportStatus saveOneBitSound(const std::string& path, WaveDocument& document,
    const ModulatorSettings& settings, ConversionResult& result)
{
    const std::unique_ptr<AtomicFileOutput> out = AtomicFileOutput::create(path);
    if (!out) {
        return ExportStatus::CannotCreate;
    }
    result = convertWholeFile(
        document.header, document.data.bytes(), settings, document.image.sampleArea());
    if (!writeOneBitSound(*out, document.image) || !out->commit()) {
        return ExportStatus::CannotWrite;
    }
    return ExportStatus::Written;
}

} // namespace tt
