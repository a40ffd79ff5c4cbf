#include "export/AtomicFileOutput.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tt {

namespace {

    std::string folderOf(const std::string& path)
    {
        const auto slash = path.find_last_of('/');
        if (slash == std::string::npos) {
            return ".";
        }
        return slash == 0 ? "/" : path.substr(0, slash);
    }

    // Opens a new file next to the target under a name nobody else uses. The mode 0666 lets the
    // process umask decide the permissions, as for any newly created file.
    int openUniqueTemporary(const std::string& targetPath, std::string& temporaryPath)
    {
        static std::atomic<unsigned> serial { 0 };
        for (int attempt = 0; attempt < 100; ++attempt) {
            temporaryPath = targetPath + "." + std::to_string(::getpid()) + "."
                + std::to_string(serial.fetch_add(1)) + ".tmp";
            const int descriptor
                = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (descriptor >= 0 || errno != EEXIST) {
                return descriptor;
            }
        }
        return -1;
    }

} // namespace

std::unique_ptr<AtomicFileOutput> AtomicFileOutput::create(const std::string& targetPath)
{
    if (targetPath.empty() || targetPath.back() == '/') {
        return nullptr;
    }
    struct stat target { };
    const bool targetExists = ::stat(targetPath.c_str(), &target) == 0;
    if (targetExists && (!S_ISREG(target.st_mode) || ::access(targetPath.c_str(), W_OK) != 0)) {
        return nullptr;
    }
    std::string temporaryPath;
    const int descriptor = openUniqueTemporary(targetPath, temporaryPath);
    if (descriptor < 0) {
        return nullptr;
    }
    if (targetExists) {
        // The replacement keeps the permissions of the file it replaces.
        (void)::fchmod(descriptor, target.st_mode & 07777);
    }
    return std::unique_ptr<AtomicFileOutput>(
        new AtomicFileOutput(targetPath, std::move(temporaryPath), descriptor));
}

AtomicFileOutput::AtomicFileOutput(
    std::string targetPath, std::string temporaryPath, int descriptor)
    : targetPath_(std::move(targetPath))
    , temporaryPath_(std::move(temporaryPath))
    , descriptor_(descriptor)
{
}

AtomicFileOutput::~AtomicFileOutput()
{
    discard();
}

bool AtomicFileOutput::write(std::string_view text)
{
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
        // that the fsync before the rename has little left to wait for. Only a hint: failures
        // surface at that fsync.
        (void)::sync_file_range(
            descriptor_, off_t(writtenBytes_), off_t(written), SYNC_FILE_RANGE_WRITE);
#endif
        writtenBytes_ += written;
    }
    return !failed_;
}

bool AtomicFileOutput::commit()
{
    if (!temporaryExists_) {
        return !failed_;
    }
    if (failed_ || ::fsync(descriptor_) != 0) {
        discard();
        return false;
    }
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0 || ::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
        discard();
        return false;
    }
    temporaryExists_ = false;
    // Make the rename itself durable; the new text is complete either way, so a failure here
    // changes nothing the caller could act on.
    const int folder = ::open(folderOf(targetPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return true;
}

void AtomicFileOutput::discard()
{
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (temporaryExists_) {
        failed_ = true;
        temporaryExists_ = false;
        ::unlink(temporaryPath_.c_str());
    }
}

} // namespace tt
