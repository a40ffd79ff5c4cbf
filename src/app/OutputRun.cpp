#include "app/OutputRun.h"

#include "app/PieceMeasure.h"
#include "modulator/StreamingConversion.h"
#include "modulator/WholeFileConversion.h"
#include "wave/BankStreams.h"

namespace tt {

OutputRun::OutputRun(OutputRequest request)
    : request_(std::move(request))
{
}

OutputRun::~OutputRun() = default;

RunFailure OutputRun::create()
{
    created_ = true;
    if (request_.exportFormat && !request_.exportPath.empty()) {
        exportFile_ = AtomicFileOutput::create(request_.exportPath);
        if (!exportFile_) {
            return RunFailure::ExportNotCreated;
        }
    }
    if (!request_.wavPath.empty()) {
        wavFile_ = AtomicFileOutput::create(request_.wavPath);
        if (!wavFile_) {
            exportFile_.reset();
            return RunFailure::WavNotCreated;
        }
    }
    return RunFailure::None;
}

std::vector<std::string> OutputRun::temporaryPaths() const
{
    std::vector<std::string> paths;
    for (const auto* file : { exportFile_.get(), wavFile_.get() }) {
        if (file && !file->temporaryPath().empty()) {
            paths.push_back(file->temporaryPath());
        }
    }
    return paths;
}

RunOutcome OutputRun::run(
    SampleStream& input, const ModulatorSettings& settings, const ProgressCallback& progress)
{
    SampleStream* const sounds[] = { &input };
    return run(sounds, settings, progress);
}

RunOutcome OutputRun::run(std::span<SampleStream* const> sounds, const ModulatorSettings& settings,
    const ProgressCallback& progress)
{
    RunOutcome outcome;
    if (!created_) {
        outcome.failure = create();
    } else if (request_.exportFormat && !request_.exportPath.empty() && !exportFile_) {
        outcome.failure = RunFailure::ExportNotCreated;
    } else if (!request_.wavPath.empty() && !wavFile_) {
        outcome.failure = RunFailure::WavNotCreated;
    }
    if (outcome.failure != RunFailure::None) {
        return outcome;
    }

    // Every sound of a bank but the last is padded with silence to the format's alignment, so
    // that the next one starts where the player can jump to. One sound is converted as it is.
    const std::int64_t alignFrames
        = sounds.size() > 1 && request_.exportFormat ? request_.exportFormat->bankAlignFrames : 1;
    std::vector<std::unique_ptr<PaddedStream>> padded;
    std::vector<SampleStream*> inputs;
    std::int64_t totalFrames = 0;
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        SampleStream& sound = *sounds[i];
        const std::int64_t frames
            = conversionFrameCount(sound.header(), sound.sizeBytes(), sound.sizeBytes());
        BankPart part { totalFrames, frames, frames };
        if (i + 1 < sounds.size()) {
            part.paddedFrameCount = (frames + alignFrames - 1) / alignFrames * alignFrames;
            padded.push_back(std::make_unique<PaddedStream>(sound, part.paddedFrameCount));
        }
        inputs.push_back(i + 1 < sounds.size() ? padded.back().get() : &sound);
        totalFrames += part.paddedFrameCount;
        outcome.parts.push_back(part);
    }

    // One pass per sound, over its frames with their padding; the bar moves over all of them as
    // over one. Where the outputs run on a thread of their own, the measure goes with them
    // (PieceMeasure); without outputs the pass measures itself, in its own loop, where the
    // measure costs least.
    const bool measuresBeside = request_.measures && (request_.exportFormat || wavFile_);
    std::vector<std::unique_ptr<StreamingConversion>> conversions;
    std::vector<std::unique_ptr<PieceMeasure>> measures;
    std::vector<ProgressCallback> progresses;
    std::vector<PiecePass> passes;
    passes.reserve(inputs.size());
    progresses.reserve(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const BankPart part = outcome.parts[i];
        conversions.push_back(std::make_unique<StreamingConversion>(inputs[i]->header(), settings,
            part.paddedFrameCount, request_.measures && !measuresBeside));
        measures.push_back(measuresBeside ? std::make_unique<PieceMeasure>(
                               inputs[i]->header(), settings, part.paddedFrameCount)
                                          : nullptr);
        progresses.push_back(progress && inputs.size() > 1
                ? ProgressCallback([&progress, part, totalFrames](int percent) {
                      progress(progressPercent(
                          part.firstFrame + part.paddedFrameCount * percent / 100, totalFrames));
                  })
                : progress);
        passes.emplace_back(*inputs[i], *conversions.back(), wavFile_.get(), progresses.back(),
            measures.back().get());
    }

    PassFailure failure = PassFailure::None;
    if (request_.exportFormat) {
        TextSink& text = exportFile_ ? *exportFile_ : *request_.exportSink;
        failure = request_.exportFormat->runPasses(passes, text, request_.exportOptions);
        if (failure == PassFailure::None && !exportFile_ && !text.flush()) {
            failure = PassFailure::Text;
        }
    } else {
        failure = runPieces(passes, nullptr);
    }
    if (passes.size() == 1) {
        outcome.result = passes[0].result();
        outcome.segmentalSnrDb
            = measures[0] ? measures[0]->segmentalSnrDb() : conversions[0]->segmentalSnrDb();
        outcome.audibleSnrDb
            = measures[0] ? measures[0]->audibleSnrDb() : conversions[0]->audibleSnrDb();
    } else {
        for (const PiecePass& pass : passes) {
            const ConversionResult result = pass.result();
            outcome.result.frameCount += result.frameCount;
            outcome.result.errorSum += result.errorSum;
        }
    }

    switch (failure) {
    case PassFailure::None:
        break;
    case PassFailure::Input:
        outcome.failure = RunFailure::InputUnreadable;
        return outcome;
    case PassFailure::Wav:
        outcome.failure = RunFailure::WavNotWritten;
        return outcome;
    case PassFailure::Text:
        outcome.failure = RunFailure::ExportNotWritten;
        return outcome;
    }
    if (exportFile_ && !exportFile_->commit()) {
        outcome.failure = RunFailure::ExportNotWritten;
        return outcome;
    }
    if (wavFile_ && !wavFile_->commit()) {
        outcome.failure = RunFailure::WavNotWritten;
        outcome.exportReplaced = exportFile_ != nullptr;
    }
    return outcome;
}

} // namespace tt
