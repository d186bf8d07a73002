#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zd {

// How names and values of a Vorbis comment list are trimmed: Ogg files trim
// names on the left and values on the right; FLAC files trim values on both
// sides.
enum class VorbisCommentStyle { Ogg, Flac };

// Reads a Vorbis comment list (vendor string, count, "NAME=value" texts, all
// lengths 32-bit little-endian) into names (upper case) and values (marked
// text, the bytes being UTF-8). A comment without "=" is left out; a count or
// length that passes the end ends the list. noexcept apart from allocation.
void ReadVorbisComments(std::span<const std::uint8_t> bytes, VorbisCommentStyle style,
    std::vector<std::string>& names, std::vector<std::string>& values);

} // namespace zd
