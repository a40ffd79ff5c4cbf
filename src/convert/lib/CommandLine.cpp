#include "convert/lib/CommandLine.h"

#include "app/ExportFormats.h"
#include "app/PlayerRate.h"
#include "convert/lib/ConversionRun.h"
#include "convert/lib/NumberArgument.h"
#include "export/FileIdentity.h"
#include "export/PlayerSourceWriter.h"
#include "modulator/ModulatorKind.h"
#include "modulator/VolumeText.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace tt {

namespace {

    // "player-source, c-header, ...": the export formats by name.
    std::string exportFormatChoices()
    {
        std::string names;
        for (const ExportFormat& format : exportFormats()) {
            names += (names.empty() ? "" : ", ") + std::string(format.name);
        }
        return names;
    }

    std::string quoted(std::string_view text)
    {
        std::string result;
        result.reserve(text.size() + 2);
        result.push_back('\'');
        result.append(text);
        result.push_back('\'');
        return result;
    }

    bool readWholeNumberOption(std::string_view name, std::string_view text, int minimum,
        int maximum, int& out, std::string& error)
    {
        const std::optional<std::int64_t> value = parseWholeNumber(text);
        if (!value || *value < minimum || *value > maximum) {
            error = std::string(name) + " takes a whole number from " + std::to_string(minimum)
                + " to " + std::to_string(maximum) + ", not " + quoted(text);
            return false;
        }
        out = int(*value);
        return true;
    }

    // The first spelling of every modulator, as the usage line and the refusal list them.
    std::string modulatorChoices(std::string_view separator)
    {
        std::string choices;
        for (const ModulatorKindInfo& info : modulatorKinds) {
            if (!choices.empty()) {
                choices += separator;
            }
            choices += info.spellings[0];
        }
        return choices;
    }

    // The Volume field's reading (value x 100, halves to even), refused rather than limited
    // when it falls outside 0 ... 400.
    bool readVolumeOption(std::string_view text, int& out, std::string& error)
    {
        if (isDecimalNumber(text)) {
            const std::int64_t volume = volumeFromText(text);
            if (volume >= ModulatorSettings::volumeMin && volume <= ModulatorSettings::volumeMax) {
                out = int(volume);
                return true;
            }
        }
        error = "--volume takes a number from 0 to 4 (1 = 100 %), not " + quoted(text);
        return false;
    }

    enum class OptionKind { Flag, Value };

    struct OptionName {
        std::string_view name;
        OptionKind kind;
    };

    constexpr OptionName knownOptions[] = {
        { "--value1", OptionKind::Value },
        { "--value2", OptionKind::Value },
        { "--volume", OptionKind::Value },
        { "--modulator", OptionKind::Value },
        { "--rate", OptionKind::Value },
        { "--label-prefix", OptionKind::Value },
        { "--format", OptionKind::Value },
        { "--export", OptionKind::Value },
        { "--wav", OptionKind::Value },
        { "--start", OptionKind::Value },
        { "--end", OptionKind::Value },
        { "--trim-silence", OptionKind::Flag },
        { "--best-settings", OptionKind::Flag },
        { "--best-volume", OptionKind::Flag },
        { "--info", OptionKind::Flag },
        { "--help", OptionKind::Flag },
        { "--version", OptionKind::Flag },
    };

    const OptionName* findOption(std::string_view name)
    {
        for (const OptionName& option : knownOptions) {
            if (option.name == name) {
                return &option;
            }
        }
        return nullptr;
    }

