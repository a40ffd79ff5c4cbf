#pragma once

#include "wave/LargeBlock.h"

#include <cstddef>
#include <limits>
#include <new>
#include <utility>

namespace tt {

// A standard allocator over largeBlock, for vectors that hold whole sample blocks. Elements made
// without a value (vector(n), resize(n)) are left as the memory holds them instead of being
// written with zero: a fresh block is zero-filled by the system already, and the loader reads
// the file over its bytes at once. Writing them first would touch every page twice.
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

    template <class U>
    void construct(U* item) noexcept(noexcept(::new (static_cast<void*>(item)) U))
    {
        ::new (static_cast<void*>(item)) U;
    }
    template <class U, class... Args> void construct(U* item, Args&&... args)
    {
        ::new (static_cast<void*>(item)) U(std::forward<Args>(args)...);
    }

    template <class U> bool operator==(const LargeBlockAllocator<U>&) const noexcept
    {
        return true;
    }
};

} // namespace tt
