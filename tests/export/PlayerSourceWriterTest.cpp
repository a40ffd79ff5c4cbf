#include "export/PlayerSourceWriter.h"

#include "export/StringSink.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tt {
namespace {

    using testing::StringSink;

    const std::string header
        = "; H7 H6 H5 H4 H3 H2 H1 H0   L7 L6 L5 L4 L3 L2 L1 L0 = erst Highbyte dann Lowbyte - 1/8 "
          "Takt ";
    const std::string endLine = ";-----------------------------------------------------------";

    // The text of `frameCount` frames whose bits repeat `pattern`.
    std::string textOf(std::int64_t frameCount, const std::vector<bool>& pattern = { true, false },
        const std::string& labelPrefix = {})
    {
        StringSink sink;
        PlayerSourceWriter writer(sink, frameCount, {}, labelPrefix);
        for (std::int64_t i = 1; i <= frameCount; ++i) {
            writer.takeBit(pattern[std::size_t(i - 1) % pattern.size()], i);
        }
        EXPECT_TRUE(writer.finish());
        return sink.text;
    }

    std::vector<std::string> linesOf(const std::string& text)
    {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
            lines.push_back(text.substr(start, end - start));
        }
        EXPECT_EQ(start, text.size()) << "text after the last CR LF";
        return lines;
    }

    TEST(PlayerSourceWriter, NoCompleteWordGivesNoText)
    {
        EXPECT_EQ(textOf(0), "");
        EXPECT_EQ(textOf(8), "");
        EXPECT_EQ(textOf(15), "");
    }

    TEST(PlayerSourceWriter, OneWordGivesTheFirstBlockOpening)
    {
        EXPECT_EQ(textOf(16),
            header
                + "1:\r\nkey0000:\r\nkey0011:\r\nkey0001:\r\nkey0101:\r\n;1 - 498\r\n"
                  ".dw 0b1010101010101010 ;1\r\n");
        // Leftover bits of an unfinished word are dropped.
        EXPECT_EQ(textOf(31), textOf(16));
    }

    TEST(PlayerSourceWriter, DataWordHasTheLaterByteFirstAndEarliestFrameMostSignificant)
    {
        // Frames 1-8: 1 1 0 0 0 0 0 0; frames 9-16: 0 0 0 0 0 0 0 1.
        const std::vector<bool> pattern = { true, true, false, false, false, false, false, false,
            false, false, false, false, false, false, false, true };
        const std::vector<std::string> lines = linesOf(textOf(32, pattern));
        ASSERT_EQ(lines.size(), 8u);
        EXPECT_EQ(lines[6], ".dw 0b0000000111000000 ;1");
        EXPECT_EQ(lines[7], ".dw 0b0000000111000000 ;2");
    }

    TEST(PlayerSourceWriter, BlockOf498WordsIsClosed)
    {
        const std::vector<std::string> lines = linesOf(textOf(498 * 16));
        ASSERT_EQ(lines.size(), 6u + 498u + 2u);
        EXPECT_EQ(lines[5], ";1 - 498");
        EXPECT_EQ(lines[503], ".dw 0b1010101010101010 ;498");
        EXPECT_EQ(lines[504], endLine);
        EXPECT_EQ(lines[505], "");
    }

    TEST(PlayerSourceWriter, Word499OpensTheSecondBlock)
    {
        const std::vector<std::string> lines = linesOf(textOf(499 * 16));
        ASSERT_EQ(lines.size(), 506u + 4u);
        EXPECT_EQ(lines[506], header + "2:");
        EXPECT_EQ(lines[507], "key1010:");
        EXPECT_EQ(lines[508], ";499 - 996");
        EXPECT_EQ(lines[509], ".dw 0b1010101010101010 ;499");
    }

    TEST(PlayerSourceWriter, EachKeyLabelOnceInItsOwnBlockOfTheFirstEightAndNoneAfter)
    {
        const std::vector<std::string> lines = linesOf(textOf((8 * 498 + 1) * 16));
        // Each label with the number of the block whose header stands last above it.
        std::vector<std::string> labels;
        int block = 0;
        for (const std::string& line : lines) {
            if (line.rfind(header, 0) == 0) {
                ++block;
                EXPECT_EQ(line, header + std::to_string(block) + ":");
            } else if (line.rfind("key", 0) == 0) {
                labels.push_back(std::to_string(block) + " " + line);
            }
        }
        const std::vector<std::string> expected
            = { "1 key0000:", "1 key0011:", "1 key0001:", "1 key0101:", "2 key1010:", "3 key0110:",
                  "3 key0010:", "3 key1001:", "4 key1101:", "5 key1100:", "5 key0100:",
                  "5 key1011:", "6 key0111:", "7 key1000:", "7 key1110:", "8 key1111:" };
        EXPECT_EQ(labels, expected);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(block, 9);
        EXPECT_EQ(lines[lines.size() - 2], ";3985 - 4482");
        EXPECT_EQ(lines[lines.size() - 1], ".dw 0b1010101010101010 ;3985");
    }

    TEST(PlayerSourceWriter, ReportsEachProgressChangeOnceAndResetsToZero)
    {
        EXPECT_EQ(progressPercent(1, 8), 12); // 12.5
        EXPECT_EQ(progressPercent(3, 8), 38); // 37.5
        EXPECT_EQ(progressPercent(1, 200), 0); // 0.5
        EXPECT_EQ(progressPercent(3, 200), 2); // 1.5
        EXPECT_EQ(progressPercent(8, 8), 100);

        StringSink sink;
        std::vector<int> reports;
        const std::int64_t frameCount = 16 * 250;
        PlayerSourceWriter writer(
            sink, frameCount, [&reports](int percent) { reports.push_back(percent); });
        for (std::int64_t i = 1; i <= frameCount; ++i) {
            writer.takeBit(false, i);
        }
        writer.resetProgress();
        ASSERT_EQ(reports.size(), 101u);
        for (std::size_t k = 0; k + 1 < 100; ++k) {
            EXPECT_LT(reports[k], reports[k + 1]);
        }
        EXPECT_EQ(reports[99], 100);
        EXPECT_EQ(reports[100], 0);
    }

} // namespace
} // namespace tt

