#include "app/PackedPass.h"

namespace tt {

std::size_t convertPacked(StreamingConversion& pass, std::span<const std::uint8_t> in,
    std::span<std::uint8_t> out, WordPacker& packer)
{
    return pass.convert(in, out, packer);
}

std::size_t finishPacked(StreamingConversion& pass, std::span<std::uint8_t> out, WordPacker& packer)
{
    return pass.finish(out, packer);
}

} // namespace tt
