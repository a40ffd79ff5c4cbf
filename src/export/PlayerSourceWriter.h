#pragma once
// The player source text: one ".dw 0b" data word per 16 frames, grouped in blocks of 498 words,
// each block opened by a comment header (and, for the first eight, entry labels named after the
// key codes) and closed by a dashed line. Every line ends in CR LF. Bits of an unfinished last
// word are dropped.
//
// A bit sink for the conversion pass: it collects the text in its own buffer and hands it to a
// TextSink in large pieces, so no dialog and no file are needed to produce or test it.

#include "export/ExportProgress.h"
#include "export/PlayerSourceSize.h"
#include "export/TextSink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tt {

class PlayerSourceWriter {
public:
    static constexpr int bitsPerWord = 16;
    static constexpr std::int64_t wordsPerBlock = 498;

    static constexpr std::int64_t framesPerBlock = wordsPerBlock * bitsPerWord;
    // The longest label prefix: a block header with its labels stays far below the reserve.
    static constexpr std::size_t labelPrefixMaxBytes = 32;

    // The size of the text for a pass over frameCount frames, worked out from the line formats
    // without writing it: as the player's memory is small, the user needs it beforehand.
    static PlayerSourceSize textSize(std::int64_t frameCount, std::size_t labelPrefixBytes = 0);

    // The entry labels that open block `block` (1-based), without their colon; none beyond the
    // eighth block.
    static std::vector<std::string> labelsOfBlock(std::int64_t block, std::string_view prefix = {});

    // True for a prefix an assembler takes in front of a label: up to labelPrefixMaxBytes ASCII
    // letters, digits and underscores, not starting with a digit (empty: none).
    static bool isLabelPrefix(std::string_view prefix);

    // frameCount is the pass's frame count, the base of the progress percentage. Every entry
    // label is written with labelPrefix in front ("sfx_key0000:"), so that the texts of several
    // sounds can be included in one program; it must pass isLabelPrefix.
    PlayerSourceWriter(TextSink& out, std::int64_t frameCount, ProgressCallback progress = {},
        std::string labelPrefix = {});

    // One frame's output bit; frameIndex is 1-based.
    void takeBit(bool bit, std::int64_t frameIndex)
    {
        accumulator_ = (accumulator_ << 1) | std::uint32_t(bit);
        if (++bitCount_ == bitsPerWord) {
            completeWord(frameIndex);
        }
    }

    // Sixteen frames' bits at once, the earliest in the most significant bit: the same as sixteen
    // takeBit() calls, when no bit of an unfinished word is held. lastFrameIndex is the last's.
    void takeWord(std::uint16_t bits, std::int64_t lastFrameIndex)
    {
        accumulator_ = 0x10000u | bits;
        completeWord(lastFrameIndex);
    }

    // Hands the rest of the text to the sink. True when every piece was written completely; after
    // the first failed write nothing more is handed on.
    bool finish();

    // Whether a piece of text could not be handed on; nothing more is then.
    bool failed() const { return failed_; }

    // Reports 0 to the progress callback unless the last report was 0 already.
    void resetProgress();

private:
    void completeWord(std::int64_t frameIndex);
    void append(const char* text, std::size_t sizeBytes);
    void appendDecimal(std::int64_t value);
    // Counts the next word's number up in numberDigits_.
    void countNumberDigits();
    void appendLineEnd();
    void flush();

    TextSink& out_;
    const std::int64_t frameCount_;
    const ProgressCallback progress_;
    const std::string labelPrefix_;

    std::uint32_t accumulator_ = 1; // a sentinel 1 above the bits of the word being collected
    int bitCount_ = 0;
    std::int64_t wordCount_ = 0;
    std::int64_t blockCount_ = 0;
    int lastPercent_ = 0;
    // The decimal digits of the next word's number, right-aligned: counted up word by word, as
    // converting the number for every line costs more than its line's other text.
    std::array<char, 20> numberDigits_ { '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0',
        '0', '0', '0', '0', '0', '0', '0', '1' };
    std::size_t numberLength_ = 1;

    std::unique_ptr<char[]> buffer_;
    std::size_t bufferUsedBytes_ = 0;
    bool failed_ = false;
};

} // namespace tt