namespace tt {
namespace {

    TEST(PlayerSourceWriter, TextSizeIsKnownBeforeWriting)
    {
        constexpr std::int64_t block = 498 * 16;
        for (const std::int64_t frameCount :
            { std::int64_t(0), std::int64_t(15), std::int64_t(16), std::int64_t(17), block - 1,
                block, block + 16, 8 * block, 8 * block + 16, 9 * block + 31, 21 * block + 160 }) {
            const std::string text = textOf(frameCount);
            const PlayerSourceSize size = PlayerSourceWriter::textSize(frameCount);
            EXPECT_EQ(size.sizeBytes, std::int64_t(text.size())) << frameCount;
            // A label prefix stands in front of every label and counts in the size.
            const std::string prefixed = textOf(frameCount, { true, false }, "drum_");
            EXPECT_EQ(PlayerSourceWriter::textSize(frameCount, 5).sizeBytes,
                std::int64_t(prefixed.size()))
                << frameCount;
            EXPECT_EQ(prefixed.find("\r\nkey"), std::string::npos);
            std::int64_t words = 0;
            std::int64_t blocks = 0;
            for (const std::string& line : linesOf(text)) {
                words += line.starts_with(".dw 0b");
                blocks += line.starts_with("; H7");
            }
            EXPECT_EQ(size.wordCount, words) << frameCount;
            EXPECT_EQ(size.blockCount, blocks) << frameCount;
        }
        // Word numbers of 10 digits and block numbers of 8 (past what a WAV file can hold).
        const PlayerSourceSize huge
            = PlayerSourceWriter::textSize(std::int64_t(16) * 2'000'000'000);
        EXPECT_EQ(huge.wordCount, 2'000'000'000);
        EXPECT_EQ(huge.blockCount, 4'016'065);
        EXPECT_GT(huge.sizeBytes, huge.wordCount * 35);
    }

} // namespace
} // namespace tt
