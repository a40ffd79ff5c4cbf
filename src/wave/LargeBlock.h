#pragma once
// Memory for whole sample blocks and WAV images, which run to gigabytes. On Linux a large block
// is its own anonymous mapping, aligned to and advised for the kernel's 2 MiB pages: reading a
// 40 MB file into 4 KiB pages costs about ten thousand page faults, which on a virtual machine
// take longer than copying the bytes. Small blocks come from the ordinary heap.
//
// Measured on a 2-core virtual machine (bench/MemoryBench.cpp, BM_Block*, medians of 5): writing
// a fresh 40 MB block once takes 2.6 ms here against 13.6 ms for zeroed and 18.1 ms for
// uninitialised heap memory; reading a 40 MB file into fresh memory again and again 6.7 ms
// against 22.6 and 19.4 ms.

#include <cstddef>
#include <cstdint>

namespace tt::largeBlock {

// sizeBytes of zero-filled memory (large blocks take memory only as they are written), or
// nullptr when it cannot be had. Give it back with release() and the same size.
std::uint8_t* allocateZeroed(std::size_t sizeBytes) noexcept;
void release(std::uint8_t* bytes, std::size_t sizeBytes) noexcept;

} // namespace tt::largeBlock
