#include "search/SearchReport.h"

#include "modulator/VolumeText.h"
#include "text/TextFormat.h"

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
    return "Find Best Settings at Volume " + volumeText(start.volume) + "\nbefore: "
        + settingsText(start.value1, start.value2) + ", SNR " + formatFixed(result.startSnrDb, 2)
        + " dB\nafter: " + settingsText(result.value1, result.value2) + ", SNR "
        + formatFixed(result.snrDb, 2) + " dB\n"
        + (result.measuredOnWholeFile ? "(segmental SNR of the whole file)"
                                      : "(segmental SNR of a sample spread over this long file)");
}

std::string searchSettingsArguments(const SearchResult& result)
{
    return "--value1 " + toDecimal(result.value1) + " --value2 " + toDecimal(result.value2);
}

} // namespace tt
