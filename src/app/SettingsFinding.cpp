#include "app/SettingsFinding.h"

#include "wave/SampleBytes.h"

#include <new>

namespace tt {

SearchResult findSettings(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& start, SearchScope scope, const SearchProgress& progress)
{
    return findBestSettings(header, data, start, progress, scope);
}

LoadStatus findSettings(SampleStream& input, const ModulatorSettings& start, SearchScope scope,
    const SearchProgress& progress, SearchResult& found)
{
    SampleBytes data;
    try {
        data.resize(std::size_t(input.sizeBytes()));
    } catch (const std::bad_alloc&) {
        return LoadStatus::OutOfMemory;
    }
    if (!input.readAt(0, data)) {
        return LoadStatus::Unreadable;
    }
    found = findSettings(input.header(), data, start, scope, progress);
    return LoadStatus::Loaded;
}

} // namespace tt
