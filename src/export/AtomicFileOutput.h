#pragma once
// A file that replaces its target only once everything was written: the text goes to a
// temporary file in the target's folder, which is flushed to the device and then renamed over
// the target. A target that is a symbolic link (or a chain of them) stays one: the file it leads
// to is replaced. Until commit() succeeds an existing target stays as it was; a failed or abandoned
// output removes its temporary file.

#include "export/TextSink.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tt {

class AtomicFileOutput final : public TextSink {
public:
    // Null when the file cannot be created: the folder is missing or not writable, or the target
    // is a folder or a file that may not be written.
    static std::unique_ptr<AtomicFileOutput> create(const std::string& targetPath);

    ~AtomicFileOutput() override;
    AtomicFileOutput(const AtomicFileOutput&) = delete;
    AtomicFileOutput& operator=(const AtomicFileOutput&) = delete;

    bool write(std::string_view text) override;

    // Flushes, closes and renames the temporary file over the target. False when any write so
    // far or any of these steps failed; the temporary file is then gone and the target unchanged.
    bool commit();

    // Where the text goes until commit(); callers that must clean up on a signal register it.
    const std::string& temporaryPath() const { return temporaryPath_; }

private:
    AtomicFileOutput() = default;
    bool openTemporary();
    void discard();

    std::string targetName_; // in the folder below
    int folderDescriptor_ = -1; // the folder of the file the target name leads to
    std::string temporaryName_; // in that folder
    std::string temporaryPath_;
    int descriptor_ = -1;
    std::int64_t writtenBytes_ = 0; // into the temporary file so far
    bool failed_ = false;
    bool temporaryExists_ = false; // until renamed over the target or removed
};

} // namespace tt
