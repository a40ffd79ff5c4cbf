#pragma once
// The segmental and the audible SNR of a conversion pass, measured beside it rather than inside
// it: from the input pieces the pass took and the samples it wrote for the frames it decided, in
// the order it gave them. Each frame's target is read from the input and its played level from
// the output sample, as segmentalSnrDb and audibleSnrDb measure a finished image, so the figures
// are the same bits as those of a pass that measures itself (StreamingConversion with
// measuresSnr). This lets the measure run on another thread than the pass.

#include "modulator/AudibleSnr.h"
#include "modulator/ModulatorSettings.h"
#include "modulator/SegmentalSnr.h"
#include "wave/WaveHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tt {

class PieceMeasure {
public:
    // A measure over the pass's frameCount frames, converted with `settings`.
    PieceMeasure(
        const WaveHeader& header, const ModulatorSettings& settings, std::int64_t frameCount);

    // The next input piece, as the pass took it (bytes behind the counted frames are ignored),
    // and the output samples of the frames the pass decided meanwhile: never more frames than
    // it has taken, the ones decided only later (look-ahead) come with a later call. At the
    // pass's end `in` is empty and `decided` holds what finish() wrote.
    void add(std::span<const std::uint8_t> in, std::span<const std::uint8_t> decided);

    // Over the frames measured so far; 0 without frames.
    double segmentalSnrDb() const { return segmental_.meanDb(); }
    double audibleSnrDb() const { return audible_ ? audible_->meanDb() : 0.0; }
    // The audible SNR as the pass's result carries it: none for a pass without frames.
    std::optional<double> resultAudibleSnrDb() const
    {
        return audible_ ? std::optional<double>(audible_->meanDb()) : std::nullopt;
    }

private:
    void measure(std::span<const std::uint8_t> in, std::span<const std::uint8_t> decided);

    WaveHeader header_;
    ModulatorSettings settings_;
    std::size_t frameBytes_ = 1;
    std::uint64_t countedBytesLeft_ = 0; // input bytes of counted frames not yet taken
    // Input bytes taken whose frames are not decided yet: whole frames, then the start of a
    // frame that a piece split.
    std::vector<std::uint8_t> pending_;
    SegmentalSnr segmental_;
    std::optional<AudibleSnr> audible_; // with frames
};

} // namespace tt
