#pragma once
// How a search's outcome is told: in the window's progress bar and tool tip, and by the
// command-line tool.

#include "modulator/ModulatorSettings.h"
#include "search/SearchResult.h"

#include <string>

namespace tt {

// "SNR -7.1 → 12.2 dB": the segmental SNR before and after, short enough for the progress bar.
std::string searchSummaryText(const SearchResult& result);

// The whole story in four lines: the Volume searched at, the starting and the chosen settings
// each with its segmental SNR in hundredths of a dB, and whether the figures are of the whole
// file or of a sample of a long one.
std::string searchReportText(const SearchResult& result, const ModulatorSettings& start);

// The chosen settings as options of the command-line tool: "--value1 8012 --value2 59".
std::string searchSettingsArguments(const SearchResult& result);

} // namespace tt
