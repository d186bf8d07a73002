#include "preview/PreviewLog.hpp"

#include "common/Translate.hpp"

namespace zd {

std::string AudioPrefix()
{
    return Tr("Audio") + ": ";
}

std::string StreamPrefix(std::uint8_t slot)
{
    return Tr("Audio") + " " + Tr("Stream") + " " + std::to_string(slot) + ": ";
}

} // namespace zd
