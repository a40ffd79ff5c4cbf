#include "convert/lib/ConversionRun.h"

#include "convert/lib/CommandLine.h"
#include "convert/lib/InterruptCleanup.h"
#include "convert/lib/ProgressBitSink.h"
#include "convert/lib/TerminalProgress.h"
#include "export/AtomicFileOutput.h"
#include "export/OneBitSoundFile.h"
#include "export/PlayerSourceExport.h"
#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "search/SearchReport.h"
#include "search/SettingsSearch.h"
#include "text/TextFormat.h"
#include "wave/FileInfo.h"
#include "wave/WaveDocument.h"
#include "wave/WaveLoader.h"

#include <memory>
#include <string_view>

namespace tt {

namespace {

    void printError(const ConsoleStreams& console, const std::string& message)
    {
        std::fprintf(console.err, "%.*s: %s\n", int(convertProgramName.size()),
            convertProgramName.data(), message.c_str());
    }

    // The loaded file in `document`, or the exit status and message of a refusal.
    ExitStatus loadInput(
        const std::string& path, WaveDocument& document, const ConsoleStreams& console)
    {
        LoadedWave loaded;
        switch (loadWaveFile(path, loaded)) {
        case LoadStatus::Unreadable:
            printError(console, "can't read " + path);
            return ExitStatus::InputRefused;
        case LoadStatus::OutOfMemory:
            printError(console, path + ": not enough memory");
            return ExitStatus::InputRefused;
        case LoadStatus::NotSupported:
            printError(console, path + ": Format not supported");
            return ExitStatus::InputRefused;
        case LoadStatus::Loaded:
            break;
        }
        if (!document.accept(std::move(loaded))) {
            printError(console, path + ": not enough memory for the one-bit sound");
            return ExitStatus::InputRefused;
        }
        return ExitStatus::Done;
    }

    std::unique_ptr<AtomicFileOutput> createOutput(
        const std::string& path, InterruptCleanup& cleanup, const ConsoleStreams& console)
    {
        std::unique_ptr<AtomicFileOutput> output = AtomicFileOutput::create(path);
        if (!output) {
            printError(console, "can't create " + path);
        } else if (!output->temporaryPath().empty()) {
            cleanup.add(output->temporaryPath());
        }
        return output;
    }

    // Play mode, or the same pass with a progress-only sink when a terminal shows progress.
    ConversionResult convertForImage(
        WaveDocument& document, const ModulatorSettings& settings, TerminalProgress& progress)
    {
        const std::span<const std::uint8_t> data = document.data.bytes();
        const std::span<std::uint8_t> sampleArea = document.image.sampleArea();
        if (!progress.enabled()) {
            return convertWholeFile(document.header, data, settings, sampleArea);
        }
        ProgressBitSink sink(
            progress, conversionFrameCount(document.header, data.size(), sampleArea.size()));
        return convertWholeFile(document.header, data, settings, sampleArea, sink);
    }

    bool printInfo(const WaveDocument& document, const ModulatorSettings& settings,
        const ConversionResult& result, const ConsoleStreams& console)
    {
        const FileInfoTexts info = fileInfoTexts(document.header, document.frameCount());
        const double snrDb = segmentalSnrDb(
            document.header, document.data.bytes(), settings, document.image.sampleArea());
        const std::string_view modulator = modulatorName(settings.modulator);
        std::fprintf(console.out, "%s\n%s\n%s\n%s\n%s\nSNR: %s dB\nModulator: %.*s\n",
            info.rate.c_str(), info.channels.c_str(), info.bits.c_str(), info.samples.c_str(),
            errorLabelText(result).c_str(), formatFixed(snrDb, 2).c_str(), int(modulator.size()),
            modulator.data());
        return std::fflush(console.out) == 0 && std::ferror(console.out) == 0;
    }

