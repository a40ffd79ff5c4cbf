#include "convert/lib/ConversionRun.h"

#include "convert/lib/CommandLine.h"
#include "convert/lib/InterruptCleanup.h"
#include "convert/lib/ProgressBitSink.h"
#include "convert/lib/TerminalProgress.h"
#include "export/AtomicFileOutput.h"
#include "export/OneBitSoundFile.h"
#include "export/PlayerSourceExport.h"
#include "modulator/WholeFileConversion.h"
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

    bool printInfo(
        const WaveDocument& document, const ConversionResult& result, const ConsoleStreams& console)
    {
        const FileInfoTexts info = fileInfoTexts(document.header, document.frameCount());
        std::fprintf(console.out, "%s\n%s\n%s\n%s\n%s\n", info.rate.c_str(), info.channels.c_str(),
            info.bits.c_str(), info.samples.c_str(), errorLabelText(result).c_str());
        return std::fflush(console.out) == 0 && std::ferror(console.out) == 0;
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

    // The one pass: export mode when text is wanted, else play mode. Both leave the same image.
    ConversionResult result;
    {
        TerminalProgress progress(console.err, console.errIsTerminal, console.progressDelay);
        if (options.exportPath.empty()) {
            result = convertForImage(document, options.settings, progress);
        } else {
            const ProgressCallback onProgress
                = progress.enabled() ? progress.callback() : ProgressCallback {};
            const ExportStatus status = exportFile
                ? exportPlayerSource(*exportFile, document.header, document.data.bytes(),
                    options.settings, document.image.sampleArea(), result, onProgress)
                : exportPlayerSource(console.out, document.header, document.data.bytes(),
                    options.settings, document.image.sampleArea(), result, onProgress);
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

    if (options.printsInfo() && !printInfo(document, result, console)) {
        printError(console, "can't write standard output");
        return ExitStatus::OutputFailed;
    }
    return ExitStatus::Done;
}

} // namespace tt