    bool applyOption(
        std::string_view name, std::string_view value, ConvertOptions& options, std::string& error)
    {
        if (name == "--value1") {
            return readWholeNumberOption(name, value, ModulatorSettings::value1Min,
                ModulatorSettings::value1Max, options.settings.value1, error);
        }
        if (name == "--value2") {
            return readWholeNumberOption(name, value, ModulatorSettings::value2Min,
                ModulatorSettings::value2Max, options.settings.value2, error);
        }
        if (name == "--format") {
            if (!findExportFormat(value)) {
                error = "--format takes " + exportFormatChoices() + ", not " + quoted(value);
                return false;
            }
            options.formatName = std::string(value);
            return true;
        }
        if (name == "--label-prefix") {
            if (!PlayerSourceWriter::isLabelPrefix(value)) {
                error = "--label-prefix takes up to "
                    + std::to_string(PlayerSourceWriter::labelPrefixMaxBytes)
                    + " letters, digits and underscores, not a digit first, not " + quoted(value);
                return false;
            }
            options.labelPrefix = std::string(value);
            return true;
        }
        if (name == "--rate") {
            const std::optional<PlayerRate> rate
                = parsePlayerRate(value, ConvertOptions::rateMaxHz);
            if (!rate) {
                error = "--rate takes a whole number of Hz from 1 to "
                    + std::to_string(ConvertOptions::rateMaxHz)
                    + ", or the player's clock over its cycles per sample (16000000/1000), not "
                    + quoted(value);
                return false;
            }
            options.rateHz = rate->rateHz;
            options.rateFromClock = rate->cycles > 0 ? playerRateText(*rate) : std::string();
            return true;
        }
        if (name == "--volume") {
            return readVolumeOption(value, options.settings.volume, error);
        }
        if (name == "--modulator") {
            if (const std::optional<ModulatorKind> kind = modulatorSpelled(value)) {
                options.settings.modulator = *kind;
                return true;
            }
            error = "--modulator takes " + modulatorChoices(" or ") + ", not " + quoted(value);
            return false;
        }
        if (name == "--export" || name == "--wav") {
            if (value.empty()) {
                error = std::string(name) + " needs a file name";
                return false;
            }
            if (name == "--wav" && value == ConvertOptions::standardOutputPath) {
                error = "--wav needs a file name; only --export writes to standard output (-)";
                return false;
            }
            (name == "--export" ? options.exportPath : options.wavPath) = std::string(value);
            return true;
        }
        if (name == "--start" || name == "--end") {
            return readFramePosition(
                name, value, name == "--start" ? options.part.start : options.part.end, error);
        }
        if (name == "--best-settings") {
            options.bestSettings = true;
        } else if (name == "--best-volume") {
            options.bestVolume = true;
        } else if (name == "--trim-silence") {
            options.part.trimSilence = true;
        } else if (name == "--info") {
            options.info = true;
        } else if (name == "--help") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        }
        return true;
    }

    bool checkCombination(const ConvertOptions& options, std::string& error)
    {
        if (options.exportsToStandardOutput() && options.info) {
            error = "--info and --export - would both write to standard output";
            return false;
        }
        // By identity, not spelling: "./x" and "x", a link and its file, and two hard links are
        // one file each.
        for (const std::string& path : options.moreInputPaths) {
            if (!options.exportPath.empty() && !options.exportsToStandardOutput()
                && FileIdentity::of(options.exportPath).isSameFileAs(FileIdentity::of(path))) {
                error = "--export " + quoted(options.exportPath) + " would replace an input file";
                return false;
            }
        }
        const FileIdentity input = FileIdentity::of(options.inputPath);
        const bool exportsToFile
            = !options.exportPath.empty() && !options.exportsToStandardOutput();
        const FileIdentity exportFile
            = exportsToFile ? FileIdentity::of(options.exportPath) : FileIdentity {};
        const FileIdentity wavFile
            = options.wavPath.empty() ? FileIdentity {} : FileIdentity::of(options.wavPath);
        if (exportFile.isSameFileAs(input)) {
            error = "--export " + quoted(options.exportPath) + " would replace the input file";
            return false;
        }
        if (wavFile.isSameFileAs(input)) {
            error = "--wav " + quoted(options.wavPath) + " would replace the input file";
            return false;
        }
        if (exportFile.isSameFileAs(wavFile)) {
            error = "--export and --wav name the same file " + quoted(options.wavPath);
            return false;
        }
        return true;
    }

} // namespace

std::string convertUsageLine()
{
    return "usage: " + std::string(convertProgramName)
        + " [--value1 N] [--value2 N] [--volume X] [--modulator " + modulatorChoices("|")
        + "] [--rate N] [--start POS] [--end POS] [--trim-silence] [--best-settings|--best-volume]"
          " [--export FILE|-] [--format NAME] [--label-prefix P] [--wav FILE] [--info]"
          " INPUT [INPUT ...]";
}

