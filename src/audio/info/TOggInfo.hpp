#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of an Ogg Vorbis or Ogg Opus file (".ogg", ".opus"): the
// identification header on the first page gives the rate, the granule
// position of the last page the sample count. An Opus granule position
// counts 48 kHz samples whatever the input rate, and the header's pre-skip
// samples are not audio.
class TOggInfo {
public:
    std::int32_t Duration = 0;     // ms, 0 when not found
    bool Opus = false;
    std::uint32_t SampleRate = 0;  // Vorbis: the stream's rate; Opus: the input rate as written
    std::uint16_t PreSkip = 0;     // Opus only

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

    // How far before the end the last page header is looked for (a page is
    // at most 65307 bytes).
    static constexpr std::int64_t SearchLimit = 131072;

private:
    void Read(ByteSource& source);
};

} // namespace zd
