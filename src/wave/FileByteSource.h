#pragma once

#include "wave/ByteSource.h"

#include <fstream>
#include <string>

namespace tt {

// A regular file opened for reading; its size is taken once, at opening.
class FileByteSource final : public ByteSource {
public:
    explicit FileByteSource(const std::string& path);

    // False for a missing or unreadable file and for anything that is not a regular file.
    bool isOpen() const { return open_; }

    std::uint64_t sizeBytes() const override { return sizeBytes_; }
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

private:
    std::ifstream stream_;
    std::uint64_t sizeBytes_ = 0;
    bool open_ = false;
};

} // namespace tt
