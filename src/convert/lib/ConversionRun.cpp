#include "convert/lib/ConversionRun.h"

#include "convert/lib/CommandLine.h"
#include "convert/lib/InterruptCleanup.h"
#include "convert/lib/TerminalProgress.h"
#include "decode/SoundLoader.h"
#include "decode/SoundOrigin.h"
#include "export/AtomicFileOutput.h"
#include "export/FileStreamOutput.h"
#include "export/PlayerSourceWriter.h"
#include "modulator/NullBitSink.h"
#include "modulator/StreamingConversion.h"
#include "modulator/WholeFileConversion.h"
#include "search/SearchReport.h"
#include "search/SettingsSearch.h"
#include "text/TextFormat.h"
#include "wave/FileInfo.h"
#include "wave/SampleBytes.h"
#include "wave/WaveImage.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace tt {

namespace {

    void printError(const ConsoleStreams& console, const std::string& message)
    {
        std::fprintf(console.err, "%.*s: %s\n", int(convertProgramName.size()),
            convertProgramName.data(), message.c_str());
    }

    // The opened input in `input`, at the rate asked for, or the exit status and message of a
    // refusal. origin tells what a decoded or resampled input was (soundOriginText).
    ExitStatus openInput(const ConvertOptions& options, std::unique_ptr<SampleStream>& input,
        std::string& origin, const ConsoleStreams& console)
    {
        const std::string& path = options.inputPath;
        std::string originalFormat;
        std::string decodeNote;
        switch (openSoundStream(path, input, originalFormat, &decodeNote)) {
        case LoadStatus::Unreadable:
        case LoadStatus::Cancelled: // opening is never cancelled
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
        const std::uint32_t ownRateHz = input->header().sampleRateHz;
        if (options.rateHz != 0) {
            std::string reason;
            input = streamAtRate(std::move(input), options.rateHz, &reason);
            if (!input) {
                printError(console,
                    path + ": can't resample from " + toDecimal(ownRateHz) + " Hz to "
                        + toDecimal(options.rateHz) + " Hz. " + reason);
                return ExitStatus::InputRefused;
            }
        }
        origin
            = soundOriginText(originalFormat, ownRateHz, input->header().sampleRateHz, decodeNote);
        // Without the information lines, a damaged or short input is still told.
        if (!decodeNote.empty() && !options.printsInfo()) {
            printError(console, path + ": " + decodeNote);
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

    // Where the pass stopped, when it did not get through.
    enum class PassFailure { None, Input, Wav, Text };

    // The one pass over the input, read in pieces. The one-bit WAV file gets the image's header
    // first, then the samples as the pass decides them, then the silence the image holds
    // behind the counted frames. Stops at the first piece that cannot be read or written; a
    // sink that writes text tells its failure by failed().
    template <BitSink Sink>
    PassFailure streamPass(SampleStream& input, StreamingConversion& pass, Sink& sink,
        TextSink* wav, TerminalProgress& progress)
    {
        if (wav && !writeBytes(*wav, WaveImage::headerFor(input.header(), input.sizeBytes()))) {
            return PassFailure::Wav;
        }
        std::vector<std::uint8_t> piece(
            std::size_t(std::min<std::uint64_t>(input.pieceBytes(), input.sizeBytes())));
        std::vector<std::uint8_t> out;
        for (std::uint64_t offset = 0; offset < input.sizeBytes();) {
            const std::span<std::uint8_t> in(piece.data(),
                std::size_t(std::min<std::uint64_t>(piece.size(), input.sizeBytes() - offset)));
            if (!input.readAt(offset, in)) {
                return PassFailure::Input;
            }
            offset += in.size();
            out.resize(std::max(out.size(), pass.outputBytesFor(in.size())));
            const std::size_t decidedBytes = pass.convert(in, out, sink);
            if (wav && !writeBytes(*wav, { out.data(), decidedBytes })) {
                return PassFailure::Wav;
            }
            if constexpr (requires { sink.failed(); }) {
                if (sink.failed()) {
                    return PassFailure::Text;
                }
            }
            progress.report(progressPercent(pass.decidedFrameCount(), pass.frameCount()));
        }
        out.resize(std::max(out.size(), pass.finishOutputBytes()));
        const std::size_t lastBytes = pass.finish(out, sink);
        if (wav) {
            const std::uint64_t countedBytes
                = std::uint64_t(pass.frameCount()) * std::uint64_t(input.header().bytesPerFrame());
            const std::vector<std::uint8_t> tail(std::size_t(input.sizeBytes() - countedBytes),
                WaveImage::silenceByte(input.header()));
            if (!writeBytes(*wav, { out.data(), lastBytes }) || !writeBytes(*wav, tail)) {
                return PassFailure::Wav;
            }
        }
        progress.report(progressPercent(pass.decidedFrameCount(), pass.frameCount()));
        return PassFailure::None;
    }

    // The information lines; a decoded or resampled input adds a line on what it was. A stream
    // is always 8- or 16-bit, so the pass walks every frame its data counts.
    bool printInfo(const WaveHeader& header, const ModulatorSettings& settings,
        const StreamingConversion& pass, const std::string& origin, const ConsoleStreams& console)
    {
        const FileInfoTexts info = fileInfoTexts(header, pass.frameCount());
        const std::string_view modulator = modulatorName(settings.modulator);
        std::fprintf(console.out,
            "%s\n%s\n%s\n%s\n%s\nSNR: %s dB\nAudible SNR: %s dB\nModulator: %.*s\n",
            info.rate.c_str(), info.channels.c_str(), info.bits.c_str(), info.samples.c_str(),
            errorLabelText(pass.result()).c_str(), formatFixed(pass.segmentalSnrDb(), 2).c_str(),
            formatFixed(pass.audibleSnrDb(), 2).c_str(), int(modulator.size()), modulator.data());
        if (!origin.empty()) {
            std::fprintf(console.out, "%s\n", origin.c_str());
        }
        return std::fflush(console.out) == 0 && std::ferror(console.out) == 0;
    }

    // The settings the search found at the options' volume, printed for a script to reuse. The
    // search takes samples from all over the sound, so the data is read whole for it and given
    // back before the pass. The exit status of a failure, with its message printed.
    ExitStatus findSettings(SampleStream& input, const ConvertOptions& options,
        const ConsoleStreams& console, ModulatorSettings& settings)
    {
        SearchResult found;
        {
            SampleBytes data;
            try {
                data.resize(std::size_t(input.sizeBytes()));
            } catch (const std::bad_alloc&) {
                printError(console, options.inputPath + ": not enough memory");
                return ExitStatus::InputRefused;
            }
            if (!input.readAt(0, data)) {
                printError(console, "can't read " + options.inputPath);
                return ExitStatus::InputRefused;
            }
            TerminalProgress progress(
                console.err, console.errIsTerminal, console.progressDelay, "searching");
            const SearchScope scope
                = options.bestVolume ? SearchScope::VolumeOnly : SearchScope::LeakAndStep;
            found = findBestSettings(
                input.header(), data, options.settings,
                [&](int percent) {
                    progress.report(percent);
                    return true;
                },
                scope);
        }
        settings = settingsFound(found, options.settings);
        std::FILE* stream = options.exportsToStandardOutput() ? console.err : console.out;
        const SearchScope scope
            = options.bestVolume ? SearchScope::VolumeOnly : SearchScope::LeakAndStep;
        std::fprintf(stream, "%s\nAudible SNR %s dB, %s dB with %s%s\n",
            searchSettingsArguments(settings, scope).c_str(), formatFixed(found.snrDb, 2).c_str(),
            formatFixed(found.startSnrDb, 2).c_str(),
            searchSettingsArguments(options.settings, scope).c_str(),
            found.measuredOnWholeFile ? "" : " (on a sample spread over this long file)");
        const bool written = std::fflush(stream) == 0 && std::ferror(stream) == 0;
        if (!written && stream == console.out) {
            printError(console, "can't write standard output");
            return ExitStatus::OutputFailed;
        }
        return ExitStatus::Done;
    }

} // namespace

ExitStatus runConversion(const ConvertOptions& options, const ConsoleStreams& console)
{
    std::unique_ptr<SampleStream> opened;
    std::string origin;
    if (const ExitStatus status = openInput(options, opened, origin, console);
        status != ExitStatus::Done) {
        return status;
    }
    SampleStream& input = *opened;

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
    if (options.bestSettings || options.bestVolume) {
        if (const ExitStatus found = findSettings(input, options, console, settings);
            found != ExitStatus::Done) {
            return found;
        }
    }

    // The one pass, with the text writer as its bit sink when text is wanted.
    const WaveHeader& header = input.header();
    const std::int64_t frames = conversionFrameCount(header, input.sizeBytes(), input.sizeBytes());
    StreamingConversion pass(header, settings, frames, options.printsInfo());
    FileStreamOutput standardOutput(console.out);
    const std::string textName = exportFile ? options.exportPath : std::string("standard output");
    PassFailure failure = PassFailure::None;
    {
        TerminalProgress progress(console.err, console.errIsTerminal, console.progressDelay);
        if (options.exportPath.empty()) {
            NullBitSink sink;
            failure = streamPass(input, pass, sink, wavFile.get(), progress);
        } else {
            TextSink& text = exportFile ? static_cast<TextSink&>(*exportFile) : standardOutput;
            PlayerSourceWriter writer(text, frames);
            failure = streamPass(input, pass, writer, wavFile.get(), progress);
            if (failure == PassFailure::None
                && (!writer.finish() || (!exportFile && !standardOutput.flush()))) {
                failure = PassFailure::Text;
            }
        }
    }
    switch (failure) {
    case PassFailure::None:
        break;
    case PassFailure::Input:
        printError(console, "can't read " + options.inputPath);
        return ExitStatus::InputRefused;
    case PassFailure::Wav:
        printError(console, "can't write " + options.wavPath);
        return ExitStatus::OutputFailed;
    case PassFailure::Text:
        printError(console, "can't write " + textName);
        return ExitStatus::OutputFailed;
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

    if (options.printsInfo() && !printInfo(header, settings, pass, origin, console)) {
        printError(console, "can't write standard output");
        return ExitStatus::OutputFailed;
    }
    return ExitStatus::Done;
}

} // namespace tt
