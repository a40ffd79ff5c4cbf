#include "app/OutputRun.h"

#include "modulator/NullBitSink.h"
#include "modulator/StreamingConversion.h"
#include "modulator/WholeFileConversion.h"

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

    const std::int64_t frames
        = conversionFrameCount(input.header(), input.sizeBytes(), input.sizeBytes());
    StreamingConversion pass(input.header(), settings, frames, request_.measures);
    PiecePass pieces(input, pass, wavFile_.get(), progress);
    PassFailure failure = PassFailure::None;
    if (request_.exportFormat) {
        TextSink& text = exportFile_ ? *exportFile_ : *request_.exportSink;
        failure = request_.exportFormat->runPass(pieces, text);
        if (failure == PassFailure::None && !exportFile_ && !text.flush()) {
            failure = PassFailure::Text;
        }
    } else {
        NullBitSink sink;
        failure = pieces.run(sink);
    }
    outcome.result = pass.result();
    outcome.segmentalSnrDb = pass.segmentalSnrDb();
    outcome.audibleSnrDb = pass.audibleSnrDb();

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
