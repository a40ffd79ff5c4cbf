#include "export/PlayerSourceExport.h"

#include "export/FileSizeLimit.h"
#include "export/StringSink.h"
#include "wave/WaveBytes.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tt {
namespace {

    namespace fs = std::filesystem;

    using testing::StringSink;

    using testing::fileText;

    class PlayerSourceExport : public ::testing::Test {
    protected:
        void SetUp() override
        {
            header.bitsPerSample = 16;
            header.channelCount = 2;
            // Silence: the bits alternate, 1 0 1 0 ...
            data.assign(4 * 16 * 600, 0);
            sampleArea.assign(data.size(), 0x33);
        }

        ExportStatus exportTo(const fs::path& path)
        {
            return exportPlayerSource(
                path.string(), header, data, ModulatorSettings {}, sampleArea, result);
        }

        std::string expectedText()
        {
            StringSink sink;
            std::vector<std::uint8_t> area(data.size());
            ConversionResult unused;
            EXPECT_EQ(exportPlayerSource(sink, header, data, ModulatorSettings {}, area, unused),
                ExportStatus::Written);
            return sink.text;
        }

        std::size_t entriesInFolder() const { return testing::entryCount(folder); }

        testing::TempFiles files;
        const fs::path folder = files.dir();
        WaveHeader header;
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> sampleArea;
        ConversionResult result;
    };

    TEST_F(PlayerSourceExport, ReplacesTheFileAndConverts)
    {
        const fs::path target = folder / "out.txt";
        std::ofstream(target) << "old text";
        EXPECT_EQ(exportTo(target), ExportStatus::Written);
        const std::string text = fileText(target);
        EXPECT_EQ(text, expectedText());
        EXPECT_EQ(text.substr(text.size() - 29), ".dw 0b1010101010101010 ;600\r\n");
        EXPECT_EQ(result.frameCount, 16 * 600);
        EXPECT_EQ(errorLabelText(result), "Error: 504");
        EXPECT_NE(sampleArea[0], 0x33);
        EXPECT_EQ(entriesInFolder(), 1u) << "a temporary file was left behind";
    }

    TEST_F(PlayerSourceExport, CannotCreateLeavesEverythingAlone)
    {
        std::ofstream(folder / "plain") << "x";
        fs::create_directory(folder / "taken.txt");
        for (const fs::path& target : { folder / "missing" / "out.txt",
                 folder / "plain" / "out.txt", folder / "taken.txt" }) {
            EXPECT_EQ(exportTo(target), ExportStatus::CannotCreate) << target;
        }
        EXPECT_EQ(result.frameCount, 0);
        EXPECT_EQ(sampleArea, std::vector<std::uint8_t>(data.size(), 0x33));
        EXPECT_EQ(entriesInFolder(), 2u);
    }

    TEST_F(PlayerSourceExport, WriteFailureKeepsTheOldFile)
    {
        // A file size limit makes the writes fail part-way, as a full disk would.
        const fs::path target = folder / "out.txt";
        std::ofstream(target) << "old text";
        data.assign(4 * 16 * 20000, 0);
        sampleArea.assign(data.size(), 0);
        ExportStatus status = ExportStatus::Written;
        {
            const testing::FileSizeLimit limit(4096);
            ASSERT_TRUE(limit.active());
            status = exportTo(target);
        }

        EXPECT_EQ(status, ExportStatus::CannotWrite);
        EXPECT_EQ(fileText(target), "old text");
        EXPECT_EQ(entriesInFolder(), 1u) << "the temporary file was not removed";
        EXPECT_EQ(result.frameCount, 16 * 20000) << "the image is rebuilt all the same";
    }

} // namespace
} // namespace tt
