#include "export/AtomicFileOutput.h"

#include "export/FilePath.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tt {

namespace {

    constexpr int maxNameAttempts = 100;

    // Short and of fixed form whatever the target's name: that may already take all of the
    // folder's name length limit. The process id keeps names of concurrent processes apart.
    std::string uniqueTemporaryName()
    {
        static std::atomic<unsigned> serial { 0 };
        return ".ticktrace-" + std::to_string(::getpid()) + "-"
            + std::to_string(serial.fetch_add(1)) + ".tmp";
    }

} // namespace

std::unique_ptr<AtomicFileOutput> AtomicFileOutput::create(const std::string& targetPath)
{
    return create(targetPath, [](int folderDescriptor, const char* name, int flags, mode_t mode) {
        return ::openat(folderDescriptor, name, flags, mode);
    });
}

std::unique_ptr<AtomicFileOutput> AtomicFileOutput::create(
    const std::string& targetPath, TemporaryOpener openTemporary)
{
    if (targetPath.empty() || targetPath.back() == '/') {
        return nullptr;
    }
    struct stat target { };
    const bool targetExists = ::stat(targetPath.c_str(), &target) == 0;
    if (targetExists && S_ISDIR(target.st_mode)) {
        return nullptr;
    }
    if (targetExists && !S_ISREG(target.st_mode)) {
        return openInPlace(targetPath);
    }
    if (targetExists && ::access(targetPath.c_str(), W_OK) != 0) {
        return nullptr;
    }
    // A symbolic link stays and the file it leads to is replaced, as editors do.
    const std::string reachedPath = followLinks(targetPath);
    struct stat reached { };
    if (targetExists
        && (::stat(reachedPath.c_str(), &reached) != 0 || reached.st_dev != target.st_dev
            || reached.st_ino != target.st_ino)) {
        // A descriptor's link under /proc (/dev/stdout) to a file no name leads to any more.
        return openInPlace(targetPath);
    }
    std::unique_ptr<AtomicFileOutput> output(new AtomicFileOutput());
    output->folderDescriptor_
        = ::open(folderOf(reachedPath).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (output->folderDescriptor_ < 0) {
        return nullptr;
    }
    output->targetName_ = nameOf(reachedPath);
    if (const int error = output->openTemporary(openTemporary); error != 0) {
        // Only a refusal of the folder itself: after a full disk, say, writing in place would
        // fail just the same, with the old text already gone.
        const bool folderRefused = error == EACCES || error == EPERM;
        return targetExists && folderRefused ? openInPlace(reachedPath) : nullptr;
    }
    output->temporaryPath_ = folderOf(reachedPath) + "/" + output->temporaryName_;
    if (targetExists) {
        // The replacement keeps the permissions of the file it replaces.
        (void)::fchmod(output->descriptor_, target.st_mode & 07777);
    }
    return output;
}

std::unique_ptr<AtomicFileOutput> AtomicFileOutput::openInPlace(const std::string& path)
{
    std::unique_ptr<AtomicFileOutput> output(new AtomicFileOutput());
    output->descriptor_ = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    struct stat opened { };
    if (output->descriptor_ < 0 || ::fstat(output->descriptor_, &opened) != 0) {
        return nullptr;
    }
    output->regularFile_ = S_ISREG(opened.st_mode);
    output->truncationPending_ = output->regularFile_;
    return output;
}

// The mode 0666 lets the process umask decide the permissions, as for any newly created file.
// 0 or the error number of the last attempt.
int AtomicFileOutput::openTemporary(TemporaryOpener openTemporary)
{
    // An unnamed file vanishes with the process however it ends, even by SIGKILL; it is given
    // the name at commit.
    temporaryName_ = uniqueTemporaryName();
    descriptor_ = openTemporary(folderDescriptor_, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (descriptor_ >= 0) {
        unnamed_ = true;
        return 0;
    }
    // Refusals of file systems and kernels without unnamed files.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return errno;
    }
    for (int attempt = 0; attempt < maxNameAttempts; ++attempt) {
        temporaryName_ = uniqueTemporaryName();
        descriptor_ = openTemporary(folderDescriptor_, temporaryName_.c_str(),
            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor_ >= 0) {
            temporaryExists_ = true;
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

AtomicFileOutput::~AtomicFileOutput()
{
    discard();
    if (folderDescriptor_ >= 0) {
        ::close(folderDescriptor_);
    }
}

bool AtomicFileOutput::write(std::string_view text)
{
    if (!failed_ && truncationPending_) {
        truncationPending_ = false;
        failed_ = ::ftruncate(descriptor_, 0) != 0;
    }
    while (!failed_ && !text.empty()) {
        const ssize_t written = ::write(descriptor_, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            break;
        }
        text.remove_prefix(std::size_t(written));
#if defined(SYNC_FILE_RANGE_WRITE)
        // Start writing this piece to the device now, while the pass computes the next one, so
        // that the fsync at commit has little left to wait for (BM_ExportToFile measures it).
        // Only a hint: failures surface at that fsync.
        if (regularFile_) {
            (void)::sync_file_range(
                descriptor_, off_t(writtenBytes_), off_t(written), SYNC_FILE_RANGE_WRITE);
        }
#endif
        writtenBytes_ += written;
    }
    return !failed_;
}

bool AtomicFileOutput::commit()
{
    if (descriptor_ < 0) {
        return !failed_;
    }
    if (truncationPending_ && !write({})) { // no text at all still empties the file
        return fail();
    }
    if (failed_ || (regularFile_ && ::fsync(descriptor_) != 0) || (unnamed_ && !linkUnnamed())) {
        return fail();
    }
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0) {
        return fail();
    }
    if (!temporaryExists_) {
        return true; // written in place
    }
    if (::renameat(
            folderDescriptor_, temporaryName_.c_str(), folderDescriptor_, targetName_.c_str())
        != 0) {
        return fail();
    }
    temporaryExists_ = false;
    // Make the rename itself durable; the new text is complete either way, so a failure here
    // changes nothing the caller could act on.
    const int folder = ::openat(folderDescriptor_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool AtomicFileOutput::linkUnnamed()
{
    const std::string descriptorLink = "/proc/self/fd/" + std::to_string(descriptor_);
    for (int attempt = 0; attempt < maxNameAttempts; ++attempt) {
        if (attempt > 0) {
            temporaryName_ = uniqueTemporaryName();
        }
        // Through /proc any process may link a file it has open; AT_EMPTY_PATH may need
        // CAP_DAC_READ_SEARCH, so it serves only where /proc is missing.
        int linked = ::linkat(AT_FDCWD, descriptorLink.c_str(), folderDescriptor_,
            temporaryName_.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno == ENOENT) {
            linked = ::linkat(
                descriptor_, "", folderDescriptor_, temporaryName_.c_str(), AT_EMPTY_PATH);
        }
        if (linked == 0) {
            temporaryExists_ = true;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool AtomicFileOutput::fail()
{
    discard();
    failed_ = true;
    return false;
}

void AtomicFileOutput::discard()
{
    if (descriptor_ >= 0) {
        failed_ = true;
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (temporaryExists_) {
        failed_ = true;
        temporaryExists_ = false;
        ::unlinkat(folderDescriptor_, temporaryName_.c_str(), 0);
    }
}

} // namespace tt
