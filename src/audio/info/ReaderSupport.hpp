#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

#include "audio/info/ByteSource.hpp"
#include "audio/info/StreamSource.hpp"

namespace zd {

// Helpers shared by the container readers. All noexcept.

// value rounded half to even and held within the signed 32-bit range (a NaN gives 0).
inline std::int32_t RoundToInt32(double value) noexcept
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(value);
    if (rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(rounded);
}

// Milliseconds of count units at rate units per second, rounded; 0 when the
// rate is not positive.
inline std::int32_t MillisecondsOf(double count, double rate) noexcept
{
    return rate > 0 ? RoundToInt32(count / rate * 1000.0) : 0;
}

inline std::uint16_t LoadBE16(std::span<const std::uint8_t> b, std::size_t at) noexcept
{
    if (at > b.size() || b.size() - at < 2)
        return 0;
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

inline std::uint64_t LoadBE64(std::span<const std::uint8_t> b, std::size_t at) noexcept
{
    return (std::uint64_t{LoadBE32(b, at)} << 32) | LoadBE32(b, at + 4);
}

inline std::uint64_t LoadLE64(std::span<const std::uint8_t> b, std::size_t at) noexcept
{
    return std::uint64_t{LoadLE32(b, at)} | (std::uint64_t{LoadLE32(b, at + 4)} << 32);
}

// The bytes at b[at] spell text. noexcept.
inline bool HasTextAt(std::span<const std::uint8_t> b, std::size_t at, std::string_view text) noexcept
{
    return at <= b.size() && StartsWith(b.subspan(at), text);
}

// The common open pattern: the reader is reset, then parses the given
// stream or the file opened by marked name (mode 0x0040). A reader's Parse
// catches its own errors. noexcept.
template <typename Reader>
void OpenReader(Reader& reader, const std::string& name, TVRNFileStream* stream) noexcept
{
    reader = Reader{};
    ParseFileOrStream(name, stream, [&reader](ByteSource& source) { reader.Parse(source); });
}

// The duration-facade reader of a container reader with a Duration member.
template <typename Reader>
std::int64_t DurationOf(const std::string& markedName, TVRNFileStream* stream)
{
    Reader reader;
    reader.Open(markedName, stream);
    return reader.Duration;
}

// Runs a parse step, ending it quietly on any error (what was found stays).
template <typename Step>
void Guarded(Step&& step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}

// Reads the RIFF chunk header at pos (four-byte id, 32-bit little-endian
// size) and moves pos past it. An id that starts with a NUL byte is the pad
// byte of an odd-sized chunk before it: the id is taken one byte later.
// False when the header runs past the end.
inline bool ReadRiffChunkHeader(ByteSource& source, std::int64_t& pos, std::array<std::uint8_t, 4>& id,
                                std::uint32_t& size)
{
    if (!source.ReadExactAt(pos, id))
        return false;
    pos += 4;
    if (id[0] == 0) {
        std::array<std::uint8_t, 1> last{};
        if (!source.ReadExactAt(pos, last))
            return false;
        id = {id[1], id[2], id[3], last[0]};
        ++pos;
    }
    std::array<std::uint8_t, 4> word{};
    if (!source.ReadExactAt(pos, word))
        return false;
    size = static_cast<std::uint32_t>(word[0] | (word[1] << 8) | (word[2] << 16)) | (std::uint32_t{word[3]} << 24);
    pos += 4;
    return true;
}

} // namespace zd
