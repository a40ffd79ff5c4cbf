#include "convert/lib/ConversionRun.h"

#include "app/OutputRun.h"
#include "app/SettingsFinding.h"
#include "app/SoundOpening.h"
#include "convert/lib/CommandLine.h"
#include "convert/lib/InterruptCleanup.h"
#include "convert/lib/TerminalProgress.h"
#include "export/FileStreamOutput.h"
#include "export/PlayerSourceWriter.h"
#include "search/SearchReport.h"
#include "text/TextFormat.h"
#include "wave/BankStreams.h"
#include "wave/FileInfo.h"
#include "wave/PartStream.h"

#include <optional>
#include <string_view>

namespace tt {

namespace {

    void printError(const ConsoleStreams& console, const std::string& message)
    {
        std::fprintf(console.err, "%.*s: %s\n", int(convertProgramName.size()),
            convertProgramName.data(), message.c_str());
    }

    // The opened input, at the rate asked for, or the exit status and message of a refusal.
    ExitStatus openInput(const ConvertOptions& options, const std::string& path, OpenedSound& sound,
        const ConsoleStreams& console)
    {
        switch (openSound(path, options.rateHz, sound)) {
        case OpenStatus::Unreadable:
            printError(console, "can't read " + path);
            return ExitStatus::InputRefused;
        case OpenStatus::OutOfMemory:
            printError(console, path + ": not enough memory");
            return ExitStatus::InputRefused;
        case OpenStatus::NotSupported:
            printError(console, path + ": Format not supported");
            return ExitStatus::InputRefused;
        case OpenStatus::CannotResample:
            printError(console,
                path + ": can't resample from " + toDecimal(sound.ownRateHz) + " Hz to "
                    + toDecimal(options.rateHz) + " Hz. " + sound.resampleRefusal);
            return ExitStatus::InputRefused;
        case OpenStatus::Opened:
            break;
        }
        // Without the information lines, a damaged or short input is still told.
        if (!sound.decodeNote.empty() && !options.printsInfo()) {
            printError(console, path + ": " + sound.decodeNote);
        }
        return ExitStatus::Done;
    }

    // The information lines; a decoded or resampled input adds a line on what it was. A stream
    // is always 8- or 16-bit, so the pass walks every frame its data counts.
    bool printInfo(const WaveHeader& header, const ModulatorSettings& settings,
        const RunOutcome& run, const std::string& origin, const std::string& rateFromClock,
        const ConsoleStreams& console)
    {
        const FileInfoTexts info = fileInfoTexts(header, run.result.frameCount);
        const std::string_view modulator = modulatorName(settings.modulator);
        std::fprintf(console.out,
            "%s\n%s\n%s\n%s\n%s\nSNR: %s dB\nAudible SNR: %s dB\nModulator: %.*s\n",
            info.rate.c_str(), info.channels.c_str(), info.bits.c_str(), info.samples.c_str(),
            errorLabelText(run.result).c_str(), formatFixed(run.segmentalSnrDb, 2).c_str(),
            formatFixed(run.audibleSnrDb, 2).c_str(), int(modulator.size()), modulator.data());
        const std::string size
            = playerSourceSizeText(PlayerSourceWriter::textSize(run.result.frameCount));
        std::fprintf(console.out, "Export: %s\n", size.c_str());
        if (!origin.empty()) {
            std::fprintf(console.out, "%s\n", origin.c_str());
        }
        if (!rateFromClock.empty()) {
            std::fprintf(console.out, "Player rate: %s\n", rateFromClock.c_str());
        }
        return std::fflush(console.out) == 0 && std::ferror(console.out) == 0;
    }

