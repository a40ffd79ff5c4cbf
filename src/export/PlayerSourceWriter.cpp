#include "export/PlayerSourceWriter.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace tt {

namespace {

    // Text is handed on once the buffer holds this much; the largest text one word can add (a
    // block header with four labels, the range line, the data line and the block end) is far
    // below the reserve kept free behind it.
    constexpr std::size_t flushThresholdBytes = 256 * 1024;
    constexpr std::size_t wordReserveBytes = 1024;

    constexpr std::string_view blockHeaderText = "; H7 H6 H5 H4 H3 H2 H1 H0   L7 L6 L5 L4 L3 L2 L1 "
                                                 "L0 = erst Highbyte dann Lowbyte - 1/8 Takt ";
    constexpr std::string_view blockEndText
        = ";-----------------------------------------------------------";
    constexpr std::string_view dataPrefixText = ".dw 0b";

    // Entry labels of blocks 1 to 8; each 4-bit key code occurs once.
    constexpr std::array<std::string_view, 16> labelTexts = { "key0000:", "key0011:", "key0001:",
        "key0101:", "key1010:", "key0110:", "key0010:", "key1001:", "key1101:", "key1100:",
        "key0100:", "key1011:", "key0111:", "key1000:", "key1110:", "key1111:" };
    // labelTexts[firstLabelOfBlock[b - 1]] ... labelTexts[firstLabelOfBlock[b] - 1] belong to
    // block b.
    constexpr std::array<int, 9> firstLabelOfBlock = { 0, 4, 5, 8, 9, 12, 13, 15, 16 };

    // The eight binary digits of every byte value, most significant first.
    constexpr auto byteDigits = [] {
        std::array<std::array<char, 8>, 256> table {};
        for (int value = 0; value < 256; ++value) {
            for (int bit = 0; bit < 8; ++bit) {
                table[std::size_t(value)][std::size_t(bit)]
                    = ((value >> (7 - bit)) & 1) != 0 ? '1' : '0';
            }
        }
        return table;
    }();

    constexpr std::int64_t lineEndBytes = 2;
    constexpr std::int64_t labelBytes = 8; // "key0000:"

    std::int64_t decimalDigits(std::int64_t value)
    {
        std::int64_t digits = 1;
        for (; value >= 10; value /= 10) {
            ++digits;
        }
        return digits;
    }

    // The digits of all the numbers 1 ... last written out.
    std::int64_t digitsUpTo(std::int64_t last)
    {
        std::int64_t total = 0;
        std::int64_t digits = 1;
        for (std::int64_t first = 1; first <= last; first *= 10, ++digits) {
            const std::int64_t end = first > last / 10 ? last : first * 10 - 1;
            total += (end - first + 1) * digits;
        }
        return total;
    }

} // namespace

std::string playerSourceSizeText(const PlayerSourceSize& size)
{
    return std::to_string(size.wordCount) + " words in " + std::to_string(size.blockCount)
        + (size.blockCount == 1 ? " block" : " blocks") + " of up to "
        + std::to_string(PlayerSourceWriter::wordsPerBlock)
        + " words: " + std::to_string(size.programBytes()) + " bytes of program memory, "
        + std::to_string(size.sizeBytes) + " bytes of text";
}

PlayerSourceSize PlayerSourceWriter::textSize(std::int64_t frameCount, std::size_t labelPrefixBytes)
{
    PlayerSourceSize size;
    size.wordCount = frameCount > 0 ? frameCount / bitsPerWord : 0;
    size.blockCount = (size.wordCount + wordsPerBlock - 1) / wordsPerBlock;
    // ".dw 0b" and 16 digits, " ;" and the word's number.
    std::int64_t bytes
        = size.wordCount * (std::int64_t(dataPrefixText.size()) + bitsPerWord + 2 + lineEndBytes)
        + digitsUpTo(size.wordCount);
    for (std::int64_t block = 1; block <= size.blockCount; ++block) {
        const std::int64_t first = (block - 1) * wordsPerBlock + 1;
        bytes += std::int64_t(blockHeaderText.size()) + decimalDigits(block) + 1 + lineEndBytes;
        // ";first - last", also where the last block ends early.
        bytes += 1 + decimalDigits(first) + 3 + decimalDigits(first + wordsPerBlock - 1)
            + lineEndBytes;
        if (block < std::int64_t(firstLabelOfBlock.size())) {
            bytes += (firstLabelOfBlock[std::size_t(block)]
                         - firstLabelOfBlock[std::size_t(block - 1)])
                * (labelBytes + std::int64_t(labelPrefixBytes) + lineEndBytes);
        }
    }
    const std::int64_t completeBlocks = size.wordCount / wordsPerBlock;
    bytes += completeBlocks * (std::int64_t(blockEndText.size()) + 2 * lineEndBytes);
    size.sizeBytes = bytes;
    return size;
}

