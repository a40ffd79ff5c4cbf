// A redraw runs once per mouse move during a drag, so it must not touch the heap. This file
// replaces the global allocation functions of the test binary to count calls made by the
// thread under test.
#include "view/ViewPlacement.h"
#include "view/ZoomTestData.h"
#include "view/ZoomView.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

namespace {

thread_local bool countingAllocations = false;
thread_local long allocationCount = 0;

} // namespace

void* operator new(std::size_t sizeBytes)
{
    if (countingAllocations) {
        ++allocationCount;
    }
    if (void* p = std::malloc(sizeBytes == 0 ? 1 : sizeBytes)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t sizeBytes)
{
    return operator new(sizeBytes);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace tt {
namespace {

    TEST(ZoomViewAllocation, RedrawAllocatesNothingOnceTheGlyphsAreCached)
    {
        const testing::TestWave wave = testing::makeWave(16, 2, 600000,
            [](std::int64_t f, int c) { return int((f * 37 + c * 1000) % 40000) - 20000; });
        const Image strip(600, 100);
        Image zoom(600, 300);
        ModulatorSettings settings;
        // A first sweep renders the glyphs of every digit into the toolkit's cache.
        for (int cursorX = 0; cursorX < 600; ++cursorX) {
            ASSERT_TRUE(redrawZoomView(
                zoom, strip, wave.header, wave.data, settings, viewStartAtColumn(cursorX, 600000)));
        }

        for (const ModulatorKind kind : { ModulatorKind::Greedy, ModulatorKind::LookAhead }) {
            settings.modulator = kind;
            allocationCount = 0;
            countingAllocations = true;
            for (int cursorX = 0; cursorX < 600; ++cursorX) {
                redrawZoomView(zoom, strip, wave.header, wave.data, settings,
                    viewStartAtColumn(cursorX, 600000));
            }
            countingAllocations = false;
            EXPECT_EQ(allocationCount, 0) << modulatorName(kind);
        }
    }

} // namespace
} // namespace tt
