#pragma once

#include "convert/lib/PartOptions.h"
#include "modulator/ModulatorSettings.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tt {

// What one run of the command-line tool was asked to do.
struct ConvertOptions {
    static constexpr const char* standardOutputPath = "-";

    static constexpr std::uint32_t rateMaxHz = highestPlayedRateHz;

    ModulatorSettings settings;
    std::uint32_t rateHz = 0; // the rate the input is resampled to; 0: its own
    std::string rateFromClock; // how a rate given as CLOCK/CYCLES came about (playerRateText)
    std::string inputPath;
    // A bank: the sounds after the first, exported after it into the one player source.
    std::vector<std::string> moreInputPaths;
    std::string labelPrefix; // written in front of every entry label of the export
    std::string formatName = "player-source"; // the export's format (exportFormats())
    std::string exportPath; // empty: no player source text; "-": the text goes to standard output
    std::string wavPath; // empty: no one-bit WAV file
    bool bestSettings = false; // search Value 1 and Value 2 instead of taking them
    bool bestVolume = false; // search the Volume, keeping Value 1 and Value 2
    bool info = false;
    bool help = false;
    bool version = false;
    PartOptions part; // --start, --end, --trim-silence

    bool exportsToStandardOutput() const { return exportPath == standardOutputPath; }
    // Without an output file or stream the run prints the information lines.
    bool printsInfo() const { return info || (exportPath.empty() && wavPath.empty()); }
};

} // namespace tt
