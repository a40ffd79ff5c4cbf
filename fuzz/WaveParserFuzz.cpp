// libFuzzer entry: the WAV parser over arbitrary bytes, then the record a successful load feeds.
// Any crash, sanitizer report or broken promise below is a finding.

#include "wave/FrameCount.h"
#include "wave/MemoryByteSource.h"
#include "wave/WaveDocument.h"
#include "wave/WaveParser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t sizeBytes)
{
    tt::MemoryByteSource source({ bytes, sizeBytes });
    tt::LoadedWave wave;
    const tt::LoadStatus status = tt::parseWave(source, wave);
    // Memory never fails to read, and no input is large enough to exhaust it.
    require(status != tt::LoadStatus::Unreadable && status != tt::LoadStatus::OutOfMemory);
    if (status != tt::LoadStatus::Loaded) {
        require(!wave.data.isLoaded());
        return 0;
    }

    const auto data = wave.data.bytes();
    require(wave.data.isLoaded() && data.size() == wave.data.sizeBytes);
    require(data.size() <= sizeBytes);
    require(wave.header.bitsPerSample == 8 || wave.header.bitsPerSample == 16);
    require(wave.header.channelCount >= 1 && wave.header.sampleRateHz > 0);
    const std::int64_t frames = tt::frameCount(wave.header, wave.data.sizeBytes);
    require(frames >= 0 && frames * wave.header.bytesPerFrame() <= std::int64_t(data.size()));

    tt::WaveDocument document;
    require(document.accept(std::move(wave)));
    require(document.image.bytes().size() == 44 + document.data.sizeBytes);
    require(std::memcmp(document.image.bytes().data(), "RIFF", 4) == 0);
    return 0;
}
