#include "wave/WaveLoader.h"

#include "wave/FileByteSource.h"
#include "wave/WaveParser.h"

namespace tt {

LoadStatus loadWaveFile(const std::string& path, LoadedWave& out)
{
    FileByteSource file(path);
    if (!file.isOpen()) {
        return LoadStatus::Unreadable;
    }
    return parseWave(file, out);
}

} // namespace tt
