#pragma once
// One run of the outputs over an opened sound, for the window's Export and Save 1Bit Sound and
// for the command line's --export, --wav and --info alike: the one conversion pass over the
// sound read in pieces, with every requested output written as the pass produces it.
//
// Output files are created (as temporary files beside their targets, see AtomicFileOutput) before
// the pass, so a name that cannot be created costs no conversion; each replaces its target only
// once it is complete, so a failed run never destroys an existing file. Devices, pipes and files
// in folders that take no new file are written in place instead. The export is renamed into place
// before the WAV file, which leaves only the WAV file's rename able to fail after the export was
// replaced; the outcome tells that (exportReplaced).

#include "app/ExportFormats.h"
#include "export/AtomicFileOutput.h"
#include "export/ExportProgress.h"
#include "export/TextSink.h"
#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/SampleStream.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tt {

struct OutputRequest {
    const ExportFormat* exportFormat = nullptr; // null: no export
    std::string exportPath; // the export's file; empty: the export goes to exportSink
    TextSink* exportSink = nullptr; // flushed after the export's last text
    std::string wavPath; // empty: no one-bit WAV file
    bool measures = false; // the pass measures the segmental and the audible SNR
    ExportOptions exportOptions;
};

// One sound of the outputs' sounds (a bank's, or the one): where it starts among the frames
// converted, its own frames, and its frames with the silence that pads it to the next sound.
struct BankPart {
    std::int64_t firstFrame = 0;
    std::int64_t frameCount = 0;
    std::int64_t paddedFrameCount = 0;
};

enum class RunFailure {
    None,
    InputUnreadable,
    ExportNotCreated, // nothing was converted, no file touched
    WavNotCreated, // the same
    ExportNotWritten, // the pass ran (as far as it got); no file was replaced
    WavNotWritten, // the same, unless exportReplaced
};

struct RunOutcome {
    RunFailure failure = RunFailure::None;
    // The pass's frame count and error sum over the frames decided (with the audible SNR when it
    // measured); after a failure that stopped the pass, those decided until then.
    ConversionResult result;
    double segmentalSnrDb = 0.0; // when it measured
    double audibleSnrDb = 0.0; // when it measured (0 for a sound of no frames)
    bool exportReplaced = false; // the export file is in place although the WAV file failed
    std::vector<BankPart> parts; // one per sound, in order
};

class OutputRun {
public:
    explicit OutputRun(OutputRequest request);
    ~OutputRun();
    OutputRun(const OutputRun&) = delete;
    OutputRun& operator=(const OutputRun&) = delete;

    // Creates the output files, the export's first. ExportNotCreated or WavNotCreated when one
    // cannot be; none is left then.
    RunFailure create();

    // The temporary files create() made, for a caller that removes them on a signal.
    std::vector<std::string> temporaryPaths() const;

    // Creates the files unless create() did, runs the pass over `input` with `settings`, and
    // puts every file in place. `progress` hears the percentage after every piece of the pass.
    RunOutcome run(SampleStream& input, const ModulatorSettings& settings,
        const ProgressCallback& progress = {});

    // A bank: the sounds one after another into one export (no WAV file, which has one format),
    // every sound but the last padded with silence to the export format's alignment
    // (bankAlignFrames). The result sums the frames and errors of all sounds; with one sound this
    // is run() above.
    RunOutcome run(std::span<SampleStream* const> sounds, const ModulatorSettings& settings,
        const ProgressCallback& progress = {});

private:
    OutputRequest request_;
    bool created_ = false;
    std::unique_ptr<AtomicFileOutput> exportFile_;
    std::unique_ptr<AtomicFileOutput> wavFile_;
};

} // namespace tt
