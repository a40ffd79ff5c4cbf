#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tt {

// Where finished export text goes, in large pieces (tens of kilobytes), never line by line.
class TextSink {
public:
    virtual ~TextSink() = default;

    // Appends all of `text`; false when it could not be written completely.
    virtual bool write(std::string_view text) = 0;

    // Pushes out what the sink still holds once the last text was written; false when that or
    // an earlier write failed. A sink that holds nothing back has nothing to do.
    virtual bool flush() { return true; }
};

// Hands on bytes that are no text, such as a WAV image, as they are; false as write().
inline bool writeBytes(TextSink& out, std::span<const std::uint8_t> bytes)
{
    return out.write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace tt
