#include "wave/LargeBlock.h"

#include "wave/SampleBytes.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tt {
namespace {

    constexpr std::size_t mebibyte = std::size_t(1) << 20;

    TEST(LargeBlock, EverySizeIsZeroFilledAndWritableToItsLastByte)
    {
        // Around the point where blocks become mappings of their own, and one ending mid-page.
        for (const std::size_t sizeBytes :
            { std::size_t(0), std::size_t(1), 2 * mebibyte - 1, 2 * mebibyte, 5 * mebibyte + 3 }) {
            std::uint8_t* bytes = largeBlock::allocateZeroed(sizeBytes);
            ASSERT_NE(bytes, nullptr) << sizeBytes;
            EXPECT_TRUE(std::all_of(bytes, bytes + sizeBytes, [](std::uint8_t b) {
                return b == 0;
            })) << sizeBytes;
            std::fill(bytes, bytes + sizeBytes, std::uint8_t(0xA5));
            largeBlock::release(bytes, sizeBytes);
        }
        largeBlock::release(nullptr, 5 * mebibyte); // harmless
    }

#if defined(__linux__)
    TEST(LargeBlock, LargeBlocksStartOnAHugePageBoundary)
    {
        std::uint8_t* bytes = largeBlock::allocateZeroed(40 * mebibyte);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % (2 * mebibyte), 0u);
        largeBlock::release(bytes, 40 * mebibyte);
    }

    // The loader reads the file straight into a fresh block: sizing it must not write it first.
    TEST(SampleBytes, AFreshBlockTakesNoMemoryUntilItIsWritten)
    {
        const SampleBytes bytes(32 * mebibyte);
        const std::size_t pageBytes = std::size_t(::sysconf(_SC_PAGESIZE));
        std::vector<unsigned char> resident((bytes.size() + pageBytes - 1) / pageBytes);
        ASSERT_EQ(
            ::mincore(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), resident.data()), 0);
        EXPECT_EQ(
            std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }),
            0);
    }
#endif

    TEST(LargeBlock, AnImpossibleSizeIsRefusedNotFatal)
    {
        EXPECT_EQ(largeBlock::allocateZeroed(SIZE_MAX - 1), nullptr);
        EXPECT_THROW(SampleBytes(SIZE_MAX / 4), std::bad_alloc);
    }

    TEST(SampleBytes, BehavesAsAVectorAcrossGrowthAndCopies)
    {
        SampleBytes bytes(3 * mebibyte);
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; }));
        std::iota(bytes.begin(), bytes.end(), std::uint8_t(0));
        bytes.resize(7 * mebibyte); // from one mapping to another, keeping the contents
        EXPECT_EQ(bytes[3 * mebibyte - 1], std::uint8_t(3 * mebibyte - 1));
        EXPECT_EQ(bytes.back(), 0);
        const SampleBytes copy = bytes;
        EXPECT_EQ(copy, bytes);
        bytes.resize(10);
        bytes.shrink_to_fit(); // back to the ordinary heap
        EXPECT_EQ(bytes[9], 9);
    }

} // namespace
} // namespace tt
