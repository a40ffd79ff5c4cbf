#pragma once
// A file that replaces its target only once everything was written: the text goes to a
// temporary file in the target's folder, which is flushed to the device and then renamed over
// the target. The temporary file has no name until then (O_TMPFILE), so a process that is killed
// leaves nothing behind; where the file system has no unnamed files it gets a name from the
// start, which only a caught signal can remove (see temporaryPath()). A target that is a symbolic
// link (or a chain of them) stays one: the file it leads to is replaced. Until commit() succeeds an
// existing target stays as it was; a failed or abandoned output removes its temporary file.
//
// Where no replacement is possible the target itself is written, and a failure can leave it
// incomplete: devices and pipes (/dev/null, a FIFO, /dev/fd/N), and an existing file whose
// folder takes no new file (no write permission) although the file may be written. Such a file
// is truncated only when the first text arrives.

#include "export/TextSink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

namespace tt {

class AtomicFileOutput final : public TextSink {
public:
    // Null when the file cannot be created: the folder is missing or takes no new file (and the
    // target does not exist yet), or the target is a folder or a file that may not be written.
    static std::unique_ptr<AtomicFileOutput> create(const std::string& targetPath);

    // Opens the temporary file as openat() would; tests pass one that fails the way a given
    // folder or file system does.
    using TemporaryOpener = int (*)(int folderDescriptor, const char* name, int flags, mode_t mode);
    static std::unique_ptr<AtomicFileOutput> create(
        const std::string& targetPath, TemporaryOpener openTemporary);

    ~AtomicFileOutput() override;
    AtomicFileOutput(const AtomicFileOutput&) = delete;
    AtomicFileOutput& operator=(const AtomicFileOutput&) = delete;

    bool write(std::string_view text) override;

    // Flushes, names, closes and renames the temporary file over the target (or flushes and
    // closes the target written in place). False when any write so far or any of these steps
    // failed; the temporary file is then gone and a replaced target unchanged.
    bool commit();

    // The temporary file's name (an unnamed one takes it during commit()); callers that must
    // clean up on a signal register it. Empty when the target is written in place.
    const std::string& temporaryPath() const { return temporaryPath_; }

private:
    AtomicFileOutput() = default;
    static std::unique_ptr<AtomicFileOutput> openInPlace(const std::string& path);
    int openTemporary(TemporaryOpener openTemporary);
    bool linkUnnamed();
    bool fail();
    void discard();

    std::string targetName_; // in the folder below
    int folderDescriptor_ = -1; // the folder of the file the target name leads to
    std::string temporaryName_; // in that folder
    std::string temporaryPath_;
    int descriptor_ = -1;
    bool unnamed_ = false; // the temporary file has no name yet
    bool regularFile_ = true; // false for devices and pipes: nothing to truncate or flush
    bool truncationPending_ = false; // an existing file written in place, not yet truncated
    std::int64_t writtenBytes_ = 0;
    bool failed_ = false;
    bool temporaryExists_ = false; // until renamed over the target or removed
};

} // namespace tt
