#include "audio/info/TOggInfo.hpp"

#include <array>

#include "audio/info/ReaderSupport.hpp"
#include "audio/info/TailSearch.hpp"

namespace zd {

void TOggInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TOggInfo::Parse(ByteSource& source) noexcept
{
    *this = TOggInfo{};
    Guarded([&] { Read(source); });
}

void TOggInfo::Read(ByteSource& source)
{
    const std::int64_t size = source.Size();
    if (size <= 257)
        return;
    std::array<std::uint8_t, 44> head{};
    if (!source.ReadExactAt(0, head))
        return;
    if (HasTextAt(head, 29, "pusHea")) {
        // Opus: channel count at 37, pre-skip at 38, input rate at 40.
        if (head[37] == 0)
            return;
        Opus = true;
        PreSkip = LoadLE16(head, 38);
        SampleRate = LoadLE32(head, 40);
    } else if (HasTextAt(head, 29, "vorbis")) {
        SampleRate = LoadLE32(head, 40);
        if (head[39] == 0 || SampleRate == 0)
            return;
    } else {
        return;
    }

    // The last page: 258-byte windows stepping back 255 bytes from the end;
    // the first "OggS" of a window is taken.
    BackwardWindows tail(source);
    std::int64_t n = size - 3;
    while (n > 254 && size - n <= SearchLimit) {
        n -= 255;
        const auto window = tail.At(n, 258);
        const std::int64_t at = FindBytes(window, "OggS");
        if (at < 0)
            continue;
        std::array<std::uint8_t, 8> granuleBytes{};
        if (!source.ReadExactAt(n + at + 6, granuleBytes))
            return;
        const auto granule = static_cast<std::int64_t>(LoadLE64(granuleBytes, 0));
        if (Opus)
            Duration = granule > PreSkip ? MillisecondsOf(static_cast<double>(granule - PreSkip), 48000.0) : 0;
        else
            Duration = granule > 0 ? MillisecondsOf(static_cast<double>(granule), SampleRate) : 0;
        return;
    }
}

} // namespace zd
