#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "audio/info/ByteSource.hpp"

namespace zd {

using TAsfGuid = std::array<std::uint8_t, 16>;

// Object identifiers of the ASF header, as stored.
inline constexpr TAsfGuid kAsfHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA,
    0x00, 0x62, 0xCE, 0x6C};
inline constexpr TAsfGuid kAsfFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0,
    0x0C, 0x20, 0x53, 0x65};
inline constexpr TAsfGuid kAsfStreamProperties{0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00,
    0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr TAsfGuid kAsfContentDescription{0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00,
    0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr TAsfGuid kAsfExtendedContentDescription{0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0,
    0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

// One object inside the ASF header: its identifier, where it starts and its size.
struct TAsfObject {
    TAsfGuid Id{};
    std::int64_t Start = 0;
    std::int64_t Size = 0;
};

// Most header objects looked at, so a damaged file costs bounded work.
inline constexpr std::uint32_t kMaxAsfObjects = 1024;

// Walks the objects of the header object at the start of the file and calls
// visit(object) for each that lies within the header and the file; stops
// when visit returns false. False when the file does not begin with a
// header object. Throws as ByteSource::ReadAt.
template <typename Visit>
bool WalkAsfHeader(ByteSource& source, Visit&& visit)
{
    std::array<std::uint8_t, 30> header{};
    if (!source.ReadExactAt(0, header) || !std::equal(kAsfHeaderObject.begin(), kAsfHeaderObject.end(), header.begin()))
        return false;
    const auto headerSize = static_cast<std::int64_t>(
        std::min<std::uint64_t>(LoadLE32(header, 16) | (std::uint64_t{LoadLE32(header, 20)} << 32), source.Size()));
    const std::uint32_t count = std::min(LoadLE32(header, 24), kMaxAsfObjects);
    std::int64_t pos = 30;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::array<std::uint8_t, 24> head{};
        if (pos + 24 > headerSize || !source.ReadExactAt(pos, head))
            break;
        TAsfObject object;
        std::copy_n(head.begin(), 16, object.Id.begin());
        const std::uint64_t size = LoadLE32(head, 16) | (std::uint64_t{LoadLE32(head, 20)} << 32);
        if (size < 24 || size > static_cast<std::uint64_t>(headerSize - pos))
            break;
        object.Start = pos;
        object.Size = static_cast<std::int64_t>(size);
        if (!visit(object))
            break;
        pos += object.Size;
    }
    return true;
}

} // namespace zd
