#include "decode/SoundFile.h"

#include "text/TextFormat.h"

#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace tt {
namespace {

    bool quietLibraries = true;

    // Standard error points at /dev/null while it lives: the MPEG decoder under the library
    // prints its own notes there ("Note: Illegal Audio-MPEG-Header ...") and the library gives
    // no way to silence it. The program writes nothing to standard error meanwhile.
    class QuietStandardError {
    public:
        QuietStandardError()
        {
            if (!quietLibraries) {
                return;
            }
            std::fflush(stderr);
            const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            if (quiet < 0) {
                return;
            }
            saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
            if (saved_ >= 0 && ::dup2(quiet, STDERR_FILENO) < 0) {
                ::close(saved_);
                saved_ = -1;
            }
            ::close(quiet);
        }
        ~QuietStandardError()
        {
            if (saved_ >= 0) {
                std::fflush(stderr);
                ::dup2(saved_, STDERR_FILENO);
                ::close(saved_);
            }
        }
        QuietStandardError(const QuietStandardError&) = delete;
        QuietStandardError& operator=(const QuietStandardError&) = delete;

    private:
        int saved_ = -1;
    };

    // The library's own name of a container or encoding, "AIFF (Apple/SGI)" cut to "AIFF".
    std::string libraryName(int format)
    {
        SF_FORMAT_INFO info {};
        info.format = format;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0
            || info.name == nullptr) {
            return "unknown";
        }
        const std::string_view name(info.name);
        return std::string(name.substr(0, name.find(" (")));
    }

    std::string encodingText(int subtype)
    {
        switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return "8-bit";
        case SF_FORMAT_PCM_16:
            return "16-bit";
        case SF_FORMAT_PCM_24:
            return "24-bit";
        case SF_FORMAT_PCM_32:
            return "32-bit";
        case SF_FORMAT_FLOAT:
            return "32-bit float";
        case SF_FORMAT_DOUBLE:
            return "64-bit float";
        case SF_FORMAT_ULAW:
            return "µ-law";
        case SF_FORMAT_ALAW:
            return "A-law";
        case SF_FORMAT_VORBIS:
            return "Vorbis";
        case SF_FORMAT_OPUS:
            return "Opus";
        case SF_FORMAT_MPEG_LAYER_I:
            return "MP1";
        case SF_FORMAT_MPEG_LAYER_II:
            return "MP2";
        case SF_FORMAT_MPEG_LAYER_III:
            return "MP3";
        default:
            return libraryName(subtype);
        }
    }

    // The container and its encoding as people name them: "WAV, 24-bit", "Ogg Vorbis", "MP3".
    std::string containerAndEncoding(int format)
    {
        const int container = format & SF_FORMAT_TYPEMASK;
        const std::string encoding = encodingText(format & SF_FORMAT_SUBMASK);
        switch (container) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
            return "WAV, " + encoding;
        case SF_FORMAT_OGG:
            return "Ogg " + encoding;
        case SF_FORMAT_MPEG:
            return encoding;
        default:
            return libraryName(container) + ", " + encoding;
        }
    }

} // namespace

SoundFile::~SoundFile()
{
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

bool SoundFile::open(const std::string& path)
{
    SF_INFO info {};
    SNDFILE* file = nullptr;
    {
        const QuietStandardError quiet;
        file = sf_open(path.c_str(), SFM_READ, &info);
    }
    if (file == nullptr) {
        return false;
    }
    if (file_ != nullptr) {
        sf_close(file_);
    }
    file_ = file;
    info_ = info;
    return true;
}

std::string SoundFile::formatText() const
{
    const std::string channels = info_.channels == 1 ? "mono"
        : info_.channels == 2                        ? "stereo"
                                                     : toDecimal(info_.channels) + " channels";
    return containerAndEncoding(info_.format) + ", " + toDecimal(info_.samplerate) + " Hz, "
        + channels;
}

std::int64_t SoundFile::readFrames(std::span<double> out)
{
    if (file_ == nullptr || info_.channels <= 0) {
        return -1;
    }
    const QuietStandardError quiet;
    const sf_count_t frames
        = sf_readf_double(file_, out.data(), sf_count_t(out.size()) / info_.channels);
    if (frames == 0 && sf_error(file_) != SF_ERR_NO_ERROR) {
        return -1;
    }
    return std::int64_t(frames);
}

void SoundFile::showLibraryMessages(bool show)
{
    quietLibraries = !show;
}

bool SoundFile::seek(std::int64_t frame)
{
    const QuietStandardError quiet;
    return file_ != nullptr && sf_seek(file_, sf_count_t(frame), SEEK_SET) == frame;
}

} // namespace tt
