#include "audio/info/TAPEInfo.hpp"

#include <array>

#include "audio/info/ReaderSupport.hpp"

namespace zd {

void TAPEInfo::Open(const std::string& name, TVRNFileStream* stream) noexcept { OpenReader(*this, name, stream); }

void TAPEInfo::Parse(ByteSource& source) noexcept
{
    *this = TAPEInfo{};
    Guarded([&] { Read(source); });
}

void TAPEInfo::Read(ByteSource& source)
{
    if (source.Size() < 44)
        return;
    std::array<std::uint8_t, 6> start{};
    if (!source.ReadExactAt(0, start) || !StartsWith(start, "MAC "))
        return;
    Version = LoadLE16(start, 4);
    if (Version >= 3980)
        ReadNew(source);
    else
        ReadOld(source);
}

void TAPEInfo::ReadNew(ByteSource& source)
{
    // Descriptor: its own length at 8 (at least the 52 bytes of its fixed part),
    // then the 24-byte header: blocks per frame at 4, final frame blocks at 8,
    // total frames at 12, sample rate at 20.
    std::array<std::uint8_t, 4> length{};
    if (!source.ReadExactAt(8, length))
        return;
    const std::int64_t headerAt = std::max<std::int64_t>(52, LoadLE32(length, 0));
    std::array<std::uint8_t, 24> header{};
    if (!source.ReadExactAt(headerAt, header))
        return;
    const std::uint32_t blocksPerFrame = LoadLE32(header, 4);
    const std::uint32_t finalBlocks = LoadLE32(header, 8);
    const std::uint32_t frames = LoadLE32(header, 12);
    SampleRate = LoadLE32(header, 20);
    if (frames == 0)
        return;
    const double samples = (static_cast<double>(frames) - 1) * blocksPerFrame + finalBlocks;
    Duration = MillisecondsOf(samples, SampleRate);
}

void TAPEInfo::ReadOld(ByteSource& source)
{
    // Fixed header after "MAC " and the version: compression level, format
    // flags, channels, sample rate, WAV header bytes, terminating bytes,
    // total frames, final frame blocks (32 bytes in all).
    std::array<std::uint8_t, 32> header{};
    if (!source.ReadExactAt(0, header))
        return;
    const std::uint16_t flags = LoadLE16(header, 8);
    if (flags & 0x20)
        return; // no WAV header stored
    std::int64_t pos = 32 + ((flags & 4) ? 4 : 0) + ((flags & 16) ? 4 : 0);
    const std::int64_t size = source.Size();

    std::array<std::uint8_t, 4> word{};
    std::uint32_t riffSize = 0;
    if (!source.ReadExactAt(pos, word))
        return;
    if (StartsWith(word, "RIFF")) {
        if (!source.ReadExactAt(pos + 4, word))
            return;
        riffSize = LoadLE32(word, 0);
        pos += 8;
        if (!source.ReadExactAt(pos, word))
            return;
    }
    if (!StartsWith(word, "WAVE"))
        return;
    pos += 4;
    for (;;) {
        std::array<std::uint8_t, 8> chunk{};
        if (!source.ReadExactAt(pos, chunk))
            return;
        const std::uint32_t chunkSize = LoadLE32(chunk, 4);
        pos += 8;
        if (StartsWith(chunk, "fmt ")) {
            std::array<std::uint8_t, 18> format{};
            if (chunkSize < 16 || !source.ReadExactAt(pos, std::span(format).first(16)))
                return;
            FormatTag = LoadLE16(format, 0);
            Channels = LoadLE16(format, 2);
            SampleRate = LoadLE32(format, 4);
            AvgBytesPerSec = LoadLE32(format, 8);
            BlockAlign = LoadLE16(format, 12);
            BitsPerSample = LoadLE16(format, 14);
            std::uint32_t extra = 0;
            if (chunkSize >= 18 && source.ReadExactAt(pos + 16, std::span(format).subspan(16)))
                extra = LoadLE16(format, 16);
            if (AvgBytesPerSec == 0)
                return;
            const double data = static_cast<double>(riffSize) - chunkSize - extra;
            Duration = data > 0 ? MillisecondsOf(data, AvgBytesPerSec) : 0;
            return;
        }
        if (pos + chunkSize + 20 > size)
            return;
        pos += chunkSize;
    }
}

} // namespace zd
