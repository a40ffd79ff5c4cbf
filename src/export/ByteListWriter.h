#pragma once
// The bits as bytes, in the order they lie in the player's flash once the player source is
// assembled: each 16-frame word as two bytes, frames 1-8 first, every byte holding 8 frames with
// the earliest in its most significant bit; a 1 means the pin is driven down. Only whole words,
// as in the player source (the bits of an unfinished last word are dropped).
//
// Written as raw bytes, or as source text for other toolchains: a C header (a const uint8_t
// array, in program memory on AVR) or the byte lists of the common 8-bit assemblers. A bit sink
// for the conversion pass, like PlayerSourceWriter.

#include "export/ExportProgress.h"
#include "export/TextSink.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tt {

enum class ByteListStyle {
    Raw, // the bytes themselves
    CHeader, // static const uint8_t NAME[] PROGMEM = { 0xA5, ... };
    AvrDb, // .db 0xA5, ... (avra and the AVR assemblers)
    Z80Defb, // defb 0A5h, ... (pasmo, z80asm)
    Byte6502, // .byte $A5, ... (xa65 and the 6502 assemblers)
};

class ByteListWriter {
public:
    static constexpr int bytesPerLine = 16;

    // frameCount is the pass's frame count (the words are its whole 16-frame words). The names
    // the text defines start with labelPrefix ("sound_" without one): NAMEbits, and in a C header
    // NAMEbit_count and NAMEframe_count.
    ByteListWriter(
        ByteListStyle style, TextSink& out, std::int64_t frameCount, std::string labelPrefix);

    void takeBit(bool bit, std::int64_t)
    {
        word_ = (word_ << 1) | std::uint32_t(bit);
        if (++bitCount_ == 16) {
            completeWord();
        }
    }

    // Sixteen frames' bits at once, the earliest in the most significant bit: the same as sixteen
    // takeBit() calls, when no bit of an unfinished word is held.
    void takeWord(std::uint16_t bits, std::int64_t)
    {
        word_ = bits;
        completeWord();
    }

    // The text's end (a C header's closing brace) and the rest handed on. True when all of it
    // was written.
    bool finish();
    bool failed() const { return failed_; }

private:
    void start(bool withBytes);
    void completeWord();
    void addByte(std::uint8_t byte);
    void write(std::string_view text);

    const ByteListStyle style_;
    TextSink& out_;
    const std::int64_t frameCount_;
    const std::string name_;
    std::uint32_t word_ = 0;
    int bitCount_ = 0;
    std::int64_t byteCount_ = 0;
    bool started_ = false;
    std::string buffer_;
    bool failed_ = false;
};

// ByteListWriter of one style, made as every export format's writer is (ExportWriter).
template <ByteListStyle Style> class ByteListWriterOf : public ByteListWriter {
public:
    ByteListWriterOf(TextSink& out, std::int64_t frameCount, ProgressCallback, std::string prefix)
        : ByteListWriter(Style, out, frameCount, std::move(prefix))
    {
    }
};

} // namespace tt