    // The settings the search found at the options' volume, printed for a script to reuse. The
    // exit status of a failure, with its message printed.
    ExitStatus findSettings(SampleStream& input, const ConvertOptions& options,
        const ConsoleStreams& console, ModulatorSettings& settings)
    {
        const SearchScope scope
            = options.bestVolume ? SearchScope::VolumeOnly : SearchScope::LeakAndStep;
        SearchResult found;
        LoadStatus read = LoadStatus::Loaded;
        {
            TerminalProgress progress(
                console.err, console.errIsTerminal, console.progressDelay, "searching");
            read = tt::findSettings(
                input, options.settings, scope,
                [&](int percent) {
                    progress.report(percent);
                    return true;
                },
                found);
        }
        if (read == LoadStatus::OutOfMemory) {
            printError(console, options.inputPath + ": not enough memory");
            return ExitStatus::InputRefused;
        }
        if (read != LoadStatus::Loaded) {
            printError(console, "can't read " + options.inputPath);
            return ExitStatus::InputRefused;
        }
        settings = settingsFound(found, options.settings);
        std::FILE* stream = options.exportsToStandardOutput() ? console.err : console.out;
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

    // One input: opened, at the rate asked for, and the part of it the options choose.
    struct InputSound {
        std::string path;
        OpenedSound sound;
        FrameRange part; // empty: the whole sound
        std::optional<PartStream> partStream;
        SampleStream* stream = nullptr; // the part or the whole sound

        ExitStatus open(
            const ConvertOptions& options, std::string inputPath, const ConsoleStreams& console)
        {
            path = std::move(inputPath);
            if (const ExitStatus status = openInput(options, path, sound, console);
                status != ExitStatus::Done) {
                return status;
            }
            std::string refusal;
            if (const ExitStatus chosen = choosePart(options.part, *sound.stream, part, refusal);
                chosen != ExitStatus::Done) {
                printError(console, path + ": " + refusal);
                return chosen;
            }
            if (!part.empty()) {
                partStream.emplace(*sound.stream, part);
            }
            stream = partStream ? &*partStream : sound.stream.get();
            return ExitStatus::Done;
        }
    };

    // A bank's sounds play at one rate, and a search over them joined needs them in one format.
    // The exit status of a refusal, with its message printed.
    ExitStatus checkBank(const std::vector<std::unique_ptr<InputSound>>& inputs,
        const ConvertOptions& options, const ConsoleStreams& console)
    {
        const InputSound& first = *inputs.front();
        for (const auto& input : inputs) {
            const WaveHeader& header = input->stream->header();
            if (header.sampleRateHz != first.stream->header().sampleRateHz) {
                printError(console,
                    input->path + " is at " + toDecimal(header.sampleRateHz) + " Hz, " + first.path
                        + " at " + toDecimal(first.stream->header().sampleRateHz)
                        + " Hz; the sounds of a bank play at one rate: give --rate");
                return ExitStatus::InputRefused;
            }
            if ((options.bestSettings || options.bestVolume)
                && (header.channelCount != first.stream->header().channelCount
                    || header.bitsPerSample != first.stream->header().bitsPerSample)) {
                printError(console,
                    "the settings search over a bank needs sounds of one format (channels "
                    "and bits); give --rate to make them all 16-bit");
                return ExitStatus::InputRefused;
            }
        }
        return ExitStatus::Done;
    }

    // Which sound of a bank starts where, with the entry labels that lead to it: one line a
    // sound.
    bool printBank(const std::vector<std::unique_ptr<InputSound>>& inputs, const RunOutcome& run,
        const ExportFormat& format, const ConvertOptions& options, std::FILE* stream)
    {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const BankPart& part = run.parts[i];
            std::string line = inputs[i]->path + ": frames " + toDecimal(part.firstFrame) + " … "
                + toDecimal(part.firstFrame + part.frameCount) + ", ";
            if (!format.labelsAt) {
                line += "from byte " + toDecimal(part.firstFrame / 8);
            } else if (const std::vector<std::string> labels
                       = format.labelsAt(part.firstFrame, options.labelPrefix);
                       labels.empty()) {
                line += "no entry label (only the first blocks have them)";
            } else {
                line += labels.size() == 1 ? "label" : "labels";
                for (const std::string& label : labels) {
                    line += " " + label;
                }
            }
            std::fprintf(stream, "%s\n", line.c_str());
        }
        return std::fflush(stream) == 0 && std::ferror(stream) == 0;
    }

} // namespace

// One input, or several into one export (a bank: ConvertOptions::moreInputPaths).
ExitStatus runConversion(const ConvertOptions& options, const ConsoleStreams& console)
{
    std::vector<std::string> paths { options.inputPath };
    paths.insert(paths.end(), options.moreInputPaths.begin(), options.moreInputPaths.end());
    std::vector<std::unique_ptr<InputSound>> inputs;
    std::vector<SampleStream*> streams;
    for (const std::string& path : paths) {
        inputs.push_back(std::make_unique<InputSound>());
        if (const ExitStatus status = inputs.back()->open(options, path, console);
            status != ExitStatus::Done) {
            return status;
        }
        streams.push_back(inputs.back()->stream);
    }
    if (const ExitStatus checked = checkBank(inputs, options, console);
        checked != ExitStatus::Done) {
        return checked;
    }
    const InputSound& first = *inputs.front();

    FileStreamOutput standardOutput(console.out);
    OutputRequest request;
    if (!options.exportPath.empty()) {
        request.exportFormat = findExportFormat(options.formatName);
        if (options.exportsToStandardOutput()) {
            request.exportSink = &standardOutput;
        } else {
            request.exportPath = options.exportPath;
        }
    }
    request.wavPath = options.wavPath;
    request.measures = options.printsInfo();
    request.exportOptions.labelPrefix = options.labelPrefix;
    InterruptCleanup cleanup; // declared first: it outlives the temporary files
    OutputRun outputs(request);
    switch (outputs.create()) {
    case RunFailure::ExportNotCreated:
        printError(console, "can't create " + options.exportPath);
        return ExitStatus::OutputFailed;
    case RunFailure::WavNotCreated:
        printError(console, "can't create " + options.wavPath);
        return ExitStatus::OutputFailed;
    default:
        break;
    }
    for (const std::string& path : outputs.temporaryPaths()) {
        cleanup.add(path);
    }

    // A bank's one setting is the best for all of its sounds together: searched over them
    // joined.
    ModulatorSettings settings = options.settings;
    if (options.bestSettings || options.bestVolume) {
        std::optional<JoinedStream> joined;
        if (streams.size() > 1) {
            joined.emplace(streams);
        }
        if (const ExitStatus found
            = findSettings(joined ? *joined : *first.stream, options, console, settings);
            found != ExitStatus::Done) {
            return found;
        }
    }

    RunOutcome run;
    {
        TerminalProgress progress(console.err, console.errIsTerminal, console.progressDelay);
        run = outputs.run(
            streams, settings, [&progress](int percent) { progress.report(percent); });
    }
    switch (run.failure) {
    case RunFailure::None:
        break;
    case RunFailure::InputUnreadable:
        printError(console, "can't read " + options.inputPath);
        return ExitStatus::InputRefused;
    case RunFailure::ExportNotCreated: // not after create() above
    case RunFailure::ExportNotWritten:
        printError(console,
            "can't write "
                + (options.exportsToStandardOutput() ? std::string("standard output")
                                                     : options.exportPath));
        return ExitStatus::OutputFailed;
    case RunFailure::WavNotCreated:
    case RunFailure::WavNotWritten:
        printError(console,
            "can't write " + options.wavPath
                + (run.exportReplaced ? "; " + options.exportPath + " was written"
                                      : std::string()));
        return ExitStatus::OutputFailed;
    }

    if (inputs.size() > 1) {
        std::FILE* stream = options.exportsToStandardOutput() ? console.err : console.out;
        if (!printBank(inputs, run, *request.exportFormat, options, stream)
            && stream == console.out) {
            printError(console, "can't write standard output");
            return ExitStatus::OutputFailed;
        }
        return ExitStatus::Done;
    }
    std::string notes = first.sound.originText();
    const SampleStream& whole = *first.sound.stream;
    if (!first.part.empty()) {
        if (!notes.empty()) {
            notes += '\n';
        }
        notes += partInfoText(
            first.part, framesHeld(whole.header(), whole.sizeBytes()), whole.header().sampleRateHz);
    }
    if (options.printsInfo()
        && !printInfo(
            first.stream->header(), settings, run, notes, options.rateFromClock, console)) {
        printError(console, "can't write standard output");
        return ExitStatus::OutputFailed;
    }
    return ExitStatus::Done;
}

} // namespace tt
