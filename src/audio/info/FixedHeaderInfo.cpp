// The readers whose length stands in a fixed header at the start of the file.

#include <array>

#include "audio/info/ReaderSupport.hpp"
#include "audio/info/TAVIInfo.hpp"
#include "audio/info/TCDAInfo.hpp"
#include "audio/info/TOTSInfo.hpp"

namespace zd {

void TCDAInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TCDAInfo::Parse(ByteSource& source) noexcept
{
    *this = TCDAInfo{};
    Guarded([&] {
        std::array<std::uint8_t, 44> b{};
        if (source.ReadExactAt(0, b) && HasTextAt(b, 8, "CDDAfmt "))
            Duration = b[41] * 1000 + b[42] * 60000;
    });
}

void TAVIInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TAVIInfo::Parse(ByteSource& source) noexcept
{
    *this = TAVIInfo{};
    Guarded([&] {
        std::array<std::uint8_t, 52> b{};
        if (source.ReadExactAt(0, b) && HasTextAt(b, 24, "avih"))
            Duration = RoundToInt32(LoadLE32(b, 32) / 1000.0 * LoadLE32(b, 48));
    });
}

void TOTSInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TOTSInfo::Parse(ByteSource& source) noexcept
{
    *this = TOTSInfo{};
    Guarded([&] {
        std::array<std::uint8_t, 78> b{};
        if (source.ReadExactAt(0, b) && HasTextAt(b, 0, "Ots^Media!") && HasTextAt(b, 40, "Ots!"))
            Duration = MillisecondsOf(LoadLE32(b, 74), LoadLE32(b, 70));
    });
}

} // namespace zd