std::string convertHelpText()
{
    return convertUsageLine()
        + "\n\n"
          "Converts a sound file into a one-bit sound with the leaky-integrator pin model and\n"
          "writes the results that were asked for. 8- and 16-bit PCM WAV files are read as they\n"
          "are; other files (WAV in other encodings, FLAC, Ogg Vorbis or Opus, MP3, AIFF, ...)\n"
          "are decoded to 16-bit PCM at their own rate. The input is converted once, however\n"
          "many outputs are given.\n"
          "\n"
          "Model settings:\n"
          "  --value1 N       leak, 1 ... 9000 (default 3000)\n"
          "  --value2 N       step, 1 ... 32767 (default 1000)\n"
          "  --volume X       gain, 0 ... 4 where 1 is 100 % (default 1)\n"
          "  --modulator M    how each frame's bit is chosen: greedy (default) drives up\n"
          "                   whenever the input lies above the level; lookahead searches the\n"
          "                   next frames for bits that follow the input more closely, for\n"
          "                   the same player (its conversion takes a few times as long)\n"
          "  --rate N         resamples the input to N Hz (1 ... 384000), the rate the player\n"
          "                   runs at, before it is converted; the result is 16-bit. Also\n"
          "                   CLOCK/CYCLES, the player's clock in Hz over the cycles of its\n"
          "                   loop per sample (16000000/1000), to the nearest Hz; --info\n"
          "                   then tells the rate that gives\n"
          "\n"
          "The part converted (POS: a frame, counted from 0, or seconds with an s: 1.5s;\n"
          "at the rate converted, so after --rate):\n"
          "  --start POS      the part's first frame (default 0)\n"
          "  --end POS        the frame after the part's last (default the sound's end)\n"
          "  --trim-silence   from the first to the last frame of the part louder than\n"
          "                   -60 dBFS (channel 1 or 2); the search, every output and --info\n"
          "                   take only the part, and --info tells it on a line `Part: ...`\n"
          "\n"
          "Settings search:\n"
          "  --best-settings  finds the Value 1 and Value 2 with the best audible SNR for the\n"
          "                   input at the volume (in about a second), uses them for every\n"
          "                   output and prints them as a line `--value1 N --value2 N`, then a\n"
          "                   line with the audible SNR they give and that of the settings\n"
          "                   given; on standard error when --export - writes to standard\n"
          "                   output, else on standard output. Not together with --value1 or\n"
          "                   --value2. The search holds the whole input in memory; without it\n"
          "                   the input is read, converted and written piece by piece.\n"
          "  --best-volume    the same for a fixed circuit: keeps Value 1 and Value 2 and finds\n"
          "                   the volume (printed as `--volume X`). Not together with --volume\n"
          "                   or --best-settings.\n"
          "\n"
          "Outputs (files are replaced only once completely written; a name is used as given,\n"
          "no extension is added):\n"
          "  --export FILE    the player source text (.dw 0b words) that the window's Export\n"
          "                   Beepster writes; - writes to standard output. With several\n"
          "                   INPUTs, one text holding them all (a bank): each sound starts\n"
          "                   at a block, the one before padded with silence to its block's\n"
          "                   end, and the entry labels that lead to each are printed\n"
          "  --format NAME    the export's format: player-source (the default), c-header\n"
          "                   (a const uint8_t array, PROGMEM on AVR), raw (the bytes as\n"
          "                   they lie in the player's flash), avr-db (.db), z80-defb (defb)\n"
          "                   or 6502-byte (.byte); each byte holds 8 frames, the earliest in\n"
          "                   its top bit, and a 1 drives the pin down\n"
          "  --label-prefix P written in front of every entry label (P_key0000:), so that\n"
          "                   the exports of several sounds can go into one program\n"
          "  --wav FILE       the modelled one-bit sound as a WAV file with the input's format\n"
          "  --info           prints the sample rate, channels, bits, sample count, the mean\n"
          "                   model error, the segmental SNR of the settings used\n"
          "                   (SNR: 12.34 dB), their audible SNR (Audible SNR: 5.67 dB) and\n"
          "                   the modulator, one per line (the default\n"
          "                   without --export or --wav); then, for a decoded or resampled\n"
          "                   input, its original format and rate\n"
          "\n"
          "  --help           shows this text\n"
          "  --version        shows the version\n"
          "\n"
          "Options take their value as --opt VALUE or --opt=VALUE; -- ends the options.\n"
          "\n"
          "Exit status: 0 done, 2 usage error, 3 input not readable or not supported,\n"
          "4 an output could not be created or written.\n";
}

