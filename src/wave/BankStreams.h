#pragma once
// Streams for a bank, several sounds in one export: a sound padded with silence to a length, so
// that the next one starts where the player can jump to, and sounds of one format joined into
// one, for a settings search over all of them together.

#include "wave/FrameCount.h"
#include "wave/SampleStream.h"
#include "wave/WaveImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tt {

// The counted frames of another stream (frameCount: a multiple of 8), then silence (the format's
// silence byte) up to frameCount frames, which must not be fewer. The inner stream must outlive
// this one.
class PaddedStream final : public SampleStream {
public:
    PaddedStream(SampleStream& inner, std::int64_t frameCount)
        : inner_(inner)
        , innerBytes_(std::uint64_t(tt::frameCount(inner.header(), inner.sizeBytes()))
              * std::uint64_t(inner.header().bytesPerFrame()))
        , sizeBytes_(std::uint64_t(frameCount) * std::uint64_t(inner.header().bytesPerFrame()))
    {
    }

    const WaveHeader& header() const override { return inner_.header(); }
    std::uint64_t sizeBytes() const override { return sizeBytes_; }

    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override
    {
        if (offsetBytes > sizeBytes_ || out.size() > sizeBytes_ - offsetBytes) {
            return false;
        }
        const std::size_t fromInner = offsetBytes >= innerBytes_
            ? 0
            : std::size_t(std::min<std::uint64_t>(out.size(), innerBytes_ - offsetBytes));
        if (fromInner > 0 && !inner_.readAt(offsetBytes, out.first(fromInner))) {
            return false;
        }
        std::memset(
            out.data() + fromInner, WaveImage::silenceByte(header()), out.size() - fromInner);
        return true;
    }

private:
    SampleStream& inner_;
    std::uint64_t innerBytes_;
    std::uint64_t sizeBytes_;
};

// Streams of one format, one after another; each contributes its counted frames. The streams
// must outlive this one and all have the first one's header.
class JoinedStream final : public SampleStream {
public:
    explicit JoinedStream(std::vector<SampleStream*> parts)
        : parts_(std::move(parts))
    {
        for (SampleStream* part : parts_) {
            const std::uint64_t bytes = std::uint64_t(frameCount(part->header(), part->sizeBytes()))
                * std::uint64_t(part->header().bytesPerFrame());
            ends_.push_back((ends_.empty() ? 0 : ends_.back()) + bytes);
        }
    }

    const WaveHeader& header() const override { return parts_.front()->header(); }
    std::uint64_t sizeBytes() const override { return ends_.empty() ? 0 : ends_.back(); }

    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override
    {
        if (offsetBytes > sizeBytes() || out.size() > sizeBytes() - offsetBytes) {
            return false;
        }
        for (std::size_t i = 0; i < parts_.size() && !out.empty(); ++i) {
            const std::uint64_t start = i == 0 ? 0 : ends_[i - 1];
            if (offsetBytes >= ends_[i]) {
                continue;
            }
            const std::size_t taken
                = std::size_t(std::min<std::uint64_t>(out.size(), ends_[i] - offsetBytes));
            if (!parts_[i]->readAt(offsetBytes - start, out.first(taken))) {
                return false;
            }
            out = out.subspan(taken);
            offsetBytes += taken;
        }
        return true;
    }

private:
    std::vector<SampleStream*> parts_;
    std::vector<std::uint64_t> ends_; // the byte after each part's last
};

} // namespace tt
