// The yardstick for ticktrace-convert --export: the plainest streaming program that gives the same
// text. It reads a 16-bit PCM WAV file in 1 MiB pieces, runs the update rule at the default
// settings written out by hand (not the project's model), and formats the player source text
// with a few lines of its own into a buffer that goes to the output file with write(2). No
// temporary file, no flush to the device, no one-bit image, no progress.
//
// Usage: plain_streaming_export INPUT.wav OUTPUT.txt

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t pieceBytes = std::size_t(1) << 20;
constexpr long long wordsPerBlock = 498;

std::uint32_t u32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

bool readAll(int fd, unsigned char* out, std::size_t n)
{
    while (n > 0) {
        const ssize_t got = ::read(fd, out, n);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out += got;
        n -= std::size_t(got);
    }
    return true;
}

class TextOut {
public:
    explicit TextOut(int fd)
        : fd_(fd)
        , buffer_(pieceBytes + 4096)
    {
    }
    void put(const char* text, std::size_t n)
    {
        std::memcpy(buffer_.data() + used_, text, n);
        used_ += n;
    }
    void put(const char* text) { put(text, std::strlen(text)); }
    void number(long long value)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
        } while (value > 0);
        while (n > 0) {
            buffer_[used_++] = digits[--n];
        }
    }
    void bits(unsigned byte)
    {
        for (int b = 7; b >= 0; --b) {
            buffer_[used_++] = ((byte >> b) & 1u) != 0 ? '1' : '0';
        }
    }
    bool flushIfFull() { return used_ < pieceBytes || flush(); }
    bool flush()
    {
        const char* p = buffer_.data();
        while (used_ > 0) {
            const ssize_t written = ::write(fd_, p, used_);
            if (written <= 0) {
                return false;
            }
            p += written;
            used_ -= std::size_t(written);
        }
        return true;
    }

private:
    int fd_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

const char* const labels[16] = { "key0000:", "key0011:", "key0001:", "key0101:", "key1010:",
    "key0110:", "key0010:", "key1001:", "key1101:", "key1100:", "key0100:", "key1011:", "key0111:",
    "key1000:", "key1110:", "key1111:" };
const int firstLabel[9] = { 0, 4, 5, 8, 9, 12, 13, 15, 16 };

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT.wav OUTPUT.txt\n", argv[0]);
        return 2;
    }
    const int in = ::open(argv[1], O_RDONLY);
    const int outFd = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || outFd < 0) {
        std::perror("open");
        return 3;
    }
    // The chunks up to "data": the format first, anything else skipped.
    unsigned char head[12];
    if (!readAll(in, head, 12) || std::memcmp(head, "RIFF", 4) != 0) {
        return 3;
    }
    int channels = 0, bits = 0;
    unsigned long long dataBytes = 0;
    for (;;) {
        unsigned char chunk[8];
        if (!readAll(in, chunk, 8)) {
            return 3;
        }
        const std::uint32_t size = u32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            dataBytes = size;
            break;
        }
        std::vector<unsigned char> body(size + (size & 1u));
        if (!readAll(in, body.data(), body.size())) {
            return 3;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            channels = body[2] | body[3] << 8;
            bits = body[14] | body[15] << 8;
        }
    }
    if (bits != 16 || (channels != 1 && channels != 2)) {
        std::fprintf(stderr, "16-bit mono or stereo only\n");
        return 3;
    }
    const long long frameBytes = 2LL * channels;
    const long long frames = (long long)(dataBytes / (16ULL * unsigned(channels)) * 8);

    const double leak = 100.0 / (9000.0 - 3000.0), step = 1000.0, gain = 1.0, maxAmp = 32768.0;
    double level = 0.0;
    unsigned word = 0;
    int wordBits = 0;
    long long words = 0, blocks = 0;
    TextOut text(outFd);
    std::vector<unsigned char> piece(std::size_t(pieceBytes / frameBytes * frameBytes));
    long long frame = 0;
    while (frame < frames) {
        const long long count
            = std::min<long long>(frames - frame, (long long)piece.size() / frameBytes);
        if (!readAll(in, piece.data(), std::size_t(count * frameBytes))) {
            return 3;
        }
        const unsigned char* p = piece.data();
        for (long long i = 0; i < count; ++i, p += frameBytes) {
            const int left = -std::int16_t(std::uint16_t(p[0] | p[1] << 8));
            const int right = channels == 2 ? -std::int16_t(std::uint16_t(p[2] | p[3] << 8)) : 0;
            const double target = double(left + right) / double(channels) * gain;
            const bool down = !(target > level);
            level = level + ((down ? -step : step) - level * leak);
            level = level < -maxAmp ? -maxAmp : level;
            level = level > maxAmp ? maxAmp : level;
            word = word << 1 | unsigned(down);
            if (++wordBits < 16) {
                continue;
            }
            const long long number = ++words;
            if ((number - 1) % wordsPerBlock == 0) {
                ++blocks;
                text.put("; H7 H6 H5 H4 H3 H2 H1 H0   L7 L6 L5 L4 L3 L2 L1 L0 = erst Highbyte "
                         "dann Lowbyte - 1/8 Takt ");
                text.number(blocks);
                text.put(":\r\n");
                for (int l = blocks < 9 ? firstLabel[blocks - 1] : 0;
                     blocks < 9 && l < firstLabel[blocks]; ++l) {
                    text.put(labels[l]);
                    text.put("\r\n");
                }
                text.put(";");
                text.number(number);
                text.put(" - ");
                text.number(number + wordsPerBlock - 1);
                text.put("\r\n");
            }
            text.put(".dw 0b");
            text.bits(word & 0xFFu);
            text.bits((word >> 8) & 0xFFu);
            text.put(" ;");
            text.number(number);
            text.put("\r\n");
            if (number % wordsPerBlock == 0) {
                text.put(";-----------------------------------------------------------\r\n\r\n");
            }
            word = 0;
            wordBits = 0;
            if (!text.flushIfFull()) {
                return 4;
            }
        }
        frame += count;
    }
    if (!text.flush() || ::close(outFd) != 0) {
        return 4;
    }
    ::close(in);
    return 0;
}
