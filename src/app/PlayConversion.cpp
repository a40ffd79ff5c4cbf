#include "app/PlayConversion.h"

#include "app/OutputRun.h"
#include "wave/PartStream.h"

namespace tt {

ConversionResult playFigures(
    const LoadedWave& sound, FrameRange part, const ModulatorSettings& settings)
{
    OutputRequest request;
    request.measures = true;
    const RunOutcome outcome = withLoadedPart(sound, part,
        [&](SampleStream& frames) { return OutputRun(request).run(frames, settings); });
    ConversionResult result = outcome.result;
    result.audibleSnrDb = outcome.audibleSnrDb; // 0 for a pass without frames, as it shows
    return result;
}

} // namespace tt