bool parseConvertArguments(
    std::span<const std::string_view> arguments, ConvertOptions& options, std::string& error)
{
    std::vector<std::string_view> seen;
    std::vector<std::string_view> inputs;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "-h") {
            options.help = true;
            continue;
        }
        const auto equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        const OptionName* option = argument.starts_with("--") ? findOption(name) : nullptr;
        if (!option) {
            error = "unknown option " + quoted(name);
            return false;
        }
        for (const std::string_view earlier : seen) {
            if (earlier == name) {
                error = std::string(name) + " is given more than once";
                return false;
            }
        }
        seen.push_back(name);
        std::string_view value;
        if (option->kind == OptionKind::Flag) {
            if (equals != std::string_view::npos) {
                error = std::string(name) + " takes no value";
                return false;
            }
        } else if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = std::string(name) + " needs a value";
            return false;
        }
        if (!applyOption(name, value, options, error)) {
            return false;
        }
    }
    if (options.bestSettings && options.bestVolume) {
        error = "--best-settings and --best-volume exclude each other";
        return false;
    }
    for (const std::string_view name : seen) {
        if (options.bestSettings && (name == "--value1" || name == "--value2")) {
            error = "--best-settings finds Value 1 and Value 2; it cannot take " + quoted(name);
            return false;
        }
        if (options.bestVolume && name == "--volume") {
            error = "--best-volume finds the volume; it cannot take --volume";
            return false;
        }
    }
    if (options.help || options.version) {
        return true;
    }
    if (inputs.empty()) {
        error = "no input file given";
        return false;
    }
    if (inputs.size() > 1) {
        // A bank: one player source holding every sound.
        if (options.exportPath.empty()) {
            error = "several input files make a bank, which needs --export";
            return false;
        }
        if (!options.wavPath.empty() || options.info || options.part.start.given()
            || options.part.end.given()) {
            error = "a bank of several input files takes neither --wav, --info, --start nor --end";
            return false;
        }
    }
    if (inputs.front() == "-") {
        error = "the input must be a file; standard input is not read";
        return false;
    }
    options.inputPath = std::string(inputs.front());
    for (std::size_t i = 1; i < inputs.size(); ++i) {
        if (inputs[i] == "-") {
            error = "the input must be a file; standard input is not read";
            return false;
        }
        options.moreInputPaths.push_back(std::string(inputs[i]));
    }
    for (const std::string_view name : seen) {
        if ((name == "--label-prefix" || name == "--format") && options.exportPath.empty()) {
            error = std::string(name) + " applies to the export; give --export";
            return false;
        }
    }
    return checkCombination(options, error);
}

ExitStatus runConvertCommand(
    std::span<const std::string_view> arguments, const ConsoleStreams& console)
{
    ConvertOptions options;
    std::string error;
    if (!parseConvertArguments(arguments, options, error)) {
        std::fprintf(console.err, "%.*s: %s\n%s\n", int(convertProgramName.size()),
            convertProgramName.data(), error.c_str(), convertUsageLine().c_str());
        return ExitStatus::UsageError;
    }
    if (options.help || options.version) {
        const std::string text
            = options.help ? convertHelpText() : std::string(convertVersionText) + "\n";
        std::fputs(text.c_str(), console.out);
        return std::fflush(console.out) == 0 ? ExitStatus::Done : ExitStatus::OutputFailed;
    }
    return runConversion(options, console);
}

} // namespace tt
