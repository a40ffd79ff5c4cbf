#pragma once

#include "wave/LargeBlock.h"

#include <cstddef>
#include <limits>
#include <new>

namespace tt {

// A standard allocator over largeBlock, for vectors that hold whole sample blocks.
template <class T> class LargeBlockAllocator {
public:
    using value_type = T;

    LargeBlockAllocator() = default;
    template <class U> LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept { }

    T* allocate(std::size_t count)
    {
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        std::uint8_t* bytes = largeBlock::allocateZeroed(count * sizeof(T));
        if (bytes == nullptr) {
            throw std::bad_alloc();
        }
        return reinterpret_cast<T*>(bytes);
    }

    void deallocate(T* items, std::size_t count) noexcept
    {
        largeBlock::release(reinterpret_cast<std::uint8_t*>(items), count * sizeof(T));
    }

    template <class U> bool operator==(const LargeBlockAllocator<U>&) const noexcept
    {
        return true;
    }
};

} // namespace tt
