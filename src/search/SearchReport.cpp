#include "search/SearchReport.h"

#include "modulator/VolumeText.h"
#include "text/TextFormat.h"

namespace tt {
namespace {

    std::string settingsText(int value1, int value2, int volume, SearchScope scope)
    {
        if (scope == SearchScope::VolumeOnly) {
            return "Volume " + volumeText(volume);
        }
        return "Value 1 " + toDecimal(value1) + ", Value 2 " + toDecimal(value2);
    }

} // namespace

std::string searchSummaryText(const SearchResult& result)
{
    return "Audible SNR " + formatFixed(result.startSnrDb, 1) + " \u2192 "
        + formatFixed(result.snrDb, 1) + " dB";
}

std::string searchReportText(
    const SearchResult& result, const ModulatorSettings& start, SearchScope scope)
{
    const std::string heading = scope == SearchScope::VolumeOnly
        ? "Find Best Volume at Value 1 " + toDecimal(start.value1) + ", Value 2 "
            + toDecimal(start.value2)
        : "Find Best Settings at Volume " + volumeText(start.volume);
    return heading + "\nbefore: " + settingsText(start.value1, start.value2, start.volume, scope)
        + ", audible SNR " + formatFixed(result.startSnrDb, 2)
        + " dB\nafter: " + settingsText(result.value1, result.value2, result.volume, scope)
        + ", audible SNR " + formatFixed(result.snrDb, 2) + " dB\n"
        + (result.measuredOnWholeFile ? "(audible SNR of the whole file)"
                                      : "(audible SNR of a sample spread over this long file)");
}

std::string searchSettingsArguments(const ModulatorSettings& settings, SearchScope scope)
{
    if (scope == SearchScope::VolumeOnly) {
        return "--volume " + volumeText(settings.volume);
    }
    return "--value1 " + toDecimal(settings.value1) + " --value2 " + toDecimal(settings.value2);
}

} // namespace tt
