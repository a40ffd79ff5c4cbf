#pragma once

namespace tt {

// How an export ended. The window shows "can't create File" and "can't write File" for the two
// failures; after CannotCreate nothing was converted, after CannotWrite the conversion ran (the
// image and the error sum are fresh) but no file was replaced.
enum class ExportStatus {
    Written,
    CannotCreate,
    CannotWrite,
};

} // namespace tt
