#pragma once

#include <cstdint>
#include <string>

#include "audio/info/ByteSource.hpp"

namespace zd {

class TVRNFileStream;

// Play length of a Monkey's Audio file (".ape", ".mac"). Files from version
// 3980 on carry the sample counts in their header; older ones store the WAV
// header of the source, whose format block is read as TWAVInfo reads it.
class TAPEInfo {
public:
    std::uint16_t Version = 0;
    // The WAVE format block (old files only).
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::int32_t Duration = 0; // ms, 0 when not found

    // Reads the file named by the marked name, or the given open stream.
    // noexcept: errors leave what was found so far.
    void Open(const std::string& name, TVRNFileStream* stream) noexcept;
    void Parse(ByteSource& source) noexcept;

private:
    void Read(ByteSource& source);
    void ReadNew(ByteSource& source);
    void ReadOld(ByteSource& source);
};

} // namespace zd
