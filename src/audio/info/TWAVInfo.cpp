#include "audio/info/TWAVInfo.hpp"
#include "audio/info/ReaderSupport.hpp"

#include <array>
#include <cmath>

namespace zd {
namespace {

using Id = std::array<std::uint8_t, 4>;

bool IsId(const Id& id, std::string_view text) noexcept { return StartsWith(id, text); }

} // namespace

void TWAVInfo::Parse(ByteSource& source) noexcept
{
    *this = TWAVInfo{};
    try {
        Walk(source);
    } catch (...) {
        // A read error ends the reader; what was found stays.
    }
}

void TWAVInfo::Walk(ByteSource& source)
{
    const std::int64_t size = source.Size();
    if (size < 44)
        return;
    std::array<std::uint8_t, 12> riff{};
    if (!source.ReadExactAt(0, riff) || !StartsWith(riff, "RIFF") || !IsId({riff[8], riff[9], riff[10], riff[11]}, "WAVE"))
        return;
    const std::uint32_t riffSize = LoadLE32(riff, 4);

    // Top-level chunks up to "fmt ". An id whose first byte is 0 is the pad
    // byte of an odd-sized chunk before it: the chunk starts one byte later.
    std::int64_t pos = 12;
    std::array<std::uint8_t, 4> word{};
    for (;;) {
        Id id{};
        if (!source.ReadExactAt(pos, id))
            return;
        if (id[0] == 0 && !IsId(id, "fmt ")) {
            ++pos;
            if (!source.ReadExactAt(pos, id))
                return;
        }
        pos += 4;
        if (!source.ReadExactAt(pos, word))
            return;
        const std::uint32_t chunkSize = LoadLE32(word, 0);
        pos += 4;
        if (IsId(id, "fmt ")) {
            if (chunkSize < 16)
                return;
            std::array<std::uint8_t, 16> format{};
            if (!source.ReadExactAt(pos, format))
                return;
            FormatTag = LoadLE16(format, 0);
            Channels = LoadLE16(format, 2);
            SampleRate = LoadLE32(format, 4);
            AvgBytesPerSec = LoadLE32(format, 8);
            BlockAlign = LoadLE16(format, 12);
            BitsPerSample = LoadLE16(format, 14);
            pos += 16;
            if (AvgBytesPerSec == 0)
                return;
            std::uint32_t extra = 0;
            if (chunkSize >= 18) {
                std::array<std::uint8_t, 2> e{};
                if (!source.ReadExactAt(pos, e))
                    return;
                extra = LoadLE16(e, 0);
                pos += 2 + (chunkSize - 18);
            }
            // Without a "data" chunk the RIFF size less the format is the estimate.
            std::uint32_t dataSize = std::uint64_t{riffSize} >= std::uint64_t{chunkSize} + extra ? riffSize - chunkSize - extra : 0;
            // The chunks after "fmt " up to "data".
            while (pos + 10 <= size) {
                std::uint32_t next = 0;
                if (!ReadRiffChunkHeader(source, pos, id, next))
                    break;
                if (IsId(id, "data")) {
                    dataSize = next;
                    break;
                }
                if (next == 0 || pos + next + 10 > size)
                    break;
                pos += next;
            }
            const double ms = std::nearbyint(static_cast<double>(dataSize) / static_cast<double>(AvgBytesPerSec) * 1000.0);
            Duration = ms > 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(ms);
            return;
        }
        if (pos + chunkSize + 20 > size)
            return;
        pos += chunkSize;
    }
}

} // namespace zd
