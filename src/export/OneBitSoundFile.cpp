#include "export/OneBitSoundFile.h"

#include "export/AtomicFileOutput.h"
#include "modulator/WholeFileConversion.h"

#include <memory>

namespace tt {

ExportStatus saveOneBitSound(const std::string& path, WaveDocument& document,
    const ModulatorSettings& settings, ConversionResult& result)
{
    const std::unique_ptr<AtomicFileOutput> out = AtomicFileOutput::create(path);
    if (!out) {
        return ExportStatus::CannotCreate;
    }
    result = convertWholeFile(
        document.header, document.data.bytes(), settings, document.image.sampleArea());
    if (!writeBytes(*out, document.image.bytes()) || !out->commit()) {
        return ExportStatus::CannotWrite;
    }
    return ExportStatus::Written;
}

} // namespace tt
