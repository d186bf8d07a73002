#include "audio/info/StreamSource.hpp"
#include "audio/info/TMPEGInfo.hpp"
#include "audio/info/TWAVInfo.hpp"

namespace zd {

void TMPEGInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept
{
    *this = TMPEGInfo{};
    ParseFileOrStream(name, stream, [this](ByteSource& source) { Parse(source); });
}

void TWAVInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept
{
    *this = TWAVInfo{};
    ParseFileOrStream(name, stream, [this](ByteSource& source) { Parse(source); });
}

std::int64_t MPEGDurationOf(const std::string& markedName, TVRNFileStream* stream)
{
    TMPEGInfo info;
    info.Open(markedName, stream);
    return info.Duration;
}

std::int64_t WAVDurationOf(const std::string& markedName, TVRNFileStream* stream)
{
    TWAVInfo info;
    info.Open(markedName, stream);
    return info.Duration;
}

} // namespace zd
