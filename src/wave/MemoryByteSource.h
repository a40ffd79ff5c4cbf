#pragma once

#include "wave/ByteSource.h"

#include <cstring>

namespace tt {

// Bytes the caller holds for the lifetime of the source.
class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes)
        : bytes_(bytes)
    {
    }

    std::uint64_t sizeBytes() const override { return bytes_.size(); }

    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) override
    {
        if (offset > bytes_.size() || bytes_.size() - offset < out.size()) {
            return false;
        }
        if (!out.empty()) {
            std::memcpy(out.data(), bytes_.data() + offset, out.size());
        }
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

} // namespace tt
