#include "export/ByteListWriter.h"

#include <array>

namespace tt {
namespace {

    constexpr std::size_t flushThresholdBytes = 256 * 1024;

    // "A5" for 0xA5.
    std::array<char, 2> hexDigits(std::uint8_t byte)
    {
        constexpr std::string_view digits = "0123456789ABCDEF";
        return { digits[byte >> 4], digits[byte & 15] };
    }

    // How a byte list of a style spells its bytes: each line opens with `line`, each byte is
    // `before`, two hex digits and `after`.
    struct ByteSyntax {
        std::string_view line;
        std::string_view before;
        std::string_view after;
    };

    ByteSyntax syntaxOf(ByteListStyle style)
    {
        switch (style) {
        case ByteListStyle::CHeader:
            return { "    ", "0x", "" };
        case ByteListStyle::AvrDb:
            return { ".db ", "0x", "" };
        case ByteListStyle::Z80Defb:
            return { "defb ", "0", "h" }; // a leading digit: A5h would read as a name
        case ByteListStyle::Byte6502:
            return { ".byte ", "$", "" };
        case ByteListStyle::Raw:
            break;
        }
        return {};
    }

} // namespace

ByteListWriter::ByteListWriter(
    ByteListStyle style, TextSink& out, std::int64_t frameCount, std::string labelPrefix)
    : style_(style)
    , out_(out)
    , frameCount_(frameCount)
    , name_(labelPrefix.empty() ? std::string("sound_") : std::move(labelPrefix))
{
}

void ByteListWriter::write(std::string_view text)
{
    buffer_.append(text);
    if (buffer_.size() >= flushThresholdBytes) {
        failed_ = failed_ || !out_.write(buffer_);
        buffer_.clear();
    }
}

void ByteListWriter::completeWord()
{
    // The word's first 8 frames are its upper bits here; they lie first in flash.
    addByte(std::uint8_t(word_ >> 8));
    addByte(std::uint8_t(word_));
    word_ = 0;
    bitCount_ = 0;
}

// The text before the first byte: what the bits are, then the names. `withBytes` false: a sound
// without a whole word, whose C array cannot be empty and holds one unused 0.
void ByteListWriter::start(bool withBytes)
{
    started_ = true;
    const std::int64_t bits = frameCount_ / 16 * 16;
    const std::string counts = std::to_string(frameCount_) + " frames, " + std::to_string(bits)
        + " bits in " + std::to_string(bits / 8) + " bytes";
    // No colon or semicolon inside a comment: some 6502 assemblers split statements there.
    const std::string order = "each byte holds 8 frames, the earliest in its most significant "
                              "bit, and a 1 means the pin is driven down";
    if (style_ != ByteListStyle::CHeader) {
        write("; One-bit sound exported by TICKTRACE, " + counts + ".\n; Bit order - " + order
            + ".\n" + name_ + "bits:");
        return;
    }
    write("/* One-bit sound exported by TICKTRACE, " + counts + ".\n * Bit order - " + order
        + ".\n */\n#pragma once\n#include <stdint.h>\n#if defined(__AVR__)\n"
          "#include <avr/pgmspace.h>\n#elif !defined(PROGMEM)\n#define PROGMEM\n#endif\n\n"
          "static const uint32_t "
        + name_ + "frame_count = " + std::to_string(frameCount_) + "UL;\nstatic const uint32_t "
        + name_ + "bit_count = " + std::to_string(bits) + "UL;\nstatic const uint8_t " + name_
        + (withBytes ? "bits[] PROGMEM = {" : "bits[1] PROGMEM = { 0"));
}

void ByteListWriter::addByte(std::uint8_t byte)
{
    if (style_ == ByteListStyle::Raw) {
        const char c = char(byte);
        write({ &c, 1 });
        ++byteCount_;
        return;
    }
    if (!started_) {
        start(true);
    }
    // A C array separates its lines by commas too; the assemblers start a new list each line.
    const ByteSyntax syntax = syntaxOf(style_);
    if (byteCount_ % bytesPerLine == 0) {
        write(style_ == ByteListStyle::CHeader && byteCount_ > 0 ? ",\n" : "\n");
        write(syntax.line);
    } else {
        write(", ");
    }
    const std::array<char, 2> hex = hexDigits(byte);
    write(syntax.before);
    write({ hex.data(), 2 });
    write(syntax.after);
    ++byteCount_;
}

bool ByteListWriter::finish()
{
    if (style_ != ByteListStyle::Raw) {
        if (!started_) {
            start(false);
        }
        write(style_ == ByteListStyle::CHeader ? "\n};\n" : "\n");
    }
    if (!failed_ && !buffer_.empty()) {
        failed_ = !out_.write(buffer_);
    }
    buffer_.clear();
    return !failed_;
}

} // namespace tt
