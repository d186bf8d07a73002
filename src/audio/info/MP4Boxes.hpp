#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "audio/info/ByteSource.hpp"

namespace zd {

// A box of an ISO base media (MP4) file: its type, where its payload begins
// (just after the header) and where the box ends.
struct TMP4Box {
    std::array<std::uint8_t, 4> Type{};
    std::int64_t Payload = 0;
    std::int64_t End = 0;
};

// Most sibling boxes looked at in one walk, so a damaged file costs bounded work.
inline constexpr int kMaxSiblingBoxes = 4096;

// The box whose header starts at pos, ending no later than limit; nullopt
// for a size of 0, a size smaller than its header or a box that passes the
// limit. Throws as ByteSource::ReadAt.
std::optional<TMP4Box> BoxAt(ByteSource& source, std::int64_t pos, std::int64_t limit);

// The first box of that type among the siblings that start at pos, within
// limit. Throws as ByteSource::ReadAt.
std::optional<TMP4Box> FindBox(ByteSource& source, std::int64_t pos, std::int64_t limit, std::string_view type);

// The box reached through a path of types ("moov/udta/meta" style, given as
// a list), each found inside the one before, starting at pos within limit.
std::optional<TMP4Box> FindBoxPath(ByteSource& source, std::int64_t pos, std::int64_t limit,
    std::initializer_list<std::string_view> types);

} // namespace zd
