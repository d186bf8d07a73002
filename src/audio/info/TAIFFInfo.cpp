#include "audio/info/TAIFFInfo.hpp"

#include <array>

#include "audio/info/ReaderSupport.hpp"
#include "common/Numbers.hpp"

namespace zd {

void TAIFFInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TAIFFInfo::Parse(ByteSource& source) noexcept
{
    *this = TAIFFInfo{};
    Guarded([&] { Read(source); });
}

void TAIFFInfo::Read(ByteSource& source)
{
    std::array<std::uint8_t, 12> form{};
    if (!source.ReadExactAt(0, form) || !StartsWith(form, "FORM"))
        return;
    // The "COMM" chunk: "COMM", size, channels (2), frames (4), bits (2),
    // rate (10, extended). Chunks before it (a comment, the format version,
    // the sound data) are stepped over.
    std::int64_t pos = 12;
    std::array<std::uint8_t, 26> comm{};
    for (int i = 0;; ++i) {
        if (i == MaxChunks || !source.ReadExactAt(pos, comm))
            return;
        if (StartsWith(comm, "COMM"))
            break;
        pos += 8 + std::int64_t{LoadBE32(comm, 4)} + (LoadBE32(comm, 4) & 1);
    }
    const std::uint32_t frames = LoadBE32(comm, 10);
    const double rate = BigEndianExtended(std::span(comm).subspan(16, 10));
    if (std::isfinite(rate))
        Duration = MillisecondsOf(frames, rate);
}

} // namespace zd