std::vector<std::string> PlayerSourceWriter::labelsOfBlock(
    std::int64_t block, std::string_view prefix)
{
    std::vector<std::string> labels;
    if (block >= 1 && block < std::int64_t(firstLabelOfBlock.size())) {
        for (int label = firstLabelOfBlock[std::size_t(block - 1)];
             label < firstLabelOfBlock[std::size_t(block)]; ++label) {
            const std::string_view text = labelTexts[std::size_t(label)];
            labels.push_back(std::string(prefix) + std::string(text.substr(0, text.size() - 1)));
        }
    }
    return labels;
}

bool PlayerSourceWriter::isLabelPrefix(std::string_view prefix)
{
    if (prefix.size() > labelPrefixMaxBytes
        || (!prefix.empty() && prefix[0] >= '0' && prefix[0] <= '9')) {
        return false;
    }
    for (const char c : prefix) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return true;
}

PlayerSourceWriter::PlayerSourceWriter(
    TextSink& out, std::int64_t frameCount, ProgressCallback progress, std::string labelPrefix)
    : out_(out)
    , frameCount_(frameCount)
    , progress_(std::move(progress))
    , labelPrefix_(std::move(labelPrefix))
    , buffer_(std::make_unique<char[]>(flushThresholdBytes + wordReserveBytes))
{
}

void PlayerSourceWriter::completeWord(std::int64_t frameIndex)
{
    if (bufferUsedBytes_ >= flushThresholdBytes) {
        flush();
    }
    const std::int64_t number = wordCount_ + 1;
    if (wordCount_ % wordsPerBlock == 0) {
        ++blockCount_;
        append(blockHeaderText.data(), blockHeaderText.size());
        appendDecimal(blockCount_);
        append(":", 1);
        appendLineEnd();
        if (blockCount_ < std::int64_t(firstLabelOfBlock.size())) {
            for (int label = firstLabelOfBlock[std::size_t(blockCount_ - 1)];
                 label < firstLabelOfBlock[std::size_t(blockCount_)]; ++label) {
                const std::string_view text = labelTexts[std::size_t(label)];
                append(labelPrefix_.data(), labelPrefix_.size());
                append(text.data(), text.size());
                appendLineEnd();
            }
        }
        append(";", 1);
        appendDecimal(number);
        append(" - ", 3);
        appendDecimal(number + wordsPerBlock - 1);
        appendLineEnd();
    }

    // The accumulator holds the sentinel and then the word's bits, oldest first: its upper byte
    // holds frames 1-8 of the word, its lower byte frames 9-16. The later byte is written first.
    const std::uint32_t word = accumulator_ & 0xFFFFu;
    append(dataPrefixText.data(), dataPrefixText.size());
    append(byteDigits[word & 0xFFu].data(), 8);
    append(byteDigits[word >> 8].data(), 8);
    append(" ;", 2);
    append(numberDigits_.data() + numberDigits_.size() - numberLength_, numberLength_);
    appendLineEnd();

    bitCount_ = 0;
    ++wordCount_;
    countNumberDigits();
    accumulator_ = 1;
    if (wordCount_ % wordsPerBlock == 0) {
        append(blockEndText.data(), blockEndText.size());
        appendLineEnd();
        appendLineEnd();
    }

    const int percent = progressPercent(frameIndex, frameCount_);
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        if (progress_) {
            progress_(percent);
        }
    }
}

void PlayerSourceWriter::append(const char* text, std::size_t sizeBytes)
{
    std::memcpy(buffer_.get() + bufferUsedBytes_, text, sizeBytes);
    bufferUsedBytes_ += sizeBytes;
}

void PlayerSourceWriter::countNumberDigits()
{
    std::size_t at = numberDigits_.size();
    while (at > numberDigits_.size() - numberLength_ && numberDigits_[at - 1] == '9') {
        numberDigits_[--at] = '0';
    }
    if (at == numberDigits_.size() - numberLength_) {
        numberDigits_[--at] = '1';
        ++numberLength_;
    } else {
        ++numberDigits_[at - 1];
    }
}

void PlayerSourceWriter::appendDecimal(std::int64_t value)
{
    char* const begin = buffer_.get() + bufferUsedBytes_;
    const auto result = std::to_chars(begin, begin + 20, value);
    bufferUsedBytes_ += std::size_t(result.ptr - begin);
}

void PlayerSourceWriter::appendLineEnd()
{
    append("\r\n", 2);
}

void PlayerSourceWriter::flush()
{
    if (!failed_ && bufferUsedBytes_ > 0) {
        failed_ = !out_.write(std::string_view(buffer_.get(), bufferUsedBytes_));
    }
    bufferUsedBytes_ = 0;
}

bool PlayerSourceWriter::finish()
{
    flush();
    return !failed_;
}

void PlayerSourceWriter::resetProgress()
{
    if (lastPercent_ != 0) {
        lastPercent_ = 0;
        if (progress_) {
            progress_(0);
        }
    }
}

} // namespace tt
