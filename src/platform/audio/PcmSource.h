#pragma once
// A read-only, seekable view of sample bytes that another owner holds. The sink pulls from it on
// the audio thread's timer; the bytes are never copied or changed.

#include "wave/SampleBytes.h"

#include <QIODevice>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tt {

class PcmSource : public QIODevice {
public:
    // [offsetBytes, offsetBytes + sizeBytes) must lie within *bytes.
    PcmSource(
        std::shared_ptr<const SampleBytes> bytes, std::size_t offsetBytes, std::size_t sizeBytes);

    bool isSequential() const override { return false; }
    qint64 size() const override { return qint64(sizeBytes_); }

protected:
    qint64 readData(char* data, qint64 maxSizeBytes) override;
    qint64 writeData(const char* data, qint64 sizeBytes) override;

private:
    std::shared_ptr<const SampleBytes> bytes_;
    std::size_t offsetBytes_ = 0;
    std::size_t sizeBytes_ = 0;
};

} // namespace tt
