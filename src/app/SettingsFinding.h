#pragma once
// The settings search for either front end: on a sound in memory (the window's), or on a sound
// read in pieces (the command line's), which it reads whole first, since the search takes
// samples from all over the sound.

#include "search/SettingsSearch.h"
#include "wave/LoadStatus.h"
#include "wave/SampleStream.h"

namespace tt {

// findBestSettings over the data with the budgets for start.modulator.
SearchResult findSettings(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& start, SearchScope scope, const SearchProgress& progress);

// The same over the whole stream, whose data is held only for the search. Loaded with `found`
// assigned; OutOfMemory or Unreadable when the data could not be had.
LoadStatus findSettings(SampleStream& input, const ModulatorSettings& start, SearchScope scope,
    const SearchProgress& progress, SearchResult& found);

} // namespace tt
