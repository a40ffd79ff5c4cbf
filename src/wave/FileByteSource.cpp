#include "wave/FileByteSource.h"

#include <filesystem>
#include <limits>
#include <system_error>

namespace tt {

FileByteSource::FileByteSource(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || error) {
        return;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > std::uintmax_t(std::numeric_limits<std::streamoff>::max())) {
        return;
    }
    stream_.open(path, std::ios::binary);
    if (!stream_.is_open()) {
        return;
    }
    sizeBytes_ = size;
    open_ = true;
}

bool FileByteSource::readAt(std::uint64_t offset, std::span<std::uint8_t> out)
{
    if (!open_ || offset > sizeBytes_ || sizeBytes_ - offset < out.size()) {
        return false;
    }
    if (out.empty()) {
        return true;
    }
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
    stream_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    // A file that shrank since it was opened gives a short read: reported, never padded.
    return stream_.good() && std::uint64_t(stream_.gcount()) == out.size();
}

} // namespace tt
