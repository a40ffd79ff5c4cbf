#pragma once
// Builds WAV files byte by byte for the loader tests.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace tt::testing {

using Bytes = std::vector<std::uint8_t>;

inline void putU16(Bytes& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

inline void putU32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        b.push_back(std::uint8_t(v >> (8 * i)));
    }
}

inline void putText(Bytes& b, const std::string& text)
{
    // Byte by byte: GCC 12 reports a false overflow for a range insert of a short string here.
    for (const char c : text) {
        b.push_back(std::uint8_t(c));
    }
}

// A chunk whose header states declaredBytes; the body is written as given (no pad byte).
inline void putChunk(
    Bytes& b, const std::string& id, std::uint32_t declaredBytes, const Bytes& body)
{
    putText(b, id);
    putU32(b, declaredBytes);
    b.insert(b.end(), body.begin(), body.end());
}

inline void putChunk(Bytes& b, const std::string& id, const Bytes& body)
{
    putChunk(b, id, std::uint32_t(body.size()), body);
}

struct Format {
    std::uint32_t tag = 1;
    std::uint32_t channels = 2;
    std::uint32_t rateHz = 44100;
    std::uint32_t bits = 16;
};

// A format body of 16 bytes (tag as given), with cbSize when 18, or the 40-byte extensible form
// whose sub-format GUID starts with subFormatTag.
inline Bytes formatBody(const Format& f, int sizeBytes = 16, std::uint32_t subFormatTag = 1)
{
    Bytes b;
    const std::uint32_t blockAlign = f.channels * f.bits / 8;
    putU16(b, sizeBytes == 40 ? 0xFFFE : f.tag);
    putU16(b, f.channels);
    putU32(b, f.rateHz);
    putU32(b, f.rateHz * blockAlign);
    putU16(b, blockAlign);
    putU16(b, f.bits);
    if (sizeBytes == 18) {
        putU16(b, 0);
    } else if (sizeBytes == 40) {
        putU16(b, 22);
        putU16(b, f.bits);
        putU32(b, 3);
        putU16(b, subFormatTag);
        const Bytes guidTail { 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00,
            0x38, 0x9B, 0x71 };
        b.insert(b.end(), guidTail.begin(), guidTail.end());
    }
    return b;
}

// "RIFF", a RIFF size matching the bytes that follow, and "WAVE"; then the chunks.
inline Bytes riff(
    const Bytes& chunks, const std::string& riffId = "RIFF", const std::string& formId = "WAVE")
{
    Bytes b;
    putText(b, riffId);
    putU32(b, std::uint32_t(4 + chunks.size()));
    putText(b, formId);
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

inline Bytes samplePattern(std::size_t sizeBytes)
{
    Bytes b(sizeBytes);
    for (std::size_t i = 0; i < sizeBytes; ++i) {
        b[i] = std::uint8_t(i * 7 + 3);
    }
    return b;
}

// The canonical file: a 16-byte format chunk at offset 12, the data chunk right behind it.
inline Bytes canonicalWave(const Format& f, const Bytes& samples)
{
    Bytes chunks;
    putChunk(chunks, "fmt ", formatBody(f));
    putChunk(chunks, "data", samples);
    return riff(chunks);
}

// The whole contents of a file; empty when it cannot be read.
inline std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Files, folders and links directly in the folder.
inline std::size_t entryCount(const std::filesystem::path& folder)
{
    return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Files written under a per-process temporary folder, removed at the end of the test.
class TempFiles {
public:
    TempFiles()
        : dir_(std::filesystem::temp_directory_path()
            / ("ticktrace-wave-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++)))
    {
        std::filesystem::create_directories(dir_);
    }
    ~TempFiles()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    std::string write(const std::string& name, const Bytes& bytes)
    {
        const std::filesystem::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path.string();
    }

    std::filesystem::path dir() const { return dir_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path dir_;
};

} // namespace tt::testing
