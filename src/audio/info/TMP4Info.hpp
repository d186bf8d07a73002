#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of an ISO base media file (".m4a", ".mp4", ".mp4a", ".mov")
// from the movie header, and the type of the first track's first sample
// description ("mp4a").
class TMP4Info {
public:
    std::int32_t Duration = 0; // ms, 0 when not found
    std::string Codec;         // 4 bytes, empty when not found

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

private:
    void Read(ByteSource& source);
};

} // namespace zd
