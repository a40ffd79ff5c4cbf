#pragma once
// Where the samples of a WAV image lie and how they are laid out, found without trusting any
// size in the image: nothing outside the given bytes is ever read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tt {

struct SoundImageLayout {
    std::uint16_t formatTag = 0; // as stated; the samples are played as integer PCM regardless
    int channelCount = 0;
    std::uint32_t sampleRateHz = 0;
    int bitsPerSample = 0; // 8 (unsigned) or 16 (signed little-endian)
    std::size_t dataOffsetBytes = 0; // from the start of the image
    std::size_t dataSizeBytes = 0; // whole frames only, never beyond the image

    int bytesPerFrame() const { return channelCount * (bitsPerSample / 8); }
};

// Reads "RIFF" at 0 and "fmt " at 12 (form type and RIFF size are not read), the format body at
// 20, then walks chunk headers (4-byte id, 32-bit little-endian size) from 20 + format size to
// the first "data" chunk. After a chunk of odd size a zero byte is taken as the RIFF pad byte
// and skipped; writers that leave the pad out put the next chunk id there, which never starts
// with a zero byte, so both kinds of file are walked correctly.
//
// Empty when the ids are missing, the format is not 8- or 16-bit PCM with at least one channel
// and a rate above 0, the walk leaves the image before meeting "data", or "data" holds no whole frame.
// A "data" chunk that claims more bytes than the image holds is cut to the bytes present.
std::optional<SoundImageLayout> findSoundImageLayout(std::span<const std::uint8_t> image);

} // namespace tt
