#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Stream facts of a RIFF WAVE file: the "fmt " chunk's format members and the
// play length from the "data" chunk. Chunks are sought over, never loaded.
class TWAVInfo {
public:
    std::uint16_t FormatTag = 0;       // 1 = PCM
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::int32_t Duration = 0;         // ms, 0 when not known

    // Reads the file named by the marked name, or the given open stream
    // (seeked to 0 first). noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;

    // Parses the bytes of one file. noexcept: errors leave what was found so far.
    void Parse(ByteSource& source) noexcept;

private:
    void Walk(ByteSource& source);
};


// The duration-facade reader for WAV files: TWAVInfo's Duration. noexcept in
// effect (Open never throws).
std::int64_t WAVDurationOf(const std::string& markedName, TVRNFileStream* stream);

} // namespace zd
