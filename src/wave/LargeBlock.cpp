#include "wave/LargeBlock.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tt::largeBlock {
namespace {

    constexpr std::size_t hugePageBytes = std::size_t(2) << 20;

    bool isLarge(std::size_t sizeBytes)
    {
        return sizeBytes >= hugePageBytes;
    }

    // Whole huge pages, so the last one can be a huge page as well.
    std::size_t mappedBytes(std::size_t sizeBytes)
    {
        return (sizeBytes + hugePageBytes - 1) / hugePageBytes * hugePageBytes;
    }

} // namespace

std::uint8_t* allocateZeroed(std::size_t sizeBytes) noexcept
{
#if defined(__linux__)
    if (isLarge(sizeBytes)) {
        if (sizeBytes > SIZE_MAX - 2 * hugePageBytes) {
            return nullptr;
        }
        // Map one huge page more than needed and trim both ends to an aligned window.
        const std::size_t keptBytes = mappedBytes(sizeBytes);
        const std::size_t spanBytes = keptBytes + hugePageBytes;
        void* span = ::mmap(
            nullptr, spanBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (span == MAP_FAILED) {
            return nullptr;
        }
        auto* const spanStart = static_cast<std::uint8_t*>(span);
        const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(spanStart);
        const std::size_t headBytes = (hugePageBytes - address % hugePageBytes) % hugePageBytes;
        std::uint8_t* const kept = spanStart + headBytes;
        if (headBytes > 0) {
            ::munmap(spanStart, headBytes);
        }
        if (const std::size_t tailBytes = spanBytes - headBytes - keptBytes; tailBytes > 0) {
            ::munmap(kept + keptBytes, tailBytes);
        }
        // Only advice: where huge pages are off or scarce, ordinary pages serve.
        ::madvise(kept, keptBytes, MADV_HUGEPAGE);
        return kept;
    }
#endif
    return static_cast<std::uint8_t*>(std::calloc(sizeBytes == 0 ? 1 : sizeBytes, 1));
}

void release(std::uint8_t* bytes, std::size_t sizeBytes) noexcept
{
    if (bytes == nullptr) {
        return;
    }
#if defined(__linux__)
    if (isLarge(sizeBytes)) {
        ::munmap(bytes, mappedBytes(sizeBytes));
        return;
    }
#endif
    std::free(bytes);
}

} // namespace tt::largeBlock
