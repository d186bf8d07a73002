#include "audio/info/TASFInfo.hpp"

#include "audio/info/ASFObjects.hpp"
#include "audio/info/ReaderSupport.hpp"

namespace zd {

void TASFInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TASFInfo::Parse(ByteSource& source) noexcept
{
    *this = TASFInfo{};
    Guarded([&] { Read(source); });
}

void TASFInfo::Read(ByteSource& source)
{
    WalkAsfHeader(source, [&](const TAsfObject& object) {
        if (object.Id != kAsfFileProperties)
            return true;
        // Play duration (100 ns units) at 64, preroll (ms) at 80.
        std::array<std::uint8_t, 24> times{};
        if (object.Size >= 88 && source.ReadExactAt(object.Start + 64, times)) {
            const double play = static_cast<double>(LoadLE64(times, 0) / 10000);
            const double ms = play - static_cast<double>(LoadLE64(times, 16));
            Duration = ms > 0 ? RoundToInt32(ms) : 0;
        }
        return false;
    });
}

} // namespace zd
