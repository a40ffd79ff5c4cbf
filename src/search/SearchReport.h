#pragma once
// How a search's outcome is told: in the window's progress bar and tool tip, and by the
// command-line tool.

#include "modulator/ModulatorSettings.h"
#include "search/SearchResult.h"
#include "search/SettingsSearch.h"

#include <string>

namespace tt {

// "Audible SNR -7.1 → 12.2 dB": the audible SNR before and after, short enough for the progress
// bar.
std::string searchSummaryText(const SearchResult& result);

// The whole story in four lines: what was searched, the starting and the chosen settings each
// with its audible SNR in hundredths of a dB, and whether the figures are of the whole file or
// of a sample of a long one.
std::string searchReportText(
    const SearchResult& result, const ModulatorSettings& start, SearchScope scope);

// The settings a search chooses as options of the command-line tool: "--value1 8012 --value2
// 59", or "--volume 1.500000" for a search of the Volume alone.
std::string searchSettingsArguments(const ModulatorSettings& settings, SearchScope scope);

} // namespace tt
