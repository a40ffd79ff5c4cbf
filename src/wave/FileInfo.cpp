#include "wave/FileInfo.h"

#include "text/TextFormat.h"

namespace tt {

FileInfoTexts fileInfoTexts(const WaveHeader& header, std::int64_t frameCount)
{
    FileInfoTexts texts;
    texts.rate = toDecimal(header.sampleRateHz) + " Hz";
    texts.channels = header.channelCount == 1 ? "Mono" : "Stereo";
    texts.bits = toDecimal(header.bitsPerSample) + " Bit/Sample";
    texts.samples = toDecimal(frameCount) + " Samples";
    return texts;
}

} // namespace tt
