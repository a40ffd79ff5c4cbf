#include "search/SearchReport.h"

#include "modulator/VolumeText.h"
#include "platform/toolkit/text/TextFormat.h"

namespace tt {
namespace {

    std::string settingsText(int value1, int value2)
    {
        return "Value 1 " + toDecimal(value1) + ", Value 2 " + toDecimal(value2);
    }

} // namespace

std::string searchSummaryText(const SearchResult& result)
{
    return "SNR " + formatFixed(result.startSnrDb, 1) + " \u2192 " + formatFixed(result.snrDb, 1)
        + " dB";
}

std::string searchReportText(const SearchResult& result, const ModulatorSettings& start)
{
    std::string text = "Best settings at Volume " + volumeText(start.volume) + ", by segmental SNR";
    text += "\nbefore: " + settingsText(start.value1, start.value2) + ": "
        + formatFixed(result.startSnrDb, 2) + " dB";
    text += "\nafter: " + settingsText(result.value1, result.value2) + ": "
        + formatFixed(result.snrDb, 2) + " dB";
    if (!result.measuredOnWholeFile) {
        text += "\n(measured on a sample spread over this long file)";
    }
    return text;
}

std::string searchSettingsArguments(const SearchResult& result)
{
    return "--value1 " + toDecimal(result.value1) + " --value2 " + toDecimal(result.value2);
}

} // namespace tt
