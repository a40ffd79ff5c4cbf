#include "export/AtomicFileOutput.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

namespace tt {
namespace {

    namespace fs = std::filesystem;

    std::string contentsOf(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    class AtomicFileOutputTest : public testing::Test {
    protected:
        void SetUp() override
        {
            folder = fs::temp_directory_path()
                / ("ticktrace-atomic-test-" + std::to_string(::getpid()));
            fs::create_directories(folder);
        }
        void TearDown() override { fs::remove_all(folder); }

        static bool writeThrough(const fs::path& path, std::string_view text)
        {
            const std::unique_ptr<AtomicFileOutput> out = AtomicFileOutput::create(path.string());
            return out && out->write(text) && out->commit();
        }

        std::size_t entriesIn(const fs::path& dir) const
        {
            return std::size_t(std::distance(fs::directory_iterator(dir), {}));
        }

        fs::path folder;
    };

    TEST_F(AtomicFileOutputTest, ReplacesTheFileAtTheEndOfALinkChainAndKeepsTheLinks)
    {
        fs::create_directory(folder / "other");
        std::ofstream(folder / "real.txt") << "old";
        std::ofstream(folder / "other" / "far.txt") << "old";
        fs::create_symlink("real.txt", folder / "near");
        fs::create_symlink("near", folder / "chain");
        fs::create_symlink(folder / "chain", folder / "other" / "absolute");
        fs::create_symlink("../other/far.txt", folder / "other" / "upward");
        fs::create_symlink("made.txt", folder / "dangling");
        const struct {
            fs::path written;
            fs::path reached;
        } cases[] = {
            { folder / "chain", folder / "real.txt" },
            { folder / "other" / "absolute", folder / "real.txt" },
            { folder / "other" / "upward", folder / "other" / "far.txt" },
            { folder / "dangling", folder / "made.txt" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.written);
            const std::string text = "new through " + c.written.filename().string();
            ASSERT_TRUE(writeThrough(c.written, text));
            EXPECT_TRUE(fs::is_symlink(c.written));
            EXPECT_EQ(contentsOf(c.reached), text);
        }
        EXPECT_TRUE(fs::is_symlink(folder / "near"));
        EXPECT_EQ(entriesIn(folder), 6u) << "a temporary file was left behind";
        EXPECT_EQ(entriesIn(folder / "other"), 3u);
    }

    TEST_F(AtomicFileOutputTest, NamesUpToTheSystemsLimitCanBeWrittenAndReplaced)
    {
        const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
        ASSERT_GE(nameMax, 255);
        for (std::size_t length = 248; length <= 255; ++length) {
            SCOPED_TRACE(length);
            const fs::path target = folder / std::string(length, 'n');
            ASSERT_TRUE(writeThrough(target, "first"));
            ASSERT_TRUE(writeThrough(target, "second"));
            EXPECT_EQ(contentsOf(target), "second");
            fs::remove(target);
            EXPECT_EQ(entriesIn(folder), 0u);
        }
    }

} // namespace
} // namespace tt