    // The settings the search found at the options' volume, printed for a script to reuse.
    // False when standard output cannot take the lines.
    bool findSettings(const WaveDocument& document, const ConvertOptions& options,
        const ConsoleStreams& console, ModulatorSettings& settings)
    {
        SearchResult found;
        {
            TerminalProgress progress(
                console.err, console.errIsTerminal, console.progressDelay, "searching");
            found = findBestSettings(
                document.header, document.data.bytes(), options.settings, [&](int percent) {
                    progress.report(percent);
                    return true;
                });
        }
        settings.value1 = found.value1;
        settings.value2 = found.value2;
        std::FILE* stream = options.exportsToStandardOutput() ? console.err : console.out;
        std::fprintf(stream, "%s\nSegmental SNR %s dB, %s dB with --value1 %d --value2 %d%s\n",
            searchSettingsArguments(found).c_str(), formatFixed(found.snrDb, 2).c_str(),
            formatFixed(found.startSnrDb, 2).c_str(), options.settings.value1,
            options.settings.value2,
            found.measuredOnWholeFile ? "" : " (on a sample spread over this long file)");
        const bool written = std::fflush(stream) == 0 && std::ferror(stream) == 0;
        return written || stream != console.out;
    }

} // namespace

ExitStatus runConversion(const ConvertOptions& options, const ConsoleStreams& console)
{
    WaveDocument document;
    if (const ExitStatus loaded = loadInput(options.inputPath, document, console);
        loaded != ExitStatus::Done) {
        return loaded;
    }

    InterruptCleanup cleanup;
    std::unique_ptr<AtomicFileOutput> exportFile;
    std::unique_ptr<AtomicFileOutput> wavFile;
    if (!options.exportPath.empty() && !options.exportsToStandardOutput()) {
        exportFile = createOutput(options.exportPath, cleanup, console);
        if (!exportFile) {
            return ExitStatus::OutputFailed;
        }
    }
    if (!options.wavPath.empty()) {
        wavFile = createOutput(options.wavPath, cleanup, console);
        if (!wavFile) {
            return ExitStatus::OutputFailed;
        }
    }

    ModulatorSettings settings = options.settings;
    if (options.bestSettings && !findSettings(document, options, console, settings)) {
        printError(console, "can't write standard output");
        return ExitStatus::OutputFailed;
    }

    // The one pass: export mode when text is wanted, else play mode. Both leave the same image.
    ConversionResult result;
    {
        TerminalProgress progress(console.err, console.errIsTerminal, console.progressDelay);
        if (options.exportPath.empty()) {
            result = convertForImage(document, settings, progress);
        } else {
            const ProgressCallback onProgress
                = progress.enabled() ? progress.callback() : ProgressCallback {};
            const ExportStatus status = exportFile
                ? exportPlayerSource(*exportFile, document.header, document.data.bytes(), settings,
                    document.image.sampleArea(), result, onProgress)
                : exportPlayerSource(console.out, document.header, document.data.bytes(), settings,
                    document.image.sampleArea(), result, onProgress);
            if (status != ExportStatus::Written) {
                progress.finish();
                printError(console,
                    "can't write "
                        + (exportFile ? options.exportPath : std::string("standard output")));
                return ExitStatus::OutputFailed;
            }
        }
    }

    if (wavFile) {
        if (!writeOneBitSound(*wavFile, document.image)) {
            printError(console, "can't write " + options.wavPath);
            return ExitStatus::OutputFailed;
        }
    }
    if (exportFile && !exportFile->commit()) {
        printError(console, "can't write " + options.exportPath);
        return ExitStatus::OutputFailed;
    }
    if (wavFile && !wavFile->commit()) {
        printError(console,
            "can't write " + options.wavPath
                + (exportFile ? "; " + options.exportPath + " was written" : std::string()));
        return ExitStatus::OutputFailed;
    }

    if (options.printsInfo() && !printInfo(document, settings, result, console)) {
        printError(console, "can't write standard output");
        return ExitStatus::OutputFailed;
    }
    return ExitStatus::Done;
}

} // namespace tt
