// Where whole sample blocks should live: huge-page-advised mappings (largeBlock) against the
// ordinary allocator, with and without zero-filling. Each case pays what the program pays: the
// first touch of every page (the loader writes the file's bytes into fresh memory, the
// conversion writes a fresh image), and repeated loads of the same 40 MB file.

#include "wave/LargeBlock.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t blockBytes = 40'000'000;

struct HugePageBlock {
    std::uint8_t* bytes = tt::largeBlock::allocateZeroed(blockBytes);
    ~HugePageBlock() { tt::largeBlock::release(bytes, blockBytes); }
};

struct ZeroedHeapBlock { // what std::vector<std::uint8_t>(n) costs
    std::unique_ptr<std::uint8_t[]> owner = std::make_unique<std::uint8_t[]>(blockBytes);
    std::uint8_t* bytes = owner.get();
};

struct UninitialisedHeapBlock { // memory that is overwritten at once need not be cleared
    std::unique_ptr<std::uint8_t[]> owner
        = std::make_unique_for_overwrite<std::uint8_t[]>(blockBytes);
    std::uint8_t* bytes = owner.get();
};

// Allocate, write every byte once, release: the conversion's fresh image.
template <class Block> void BM_BlockFirstTouch(benchmark::State& state)
{
    for (auto _ : state) {
        Block block;
        std::memset(block.bytes, 0x5A, blockBytes);
        benchmark::DoNotOptimize(block.bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(blockBytes));
}
BENCHMARK(BM_BlockFirstTouch<HugePageBlock>)
    ->Name("BM_BlockFirstTouch/hugePages")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BlockFirstTouch<ZeroedHeapBlock>)
    ->Name("BM_BlockFirstTouch/heapZeroed")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BlockFirstTouch<UninitialisedHeapBlock>)
    ->Name("BM_BlockFirstTouch/heapUninitialised")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

class BlockBenchFile {
public:
    BlockBenchFile()
        : path_((std::filesystem::temp_directory_path()
            / ("ticktrace-block-bench-" + std::to_string(::getpid()) + ".raw"))
                    .string())
    {
        std::vector<char> bytes(blockBytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = char(i * 2654435761u >> 24);
        }
        std::ofstream(path_, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    ~BlockBenchFile() { std::remove(path_.c_str()); }
    BlockBenchFile(const BlockBenchFile&) = delete;
    BlockBenchFile& operator=(const BlockBenchFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Reading the same 40 MB (from the page cache) into fresh memory, again and again: a reload.
template <class Block> void BM_BlockRepeatedLoad(benchmark::State& state)
{
    static const BlockBenchFile file;
    for (auto _ : state) {
        Block block;
        std::FILE* in = std::fopen(file.path().c_str(), "rb");
        const std::size_t readBytes = std::fread(block.bytes, 1, blockBytes, in);
        std::fclose(in);
        if (readBytes != blockBytes) {
            state.SkipWithError("short read");
            return;
        }
        benchmark::DoNotOptimize(block.bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(blockBytes));
}
BENCHMARK(BM_BlockRepeatedLoad<HugePageBlock>)
    ->Name("BM_BlockRepeatedLoad/hugePages")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BlockRepeatedLoad<ZeroedHeapBlock>)
    ->Name("BM_BlockRepeatedLoad/heapZeroed")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BlockRepeatedLoad<UninitialisedHeapBlock>)
    ->Name("BM_BlockRepeatedLoad/heapUninitialised")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
