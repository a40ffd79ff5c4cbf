#pragma once
// Memory for whole sample blocks and WAV images, which run to gigabytes. On Linux a large block
// is its own anonymous mapping, aligned to and advised for the kernel's 2 MiB pages: reading a
// 40 MB file into 4 KiB pages costs about ten thousand page faults, which on a virtual machine
// take longer than copying the bytes. Small blocks come from the ordinary heap.
// bench/MemoryBench.cpp (BM_Block*) compares this with zeroed and uninitialised heap memory.

#include <cstddef>
#include <cstdint>

namespace tt::largeBlock {

// sizeBytes of zero-filled memory (large blocks take memory only as they are written), or
// nullptr when it cannot be had. Give it back with release() and the same size.
std::uint8_t* allocateZeroed(std::size_t sizeBytes) noexcept;
void release(std::uint8_t* bytes, std::size_t sizeBytes) noexcept;

} // namespace tt::largeBlock
