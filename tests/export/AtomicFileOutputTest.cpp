#include "export/AtomicFileOutput.h"

#include "wave/WaveBytes.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace tt {
namespace {

    namespace fs = std::filesystem;

    using testing::entryCount;
    using testing::fileText;

    class AtomicFileOutputTest : public ::testing::Test {
    protected:
        static bool writeThrough(const fs::path& path, std::string_view text)
        {
            const std::unique_ptr<AtomicFileOutput> out = AtomicFileOutput::create(path.string());
            return out && out->write(text) && out->commit();
        }

        testing::TempFiles files;
        const fs::path folder = files.dir();
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
        // A replaced file keeps its permissions, however unusual.
        const auto kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
        fs::permissions(folder / "real.txt", kept);
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
            EXPECT_EQ(fileText(c.reached), text);
        }
        EXPECT_TRUE(fs::is_symlink(folder / "near"));
        EXPECT_EQ(fs::status(folder / "real.txt").permissions(), kept);
        EXPECT_EQ(entryCount(folder), 6u) << "a temporary file was left behind";
        EXPECT_EQ(entryCount(folder / "other"), 3u);
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
            EXPECT_EQ(fileText(target), "second");
            fs::remove(target);
            EXPECT_EQ(entryCount(folder), 0u);
        }
    }

    TEST_F(AtomicFileOutputTest, DevicesAndPipesAreWrittenDirectly)
    {
        // The reading ends are open before the output, so opening a pipe to write never waits.
        const fs::path fifo = folder / "fifo";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const int fifoReader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int pipeEnds[2] = { -1, -1 };
        ASSERT_EQ(::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC), 0);
        const struct {
            std::string path;
            int reader; // -1: nothing comes back
        } cases[] = {
            { "/dev/null", -1 }, { fifo.string(), fifoReader },
            { "/dev/fd/" + std::to_string(pipeEnds[1]), pipeEnds[0] }, // process substitution
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.path);
            EXPECT_TRUE(writeThrough(c.path, "text for " + c.path));
            if (c.reader >= 0) {
                std::string arrived(256, '\0');
                const ssize_t sizeBytes = ::read(c.reader, arrived.data(), arrived.size());
                arrived.resize(std::size_t(std::max<ssize_t>(sizeBytes, 0)));
                EXPECT_EQ(arrived, "text for " + c.path);
            }
        }
        for (const int descriptor : { fifoReader, pipeEnds[0], pipeEnds[1] }) {
            ::close(descriptor);
        }
        EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
        EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
        EXPECT_EQ(entryCount(folder), 1u) << "a temporary file was left behind";
    }

    int failingErrno = 0;
    int failToCreate(int, const char*, int, mode_t)
    {
        errno = failingErrno;
        return -1;
    }

    TEST_F(AtomicFileOutputTest, AFolderThatTakesNoNewFileGetsAnExistingFileRewrittenInPlace)
    {
        // The folder's refusal is injected: as root a read-only folder still takes new files.
        const struct {
            int error;
            bool targetExists;
            bool writtenInPlace; // else not created at all, and an existing target is unchanged
        } cases[] = {
            { EACCES, true, true },
            { EPERM, true, true },
            { EACCES, false, false },
            { ENOSPC, true, false },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(
                ::testing::Message() << c.error << (c.targetExists ? " existing" : " new"));
            const fs::path target = folder / "target.txt";
            fs::remove(target);
            if (c.targetExists) {
                std::ofstream(target) << "the old and longer text";
            }
            struct stat before { };
            ::stat(target.c_str(), &before);
            failingErrno = c.error;
            const std::unique_ptr<AtomicFileOutput> out
                = AtomicFileOutput::create(target.string(), failToCreate);
            ASSERT_EQ(out != nullptr, c.writtenInPlace);
            if (out) {
                EXPECT_TRUE(out->temporaryPath().empty());
                EXPECT_EQ(fileText(target), "the old and longer text") << "truncated too early";
                EXPECT_TRUE(out->write("new text"));
                EXPECT_TRUE(out->commit());
            }
            struct stat after { };
            EXPECT_EQ(::stat(target.c_str(), &after) == 0, c.targetExists);
            if (c.targetExists) {
                EXPECT_EQ(after.st_ino, before.st_ino);
                EXPECT_EQ(
                    fileText(target), c.writtenInPlace ? "new text" : "the old and longer text");
            }
            EXPECT_EQ(entryCount(folder), c.targetExists ? 1u : 0u);
        }
    }

    int unnamedFileRefusal = 0;
    int refuseUnnamedFiles(int folderDescriptor, const char* name, int flags, mode_t mode)
    {
        if ((flags & O_TMPFILE) == O_TMPFILE) {
            errno = unnamedFileRefusal;
            return -1;
        }
        return ::openat(folderDescriptor, name, flags, mode);
    }

    TEST_F(AtomicFileOutputTest, TheTemporaryFileHasANameOnlyWhereTheFileSystemNeedsOne)
    {
        // 0: unnamed files, which vanish with the process however it ends. The others are how
        // file systems and kernels without them refuse them: a named temporary file instead.
        const int probe = ::open(folder.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600);
        const bool unnamedFilesHere = probe >= 0;
        ::close(probe);
        for (const int refusal : { 0, EOPNOTSUPP, EISDIR, EINVAL }) {
            if (refusal == 0 && !unnamedFilesHere) {
                continue;
            }
            unnamedFileRefusal = refusal;
            for (const bool committed : { false, true }) {
                SCOPED_TRACE(::testing::Message() << refusal << (committed ? " committed" : ""));
                const fs::path target = folder / "out.txt";
                std::unique_ptr<AtomicFileOutput> out = refusal == 0
                    ? AtomicFileOutput::create(target.string())
                    : AtomicFileOutput::create(target.string(), refuseUnnamedFiles);
                ASSERT_TRUE(out);
                EXPECT_TRUE(out->write("text"));
                EXPECT_EQ(entryCount(folder), refusal == 0 ? 0u : 1u);
                EXPECT_EQ(!committed || out->commit(), true);
                out.reset();
                EXPECT_EQ(entryCount(folder), committed ? 1u : 0u);
                EXPECT_EQ(fileText(target), committed ? "text" : "");
                fs::remove(target);
            }
        }
    }

} // namespace
} // namespace tt
